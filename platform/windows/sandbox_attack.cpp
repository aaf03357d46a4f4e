// Test build only: the Windows decode helper reporting and attacking its own
// sandbox (decode_sandbox.h). Started like a real helper but with
// OLVISTRA_SANDBOX_ATTACK naming the picture's folder (holding "target",
// a user file, and "planted.dll") and OLVISTRA_SANDBOX_VIEWER the viewer's
// process id, it first reports what it finds of its sandbox from inside,
// "query-<name> <value>" ("unanswered" where the system gives no answer), then
// tries what a hostile file that took over the decoder would try,
// "<attempt> <error>" (0 when the attempt succeeded). Successful attempts
// are harmless: they read, write nothing, and start a helper that ends at
// once.
#ifdef OLVISTRA_TEST_HOOKS
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/windows/decode_sandbox.h"

namespace {

std::string hex(unsigned long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", value);
    return text;
}

DWORD outcome(bool succeeded) { return succeeded ? 0 : (GetLastError() ? GetLastError() : DWORD(-1)); }

// ---- queries ---------------------------------------------------------------

// Asked through the process token's pseudo-handle (Windows 8 and later),
// which needs no handle of its own.
std::vector<unsigned char> tokenInformation(TOKEN_INFORMATION_CLASS kind) {
    HANDLE token = HANDLE(LONG_PTR(-4));  // GetCurrentProcessToken()
    std::vector<unsigned char> bytes(16384);
    DWORD size = 0;
    if (!GetTokenInformation(token, kind, bytes.data(), DWORD(bytes.size()), &size)) bytes.clear();
    return bytes;
}

std::string privilegeCount() {
    std::vector<unsigned char> bytes = tokenInformation(TokenPrivileges);
    if (bytes.empty()) return "unanswered";
    auto privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(bytes.data());
    // SeChangeNotifyPrivilege (traverse checking) stays with every token.
    LUID changeNotify = {};
    LookupPrivilegeValueW(nullptr, L"SeChangeNotifyPrivilege", &changeNotify);
    unsigned count = 0;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID& id = privileges->Privileges[i].Luid;
        if (id.LowPart != changeNotify.LowPart || id.HighPart != changeNotify.HighPart) ++count;
    }
    return std::to_string(count);
}

// The groups that still grant access: enabled and not deny-only.
std::string grantingGroups() {
    std::vector<unsigned char> bytes = tokenInformation(TokenGroups);
    if (bytes.empty()) return "unanswered";
    auto groups = reinterpret_cast<TOKEN_GROUPS*>(bytes.data());
    unsigned granting = 0, denyOnly = 0;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        DWORD attributes = groups->Groups[i].Attributes;
        if (attributes & SE_GROUP_INTEGRITY) continue;
        if (attributes & SE_GROUP_USE_FOR_DENY_ONLY) {
            ++denyOnly;
        } else {
            ++granting;
        }
    }
    return std::to_string(granting) + "/" + std::to_string(denyOnly);
}

// The restricting SIDs, by name ("none" when the token has none).
std::string restrictingSids() {
    std::vector<unsigned char> bytes = tokenInformation(TokenRestrictedSids);
    if (bytes.empty()) return "unanswered";
    auto sids = reinterpret_cast<TOKEN_GROUPS*>(bytes.data());
    std::string names;
    for (DWORD i = 0; i < sids->GroupCount; ++i) {
        PSID sid = sids->Groups[i].Sid;
        const SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        bool logon = *GetSidSubAuthorityCount(sid) == SECURITY_LOGON_IDS_RID_COUNT &&
                     std::memcmp(GetSidIdentifierAuthority(sid), &nt, sizeof nt) == 0 &&
                     *GetSidSubAuthority(sid, 0) == SECURITY_LOGON_IDS_RID;
        const char* name = IsWellKnownSid(sid, WinWorldSid)            ? "everyone"
                           : IsWellKnownSid(sid, WinBuiltinUsersSid)   ? "users"
                           : IsWellKnownSid(sid, WinRestrictedCodeSid) ? "restricted"
                           : logon                                     ? "logon"
                                                                       : "other";
        names += (names.empty() ? "" : ",") + std::string(name);
    }
    return names.empty() ? "none" : names;
}

