#include "model/decoded_pixels.h"

#include <utility>
#include <vector>

#include "model/decode_time_limit.h"
#include "util/downscale.h"
#include "util/trace.h"

namespace {

// Everything this file knows, written only by the functions below.
struct DecodeCache {
    std::vector<ReadyPixels> ready;
    DecodeJob job;
    uint32_t drawnSide = 0;
    // Set when pixels the screen waits for came in, or a reload was carried
    // out; cleared by the loop once a frame shows it.
    bool shownChanged = false;
    // The file whose pixels and job forgetDecoded leaves alone (KeepPixels).
    std::string kept;
};

DecodeCache cache;

void release(ReadyPixels& entry) {
    if (entry.decoded) releaseDecodedImage(&entry.image);
}

uint64_t spareBytes() {
    uint64_t total = 0;
    for (const ReadyPixels& entry : cache.ready) total += entry.image.byteCount;
    return total;
}

bool fitsDrawnSide(const DecodedImage& image) {
    return pixelsFitDecodeSide(image.pictureWidth, image.pictureHeight, image.width, image.height);
}

// Keeps a finished job's outcome. A speculative result that would break
// the bound on spare buffers keeps only its name, with a stamp that never
// matches, so the entry is decoded afresh when it is shown. Pixels of a
// side no longer drawn are not kept: whoever wants them decodes afresh.
void keep(const DecodeJob& finished, bool decoded, DecodedImage& image) {
    if (decoded && !fitsDrawnSide(image)) {
        releaseDecodedImage(&image);
        return;
    }
    ReadyPixels entry;
    entry.path = finished.path;
    entry.stamp = finished.stamp;
    entry.decoded = decoded;
    entry.image = image;
    image = DecodedImage{};
    if (finished.speculative && spareBytes() + entry.image.byteCount > decodeAheadMaxBytes) {
        release(entry);
        entry.decoded = false;
        entry.stamp = FileStamp{};
    }
    cache.ready.push_back(std::move(entry));
}

// Hands the ready pixels over to the caller and forgets the entry.
bool takeReady(ReadyPixels* entry, DecodedImage* image) {
    bool decoded = entry->decoded;
    *image = entry->image;
    entry->decoded = false;
    entry->image = DecodedImage{};
    dropPixels(entry->path);
    return decoded;
}

}  // namespace

const DecodeJob& decodeJob() { return cache.job; }

bool collectDecoded(uint32_t waitMs) {
    if (!cache.job.running) return true;
    DecodedImage image;
    DecodeJobState state = decodeServicePoll(waitMs, &image);
    if (state == DecodeJobState::running) return false;
    cache.job.running = false;
    static bool firstAnswered = false;
    if (!firstAnswered) {
        firstAnswered = true;
        trace::mark("first decode answered");
    }
    if (!cache.job.speculative) {
        cache.shownChanged = true;
        double waited = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - cache.job.started).count();
        trace::decodeWaited(cache.job.path, cache.job.early ? 0.0 : waited);
    }
    if (state == DecodeJobState::done && cache.job.speculative) trace::decodedAhead(cache.job.path);
    if (state == DecodeJobState::done || state == DecodeJobState::failed) keep(cache.job, state == DecodeJobState::done, image);
    return true;
}

void setDecodeSide(uint32_t side) {
    if (side == cache.drawnSide) return;
    cache.drawnSide = side;
    for (size_t i = cache.ready.size(); i-- > 0;) {
        if (!cache.ready[i].decoded || fitsDrawnSide(cache.ready[i].image)) continue;
        release(cache.ready[i]);
        cache.ready.erase(cache.ready.begin() + long(i));
    }
}

uint32_t decodeSide() { return cache.drawnSide; }

bool pixelsFitDecodeSide(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t width, uint32_t height) {
    uint32_t fittedWidth = 0, fittedHeight = 0;
    cappedSize(pictureWidth, pictureHeight, pixelSideCap(cache.drawnSide), &fittedWidth, &fittedHeight);
    return fittedWidth == width && fittedHeight == height;
}

bool startDecode(const std::string& path, const FileStamp& stamp, bool speculative) {
    if (!decodeServiceSubmit(path.c_str(), cache.drawnSide, decodeTimeLimitMsFor(path.c_str()))) return false;
    cache.job.running = true;
    cache.job.side = cache.drawnSide;
    cache.job.path = path;
    cache.job.stamp = stamp;
    cache.job.speculative = speculative;
    cache.job.early = false;
    cache.job.started = std::chrono::steady_clock::now();
    return true;
}

bool startEarlyDecode(const std::string& path, const FileStamp& stamp) {
    if (!startDecode(path, stamp, false)) return false;
    cache.job.early = true;
    return true;
}

void decodeJobNowShown() {
    if (!cache.job.early && !cache.job.speculative) return;
    cache.job.early = false;
    cache.job.speculative = false;
    cache.job.started = std::chrono::steady_clock::now();
}

void cancelDecode() {
    if (!cache.job.running) return;
    decodeServiceCancel();
    cache.job.running = false;
}

ReadyPixels* readyPixelsFor(const std::string& path) {
    for (ReadyPixels& entry : cache.ready) {
        if (entry.path == path) return &entry;
    }
    return nullptr;
}

void dropPixels(const std::string& path) {
    for (size_t i = 0; i < cache.ready.size(); ++i) {
        if (cache.ready[i].path != path) continue;
        release(cache.ready[i]);
        cache.ready.erase(cache.ready.begin() + long(i));
        return;
    }
}

void dropPixelsUnless(const std::function<bool(const std::string&)>& keep) {
    for (size_t i = cache.ready.size(); i-- > 0;) {
        if (keep(cache.ready[i].path)) continue;
        release(cache.ready[i]);
        cache.ready.erase(cache.ready.begin() + long(i));
    }
}

void markNotWorthRetrying(const std::string& path) {
    dropPixels(path);
    ReadyPixels failed;
    failed.path = path;
    cache.ready.push_back(std::move(failed));
}

bool shownPictureChanged() { return cache.shownChanged; }

void noteShownPictureChanged() { cache.shownChanged = true; }

void clearShownPictureChanged() { cache.shownChanged = false; }

KeepPixels::KeepPixels(const std::string& path) { cache.kept = path; }

KeepPixels::~KeepPixels() { cache.kept.clear(); }

DecodedPixels takeDecoded(const std::string& path, DecodedImage* image) {
    collectDecoded(0);
    FileStamp now;
    bool stamped = fileStampOf(path.c_str(), &now);
    if (ReadyPixels* entry = readyPixelsFor(path)) {
        if (stamped && entry->stamp == now) return takeReady(entry, image) ? DecodedPixels::in : DecodedPixels::failed;
        dropPixels(path);  // the file changed since
    }
    if (!stamped) return DecodedPixels::failed;
    if (cache.job.running && cache.job.path == path && cache.job.stamp == now && cache.job.side == cache.drawnSide) {
        decodeJobNowShown();
        return DecodedPixels::pending;
    }
    cancelDecode();
    return startDecode(path, now, false) ? DecodedPixels::pending : DecodedPixels::failed;
}

void forgetDecoded(const std::string& path) {
    if (!cache.kept.empty() && path == cache.kept) return;
    if (cache.job.running && cache.job.path == path) cancelDecode();
    dropPixels(path);
}

void releaseDecoded() {
    cancelDecode();
    for (ReadyPixels& entry : cache.ready) release(entry);
    cache.ready.clear();
}
