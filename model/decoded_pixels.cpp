#include "model/decoded_pixels.h"

#include <utility>
#include <vector>

#include "model/decode_time_limit.h"
#include "util/downscale.h"
#include "util/trace.h"

namespace {

// How long one wait of a blocking load polls before checking again.
const uint32_t pollSliceMs = 50;

std::vector<ReadyPixels> ready;
DecodeJob job;
uint32_t drawnSide = 0;
// Set when pixels the screen waits for came in, or a reload was carried out.
bool shownChanged = false;
// The path of the entry whose reload waits for its job; empty when none.
std::string reloadPending;
// The path of the reload being carried out: its unload must not forget the
// fresh pixels the following open takes.
std::string reloadingNow;

void release(ReadyPixels& entry) {
    if (entry.decoded) releaseDecodedImage(&entry.image);
}

uint64_t spareBytes() {
    uint64_t total = 0;
    for (const ReadyPixels& entry : ready) total += entry.image.byteCount;
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
    ready.push_back(std::move(entry));
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

const DecodeJob& decodeJob() { return job; }

bool collectDecoded(uint32_t waitMs) {
    if (!job.running) return true;
    DecodedImage image;
    DecodeJobState state = decodeServicePoll(waitMs, &image);
    if (state == DecodeJobState::running) return false;
    job.running = false;
    if (!job.speculative) {
        shownChanged = true;
        double waited = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - job.started).count();
        trace::decodeWaited(job.path, job.early ? 0.0 : waited);
    }
    if (state == DecodeJobState::done && job.speculative) trace::decodedAhead(job.path);
    if (state == DecodeJobState::done || state == DecodeJobState::failed) keep(job, state == DecodeJobState::done, image);
    return true;
}

void setDecodeSide(uint32_t side) {
    if (side == drawnSide) return;
    drawnSide = side;
    for (size_t i = ready.size(); i-- > 0;) {
        if (!ready[i].decoded || fitsDrawnSide(ready[i].image)) continue;
        release(ready[i]);
        ready.erase(ready.begin() + long(i));
    }
}

uint32_t decodeSide() { return drawnSide; }

bool pixelsFitDecodeSide(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t width, uint32_t height) {
    uint32_t fittedWidth = 0, fittedHeight = 0;
    cappedSize(pictureWidth, pictureHeight, pixelSideCap(drawnSide), &fittedWidth, &fittedHeight);
    return fittedWidth == width && fittedHeight == height;
}

bool startDecode(const std::string& path, const FileStamp& stamp, bool speculative) {
    if (!decodeServiceSubmit(path.c_str(), drawnSide, decodeTimeLimitMsFor(path.c_str()))) return false;
    job.running = true;
    job.side = drawnSide;
    job.path = path;
    job.stamp = stamp;
    job.speculative = speculative;
    job.early = false;
    job.started = std::chrono::steady_clock::now();
    return true;
}

bool startEarlyDecode(const std::string& path, const FileStamp& stamp) {
    if (!startDecode(path, stamp, false)) return false;
    job.early = true;
    return true;
}

void decodeJobNowShown() {
    if (!job.early && !job.speculative) return;
    job.early = false;
    job.speculative = false;
    job.started = std::chrono::steady_clock::now();
}

void cancelDecode() {
    if (!job.running) return;
    decodeServiceCancel();
    job.running = false;
}

ReadyPixels* readyPixelsFor(const std::string& path) {
    for (ReadyPixels& entry : ready) {
        if (entry.path == path) return &entry;
    }
    return nullptr;
}

void dropPixels(const std::string& path) {
    for (size_t i = 0; i < ready.size(); ++i) {
        if (ready[i].path != path) continue;
        release(ready[i]);
        ready.erase(ready.begin() + long(i));
        return;
    }
}

void dropPixelsUnless(const std::function<bool(const std::string&)>& keep) {
    for (size_t i = ready.size(); i-- > 0;) {
        if (keep(ready[i].path)) continue;
        release(ready[i]);
        ready.erase(ready.begin() + long(i));
    }
}

void markNotWorthRetrying(const std::string& path) {
    dropPixels(path);
    ReadyPixels failed;
    failed.path = path;
    ready.push_back(std::move(failed));
}

bool shownPictureChanged() {
    bool changed = shownChanged;
    shownChanged = false;
    return changed;
}

void noteShownPictureChanged() { shownChanged = true; }

const std::string& pendingReload() { return reloadPending; }

void setPendingReload(const std::string& path) { reloadPending = path; }

ReloadCarriedOut::ReloadCarriedOut(const std::string& path) { reloadingNow = path; }

ReloadCarriedOut::~ReloadCarriedOut() { reloadingNow.clear(); }

bool takeDecoded(const std::string& path, DecodedImage* image) {
    collectDecoded(0);
    FileStamp now;
    bool stamped = fileStampOf(path.c_str(), &now);
    if (ReadyPixels* entry = readyPixelsFor(path)) {
        if (stamped && entry->stamp == now) return takeReady(entry, image);
        dropPixels(path);  // the file changed since
    }
    if (!stamped) return false;
    if (job.running && !(job.path == path && job.stamp == now && job.side == drawnSide)) cancelDecode();
    if (!job.running && !startDecode(path, now, false)) return false;
    while (!collectDecoded(pollSliceMs)) {
    }
    ReadyPixels* entry = readyPixelsFor(path);
    return entry && takeReady(entry, image);
}

void forgetDecoded(const std::string& path) {
    if (!reloadingNow.empty() && path == reloadingNow) return;
    if (reloadPending == path) reloadPending.clear();
    if (job.running && job.path == path) cancelDecode();
    dropPixels(path);
}

void releaseDecoded() {
    reloadPending.clear();
    cancelDecode();
    for (ReadyPixels& entry : ready) release(entry);
    ready.clear();
}
