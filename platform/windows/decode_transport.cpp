// The decode service's transport on Windows: the helper process, the pipes
// to it, and the helper's own end (platform/decode_transport.h).
//
// The helper is this very executable, started again with
// OLVISTRA_DECODE_HELPER in its environment; a static constructor sees the
// marker and runs the helper loop before WinMain (no second executable to
// install or find). The marker carries the values of the three handles the
// helper inherits, and no others: the read end of the request pipe, the
// write end of the answer pipe, and an event it sets after each answer;
// when the display has a colour profile, then a read-only file mapping
// holding it and its size, which the helper copies before its first job.
// Pipes are byte streams, so every message is framed by a little-endian
// uint32 holding the length of what follows:
//   request: the longest side the pixels may have (a little-endian uint32,
//            0 for the built-in cap), then the path's bytes;
//   narrow:  that side alone, sent while a job runs: the helper takes it
//            before it sizes the pixels, and ignores it when idle;
//   answer:  a ResultHeader. When `ok` is set, `mapping` is the helper's own
//            handle to a file mapping of exactly byteCount bytes holding the
//            pixels; the viewer duplicates it out of the helper (closing it
//            there), so the helper needs no handle to the viewer's process.
// The viewer waits on the event and on the helper's process, so an answer
// is taken the moment it is written and a helper that dies is noticed at
// once; the answer must then lie complete in the pipe.
//
// A JPEG's pixels are turned upright by its EXIF Orientation tag in the
// helper (exif_orientation.h), and the header gives the upright size. A
// picture larger than textureSideCap is shrunk in the same step, and the
// header gives both the pixels' size and the picture's.
//
// The helper runs in a job object that caps its memory at 2 GiB, ends it on
// an unhandled exception without an error report, and kills it when the
// viewer closes the job (also when the viewer itself dies), so no helper
// outlives the viewer. It also ends when the request pipe reports end of
// file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/decode_transport.h"
#include "platform/decode_wire.h"
#include "platform/exif_orientation.h"
#include "platform/helper_decoder.h"
#include "platform/services.h"
#include "platform/windows/decode_handles.h"
#include "platform/win32.h"

namespace {

const char* const helperMarker = "OLVISTRA_DECODE_HELPER";
const wchar_t* const helperMarkerW = L"OLVISTRA_DECODE_HELPER";
const size_t maxPathBytes = decodeMaxPathBytes;
// The request pipe holds an idle helper's request and the narrows of one
// job (at most 64, platform/decode_service.cpp) without the viewer's write
// ever waiting.
const DWORD pipeBufferBytes = 64 * 1024;
const SIZE_T helperMemoryLimit = SIZE_T(2) << 30;

struct ResultHeader {
    AnswerHeader answer;
    uint64_t mapping;  // the helper's handle value
};

const DWORD answerFrameBytes = sizeof(uint32_t) + sizeof(ResultHeader);

// The viewer's hold on its helper.
struct Helper {
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    HANDLE requests = nullptr;  // write end
    HANDLE answers = nullptr;   // read end
    HANDLE answered = nullptr;  // the event the helper sets
};

Helper helper;

std::string framed(const std::string& payload) { return littleEndianBytes(uint32_t(payload.size())) + payload; }

bool writeAll(HANDLE pipe, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes, DWORD(size), &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool readAll(HANDLE pipe, void* data, size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, bytes, DWORD(size), &got, nullptr) || got == 0) return false;
        bytes += got;
        size -= got;
    }
    return true;
}

// ---- helper side ------------------------------------------------------------

struct HelperPipes {
    HANDLE requests;
    HANDLE answers;
    HANDLE answered;
};

HelperPipes helperPipes;

// The latest side sent while the job ran, else the request's.
uint32_t narrowedSide(uint32_t maxSide) {
    unsigned char frame[2 * sizeof(uint32_t)];
    for (;;) {
        // Only narrows can be waiting: no request comes while a job runs.
        DWORD got = 0, available = 0;
        if (!PeekNamedPipe(helperPipes.requests, frame, sizeof frame, &got, &available, nullptr)) return maxSide;
        if (got < sizeof frame || littleEndian32(frame) != sizeof(uint32_t)) return maxSide;
        if (!readAll(helperPipes.requests, frame, sizeof frame)) std::_Exit(0);
        maxSide = littleEndian32(frame + sizeof(uint32_t));
    }
}

