#include "platform/windows/decode_pipe.h"

const char* const decodeHelperMarker = "OLVISTRA_DECODE_HELPER";

std::string framedMessage(const std::string& payload) {
    return littleEndianBytes(uint32_t(payload.size())) + payload;
}

bool writeWholly(HANDLE pipe, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes, DWORD(size), &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool readWholly(HANDLE pipe, void* data, size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, bytes, DWORD(size), &got, nullptr) || got == 0) return false;
        bytes += got;
        size -= got;
    }
    return true;
}
