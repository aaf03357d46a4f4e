// The services of the project's own that both platforms provide, beside the
// Win32 calls of platform/win32.h: none of them is part of Win32, on any
// platform. Implemented in platform/linux/ and platform/windows/ by files
// of the same names (process, console, files, path_problem, decode_wakeup,
// decode_transport); the decode service's state machine is one for both,
// platform/decode_service.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// ---- processes and the console ------------------------------------------------

// Starts `program` (looked up like the shell would) with `argument` as its
// one and only argument, without a command processor in between, and waits
// for it to end. Returns false when it could not be started.
bool runProgramAndWait(const char* program, const char* argument);

// Tells the user what the command line asked for (the usage text, the
// version): on standard output on Linux; in a message box on Windows, where
// the viewer is a windowed program without a console. False when the text
// could not be written.
bool showCommandLineAnswer(const char* text);

// ---- files and paths ------------------------------------------------------------

// Path conventions of the host: Windows paths (drive colons, backslashes)
// or POSIX paths (a leading '/' is absolute, '/' joins).
#ifdef _WIN32
constexpr bool platformUsesPosixPaths = false;
#else
constexpr bool platformUsesPosixPaths = true;
#endif

// True when the path opens for reading as a file (fopen with "rb"), then
// closes it at once. A directory never counts, on any platform.
bool fileOpensForReading(const char* path);

// False for a file whose content is not on this machine and would be
// fetched by the first read (a cloud placeholder, an offline file), which
// the viewer's thread must not wait for.
bool fileContentAtHand(const char* path);

// The path with each short (8.3) name in it expanded to its long name, as
// Windows lists the entry (GetLongPathNameA); the path as given where it
// names nothing, and on Linux, which has no short names.
std::string longPathName(const std::string& path);

// Why the path can be neither read as a file nor listed as a folder, in
// the system's own words ("No such file or directory", "Permission
// denied", ...), or "Not a picture or folder" for a FIFO, a device and the
// like. Empty when nothing is found wrong with it.
std::string pathProblem(const char* path);

// What tells one version of a file from another: a replaced or rewritten
// file gets another stamp.
struct FileStamp {
    uint64_t size = 0;
    uint64_t modified = 0;  // modification time, in the platform's finest unit
    uint64_t identity = 0;  // inode, or the file index on Windows
    bool operator==(const FileStamp& other) const {
        return size == other.size && modified == other.modified && identity == other.identity;
    }
};
// False when the path does not name a readable file's metadata.
bool fileStampOf(const char* path, FileStamp* stamp);

// ---- the message wait ---------------------------------------------------------

// Sleeps until a message is queued for the thread (PeekMessageA would return
// one), or until the decode job in flight answers or reaches its time limit.
// With no job in flight only a message ends it: there is no timeout. Returns
// at once when something is already waiting.
void waitForMessageOrDecode();
// Ends the viewer thread's waitForMessageOrDecode, now or, when it is not
// waiting, its next one. Callable from any thread.
void wakeMessageWait();

// ---- decode service -------------------------------------------------------------
// Image files are decoded by a helper: our program olvistra-decode, found
// beside the viewer or in its install's helper folder, started on demand,
// restarted after it dies, with one spare kept started so that a cancel or
// a crash costs no process start, and run sandboxed (on Linux no new
// privileges, a system-call filter and an address-space cap; on Windows a
// restricted token, a job and mitigation policies). It decodes one file at a
// time and hands back 8-bit RGBA pixels, bottom row first, in shared memory
// that the viewer maps read-only (sealed on Linux); a JPEG comes back turned
// upright by its EXIF Orientation tag, with the upright width and height. A
// picture larger than the side asked for (at most textureSideCap,
// util/downscale.h) comes back shrunk to it (util/shrink.h), aspect kept;
// its real size is reported beside the pixels'.
// A job that runs past the time limit has its helper killed and counts as a
// failed decode, like a crash does.

