// The Windows decode service against a decoder whose pictures say what to
// do, run under Wine (or Windows) as a console program. Its helper is
// olvistra-decode.exe beside it (fake_decode_helper.cpp), with the real
// helper side, so the real start-up, sandbox, file hand-over, pipes, file
// mappings, jobs, spare and kills are exercised; only DevIL is left out.
//
// What a picture file may say to the fake decoder:
//   picture:W:H                 a W x H picture
//   files                       N x 1, N the number of files handed over
//   fail                        a refused file
//   crash                       writes through a null pointer
//   throw                       throws a C++ exception out of the decoder
//   abort                       calls abort()
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
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/testing.h"
#include "platform/windows/decode_handles.h"
#include "platform/win32.h"
#include "fake_pictures.h"

namespace {

// ---- the suite, run in the viewer's place ------------------------------------

// Paths here name fake pictures, not files: the limit a real file earns
// is tested with the real decoder.
const uint32_t fakeTimeLimitMs = 10000;

bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The folder the pictures are written to.
std::string pictureFolder() {
    static const std::string folder = [] {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string made = std::string(temp) + "olvistra-pictures-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(made.c_str(), nullptr);
        return made + "\\";
    }();
    return folder;
}

std::vector<std::string> written;  // removed at the end

void writeFile(const std::string& path, const std::string& bytes) {
    written.push_back(path);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// A picture file that says `what`, under a name of its own.
std::string picture(const std::string& what) {
    static int made = 0;
    std::string path = pictureFolder() + "picture" + std::to_string(++made) + ".png";
    writeFile(path, what);
    return path;
}

int failures = 0;

#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                                    \
        }                                                                                  \
    } while (0)

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

Outcome decodeFile(const std::string& path, uint32_t maxSide = 0) {
    if (!decodeServiceSubmit(path.c_str(), maxSide, fakeTimeLimitMs)) return Outcome{};
    return finish();
}

Outcome decode(const std::string& what, uint32_t maxSide = 0) { return decodeFile(picture(what), maxSide); }

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

