// The decode service's transport on Windows: the helper processes and the
// pipes to them (platform/decode_transport.h). The helper's own end is
// decode_helper.cpp; how it is started, sandboxed, is helper_start.cpp.
//
// The helper is the program olvistra-decode.exe beside the viewer. It is
// started with OLVISTRA_DECODE_HELPER in its environment, carrying the
// values of the four handles it inherits, and no others (decode_pipe.h): the
// read end of the request pipe, the write end of the answer pipe, an event
// it sets after each answer, and one it sets once its own start is over;
// when the display has a colour profile, then a read-only file mapping
// holding it and its size, which the helper copies before its first job.
// Pipes are byte streams, so every message is framed by a little-endian
// uint32 holding the length of what follows:
//   request: the longest side the pixels may have (a little-endian uint32,
//            0 for the built-in cap), the number of files handed over (a
//            uint32), the helper's handle to each (a uint64 each), then the
//            picture's path and the names of the files beside it that its
//            format reads (util/picture_companions.h), each ended by a 0
//            byte. The viewer opens the files read-only and duplicates each
//            handle into the helper, which reads and closes them and opens
//            no file itself; under its token it could not open the user's.
//            Only the first companion the viewer could open is named; a picture
//            it could not open as a disk file comes with no handle at all,
//            and the helper answers that it failed;
//   answer:  a DecodeAnswer. When `ok` is set, `mapping` is the helper's own
//            handle to a file mapping of exactly byteCount bytes holding the
//            pixels; the viewer duplicates it out of the helper (closing it
//            there), so the helper needs no handle to the viewer's process,
//            and checks the view before it reads it.
// The viewer waits on the answer event and on the helper's process, so an
// answer is taken the moment it is written and a helper that dies is
// noticed at once; the answer must then lie complete in the pipe.
//
// A JPEG's pixels are turned upright by its EXIF Orientation tag in the
// helper (exif_orientation.h), and the header gives the upright size. A
// picture larger than textureSideCap is shrunk in the same step, and the
// header gives both the pixels' size and the picture's.
//
// Each helper runs in a job of its own that kills it when the viewer closes
// the job (also when the viewer itself dies), so no helper outlives the
// viewer. A spare helper is started ahead and takes over when the working
// one is ended. A helper also ends when its request pipe reports end of
// file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/decode_transport.h"
#include "platform/decode_wire.h"
#include "platform/services.h"
#include "platform/windows/decode_handles.h"
#include "platform/windows/decode_pipe.h"
#include "platform/windows/helper_start.h"
#include "platform/win32.h"
#include "util/picture_companions.h"

namespace {

// The request pipe holds the longest request (nine names of the longest
// path) without the viewer's write ever waiting for the helper.
const DWORD pipeBufferBytes = 128 * 1024;
// How long ending a helper waits for it to go: a helper stuck in I/O (a
// network share, a file being fetched) ends when the I/O does, without the
// viewer.
const DWORD endWaitMs = 2000;

// The viewer's hold on a helper.
struct Helper {
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    HANDLE requests = nullptr;  // write end
    HANDLE answers = nullptr;   // read end
    HANDLE answered = nullptr;  // the event the helper sets after an answer
    HANDLE ready = nullptr;     // the event the helper sets once started
};

Helper helper;  // the one given jobs
Helper spare;   // started ahead, idle

void closeHandle(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

// The helper program, beside the viewer.
std::wstring helperProgram() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"olvistra-decode.exe";
}

// A handle of the viewer's, duplicated for the helper to inherit.
bool inheritableCopy(HANDLE handle, DWORD access, HANDLE* copy) {
    return DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), copy, access, TRUE, 0);
}

// A file mapping holding the display's profile, which the helper may only
// read, or null when there is none.
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
    HANDLE readOnly = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), mapping, GetCurrentProcess(), &readOnly, FILE_MAP_READ, TRUE, 0))
        readOnly = nullptr;
    CloseHandle(mapping);
    return readOnly;
}