// 1 when the user's own SID only denies.
std::string userDenyOnly() {
    std::vector<unsigned char> bytes = tokenInformation(TokenUser);
    if (bytes.empty()) return "unanswered";
    return (reinterpret_cast<TOKEN_USER*>(bytes.data())->User.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) ? "1" : "0";
}

std::string integrityLevel() {
    std::vector<unsigned char> bytes = tokenInformation(TokenIntegrityLevel);
    if (bytes.empty()) return "unanswered";
    PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(bytes.data())->Label.Sid;
    return hex(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1));
}

std::string jobLimits() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof limits, nullptr))
        return "unanswered";
    return hex(limits.BasicLimitInformation.LimitFlags) + "/" +
           std::to_string(limits.BasicLimitInformation.ActiveProcessLimit) + "/" + hex(limits.ProcessMemoryLimit);
}

std::string jobUiRestrictions() {
    JOBOBJECT_BASIC_UI_RESTRICTIONS ui = {};
    if (!QueryInformationJobObject(nullptr, JobObjectBasicUIRestrictions, &ui, sizeof ui, nullptr))
        return "unanswered";
    return hex(ui.UIRestrictionsClass);
}

// One mitigation policy's flags, asked through GetProcessMitigationPolicy
// (looked up: older systems lack it).
std::string mitigation(PROCESS_MITIGATION_POLICY policy) {
    using Get = BOOL(WINAPI*)(HANDLE, PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    auto get = reinterpret_cast<Get>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProcessMitigationPolicy")));
    DWORD flags = 0;
    if (!get || !get(GetCurrentProcess(), policy, &flags, sizeof flags)) return "unanswered";
    return hex(flags);
}

// ---- attacks ----------------------------------------------------------------

DWORD tryOpen(const std::string& path, DWORD access, DWORD disposition) {
    HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD result = outcome(file != INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return result;
}

// Starts its own program again, which ends at once without the marker.
DWORD tryStartProcess() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    DWORD result = outcome(
        CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info));
    if (result == 0) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    return result;
}

// A TCP connection to the viewer's machine, through a Winsock loaded here.
DWORD tryConnect() {
    HMODULE winsock = LoadLibraryW(L"ws2_32.dll");
    if (!winsock) return outcome(false);
    using Startup = int(WINAPI*)(WORD, void*);
    using Socket = UINT_PTR(WINAPI*)(int, int, int);
    using Connect = int(WINAPI*)(UINT_PTR, const void*, int);
    using LastError = int(WINAPI*)();
    auto startup = reinterpret_cast<Startup>(reinterpret_cast<void*>(GetProcAddress(winsock, "WSAStartup")));
    auto makeSocket = reinterpret_cast<Socket>(reinterpret_cast<void*>(GetProcAddress(winsock, "socket")));
    auto connectTo = reinterpret_cast<Connect>(reinterpret_cast<void*>(GetProcAddress(winsock, "connect")));
    auto lastError = reinterpret_cast<LastError>(reinterpret_cast<void*>(GetProcAddress(winsock, "WSAGetLastError")));
    unsigned char data[512];
    if (!startup || !makeSocket || !connectTo || !lastError || startup(0x0202, data) != 0) return DWORD(-1);
    UINT_PTR socket = makeSocket(2 /* AF_INET */, 1 /* SOCK_STREAM */, 6 /* TCP */);
    if (socket == UINT_PTR(~0)) return DWORD(lastError());
    // 127.0.0.1, port 9 (discard): refused when nothing listens, which
    // still shows the helper could reach the network.
    unsigned char address[16] = {2, 0, 0, 9, 127, 0, 0, 1};
    int connected = connectTo(socket, address, sizeof address);
    int error = lastError();
    return connected == 0 || error == 10061 /* WSAECONNREFUSED */ ? 0 : DWORD(error);
}

DWORD tryWriteViewerMemory() {
    const char* viewer = std::getenv("OLVISTRA_SANDBOX_VIEWER");
    HANDLE process = OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE,
                                 DWORD(std::strtoul(viewer ? viewer : "0", nullptr, 10)));
    DWORD result = outcome(process != nullptr);
    if (process) CloseHandle(process);
    return result;
}