// A file mapping holding the decoded pixels, or null. The helper's writable
// view is gone before the mapping leaves it.
HANDLE pixelMapping(uint64_t size, int orientation, uint32_t width, uint32_t height) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, DWORD(size >> 32),
                                        DWORD(size & 0xFFFFFFFFu), nullptr);
    if (!mapping) return nullptr;
    void* target = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, SIZE_T(size));
    if (!target) {
        CloseHandle(mapping);
        return nullptr;
    }
    registeredHelperDecoder()->copyRgba(static_cast<unsigned char*>(target), orientation, width, height);
    UnmapViewOfFile(target);
    return mapping;
}

void answer(const char* path, uint32_t maxSide) {
    ResultHeader result = {};
    uint32_t width = 0, height = 0;
    if (registeredHelperDecoder()->decode(path, &width, &height)) {
        int orientation = jpegOrientation(path);
        result.answer = sizedAnswer(width, height, orientation, narrowedSide(maxSide));
        HANDLE mapping = pixelMapping(result.answer.byteCount, orientation, result.answer.width, result.answer.height);
        // Not closed here: the viewer takes it over with DUPLICATE_CLOSE_SOURCE.
        result.mapping = uint64_t(uintptr_t(mapping));
        result.answer.ok = mapping ? 1 : 0;
    }
    if (!result.answer.ok) result = ResultHeader{};
    std::string frame = framed(std::string(reinterpret_cast<const char*>(&result), sizeof result));
    if (!writeAll(helperPipes.answers, frame.data(), frame.size())) std::_Exit(0);
    SetEvent(helperPipes.answered);
}

[[noreturn]] void helperLoop() {
    static char request[sizeof(uint32_t) + maxPathBytes + 1];
    for (;;) {
        unsigned char length[sizeof(uint32_t)];
        if (!readAll(helperPipes.requests, length, sizeof length)) std::_Exit(0);  // the viewer is gone
        uint32_t size = littleEndian32(length);
        // The viewer never sends these; the stream cannot be trusted after one.
        if (size < sizeof(uint32_t) || size > sizeof(uint32_t) + maxPathBytes) std::_Exit(0);
        if (!readAll(helperPipes.requests, request, size)) std::_Exit(0);
        if (size == sizeof(uint32_t)) continue;  // a narrow that came after its job
        request[size] = '\0';
        answer(request + sizeof(uint32_t), littleEndian32(reinterpret_cast<const unsigned char*>(request)));
    }
}

// The display profile in the mapping the viewer passed on (closed here), or
// empty when none came or it is not as large as the viewer said.
std::string receivedDisplayProfile(HANDLE mapping, uint64_t size) {
    std::string bytes;
    if (!mapping) return bytes;
    if (size > 0 && size <= decode_transport::maxDisplayProfileBytes) {
        if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SIZE_T(size))) {
            bytes.assign(static_cast<const char*>(view), size_t(size));
            UnmapViewOfFile(view);
        }
    }
    CloseHandle(mapping);
    return bytes;
}