// Starts a helper into `started`; false when it could not be started.
bool startNewHelper(Helper* started) {
    HANDLE job = makeHelperJob();
    if (!job) return false;
    // All made uninheritable; the helper's copies become inheritable only
    // for the one CreateProcess that passes them on by name.
    HANDLE requestRead = nullptr, requestWrite = nullptr, answerRead = nullptr, answerWrite = nullptr;
    HANDLE answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE helperAnswered = nullptr, helperReady = nullptr;
    bool made = answered && ready && CreatePipe(&requestRead, &requestWrite, nullptr, pipeBufferBytes) &&
                CreatePipe(&answerRead, &answerWrite, nullptr, pipeBufferBytes) &&
                SetHandleInformation(requestRead, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) &&
                SetHandleInformation(answerWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) &&
                inheritableCopy(answered, EVENT_MODIFY_STATE, &helperAnswered) &&
                inheritableCopy(ready, EVENT_MODIFY_STATE, &helperReady);
    HANDLE profile = made ? displayProfileMapping() : nullptr;
    HANDLE process = nullptr;
    if (made) {
        HANDLE inherited[] = {requestRead, answerWrite, helperAnswered, helperReady, profile};
        char marker[160];
        int written = std::snprintf(marker, sizeof marker, "%llu %llu %llu %llu",
                                    (unsigned long long)uintptr_t(requestRead),
                                    (unsigned long long)uintptr_t(answerWrite),
                                    (unsigned long long)uintptr_t(helperAnswered),
                                    (unsigned long long)uintptr_t(helperReady));
        if (profile)
            std::snprintf(marker + written, sizeof marker - size_t(written), " %llu %llu",
                          (unsigned long long)uintptr_t(profile),
                          (unsigned long long)decode_transport::displayProfile().size());
        process = startSandboxedHelper(helperProgram(), job, inherited, profile ? 5 : 4, marker);
    }
    closeHandle(profile);
    closeHandle(requestRead);
    closeHandle(answerWrite);
    closeHandle(helperAnswered);
    closeHandle(helperReady);
    if (!process) {
        closeHandle(requestWrite);
        closeHandle(answerRead);
        closeHandle(answered);
        closeHandle(ready);
        closeHandle(job);
        return false;
    }
    *started = {job, process, requestWrite, answerRead, answered, ready};
    return true;
}

bool stillRuns(const Helper& held) { return held.process && WaitForSingleObject(held.process, 0) == WAIT_TIMEOUT; }

// Kills the helper and waits a while for it to go; one that does not is
// given up to its job, whose closing ends it as soon as it can end.
void end(Helper* held) {
    if (held->process) {
        TerminateProcess(held->process, 1);
        WaitForSingleObject(held->process, endWaitMs);
    }
    closeHandle(held->process);
    closeHandle(held->requests);
    closeHandle(held->answers);
    closeHandle(held->answered);
    closeHandle(held->ready);
    closeHandle(held->job);
}

// True when the view holds at least `expected` committed bytes from its
// start: a helper that hands back a reserved-only or short mapping must not
// make the viewer fault on it.
bool viewIsWhole(const void* view, uint64_t expected) {
    MEMORY_BASIC_INFORMATION region = {};
    return VirtualQuery(view, &region, sizeof region) == sizeof region && region.BaseAddress == view &&
           region.State == MEM_COMMIT && (region.Protect & PAGE_READONLY) && !(region.Protect & PAGE_GUARD) &&
           uint64_t(region.RegionSize) >= expected;
}

