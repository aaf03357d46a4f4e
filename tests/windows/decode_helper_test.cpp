// The Windows decode service against a decoder whose "paths" say what to do,
// run under Wine (or Windows) as a console program. This executable is its
// own helper, as olvistra.exe is, so the real start-up, pipes, file mappings,
// job object and kills are exercised; only DevIL is left out.
//
// Paths the fake decoder understands:
//   picture:W:H[:decode|:copy]  a W x H picture; with a gate, the helper
//                               signals on reaching decodeToRgba or
//                               copyDecodedRgba and waits to be let on
//   fail                        a refused file
//   crash                       writes through a null pointer
//   exit                        the helper ends at once
//   hang                        never returns
//   hog                         commits 3 GiB
//   inherited:N                 1 x 1 when handle value N is valid in the
//                               helper, else 2 x 2
//
// Run without arguments for the whole suite; "orphan kill" and "orphan exit"
// are the child the suite starts to see what happens to a helper whose
// viewer dies or ends without stopping it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/services.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace {

const wchar_t* const reachedEventName = L"Local\\olvistra-decode-test-reached";
const wchar_t* const proceedEventName = L"Local\\olvistra-decode-test-proceed";
const uint32_t hogSide = 3;  // the answer of a hog whose memory was not capped

// ---- the fake decoder, run inside the helper ---------------------------------

struct Decoded {
    uint32_t width = 0, height = 0;
    std::string gate;
};
Decoded decoded;

void passGate(const char* here) {
    if (decoded.gate != here) return;
    HANDLE reached = OpenEventW(EVENT_MODIFY_STATE, FALSE, reachedEventName);
    HANDLE proceed = OpenEventW(SYNCHRONIZE, FALSE, proceedEventName);
    if (reached) SetEvent(reached);
    if (proceed) WaitForSingleObject(proceed, 10000);
    if (reached) CloseHandle(reached);
    if (proceed) CloseHandle(proceed);
}

// The pattern of a width x height pixel buffer, so that both the size the
// helper wrote at and every byte's place are checked.
unsigned char patternByte(uint32_t width, uint32_t height, size_t index) {
    size_t pixel = index / 4;
    uint32_t x = uint32_t(pixel % width), y = uint32_t(pixel / width);
    switch (index % 4) {
        case 0: return (unsigned char)(x * 7 + width);
        case 1: return (unsigned char)(y * 13 + height);
        case 2: return (unsigned char)((x ^ y) + (width >> 8) + (height >> 4));
        default: return 0xA5;
    }
}

// Paths here name fake pictures, not files: the limit a real file earns
// is tested with the real decoder.
const uint32_t fakeTimeLimitMs = 10000;

void startDecoder(const std::string&) {}


bool decodeToRgba(const char* path, uint32_t* width, uint32_t* height) {
    decoded = Decoded{};
    char gate[16] = "";
    if (std::sscanf(path, "picture:%u:%u:%15s", &decoded.width, &decoded.height, gate) >= 2) {
        decoded.gate = gate;
    } else if (std::strcmp(path, "crash") == 0) {
        *static_cast<volatile int*>(nullptr) = 1;
    } else if (std::strcmp(path, "exit") == 0) {
        ExitProcess(3);
    } else if (std::strcmp(path, "hang") == 0) {
        for (;;) Sleep(INFINITE);
    } else if (std::strcmp(path, "hog") == 0) {
        SIZE_T size = SIZE_T(3) << 30;
        volatile char* block = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!block) return false;
        decoded.width = decoded.height = hogSide;
    } else if (std::strncmp(path, "inherited:", 10) == 0) {
        DWORD flags = 0;
        HANDLE probed = HANDLE(uintptr_t(std::strtoull(path + 10, nullptr, 10)));
        decoded.width = decoded.height = GetHandleInformation(probed, &flags) ? 1 : 2;
    }
    if (decoded.width == 0 || decoded.height == 0) return false;
    passGate("decode");
    *width = decoded.width;
    *height = decoded.height;
    return true;
}

void copyDecodedRgba(unsigned char* target, int orientation, uint32_t width, uint32_t height) {
    passGate("copy");
    if (orientation != 1) return;  // leaves zeros, which the pattern check catches
    for (size_t i = 0; i < size_t(width) * height * 4; ++i) target[i] = patternByte(width, height, i);
}

__attribute__((constructor(helperDecoderRegistrationPriority))) void registerFakeDecoder() {
    registerHelperDecoder({startDecoder, decodeToRgba, copyDecodedRgba});
}

// ---- the suite, run in the viewer's place ------------------------------------

int failures = 0;

#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                                    \
        }                                                                                  \
    } while (0)

bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

struct Outcome {
    DecodeJobState state = DecodeJobState::idle;
    DecodedImage image;
    DWORD tookMs = 0;
};