// A helper that crashes, ends or hangs costs the job, not the service.
void testHelperDeaths() {
    const char* deaths[] = {"crash", "throw", "abort", "exit", "hang"};
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
    CHECK(decodeServiceSubmit(picture("hang").c_str(), 0, fakeTimeLimitMs));
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

// When a process was started, or 0.
uint64_t startedAt(long pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    FILETIME created = {}, exited, kernel, user;
    bool known = process && GetProcessTimes(process, &created, &exited, &kernel, &user);
    if (process) CloseHandle(process);
    return known ? (uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime : 0;
}

// A cancel kills the helper; the spare, started before it, takes over.
void testCancelAndStop() {
    decodeServiceKeepSpare();
    CHECK(decodeServiceSubmit(picture("hang").c_str(), 0, fakeTimeLimitMs));
    long helper = decodeHelperId();
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t cancelledAt = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    decodeServiceCancel();
    CHECK(ends(helper, 30000));
    CHECK(decodeServicePoll(0, nullptr) == DecodeJobState::idle);
    checkPicture(decode("picture:3:4"), 3, 4, 3, 4);
    uint64_t successorStarted = startedAt(decodeHelperId());
    CHECK(successorStarted != 0 && successorStarted < cancelledAt);

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

// What the helper reports of its sandbox from inside, and what its attacks
// achieved. Each protection is checked where the system enforces it; under
// Wine, which enforces few of them, an attack that succeeds is reported as
// not observable here, never as refused.
void testSandbox() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "olvistra-sandbox-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string target = folder + "\\target";
    HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "untouched", 9, &written, nullptr);
    CloseHandle(file);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    CHECK(CopyFileA((std::string(system) + "\\version.dll").c_str(), (folder + "\\planted.dll").c_str(), FALSE));

    decodeServiceStop();
    SetEnvironmentVariableA("OLVISTRA_SANDBOX_ATTACK", folder.c_str());
    SetEnvironmentVariableA("OLVISTRA_SANDBOX_VIEWER", std::to_string(GetCurrentProcessId()).c_str());
    CHECK(decodeServiceStart());
    SetEnvironmentVariableA("OLVISTRA_SANDBOX_ATTACK", nullptr);
    SetEnvironmentVariableA("OLVISTRA_SANDBOX_VIEWER", nullptr);
    std::string report = decodeHelperAttackReport(60000);
    decodeServiceStop();
    CHECK(!report.empty());
    std::map<std::string, std::string> seen;
    std::istringstream lines(report);
    std::string name, value;
    while (lines >> name >> value) seen[name] = value;
    bool wine = underWine();

    // Queried from inside: each must be what the viewer set, where the
    // system answers at all.
    const std::pair<const char*, const char*> queries[] = {
        {"query-privileges", "0"},          {"query-integrity", "0x1000"},
        {"query-restricting-sids", "everyone,users,restricted,logon"}, {"query-user-deny-only", "1"},
        {"query-job-limits", "0x2508/1/0x80000000"}, {"query-job-ui", "0xff"},
        {"query-win32k", "0x1"},            {"query-dynamic-code", "0x1"},
        {"query-extension-points", "0x1"},  {"query-strict-handles", "0x3"},
        {"query-image-load", "0x3"},        {"query-aslr", "0x5"},
    };
    CHECK(seen["query-drawing-dlls-loaded"] == "0");
    const std::string& groups = seen["query-groups-granting/deny-only"];
    size_t slash = groups.find('/');
    bool denyOnly = slash != std::string::npos && std::strtoul(groups.c_str() + slash + 1, nullptr, 10) > 0;
    std::printf("  groups granting/deny-only: %s%s\n", groups.c_str(),
                denyOnly ? ", some deny-only (confirmed from inside)" : "");
    CHECK(denyOnly);
    for (const auto& [query, expected] : queries) {
        const std::string& got = seen[query];
        bool asSet = query == std::string("query-aslr") ? got.size() > 2 && (std::strtoul(got.c_str(), nullptr, 16) & 5) == 5
                                                         : got == expected;
        if (asSet) {
            std::printf("  %s: %s, as set (confirmed from inside)\n", query, got.c_str());
        } else if (wine) {
            std::printf("  %s: %s, set %s: this Wine %s; not checked under Wine\n", query, got.c_str(), expected,
                        got == "unanswered" ? "gives no answer" : "does not apply or report it");
        } else {
            std::printf("  %s: %s, want %s\n", query, got.c_str(), expected);
            CHECK(asSet);
        }
    }

    // Attacks, each of which Windows must refuse.
    const char* refused[] = {"read-user-file", "write-user-file", "create-file",  "start-process",
                             "connect",        "write-viewer-memory", "read-clipboard", "find-window",
                             "load-planted-dll", "writable-executable"};
    for (const char* attempt : refused) {
        const std::string& got = seen[attempt];
        if (!got.empty() && got != "0") {
            std::printf("  %s: refused (error %s), observed\n", attempt, got.c_str());
        } else if (wine) {
            std::printf("  %s: succeeded: this Wine does not enforce the protection; SKIPPED\n", attempt);
        } else {
            std::printf("  %s: %s, want refused\n", attempt, got.empty() ? "no report" : "succeeded");
            CHECK(false);
        }
    }
    // Whatever was allowed, the attacks wrote nothing of the user's.
    char content[16] = "";
    file = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ReadFile(file, content, sizeof content - 1, &written, nullptr);
    CloseHandle(file);
    CHECK(std::string(content) == "untouched");
    DeleteFileA(target.c_str());
    DeleteFileA((folder + "\\planted.dll").c_str());
    DeleteFileA((folder + "\\created").c_str());
    RemoveDirectoryA(folder.c_str());
}

// The files a picture is handed over with, and names and files the viewer
// must neither hand over nor wait on.
void testHandedFiles() {
    // A .cut file comes with its palette beside it, when there is one.
    std::string cut = pictureFolder() + "halo.cut";
    writeFile(cut, "files");
    checkPicture(decodeFile(cut), 1, 1, 1, 1);
    writeFile(pictureFolder() + "halo.pal", "a palette");
    checkPicture(decodeFile(cut), 2, 1, 2, 1);

    // A folder, and com1.jpg, which names a serial port on Windows: neither
    // reads as a picture, and a job for either fails without a wait.
    std::string device = pictureFolder() + "com1.jpg";
    CHECK(!fileOpensForReading(pictureFolder().c_str()));
    CHECK(!fileOpensForReading(device.c_str()));
    CHECK(decodeFile(device).state == DecodeJobState::failed);
    checkPicture(decode("picture:2:2"), 2, 2, 2, 2);

    // A file whose content is offline is not read by the viewer; its job
    // reads it in the helper, under the time limit.
    std::string offline = picture("picture:3:3");
    if (SetFileAttributesA(offline.c_str(), FILE_ATTRIBUTE_OFFLINE) &&
        (GetFileAttributesA(offline.c_str()) & FILE_ATTRIBUTE_OFFLINE)) {
        CHECK(!fileContentAtHand(offline.c_str()));
        std::printf("  offline file: not read by the viewer (observed)\n");
    } else {
        std::printf("  offline file: this system keeps no offline attribute; SKIPPED\n");
    }
    checkPicture(decodeFile(offline), 3, 3, 3, 3);
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
    if (!decodeServiceSubmit(picture("hang").c_str(), 0, fakeTimeLimitMs)) return 2;
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
        {"handed files", testHandedFiles},
        {"sandbox", testSandbox},
        {"orphan after kill", [] { testOrphan("kill"); }},
        {"orphan after exit", [] { testOrphan("exit"); }},
    };
    for (const auto& test : tests) {
        std::printf("%s\n", test.name);
        std::fflush(stdout);
        test.run();
    }
    decodeServiceStop();
    for (const std::string& path : written) DeleteFileA(path.c_str());
    RemoveDirectoryA(pictureFolder().c_str());
    std::printf("%s: %d failure(s)\n", failures ? "FAILED" : "passed", failures);
    return failures ? 1 : 0;
}