// The pixels of one finished decode. Owned by the receiver, who gives them
// back with releaseDecodedImage; `pixels` is read-only.
struct DecodedImage {
    uint32_t width = 0;   // of the pixels
    uint32_t height = 0;
    uint32_t pictureWidth = 0;   // of the picture, upright; never smaller
    uint32_t pictureHeight = 0;
    const unsigned char* pixels = nullptr;  // width * height * 4 bytes
    size_t byteCount = 0;
    void* handle = nullptr;                 // the platform's hold on the buffer
};

enum class DecodeJobState {
    idle,     // no job
    running,  // a job is in flight
    done,     // a job finished with pixels (given out once)
    failed,   // a job failed: refused, crashed, timed out or unchecked
};

// A file the viewer opened read-only and handed its decode helper, which
// opens none itself: the name it has (whose extension may choose the
// decoder) and its bytes, whole, for as long as it is kept: read into
// memory (`copy`) or mapped (undone by `unmap`).
struct HandedFile {
    std::string name;
    std::string_view bytes;
    std::unique_ptr<const std::string> copy;
    void (*unmap)(std::string_view mapped) = nullptr;

    HandedFile() = default;
    HandedFile(HandedFile&& other) noexcept
        : name(std::move(other.name)), bytes(other.bytes), copy(std::move(other.copy)),
          unmap(std::exchange(other.unmap, nullptr)) {}
    HandedFile& operator=(HandedFile&&) = delete;
    ~HandedFile() {
        if (unmap) unmap(bytes);
    }
};

// The decoder the helper program runs (platform/decode_helper.h).
// The helper calls `start` once, before it gives up its rights, with the
// display's ICC profile (empty when the desktop publishes none); then for
// each picture `decode`, which decodes it and gives its size (it may decode
// a picture at a reduced size no smaller than what cappedSize makes of it
// for maxSide, but gives the full size), and after a success `copyRgba`, which writes width * height * 4 bytes of 8-bit RGBA,
// bottom row first, turned upright by an EXIF orientation (1 to 8,
// util/orientation.h; 1 as stored, with width and height exchanged for 5 to
// 8). width x height is the upright size or a smaller one of the same aspect
// (cappedSize), which the decoded picture is shrunk to (util/shrink.h).
struct HelperDecoder {
    void (*start)(const std::string& displayProfile);
    // files[0] is the picture; the others are the files beside it that its
    // format reads (pictureCompanionNames).
    bool (*decode)(const std::vector<HandedFile>& files, uint32_t maxSide, uint32_t* width, uint32_t* height);
    void (*copyRgba)(unsigned char* target, int orientation, uint32_t width, uint32_t height);
};


// Starts the helper ahead of the first job, so that its start overlaps
// other work; submit starts it too when needed.
bool decodeServiceStart();
// Starts decoding the file; the pixels come back with their longer side no
// larger than maxSide (0, or more than the built-in cap: that cap). After
// timeLimitMs (model/decode_time_limit.h) the helper is killed and the job
// fails. False when a job is already in flight or no helper could be
// started (then nothing runs).
bool decodeServiceSubmit(const char* path, uint32_t maxSide, uint32_t timeLimitMs);
// Collects the job's outcome, waiting up to waitMs for it. done fills
// `image`; done and failed end the job (the state is idle afterwards).
DecodeJobState decodeServicePoll(uint32_t waitMs, DecodedImage* image);
// Abandons the job in flight, if any; its outcome is never reported.
void decodeServiceCancel();
// Starts a spare helper unless one runs, for the next cancel, crash or hang
// to take over without a process start. For an idle moment: its start
// competes with whatever runs.
void decodeServiceKeepSpare();
// Ends the helper and the spare, abandoning a job in flight: the display's
// profile changed, and each helper keeps the one it was started with. The
// next submit starts a helper with the profile in force.
void decodeServiceRestart();
// Ends the helper and releases its resources; the next submit starts it anew.
void decodeServiceStop();
void releaseDecodedImage(DecodedImage* image);