// Polls the running job to its end, in slices like the viewer's.
Outcome finish() {
    Outcome outcome;
    DWORD started = GetTickCount();
    do {
        outcome.state = decodeServicePoll(50, &outcome.image);
    } while (outcome.state == DecodeJobState::running && GetTickCount() - started < 30000);
    outcome.tookMs = GetTickCount() - started;
    return outcome;
}

Outcome decode(const char* path, uint32_t maxSide = 0) {
    if (!decodeServiceSubmit(path, maxSide, fakeTimeLimitMs)) return Outcome{};
    return finish();
}

bool patternHolds(const DecodedImage& image) {
    if (image.byteCount != size_t(image.width) * image.height * 4) return false;
    for (size_t i = 0; i < image.byteCount; ++i) {
        if (image.pixels[i] != patternByte(image.width, image.height, i)) return false;
    }
    return true;
}

// A picture of the given pixel and picture sizes, with the right bytes.
void checkPicture(Outcome outcome, uint32_t width, uint32_t height, uint32_t pictureWidth, uint32_t pictureHeight) {
    CHECK(outcome.state == DecodeJobState::done);
    if (outcome.state != DecodeJobState::done) return;
    CHECK(outcome.image.width == width && outcome.image.height == height);
    CHECK(outcome.image.pictureWidth == pictureWidth && outcome.image.pictureHeight == pictureHeight);
    CHECK(patternHolds(outcome.image));
    releaseDecodedImage(&outcome.image);
}

// Waits for the process to end; false if it still runs after waitMs.
bool ends(long pid, DWORD waitMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process) return true;
    bool ended = WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

void testPictures() {
    checkPicture(decode("picture:640:480"), 640, 480, 640, 480);
    checkPicture(decode("picture:4000:1000"), 2048, 512, 4000, 1000);
    checkPicture(decode("picture:4000:1000", 1000), 1000, 250, 4000, 1000);
    checkPicture(decode("picture:1:1"), 1, 1, 1, 1);
    long helper = decodeHelperId();
    CHECK(helper != 0);
    CHECK(decode("fail").state == DecodeJobState::failed);
    CHECK(decodeHelperId() == helper);  // a refused file leaves the helper be
    CHECK(decodeServicePoll(0, nullptr) == DecodeJobState::idle);
}

// Narrows sent while the helper decodes apply; narrows that come once the
// pixels are sized change neither that job nor the next.
void testNarrows(HANDLE reached, HANDLE proceed) {
    CHECK(decodeServiceSubmit("picture:3000:1500:decode", 0, fakeTimeLimitMs));
    CHECK(!decodeServiceSubmit("picture:10:10", 0, fakeTimeLimitMs));  // one job at a time
    CHECK(WaitForSingleObject(reached, 10000) == WAIT_OBJECT_0);
    decodeServiceNarrow(1400);
    decodeServiceNarrow(1000);
    SetEvent(proceed);
    checkPicture(finish(), 1000, 500, 3000, 1500);

    long helper = decodeHelperId();
    CHECK(decodeServiceSubmit("picture:3000:1500:copy", 0, fakeTimeLimitMs));
    CHECK(WaitForSingleObject(reached, 10000) == WAIT_OBJECT_0);
    decodeServiceNarrow(1000);
    SetEvent(proceed);
    checkPicture(finish(), 2048, 1024, 3000, 1500);
    checkPicture(decode("picture:3000:1500"), 2048, 1024, 3000, 1500);
    decodeServiceNarrow(700);  // no job: ignored
    checkPicture(decode("picture:3000:1500"), 2048, 1024, 3000, 1500);
    CHECK(decodeHelperId() == helper);
}

// A helper that crashes, ends or hangs costs the job, not the service.
void testHelperDeaths() {
    const char* deaths[] = {"crash", "exit", "hang"};
    for (const char* death : deaths) {
        checkPicture(decode("picture:8:8"), 8, 8, 8, 8);
        long helper = decodeHelperId();
        // Only the hang needs the short limit; good pictures get the default.
        setDecodeTimeLimitForTests(700);
        Outcome outcome = decode(death);
        setDecodeTimeLimitForTests(0);
        std::printf("  %s: state %d after %lu ms\n", death, int(outcome.state), outcome.tookMs);
        CHECK(outcome.state == DecodeJobState::failed);
        CHECK(ends(helper, 30000));
        checkPicture(decode("picture:9:7"), 9, 7, 9, 7);
        CHECK(decodeHelperId() != helper);
    }
    // The default limit holds a hang for the full ten seconds; the job is
    // abandoned long before.
    CHECK(decodeServiceSubmit("hang", 0, fakeTimeLimitMs));
    CHECK(decodeServicePoll(300, nullptr) == DecodeJobState::running);
    decodeServiceCancel();
}

void testMemoryHog() {
    Outcome outcome = decode("hog");
    std::printf("  hog: state %d after %lu ms\n", int(outcome.state), outcome.tookMs);
    if (outcome.state == DecodeJobState::done && underWine()) {
        // Wine keeps a job's limits without enforcing them.
        std::printf("  note: this Wine does not enforce the helper's memory limit; not checked\n");
        CHECK(outcome.image.width == hogSide);
        releaseDecodedImage(&outcome.image);
    } else {
        CHECK(outcome.state == DecodeJobState::failed);
    }
    checkPicture(decode("picture:5:5"), 5, 5, 5, 5);
}