// USER32 loaded only now, as a hijacked decoder would load it.
DWORD tryReadClipboard(HMODULE user) {
    if (!user) return outcome(false);
    using Open = BOOL(WINAPI*)(HWND);
    using Close = BOOL(WINAPI*)();
    auto open = reinterpret_cast<Open>(reinterpret_cast<void*>(GetProcAddress(user, "OpenClipboard")));
    auto close = reinterpret_cast<Close>(reinterpret_cast<void*>(GetProcAddress(user, "CloseClipboard")));
    if (!open || !close) return DWORD(-1);
    DWORD result = outcome(open(nullptr));
    if (result == 0) close();
    return result;
}

DWORD tryFindWindow(HMODULE user) {
    if (!user) return outcome(false);
    using Find = HWND(WINAPI*)(HWND, HWND, LPCWSTR, LPCWSTR);
    auto find = reinterpret_cast<Find>(reinterpret_cast<void*>(GetProcAddress(user, "FindWindowExW")));
    if (!find) return DWORD(-1);
    SetLastError(0);
    return outcome(find(nullptr, nullptr, nullptr, nullptr) != nullptr);
}

DWORD tryLoadPlantedDll(const std::string& folder) {
    HMODULE planted = LoadLibraryA((folder + "\\planted.dll").c_str());
    DWORD result = outcome(planted != nullptr);
    if (planted) FreeLibrary(planted);
    return result;
}

DWORD tryWritableExecutable() {
    void* block = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    DWORD result = outcome(block != nullptr);
    if (block) VirtualFree(block, 0, MEM_RELEASE);
    return result;
}

}  // namespace

void attackDecodeSandbox(const DecodeHelperHandles& channel, const char* folder) {
    std::string dir = folder;
    bool drawingLoaded = GetModuleHandleW(L"user32.dll") || GetModuleHandleW(L"gdi32.dll");
    std::string report = "query-privileges " + privilegeCount() + "\n" +
                         "query-groups-granting/deny-only " + grantingGroups() + "\n" +
                         "query-restricting-sids " + restrictingSids() + "\n" +
                         "query-user-deny-only " + userDenyOnly() + "\n" +
                         "query-integrity " + integrityLevel() + "\n" +
                         "query-job-limits " + jobLimits() + "\n" +
                         "query-job-ui " + jobUiRestrictions() + "\n" +
                         "query-win32k " + mitigation(ProcessSystemCallDisablePolicy) + "\n" +
                         "query-dynamic-code " + mitigation(ProcessDynamicCodePolicy) + "\n" +
                         "query-extension-points " + mitigation(ProcessExtensionPointDisablePolicy) + "\n" +
                         "query-strict-handles " + mitigation(ProcessStrictHandleCheckPolicy) + "\n" +
                         "query-image-load " + mitigation(ProcessImageLoadPolicy) + "\n" +
                         "query-aslr " + mitigation(ProcessASLRPolicy) + "\n" +
                         "query-drawing-dlls-loaded " + (drawingLoaded ? "1" : "0") + "\n";
    HMODULE user = LoadLibraryW(L"user32.dll");
    const std::pair<const char*, DWORD> attempts[] = {
        {"read-user-file", tryOpen(dir + "\\target", GENERIC_READ, OPEN_EXISTING)},
        {"write-user-file", tryOpen(dir + "\\target", GENERIC_WRITE, OPEN_EXISTING)},
        {"create-file", tryOpen(dir + "\\created", GENERIC_WRITE, CREATE_NEW)},
        {"start-process", tryStartProcess()},
        {"connect", tryConnect()},
        {"write-viewer-memory", tryWriteViewerMemory()},
        {"read-clipboard", tryReadClipboard(user)},
        {"find-window", tryFindWindow(user)},
        {"load-planted-dll", tryLoadPlantedDll(dir)},
        {"writable-executable", tryWritableExecutable()},
    };
    for (const auto& [name, error] : attempts) report += std::string(name) + " " + std::to_string(error) + "\n";
    std::string frame = framedMessage(report);
    writeWholly(channel.answers, frame.data(), frame.size());
    SetEvent(channel.answered);
    endDecodeHelperNow(0);
}
#endif
