// Directory enumeration, the thread's last error and the working directory,
// over POSIX. A find handle holds an open directory stream; the pattern is a
// directory, a separator and '*', with '/' and '\' both accepted.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/services.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct FindHandle {
    DIR* stream;
};

DWORD errorFromErrno(int code) {
    switch (code) {
        case ENOENT: return ERROR_PATH_NOT_FOUND;
        case ENOTDIR: return ERROR_DIRECTORY;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_INVALID_PARAMETER;
    }
}

// Fills the record from the next directory entry; false at the end or on error.
bool readNext(DIR* stream, LPWIN32_FIND_DATAA record) {
    errno = 0;
    struct dirent* entry = ::readdir(stream);
    if (!entry) {
        SetLastError(errno == 0 ? ERROR_NO_MORE_FILES : errorFromErrno(errno));
        return false;
    }
    std::memset(record, 0, sizeof *record);
    std::strncpy(record->cFileName, entry->d_name, MAX_PATH - 1);
    record->dwFileAttributes = entry->d_type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    return true;
}

}  // namespace

DWORD GetLastError(void) { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    std::string directory = lpFileName ? lpFileName : "";
    if (platformCallFails(PlatformCall::FindFirstFileA)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // Only "all names in a directory" searches are supported.
    if (directory.empty() || directory.back() != '*') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    directory.pop_back();
    for (char& c : directory) {
        if (c == '\\') c = '/';
    }
    if (directory.empty()) directory = ".";

    DIR* stream = ::opendir(directory.c_str());
    if (!stream) {
        SetLastError(errorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    if (!readNext(stream, lpFindFileData)) {
        ::closedir(stream);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return new FindHandle{stream};
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!hFindFile || hFindFile == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return readNext(static_cast<FindHandle*>(hFindFile)->stream, lpFindFileData) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (!hFindFile || hFindFile == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* handle = static_cast<FindHandle*>(hFindFile);
    int result = ::closedir(handle->stream);
    delete handle;
    return result == 0 ? TRUE : FALSE;
}

char* _getcwd(char* buffer, int maxlen) {
    if (maxlen <= 0) {
        errno = ERANGE;
        return nullptr;
    }
    return ::getcwd(buffer, static_cast<size_t>(maxlen));
}

int _chdir(const char* dirname) { return ::chdir(dirname); }

// A plain open, as listing a large folder asks this of every image name.
// O_NONBLOCK keeps a FIFO given a picture's name from stopping the viewer
// until something writes to it; only regular files count, as a FIFO or a
// device is no picture to decode.
bool fileOpensForReading(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info;
    bool isFile = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return isFile;
}

bool fileContentAtHand(const char*) { return true; }

std::string longPathName(const std::string& path) { return path; }

bool fileStampOf(const char* path, FileStamp* stamp) {
    struct stat info;
    if (::stat(path, &info) != 0 || S_ISDIR(info.st_mode)) return false;
    stamp->size = uint64_t(info.st_size);
    stamp->modified = uint64_t(info.st_mtim.tv_sec) * 1000000000u + uint64_t(info.st_mtim.tv_nsec);
    stamp->identity = uint64_t(info.st_ino);
    return true;
}
