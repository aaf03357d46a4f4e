// The decode helper of the Windows decode-service test: olvistra-decode.exe
// with the real helper side of the transport and sandbox, and a decoder
// whose pictures' bytes, as the viewer hands them over, say what to do
// (decode_helper_test.cpp lists them).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/decode_helper.h"
#include "platform/win32.h"
#include "fake_pictures.h"

namespace {

struct Decoded {
    uint32_t width = 0, height = 0;
};
Decoded decoded;

void startDecoder(const std::string&) {}

bool decodeToRgba(const std::vector<HandedFile>& files, uint32_t, uint32_t* width, uint32_t* height) {
    decoded = Decoded{};
    const std::string content(files[0].bytes);
    const char* told = content.c_str();  // what the picture says to do
    if (std::sscanf(told, "picture:%u:%u", &decoded.width, &decoded.height) == 2) {
        // a picture of that size
    } else if (std::strcmp(told, "files") == 0) {
        decoded.width = uint32_t(files.size());
        decoded.height = 1;
    } else if (std::strcmp(told, "crash") == 0) {
        *static_cast<volatile int*>(nullptr) = 1;
    } else if (std::strcmp(told, "throw") == 0) {
        throw std::string("thrown out of the decoder");
    } else if (std::strcmp(told, "abort") == 0) {
        std::abort();
    } else if (std::strcmp(told, "exit") == 0) {
        ExitProcess(3);
    } else if (std::strcmp(told, "hang") == 0) {
        for (;;) Sleep(INFINITE);
    } else if (std::strcmp(told, "hog") == 0) {
        SIZE_T size = SIZE_T(3) << 30;
        volatile char* block = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!block) return false;
        decoded.width = decoded.height = hogSide;
    } else if (std::strncmp(told, "inherited:", 10) == 0) {
        DWORD flags = 0;
        HANDLE probed = HANDLE(uintptr_t(std::strtoull(told + 10, nullptr, 10)));
        decoded.width = decoded.height = GetHandleInformation(probed, &flags) ? 1 : 2;
    }
    if (decoded.width == 0 || decoded.height == 0) return false;
    *width = decoded.width;
    *height = decoded.height;
    return true;
}

void copyDecodedRgba(unsigned char* target, int orientation, uint32_t width, uint32_t height) {
    if (orientation != 1) return;  // leaves zeros, which the pattern check catches
    for (size_t i = 0; i < size_t(width) * height * 4; ++i) target[i] = patternByte(width, height, i);
}

}  // namespace

int main() {
    if (!startedAsDecodeHelper()) return 2;
    return serveDecodeRequests({startDecoder, decodeToRgba, copyDecodedRgba});
}