// Takes the helper's mapping over and maps it read-only, after checking the
// view.
bool mapPixels(const DecodeAnswer& header, DecodedImage* image) {
    HANDLE mapping = nullptr;
    if (!DuplicateHandle(helper.process, HANDLE(uintptr_t(header.mapping)), GetCurrentProcess(), &mapping,
                         FILE_MAP_READ, FALSE, DUPLICATE_CLOSE_SOURCE))
        return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);  // the view keeps the pixels
    if (!view) return false;
    if (!viewIsWhole(view, header.answer.byteCount)) {
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
    if (!PeekNamedPipe(answers, nullptr, 0, nullptr, &available, nullptr) || available != decodeAnswerFrameBytes)
        return false;
    unsigned char frame[decodeAnswerFrameBytes];
    if (!readWholly(answers, frame, sizeof frame) || littleEndian32(frame) != sizeof(DecodeAnswer)) return false;
    DecodeAnswer header;
    std::memcpy(&header, frame + sizeof(uint32_t), sizeof header);
    if (!header.answer.ok) return header.mapping == 0;  // a failure never carries a buffer
    // A helper that lies about sizes is not trusted with another job (nor
    // left holding a buffer nobody takes).
    if (!answerSizesAgree(header.answer)) return false;
    *decoded = mapPixels(header, image);
    return true;
}

// Opens the disk file at `path` read-only and duplicates the handle into the
// helper, appending its value there (a little-endian uint64); false when
// the file cannot be opened, is no disk file (a name such as com1.jpg opens
// a device) or cannot be handed over.
bool handToHelper(const char* path, std::string* handles) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    HANDLE handed = nullptr;
    bool ok = GetFileType(file) == FILE_TYPE_DISK &&
              DuplicateHandle(GetCurrentProcess(), file, helper.process, &handed,
                              FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FALSE, 0);
    CloseHandle(file);
    if (ok) {
        uint64_t value = uint64_t(uintptr_t(handed));
        handles->append(littleEndianBytes(uint32_t(value & 0xFFFFFFFFu)));
        handles->append(littleEndianBytes(uint32_t(value >> 32)));
    }
    return ok;
}

}  // namespace

namespace decode_transport {

bool helperRunning() {
    if (stillRuns(helper)) return true;
    endHelper();
    return false;
}

bool startHelper() {
    endHelper();
    if (stillRuns(spare)) {
        helper = spare;
        spare = Helper{};
        return true;
    }
    end(&spare);
    return startNewHelper(&helper);
}

void startSpare() {
    if (stillRuns(spare)) return;
    end(&spare);
    startNewHelper(&spare);
}

void endHelper() { end(&helper); }

void endSpare() { end(&spare); }

bool helperStarted() { return helper.ready && WaitForSingleObject(helper.ready, 0) == WAIT_OBJECT_0; }

bool sendRequest(const char* path, uint32_t maxSide) {
    std::string handles, names;
    uint32_t count = 0;
    if (handToHelper(path, &handles)) {
        names.append(path).push_back('\0');
        ++count;
        // Names differing in case name one file here: the first that opens.
        for (const std::string& name : pictureCompanionNames(path)) {
            if (!handToHelper(name.c_str(), &handles)) continue;
            names.append(name).push_back('\0');
            ++count;
            break;
        }
    }
    // Handles already in a helper whose pipe refuses the request go with it:
    // the service ends that helper.
    std::string frame = framedMessage(littleEndianBytes(maxSide) + littleEndianBytes(count) + handles + names);
    return writeWholly(helper.requests, frame.data(), frame.size());
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

void stopped() { end(&spare); }

long helperProcessId() { return long(GetProcessId(helper.process)); }

}  // namespace decode_transport

HANDLE decodeAnswerEvent() { return helper.answered; }

HANDLE decodeHelperProcess() { return helper.process; }

#ifdef OLVISTRA_TEST_HOOKS
std::string decodeHelperAttackReport(DWORD waitMs) {
    if (!helper.answered || WaitForSingleObject(helper.answered, waitMs) != WAIT_OBJECT_0) return std::string();
    unsigned char length[sizeof(uint32_t)];
    if (!readWholly(helper.answers, length, sizeof length)) return std::string();
    std::string report(littleEndian32(length), '\0');
    if (!readWholly(helper.answers, &report[0], report.size())) return std::string();
    return report;
}
#endif

void releaseDecodedImage(DecodedImage* image) {
    if (image->handle) UnmapViewOfFile(image->handle);
    *image = DecodedImage{};
}
