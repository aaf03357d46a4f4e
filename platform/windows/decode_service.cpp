// The decode service on Windows, in-process for now: submit decodes at once
// with the app's decodeToRgba (into the bound DevIL image, which load()
// replaces right after) and copies the pixels out; poll reports the outcome.
// A picture larger than textureSideCap is shrunk as on Linux.
// There is no helper process, so no isolation, no time limit and no decoding
// ahead in parallel, and the EXIF orientation of JPEGs is not read (the
// pixels are shown as stored); the interface is the one the Linux helper
// serves, so a helper over a file mapping can take its place.
#include <cstdlib>

#include "platform/win32.h"
#include "util/downscale.h"

namespace {

struct Outcome {
    DecodeJobState state = DECODE_IDLE;
    DecodedImage image;
};

Outcome outcome;

}  // namespace

bool decodeServiceStart() { return true; }

// Submit decodes at once, in the caller's process.
bool decodeServiceRunsApart() { return false; }

bool decodeServiceSubmit(const char* path, uint32_t maxSide) {
    if (outcome.state != DECODE_IDLE) return false;
    uint32_t width = 0, height = 0;
    outcome.state = DECODE_FAILED;
    if (!decodeToRgba(path, &width, &height)) return true;
    uint32_t cappedWidth = 0, cappedHeight = 0;
    cappedSize(width, height, pixelSideCap(maxSide), &cappedWidth, &cappedHeight);
    size_t size = size_t(cappedWidth) * cappedHeight * 4;
    void* copy = std::malloc(size);
    if (!copy) return true;
    copyDecodedRgba(static_cast<unsigned char*>(copy), 1, cappedWidth, cappedHeight);
    outcome.image.width = cappedWidth;
    outcome.image.height = cappedHeight;
    outcome.image.pictureWidth = width;
    outcome.image.pictureHeight = height;
    outcome.image.pixels = static_cast<const unsigned char*>(copy);
    outcome.image.byteCount = size;
    outcome.image.handle = copy;
    outcome.state = DECODE_DONE;
    return true;
}

// Submit has finished the job already.
void decodeServiceNarrow(uint32_t) {}

DecodeJobState decodeServicePoll(uint32_t, DecodedImage* image) {
    DecodeJobState state = outcome.state;
    if (state == DECODE_DONE) *image = outcome.image;
    outcome = Outcome{};
    return state;
}

void decodeServiceCancel() {
    releaseDecodedImage(&outcome.image);
    outcome = Outcome{};
}

void decodeServiceStop() { decodeServiceCancel(); }

void releaseDecodedImage(DecodedImage* image) {
    std::free(image->handle);
    *image = DecodedImage{};
}

bool fileStampOf(const char* path, FileStamp* stamp) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    stamp->size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp->modified = (uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    stamp->identity = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

