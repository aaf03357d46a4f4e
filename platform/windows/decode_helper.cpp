// The decode helper's side of the Windows transport (platform/decode_helper.h;
// the channel is described in decode_transport.cpp, the viewer's side).
//
// The viewer starts olvistra-decode.exe with OLVISTRA_DECODE_HELPER naming
// the handles it inherits (decode_pipe.h), in a job, under a restricted
// token and with mitigation policies (helper_start.cpp). Before its first
// job the helper makes every crash end it at once and quietly, starts its
// decoder and sets the ready event: the viewer's clock for the job starts
// there.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/decode_helper.h"
#include "platform/decode_transport.h"
#include "platform/exif_orientation.h"
#include "platform/windows/decode_pipe.h"
#include "platform/windows/decode_sandbox.h"

namespace {

const size_t maxPathBytes = decodeMaxPathBytes;

HelperDecoder decoder;
DecodeHelperHandles channel;

// The latest side sent while the job ran, else the request's.
uint32_t narrowedSide(uint32_t maxSide) {
    unsigned char frame[2 * sizeof(uint32_t)];
    for (;;) {
        // Only narrows can be waiting: no request comes while a job runs.
        DWORD got = 0, available = 0;
        if (!PeekNamedPipe(channel.requests, frame, sizeof frame, &got, &available, nullptr)) return maxSide;
        if (got < sizeof frame || littleEndian32(frame) != sizeof(uint32_t)) return maxSide;
        if (!readWholly(channel.requests, frame, sizeof frame)) endDecodeHelperNow(0);
        maxSide = littleEndian32(frame + sizeof(uint32_t));
    }
}

// A file mapping holding the decoded pixels, or null. The helper's writable
// view is gone before the mapping leaves it.
HANDLE pixelMapping(uint64_t size, int orientation, uint32_t width, uint32_t height) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, DWORD(size >> 32),
                                        DWORD(size & 0xFFFFFFFFu), nullptr);
    if (!mapping) return nullptr;
    void* target = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, SIZE_T(size));
    if (!target) {
        CloseHandle(mapping);
        return nullptr;
    }
    decoder.copyRgba(static_cast<unsigned char*>(target), orientation, width, height);
    UnmapViewOfFile(target);
    return mapping;
}

void answer(const char* path, uint32_t maxSide) {
    DecodeAnswer result = {};
    uint32_t width = 0, height = 0;
    if (decoder.decode(path, &width, &height)) {
        int orientation = jpegOrientation(path);
        result.answer = sizedAnswer(width, height, orientation, narrowedSide(maxSide));
        HANDLE mapping = pixelMapping(result.answer.byteCount, orientation, result.answer.width, result.answer.height);
        // Not closed here: the viewer takes it over with DUPLICATE_CLOSE_SOURCE.
        result.mapping = uint64_t(uintptr_t(mapping));
        result.answer.ok = mapping ? 1 : 0;
    }
    if (!result.answer.ok) result = DecodeAnswer{};
    std::string frame = framedMessage(std::string(reinterpret_cast<const char*>(&result), sizeof result));
    if (!writeWholly(channel.answers, frame.data(), frame.size())) endDecodeHelperNow(0);
    SetEvent(channel.answered);
}

int helperLoop() {
    static char request[sizeof(uint32_t) + maxPathBytes + 1];
    for (;;) {
        unsigned char length[sizeof(uint32_t)];
        if (!readWholly(channel.requests, length, sizeof length)) return 0;  // the viewer is gone
        uint32_t size = littleEndian32(length);
        // The viewer never sends these; the stream cannot be trusted after one.
        if (size < sizeof(uint32_t) || size > sizeof(uint32_t) + maxPathBytes) return 0;
        if (!readWholly(channel.requests, request, size)) return 0;
        if (size == sizeof(uint32_t)) continue;  // a narrow that came after its job
        request[size] = '\0';
        answer(request + sizeof(uint32_t), littleEndian32(reinterpret_cast<const unsigned char*>(request)));
    }
}

// The display profile in the mapping the viewer passed on (closed here), or
// empty when none came or it is not as large as the viewer said.
std::string receivedDisplayProfile(HANDLE mapping, uint64_t size) {
    std::string bytes;
    if (!mapping) return bytes;
    if (size > 0 && size <= decode_transport::maxDisplayProfileBytes) {
        if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SIZE_T(size))) {
            bytes.assign(static_cast<const char*>(view), size_t(size));
            UnmapViewOfFile(view);
        }
    }
    CloseHandle(mapping);
    return bytes;
}

}  // namespace

bool startedAsDecodeHelper() {
    char marker[160];
    DWORD length = GetEnvironmentVariableA(decodeHelperMarker, marker, sizeof marker);
    if (length == 0 || length >= sizeof marker) return false;
    unsigned long long values[6] = {};
    int given = std::sscanf(marker, "%llu %llu %llu %llu %llu %llu", &values[0], &values[1], &values[2], &values[3],
                            &values[4], &values[5]);
    if (given != 4 && given != 6) return false;
    channel = {HANDLE(uintptr_t(values[0])), HANDLE(uintptr_t(values[1])), HANDLE(uintptr_t(values[2])),
               HANDLE(uintptr_t(values[3])), HANDLE(uintptr_t(values[4])), values[5]};
    SetEnvironmentVariableA(decodeHelperMarker, nullptr);
    return true;
}

int serveDecodeRequests(const HelperDecoder& given) {
    endDecodeHelperOnAnyCrash();
    decoder = given;
    try {
        decoder.start(receivedDisplayProfile(channel.displayProfile, channel.displayProfileBytes));
#ifdef OLVISTRA_TEST_HOOKS
        if (const char* folder = std::getenv("OLVISTRA_SANDBOX_ATTACK")) attackDecodeSandbox(channel, folder);
#endif
        SetEvent(channel.ready);
        CloseHandle(channel.ready);
        return helperLoop();
    } catch (...) {
        endDecodeHelperNow(3);
    }
}
