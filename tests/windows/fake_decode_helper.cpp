// The decode helper of the Windows decode-service test: olvistra-decode.exe
// with the real helper side of the transport and sandbox, and a decoder
// whose "paths" say what to do (decode_helper_test.cpp lists them).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/decode_helper.h"
#include "platform/win32.h"
#include "fake_pictures.h"

namespace {

struct Decoded {
    uint32_t width = 0, height = 0;
    std::string gate;
};
Decoded decoded;

void passGate(const char* here) {
    if (decoded.gate != here) return;
    HANDLE reached = OpenEventW(EVENT_MODIFY_STATE, FALSE, FAKE_REACHED_EVENT);
    HANDLE proceed = OpenEventW(SYNCHRONIZE, FALSE, FAKE_PROCEED_EVENT);
    if (reached) SetEvent(reached);
    if (proceed) WaitForSingleObject(proceed, 10000);
    if (reached) CloseHandle(reached);
    if (proceed) CloseHandle(proceed);
}

void startDecoder(const std::string&) {}

bool decodeToRgba(const char* path, uint32_t* width, uint32_t* height) {
    decoded = Decoded{};
    char gate[16] = "";
    if (std::sscanf(path, "picture:%u:%u:%15s", &decoded.width, &decoded.height, gate) >= 2) {
        decoded.gate = gate;
    } else if (std::strcmp(path, "crash") == 0) {
        *static_cast<volatile int*>(nullptr) = 1;
    } else if (std::strcmp(path, "throw") == 0) {
        throw std::string("thrown out of the decoder");
    } else if (std::strcmp(path, "abort") == 0) {
        std::abort();
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

}  // namespace

int main() {
    if (!startedAsDecodeHelper()) return 2;
    return serveDecodeRequests({startDecoder, decodeToRgba, copyDecodedRgba});
}