LONG WINAPI endOnCrash(EXCEPTION_POINTERS*) {
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Runs before WinMain in every start of the executable; only a start made
// by startHelper() carries the marker. MinGW runs constructors last-linked
// object first, and this file is linked first (cmake/windows.cmake), so the
// decoder's namespace-scope objects are constructed by the time it runs.
__attribute__((constructor)) void decodeHelperEntry() {
    char marker[160];
    DWORD length = GetEnvironmentVariableA(helperMarker, marker, sizeof marker);
    if (length == 0 || length >= sizeof marker) return;
    SetEnvironmentVariableA(helperMarker, nullptr);
    unsigned long long values[5] = {};
    int given = std::sscanf(marker, "%llu %llu %llu %llu %llu", &values[0], &values[1], &values[2], &values[3], &values[4]);
    if (given != 3 && given != 5) std::_Exit(0);
    helperPipes = {HANDLE(uintptr_t(values[0])), HANDLE(uintptr_t(values[1])), HANDLE(uintptr_t(values[2]))};
    std::string displayProfile = receivedDisplayProfile(HANDLE(uintptr_t(values[3])), values[4]);
    // A crash ends the helper quietly; the viewer reports the failed decode.
    // The filter ends it at once also where the error mode is not honoured
    // (Wine starts its debugger, with a crash window, whatever the mode).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnCrash);
    const HelperDecoder* decoder = registeredHelperDecoder();
    if (!decoder) std::_Exit(0);  // nothing to decode with: every job fails
    decoder->start(displayProfile);
    helperLoop();
}

// ---- viewer side ------------------------------------------------------------

void closeHandle(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

// The job every helper runs in: capped memory, no error reports, and death
// when the viewer closes it or dies.
HANDLE helperJob() {
    if (helper.job) return helper.job;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    limits.ProcessMemoryLimit = helperMemoryLimit;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    helper.job = job;
    return job;
}

// The viewer's environment with the marker set to `value`, as a block for
// CreateProcessW.
std::wstring helperEnvironment(const std::string& value) {
    std::wstring block;
    std::wstring name = std::wstring(helperMarkerW) + L"=";
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            if (_wcsnicmp(entry, name.c_str(), name.size()) == 0) continue;
            block.append(entry).push_back(L'\0');
        }
        FreeEnvironmentStringsW(strings);
    }
    block.append(name).append(value.begin(), value.end()).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

std::wstring executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Starts the helper suspended, with exactly `inherited` passed on to it,
// and lets it run once it is in the job.
HANDLE spawnHelper(HANDLE job, HANDLE* inherited, size_t count, const std::string& marker) {
    std::wstring exe = executablePath();
    if (exe.empty()) return nullptr;
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::string listBytes(listSize, '\0');
    auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(&listBytes[0]);
    if (!InitializeProcThreadAttributeList(list, 1, 0, &listSize)) return nullptr;
    HANDLE process = nullptr;
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, count * sizeof(HANDLE),
                                  nullptr, nullptr)) {
        STARTUPINFOEXW startup = {};
        startup.StartupInfo.cb = sizeof startup;
        startup.lpAttributeList = list;
        std::wstring commandLine = L"\"" + exe + L"\" olvistra-decode-helper";
        std::wstring environment = helperEnvironment(marker);
        PROCESS_INFORMATION info = {};
        DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW;
        if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, flags, &environment[0], nullptr,
                           &startup.StartupInfo, &info)) {
            if (AssignProcessToJobObject(job, info.hProcess) && ResumeThread(info.hThread) != DWORD(-1)) {
                process = info.hProcess;
            } else {
                TerminateProcess(info.hProcess, 1);
                CloseHandle(info.hProcess);
            }
            CloseHandle(info.hThread);
        }
    }
    DeleteProcThreadAttributeList(list);
    return process;
}

// A file mapping holding the display's profile, or null when there is none.
HANDLE displayProfileMapping() {
    const std::string& profile = decode_transport::displayProfile();
    if (profile.empty() || profile.size() > decode_transport::maxDisplayProfileBytes) return nullptr;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DWORD(profile.size()), nullptr);
    if (!mapping) return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, profile.size());
    if (!view) {
        CloseHandle(mapping);
        return nullptr;
    }
    std::memcpy(view, profile.data(), profile.size());
    UnmapViewOfFile(view);
    // The helper's copy may only read it.
    HANDLE readOnly = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), mapping, GetCurrentProcess(), &readOnly, FILE_MAP_READ, TRUE, 0))
        readOnly = nullptr;
    CloseHandle(mapping);
    return readOnly;
}

bool startNewHelper() {
    HANDLE job = helperJob();
    if (!job) return false;
    // All made uninheritable; the helper's copies become inheritable only
    // for the one CreateProcess that passes them on by name.
    HANDLE requestRead = nullptr, requestWrite = nullptr, answerRead = nullptr, answerWrite = nullptr;
    HANDLE answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE helperAnswered = nullptr;
    bool made = answered && CreatePipe(&requestRead, &requestWrite, nullptr, pipeBufferBytes) &&
                CreatePipe(&answerRead, &answerWrite, nullptr, pipeBufferBytes) &&
                SetHandleInformation(requestRead, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) &&
                SetHandleInformation(answerWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) &&
                DuplicateHandle(GetCurrentProcess(), answered, GetCurrentProcess(), &helperAnswered,
                                EVENT_MODIFY_STATE, TRUE, 0);
    HANDLE profile = made ? displayProfileMapping() : nullptr;
    HANDLE process = nullptr;
    if (made) {
        HANDLE inherited[] = {requestRead, answerWrite, helperAnswered, profile};
        char marker[160];
        int written = std::snprintf(marker, sizeof marker, "%llu %llu %llu", (unsigned long long)uintptr_t(requestRead),
                                    (unsigned long long)uintptr_t(answerWrite),
                                    (unsigned long long)uintptr_t(helperAnswered));
        if (profile)
            std::snprintf(marker + written, sizeof marker - size_t(written), " %llu %llu",
                          (unsigned long long)uintptr_t(profile),
                          (unsigned long long)decode_transport::displayProfile().size());
        process = spawnHelper(job, inherited, profile ? 4 : 3, marker);
    }
    closeHandle(profile);
    closeHandle(requestRead);
    closeHandle(answerWrite);
    closeHandle(helperAnswered);
    if (!process) {
        closeHandle(requestWrite);
        closeHandle(answerRead);
        closeHandle(answered);
        return false;
    }
    helper.process = process;
    helper.requests = requestWrite;
    helper.answers = answerRead;
    helper.answered = answered;
    return true;
}

