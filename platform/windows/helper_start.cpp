// The sandbox the Windows viewer starts its decode helper in, modelled on the
// browser sandboxes that decode untrusted images:
//   - a token restricted from the viewer's own: every privilege removed,
//     the user's own SID and every group but the everyday ones (Everyone,
//     Users, Authenticated Users, Interactive, the logon session) deny-only,
//     a restricting SID list of Everyone, Users, RESTRICTED and the logon
//     session, at Low integrity. Every access must then be granted to one of
//     those four as well: System32 and an installed program's folder stay
//     readable, the user's own files do not, and nothing of the user's can
//     be written, no process of theirs opened for writing and none of their
//     windows reached. The pictures come as handles (decode_transport.cpp);
//   - the helper's first thread starts impersonating the same token with the
//     user's SID granting and restricting SIDs that grant what the viewer's
//     own do, so that its libraries load also from a folder only the user
//     may read (an unpacked zip); the helper reverts to its own token once
//     they are loaded, before its first job;
//   - a job per helper (makeHelperJob);
//   - mitigation policies at creation: no win32k system calls (the helper
//     loads no USER32 or GDI32), no dynamic code, no extension points,
//     strict handle checks, images neither remote nor Low-labelled, and
//     high-entropy bottom-up ASLR; a Windows that knows none of them starts
//     the helper without them;
//   - only the helper's pipes and events inherited (the handle list), no busy
//     cursor (STARTF_FORCEOFFFEEDBACK) and no console window.
// The helper does its own part (decode_sandbox.cpp), and the test build can
// ask it to report and attack all of this.
#include "platform/windows/helper_start.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/windows/decode_pipe.h"

namespace {

const SIZE_T helperMemoryLimit = SIZE_T(2) << 30;

// The viewer's environment with the marker set to `value`, as a block for
// CreateProcess.
std::wstring helperEnvironment(const std::string& value) {
    std::wstring name(decodeHelperMarker, decodeHelperMarker + std::strlen(decodeHelperMarker));
    name += L"=";
    std::wstring block;
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

// Groups the helper keeps as they are: enough to run, nothing that adds rights.
bool everydayGroup(const SID_AND_ATTRIBUTES& group) {
    if (group.Attributes & SE_GROUP_LOGON_ID) return true;
    const WELL_KNOWN_SID_TYPE everyday[] = {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid,
                                            WinInteractiveSid};
    for (WELL_KNOWN_SID_TYPE type : everyday) {
        if (IsWellKnownSid(group.Sid, type)) return true;
    }
    return false;
}

// The SIDs of the viewer's token: its user's, the groups the helper keeps
// and those it keeps deny-only, and its logon session's (null when it has
// none). They point into the two buffers.
struct TokenSids {
    PSID user = nullptr;
    std::vector<SID_AND_ATTRIBUTES> kept, denyOnly;
    PSID logon = nullptr;
};

TokenSids tokenSids(HANDLE own, std::vector<unsigned char>& userBytes, std::vector<unsigned char>& groupBytes) {
    TokenSids sids;
    DWORD size = 0;
    GetTokenInformation(own, TokenUser, nullptr, 0, &size);
    userBytes.assign(size ? size : 1, 0);
    if (size && GetTokenInformation(own, TokenUser, userBytes.data(), size, &size))
        sids.user = reinterpret_cast<TOKEN_USER*>(userBytes.data())->User.Sid;
    size = 0;
    GetTokenInformation(own, TokenGroups, nullptr, 0, &size);
    groupBytes.assign(size ? size : 1, 0);
    if (!size || !GetTokenInformation(own, TokenGroups, groupBytes.data(), size, &size)) return sids;
    auto groups = reinterpret_cast<TOKEN_GROUPS*>(groupBytes.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        if (group.Attributes & SE_GROUP_INTEGRITY) continue;
        if (group.Attributes & SE_GROUP_LOGON_ID) sids.logon = group.Sid;
        (everydayGroup(group) ? sids.kept : sids.denyOnly).push_back({group.Sid, 0});
    }
    return sids;
}

// The viewer's token, restricted as above; with `lockdown` false, the token
// the helper starts with: the same but with the user's SID granting and a
// restricting list of the SIDs it grants by (the user, the groups kept) and
// RESTRICTED, so that it reaches what the viewer reaches. (A process whose
// own token is restricted may impersonate only a restricted token.) Null
// when it could not be made.
HANDLE restrictedToken(bool lockdown) {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, &own))
        return nullptr;
    std::vector<unsigned char> userBytes, groupBytes;
    TokenSids sids = tokenSids(own, userBytes, groupBytes);
    std::vector<SID_AND_ATTRIBUTES> denyOnly = sids.denyOnly, restricting;
    if (lockdown && sids.user) denyOnly.push_back({sids.user, 0});
    if (!lockdown && sids.user) restricting.push_back({sids.user, 0});
    if (!lockdown) restricting.insert(restricting.end(), sids.kept.begin(), sids.kept.end());
    unsigned char wellKnown[3][SECURITY_MAX_SID_SIZE];
    const WELL_KNOWN_SID_TYPE lockdownSids[] = {WinRestrictedCodeSid, WinWorldSid, WinBuiltinUsersSid};
    for (int i = 0; i < (lockdown ? 3 : 1); ++i) {
        DWORD sidSize = SECURITY_MAX_SID_SIZE;
        if (CreateWellKnownSid(lockdownSids[i], nullptr, wellKnown[i], &sidSize)) restricting.push_back({wellKnown[i], 0});
    }
    if (lockdown && sids.logon) restricting.push_back({sids.logon, 0});
    HANDLE restricted = nullptr;
    BOOL made = CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, DWORD(denyOnly.size()),
                                      denyOnly.empty() ? nullptr : denyOnly.data(), 0, nullptr,
                                      DWORD(restricting.size()), restricting.empty() ? nullptr : restricting.data(),
                                      &restricted);
    CloseHandle(own);
    if (!made) return nullptr;
    // Low integrity: no writes to anything of the user's, which is Medium.
    unsigned char lowSid[SECURITY_MAX_SID_SIZE];
    DWORD lowSize = sizeof lowSid;
    TOKEN_MANDATORY_LABEL label = {};
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    label.Label.Sid = lowSid;
    if (!CreateWellKnownSid(WinLowLabelSid, nullptr, lowSid, &lowSize) ||
        !SetTokenInformation(restricted, TokenIntegrityLevel, &label, sizeof label + GetLengthSid(lowSid))) {
        CloseHandle(restricted);
        return nullptr;
    }
    return restricted;
}

