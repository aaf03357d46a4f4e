// Why a start path can be neither read as a picture file nor listed as a
// folder, in the system's own words (FormatMessage of the last error of the
// call that refuses it); anything that is no file on a disk, such as a
// device name, is "Not a picture or folder".
#include <string>

#include "platform/services.h"
#include "platform/win32.h"

namespace {

// The system's text for the error, without its line break.
std::string systemMessage(DWORD error) {
    char text[512] = "";
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                    0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "Error " + std::to_string(error) : message;
}

// The text of listing the directory, or empty.
std::string listingProblem(std::string directory) {
    if (directory.empty() || (directory.back() != '\\' && directory.back() != '/')) directory += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((directory + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return systemMessage(::GetLastError());
    ::FindClose(search);
    return std::string();
}

}  // namespace

std::string pathProblem(const char* path) {
    DWORD attributes = ::GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return systemMessage(::GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return listingProblem(path);
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return systemMessage(::GetLastError());
    bool onDisk = ::GetFileType(file) == FILE_TYPE_DISK;
    ::CloseHandle(file);
    if (!onDisk) return "Not a picture or folder";
    std::string directory(path);
    std::string::size_type separator = directory.find_last_of("\\/");
    return listingProblem(separator == std::string::npos ? "." : directory.substr(0, separator + 1));
}
