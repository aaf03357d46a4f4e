// The decode helper's one job and the pixels it finished, kept by path with
// the file's stamp (size, modification time, inode) from when the job
// started: pixels are handed out only while the file keeps that stamp.
//
// Image entries take their pixels here (takeDecoded) and forget them when
// unloaded (forgetDecoded). Which files get decoded, and when, and when a
// reload is carried out, is decided above, by model/decode_ahead.h, through
// the functions below; it knows entries and the list, this file knows only
// paths. The state itself is this file's alone.
//
// Everything here runs on the main thread; the helper is a process.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/services.h"

// The bound on the pixels decoded ahead of need, together.
constexpr uint64_t decodeAheadMaxBytes = uint64_t(512) << 20;

// Pixels (or a failure) of one file, as it was when its job started.
struct ReadyPixels {
    std::string path;
    FileStamp stamp;
    bool decoded = false;
    DecodedImage image;
};

// The one job the helper works on.
struct DecodeJob {
    bool running = false;
    std::string path;
    FileStamp stamp;
    bool speculative = false;  // ahead of need: its pixels count against the bound
    // Started before anything asked for it (the first picture, while the
    // window opens); the trace counts only the time waited after asking.
    bool early = false;
    uint32_t side = 0;  // the longest side asked for (decodeSide() when it started)
    std::chrono::steady_clock::time_point started;
};

// ---- for image entries -------------------------------------------------------

// What takeDecoded found for a file.
enum class DecodedPixels {
    in,       // the pixels, handed over; the caller releases the image
    failed,   // the decode failed, or the file cannot be decoded now
    pending,  // a decode of the file as it is now runs; its answer wakes the
              // loop as every decode's does, and the caller asks again then
};

// The decoded pixels of the file for load(), when they are in and the file
// is unchanged since. Never waits: otherwise it starts a decode of the file
// (cancelling any other job) or lets the one for it run, and answers pending.
DecodedPixels takeDecoded(const std::string& path, DecodedImage* image);

// Drops ready pixels of the file and cancels a job for it. Does nothing for
// the file a KeepPixels holds.
void forgetDecoded(const std::string& path);

// ---- for the scheduler (model/decode_ahead.h) ---------------------------------

// The job in flight; `running` is false when there is none.
const DecodeJob& decodeJob();

// Collects the job's outcome, waiting up to waitMs, and keeps it. True when
// no job runs any more.
bool collectDecoded(uint32_t waitMs);

// The longest side pictures are decoded for: the side of the square they
// are drawn in, in screen pixels (0: the helper's own cap). A picture larger
// than that comes back shrunk to it, so the screen shows it texel for pixel.
// A new side drops the kept pixels of another size; jobs started before it
// are collected and then decoded again.
void setDecodeSide(uint32_t side);
uint32_t decodeSide();

// True when pixels of width x height are what a picture of pictureWidth x
// pictureHeight is decoded to for the current side.
bool pixelsFitDecodeSide(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t width, uint32_t height);

// Starts a job for the file at the current side. False when the helper
// does not take it.
bool startDecode(const std::string& path, const FileStamp& stamp, bool speculative);

// Starts the job for the first picture before the window opens, at the side
// the window is to draw it at; its wait counts from when the screen asks
// for it.
bool startEarlyDecode(const std::string& path, const FileStamp& stamp);

// The job in flight is now the one the screen waits for: it stops being
// speculative or early, and the trace counts from here.
void decodeJobNowShown();

// Abandons the job in flight, if any.
void cancelDecode();

// The kept outcome for the file, or null.
ReadyPixels* readyPixelsFor(const std::string& path);

// Drops the kept outcome for the file, if any.
void dropPixels(const std::string& path);

// Drops every kept outcome whose path `keep` refuses.
void dropPixelsUnless(const std::function<bool(const std::string&)>& keep);

// Keeps a failure for the file that matches no stamp, so it is not tried
// again on every pass; shown, it is decoded afresh.
void markNotWorthRetrying(const std::string& path);

// True after pixels the screen waited for came in (the shown entry's, or a
// reload's, which is then carried out), until the loop clears it once a
// frame shows them. A decode ahead of need does not count.
bool shownPictureChanged();
void noteShownPictureChanged();
void clearShownPictureChanged();

// While one lives, forgetDecoded leaves that file's pixels and job alone:
// a reload's unload then keeps the fresh pixels the following open takes.
struct KeepPixels {
    explicit KeepPixels(const std::string& path);
    ~KeepPixels();
    KeepPixels(const KeepPixels&) = delete;
    KeepPixels& operator=(const KeepPixels&) = delete;
};

// Releases every kept pixel and ends the job.
void releaseDecoded();