// Makes the suspended helper's first thread impersonate the token it starts
// with; false when that could not be done.
bool impersonateWhileStarting(HANDLE thread) {
    HANDLE starting = restrictedToken(false);
    if (!starting) return false;
    HANDLE impersonation = nullptr;
    bool set = DuplicateTokenEx(starting, TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation,
                                TokenImpersonation, &impersonation) &&
               SetThreadToken(&thread, impersonation);
    if (impersonation) CloseHandle(impersonation);
    CloseHandle(starting);
    return set;
}

const DWORD64 helperMitigations =
    PROCESS_CREATION_MITIGATION_POLICY_WIN32K_SYSTEM_CALL_DISABLE_ALWAYS_ON |
    PROCESS_CREATION_MITIGATION_POLICY_PROHIBIT_DYNAMIC_CODE_ALWAYS_ON |
    PROCESS_CREATION_MITIGATION_POLICY_EXTENSION_POINT_DISABLE_ALWAYS_ON |
    PROCESS_CREATION_MITIGATION_POLICY_STRICT_HANDLE_CHECKS_ALWAYS_ON |
    PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_NO_REMOTE_ALWAYS_ON |
    PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_NO_LOW_LABEL_ALWAYS_ON |
    PROCESS_CREATION_MITIGATION_POLICY_HIGH_ENTROPY_ASLR_ALWAYS_ON |
    PROCESS_CREATION_MITIGATION_POLICY_BOTTOM_UP_ASLR_ALWAYS_ON;

// Creates the helper suspended; false when it could not be.
bool createSuspended(HANDLE token, const std::wstring& program, HANDLE* inherited, size_t count,
                     std::wstring& environment, bool mitigated, PROCESS_INFORMATION* info) {
    DWORD attributes = mitigated ? 2 : 1;
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, attributes, 0, &listSize);
    std::vector<unsigned char> listBytes(listSize);
    auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    if (!InitializeProcThreadAttributeList(list, attributes, 0, &listSize)) return false;
    DWORD64 mitigations = helperMitigations;
    bool listed =
        UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, count * sizeof(HANDLE),
                                  nullptr, nullptr) &&
        (!mitigated || UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY, &mitigations,
                                                 sizeof mitigations, nullptr, nullptr));
    bool created = false;
    if (listed) {
        STARTUPINFOEXW startup = {};
        startup.StartupInfo.cb = sizeof startup;
        startup.StartupInfo.dwFlags = STARTF_FORCEOFFFEEDBACK;
        startup.lpAttributeList = list;
        std::wstring commandLine = L"\"" + program + L"\"";
        DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW;
        created = CreateProcessAsUserW(token, program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, flags,
                                       &environment[0], nullptr, &startup.StartupInfo, info);
    }
    DeleteProcThreadAttributeList(list);
    return created;
}

}  // namespace

HANDLE makeHelperJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                                              JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
                                              JOB_OBJECT_LIMIT_ACTIVE_PROCESS;
    limits.BasicLimitInformation.ActiveProcessLimit = 1;
    limits.ProcessMemoryLimit = helperMemoryLimit;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    // A system that keeps no UI restrictions for jobs (Wine) still gets the
    // rest; the helper's own report says which held.
    JOBOBJECT_BASIC_UI_RESTRICTIONS ui = {};
    ui.UIRestrictionsClass = JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_DISPLAYSETTINGS |
                             JOB_OBJECT_UILIMIT_EXITWINDOWS | JOB_OBJECT_UILIMIT_GLOBALATOMS |
                             JOB_OBJECT_UILIMIT_HANDLES | JOB_OBJECT_UILIMIT_READCLIPBOARD |
                             JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS | JOB_OBJECT_UILIMIT_WRITECLIPBOARD;
    SetInformationJobObject(job, JobObjectBasicUIRestrictions, &ui, sizeof ui);
    return job;
}

HANDLE startSandboxedHelper(const std::wstring& program, HANDLE job, HANDLE* inherited, size_t count,
                            const std::string& marker) {
    HANDLE token = restrictedToken(true);
    if (!token) return nullptr;
    std::wstring environment = helperEnvironment(marker);
    PROCESS_INFORMATION info = {};
    bool created = createSuspended(token, program, inherited, count, environment, true, &info) ||
                   createSuspended(token, program, inherited, count, environment, false, &info);
    CloseHandle(token);
    if (!created) return nullptr;
    HANDLE process = nullptr;
    if (impersonateWhileStarting(info.hThread) && AssignProcessToJobObject(job, info.hProcess) &&
        ResumeThread(info.hThread) != DWORD(-1)) {
        process = info.hProcess;
    } else {
        TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
    }
    CloseHandle(info.hThread);
    return process;
}
