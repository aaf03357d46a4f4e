// The decode helper's side of the Windows transport (platform/decode_helper.h;
// the channel is described in decode_transport.cpp, the viewer's side).
//
// The viewer starts olvistra-decode.exe with OLVISTRA_DECODE_HELPER naming
// the handles it inherits (decode_pipe.h), in a job, under a restricted
// token and with mitigation policies (helper_start.cpp). Before its first
// job the helper makes every crash end it at once and quietly, starts its
// decoder, drops the token it started with and sets the ready event: the
// viewer's clock for the job starts there. It opens no file: each request
// hands it the picture's handles (handedFiles).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "platform/decode_helper.h"
#include "platform/decode_transport.h"
#include "platform/exif_orientation.h"
#include "platform/windows/decode_pipe.h"
#include "platform/windows/decode_sandbox.h"
#include "util/downscale.h"

namespace {

// The side, the count, a handle and a 0-ended name for each file.
const size_t maxRequestBytes =
    2 * sizeof(uint32_t) + decodeMaxHandedFiles * (sizeof(uint64_t) + decodeMaxPathBytes + 1);

HelperDecoder decoder;
DecodeHelperHandles channel;

// The file behind a handle the viewer handed over, read whole; false when
// it is no disk file, cannot be read or is too large. The handle is closed.
bool readHanded(HANDLE file, HandedFile* handed) {
    auto bytes = std::make_unique<std::string>();
    LARGE_INTEGER size = {};
    bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
              uint64_t(size.QuadPart) <= decodeMaxHandedFileBytes;
    size_t done = 0;
    if (ok) bytes->resize(size_t(size.QuadPart));
    static char more[65536];  // what it may have grown by since, read apart so the buffer grows only then
    while (ok) {
        bool full = done == bytes->size();
        DWORD got = 0;
        DWORD want = full ? DWORD(sizeof more) : DWORD(bytes->size() - done < (1u << 30) ? bytes->size() - done : (1u << 30));
        ok = ReadFile(file, full ? more : &(*bytes)[done], want, &got, nullptr);
        if (!ok || got == 0) break;
        ok = !full || bytes->size() + got <= decodeMaxHandedFileBytes;
        if (ok && full) bytes->append(more, got);
        done += got;
    }
    CloseHandle(file);
    bytes->resize(done);
    handed->bytes = *bytes;
    handed->copy = std::move(bytes);
    return ok;
}

// The files of a request: after the side, their count, their handles in
// this process and their 0-ended names, each file read whole. Empty when the
// request is malformed or a file cannot be read; the handles are closed
// either way.
std::vector<HandedFile> handedFiles(const char* request, size_t size) {
    std::vector<HandedFile> files;
    size_t at = 2 * sizeof(uint32_t);
    uint32_t count = size >= at ? littleEndian32(reinterpret_cast<const unsigned char*>(request) + sizeof(uint32_t)) : 0;
    if (count > decodeMaxHandedFiles || size - at < count * sizeof(uint64_t)) return files;
    const char* names = request + at + count * sizeof(uint64_t);
    size_t namesSize = size - at - count * sizeof(uint64_t), named = 0;
    bool ok = count > 0;
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* value = reinterpret_cast<const unsigned char*>(request) + at + i * sizeof(uint64_t);
        HANDLE handle = HANDLE(uintptr_t(littleEndian32(value) | uint64_t(littleEndian32(value + 4)) << 32));
        const void* end = named < namesSize ? std::memchr(names + named, '\0', namesSize - named) : nullptr;
        HandedFile file;
        if (end) file.name.assign(names + named, static_cast<const char*>(end));
        named += file.name.size() + 1;
        ok = readHanded(handle, &file) && ok && end;
        files.push_back(std::move(file));
    }
    if (!ok || named != namesSize) files.clear();
    return files;
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

void answer(const std::vector<HandedFile>& files, uint32_t maxSide) {
    DecodeAnswer result = {};
    uint32_t width = 0, height = 0;
    if (!files.empty() && decoder.decode(files, pixelSideCap(maxSide), &width, &height)) {
        int orientation = jpegOrientation(files[0]);
        result.answer = sizedAnswer(width, height, orientation, maxSide);
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
    static char request[maxRequestBytes];
    for (;;) {
        unsigned char length[sizeof(uint32_t)];
        if (!readWholly(channel.requests, length, sizeof length)) return 0;  // the viewer is gone
        uint32_t size = littleEndian32(length);
        // The viewer never sends these; the stream cannot be trusted after one.
        if (size < 2 * sizeof(uint32_t) || size > sizeof request) return 0;
        if (!readWholly(channel.requests, request, size)) return 0;
        answer(handedFiles(request, size), littleEndian32(reinterpret_cast<const unsigned char*>(request)));
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
        dropStartingToken();
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
