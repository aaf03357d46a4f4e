#include "model/file_info_factory.h"

#include <string>

#include "model/handdir.h"
#include "platform/services.h"
#include "platform/win32.h"
#include "util/text.h"

namespace {

// Compared in this order, after the extension is lower-cased.
const char* const imageExtensions[] = {"bmp", "jpg", "jpe", "jpeg", "jp2", "png", "gif", "tga",
                                       "psd", "psp", "raw", "cut", "dcx", "dcm", "dds", "exr"};

// The text after the last '/' or '\', or the whole path without either.
std::string nameOf(const std::string& fullPath) {
    std::string::size_type separator = fullPath.find_last_of("/\\");
    return separator == std::string::npos ? fullPath : fullPath.substr(separator + 1);
}

// Names shorter than 5 bytes (also "." and "..") and names beginning with
// '.' make no entry.
bool makesEntry(const std::string& name) { return name.size() >= 5 && name[0] != '.'; }

}  // namespace

bool isImageName(const std::string& fullPath) {
    std::string name = nameOf(fullPath);
    if (!makesEntry(name)) return false;
    std::string extension = extensionOf(name);
    for (const char* image : imageExtensions) {
        if (extension == image) return true;
    }
    return false;
}

// An image name whose file does not open raises "can not read file" from
// the FileInfoImg constructor.
FileInfo* FileInfoFactory::create(std::string fullPath) {
    if (!makesEntry(nameOf(fullPath))) return nullptr;
    if (isImageName(fullPath)) return new FileInfoImg(fullPath);
    if (isReadableDir(fullPath)) return new FileInfoDir(fullPath);
    return nullptr;
}

// Reads the folder only up to its first entry; the list reports what goes
// wrong when it reads the folder itself.
std::string firstImageIn(const std::string& dir) {
    std::string first;
    try {
        visitNames(dir, [&](const std::string& name) {
            std::string fullPath = dir + name;
            if (isImageName(fullPath)) {
                if (!fileOpensForReading(fullPath.c_str())) return true;  // skipped by the list as well
                first = fullPath;
                return false;
            }
            return !(makesEntry(name) && isReadableDir(fullPath));  // a folder comes first
        });
    } catch (...) {
        first.clear();
    }
    return first;
}

FileInfoFactory* FileInfoFactory::instance() {
    static FileInfoFactory* factory = new FileInfoFactory();
    return factory;
}