// Takes the helper's mapping over and maps it read-only, after checking that
// it holds at least the header's byte count.
bool mapPixels(const ResultHeader& header, DecodedImage* image) {
    uint64_t expected = header.answer.byteCount;
    HANDLE mapping = nullptr;
    if (!DuplicateHandle(helper.process, HANDLE(uintptr_t(header.mapping)), GetCurrentProcess(), &mapping,
                         FILE_MAP_READ, FALSE, DUPLICATE_CLOSE_SOURCE))
        return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);  // the view keeps the pixels
    if (!view) return false;
    MEMORY_BASIC_INFORMATION region = {};
    if (VirtualQuery(view, &region, sizeof region) != sizeof region || region.BaseAddress != view ||
        uint64_t(region.RegionSize) < expected) {
        UnmapViewOfFile(view);
        return false;
    }
    *image = answeredImage(header.answer, view, view);
    return true;
}

// Reads the helper's answer, which must lie complete and alone in the pipe;
// false when it is malformed.
bool receiveResult(DecodedImage* image, bool* decoded) {
    HANDLE answers = helper.answers;
    DWORD available = 0;
    *decoded = false;
    if (!PeekNamedPipe(answers, nullptr, 0, nullptr, &available, nullptr) || available != answerFrameBytes)
        return false;
    unsigned char frame[answerFrameBytes];
    if (!readAll(answers, frame, sizeof frame) || littleEndian32(frame) != sizeof(ResultHeader)) return false;
    ResultHeader header;
    std::memcpy(&header, frame + sizeof(uint32_t), sizeof header);
    if (!header.answer.ok) return header.mapping == 0;  // a failure never carries a buffer
    // A helper that lies about sizes is not trusted with another job (nor
    // left holding a buffer nobody takes).
    if (!answerSizesAgree(header.answer)) return false;
    *decoded = mapPixels(header, image);
    return true;
}

}  // namespace

namespace decode_transport {

bool helperRunning() {
    if (!helper.process) return false;
    if (WaitForSingleObject(helper.process, 0) == WAIT_TIMEOUT) return true;
    endHelper();
    return false;
}

bool startHelper() { return startNewHelper(); }

void endHelper() {
    if (helper.process) {
        TerminateProcess(helper.process, 1);
        WaitForSingleObject(helper.process, INFINITE);
    }
    closeHandle(helper.process);
    closeHandle(helper.requests);
    closeHandle(helper.answers);
    closeHandle(helper.answered);
}

// The job object holds back nothing of the helper's start.
bool helperStarted() { return true; }

bool sendRequest(const char* path, uint32_t maxSide) {
    std::string frame = framed(littleEndianBytes(maxSide) + path);
    return writeAll(helper.requests, frame.data(), frame.size());
}

bool sendNarrow(uint32_t maxSide) {
    std::string frame = framed(littleEndianBytes(maxSide));
    return writeAll(helper.requests, frame.data(), frame.size());
}

void jobSent() {}

// The event comes first: a helper that answered and then died still
// answered.
Wait waitForAnswer(uint32_t waitMs) {
    HANDLE watched[] = {helper.answered, helper.process};
    DWORD woken = WaitForMultipleObjects(2, watched, FALSE, DWORD(waitMs));
    if (woken == WAIT_TIMEOUT) return Wait::nothing;
    return woken == WAIT_OBJECT_0 ? Wait::answer : Wait::broken;
}

bool receiveAnswer(DecodedImage* image, bool* decoded) { return receiveResult(image, decoded); }

void stopped() {}

long helperProcessId() { return long(GetProcessId(helper.process)); }

}  // namespace decode_transport

HANDLE decodeAnswerEvent() { return helper.answered; }

HANDLE decodeHelperProcess() { return helper.process; }

void releaseDecodedImage(DecodedImage* image) {
    if (image->handle) UnmapViewOfFile(image->handle);
    *image = DecodedImage{};
}