void testCancelAndStop() {
    CHECK(decodeServiceSubmit("hang", 0, fakeTimeLimitMs));
    long helper = decodeHelperId();
    decodeServiceCancel();
    CHECK(ends(helper, 30000));
    CHECK(decodeServicePoll(0, nullptr) == DecodeJobState::idle);
    checkPicture(decode("picture:3:4"), 3, 4, 3, 4);

    decodeServiceCancel();  // idle: the helper stays
    helper = decodeHelperId();
    CHECK(helper != 0);
    checkPicture(decode("picture:4:3"), 4, 3, 4, 3);
    CHECK(decodeHelperId() == helper);

    decodeServiceStop();
    CHECK(ends(helper, 30000));
    CHECK(decodeHelperId() == 0);
    checkPicture(decode("picture:6:2"), 6, 2, 6, 2);  // started anew
    decodeServiceStop();
}

// The helper gets the handles made for it, no other inheritable one.
void testInheritance() {
    // Inherited handles keep their values; a value far above those a fresh
    // process holds cannot name one of the helper's own by chance.
    HANDLE strays[512];
    for (HANDLE& stray : strays) stray = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE stray = strays[511];
    CHECK(stray && SetHandleInformation(stray, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
    decodeServiceStop();  // the next helper starts while the stray exists
    char path[64];
    std::snprintf(path, sizeof path, "inherited:%llu", (unsigned long long)uintptr_t(stray));
    Outcome outcome = decode(path);
    CHECK(outcome.state == DecodeJobState::done && outcome.image.width == 2);
    releaseDecodedImage(&outcome.image);
    for (HANDLE stray : strays) CloseHandle(stray);
}

// Starts this program as a viewer that leaves a hanging helper behind, then
// kills it or lets it end, and checks that the helper goes with it.
void testOrphan(const char* how) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
    CHECK(CreatePipe(&outRead, &outWrite, &inheritable, 0) && CreatePipe(&inRead, &inWrite, &inheritable, 0));
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(exe) + L"\" orphan";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    CHECK(CreateProcessW(exe, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child));
    CloseHandle(outWrite);
    CloseHandle(inRead);
    char line[32] = "";
    DWORD got = 0;
    ReadFile(outRead, line, sizeof line - 1, &got, nullptr);
    line[got] = '\0';
    long helper = std::strtol(line, nullptr, 10);
    HANDLE helperProcess = helper > 0 ? OpenProcess(SYNCHRONIZE, FALSE, DWORD(helper)) : nullptr;
    CHECK(helperProcess != nullptr);
    if (std::strcmp(how, "kill") == 0) {
        TerminateProcess(child.hProcess, 9);
    } else {
        DWORD written = 0;
        WriteFile(inWrite, "x", 1, &written, nullptr);
    }
    CHECK(WaitForSingleObject(child.hProcess, 5000) == WAIT_OBJECT_0);
    if (helperProcess) {
        bool ended = WaitForSingleObject(helperProcess, 5000) == WAIT_OBJECT_0;
        std::printf("  orphan after %s: helper %s\n", how, ended ? "ended" : "still runs");
        CHECK(ended);
        if (!ended) TerminateProcess(helperProcess, 1);
        CloseHandle(helperProcess);
    }
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    CloseHandle(outRead);
    CloseHandle(inWrite);
}

// The child of testOrphan: a job that hangs, its helper's id on stdout, and
// an end without decodeServiceStop once a byte comes in (or it is killed).
int orphanChild() {
    if (!decodeServiceSubmit("hang", 0, fakeTimeLimitMs)) return 2;
    std::printf("%ld\n", decodeHelperId());
    std::fflush(stdout);
    char byte;
    DWORD got = 0;
    ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "orphan") == 0) return orphanChild();
    HANDLE reached = CreateEventW(nullptr, FALSE, FALSE, reachedEventName);
    HANDLE proceed = CreateEventW(nullptr, FALSE, FALSE, proceedEventName);
    CHECK(decodeServiceStart());
    struct {
        const char* name;
        void (*run)();
    } const tests[] = {
        {"pictures", testPictures},
        {"helper deaths", testHelperDeaths},
        {"memory hog", testMemoryHog},
        {"cancel and stop", testCancelAndStop},
        {"inheritance", testInheritance},
        {"orphan after kill", [] { testOrphan("kill"); }},
        {"orphan after exit", [] { testOrphan("exit"); }},
    };
    std::printf("narrows\n");
    testNarrows(reached, proceed);
    for (const auto& test : tests) {
        std::printf("%s\n", test.name);
        std::fflush(stdout);
        test.run();
    }
    decodeServiceStop();
    std::printf("%s: %d failure(s)\n", failures ? "FAILED" : "passed", failures);
    return failures ? 1 : 0;
}
