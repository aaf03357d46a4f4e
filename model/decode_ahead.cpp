#include "model/decode_ahead.h"

#include <chrono>
#include <utility>
#include <vector>

#include "model/file_info.h"
#include "model/file_list.h"
#include "util/trace.h"

namespace {

// Pixels (or a failure) of one file, as it was when its job started.
struct Ready {
    std::string path;
    FileStamp stamp;
    bool decoded = false;
    DecodedImage image;
};

struct Job {
    bool running = false;
    std::string path;
    FileStamp stamp;
    bool speculative = false;
    // Started before anything asked for it (the first picture, while the
    // window opens); the trace counts only the time waited after asking.
    bool early = false;
    std::chrono::steady_clock::time_point started;
};

// How long one wait of a blocking load polls before checking again.
const uint32_t pollSliceMs = 50;

std::vector<Ready> ready;
Job job;
// Set when pixels the screen waits for came in, or a reload was carried out.
bool shownChanged = false;
// The path of the entry whose reload waits for its job; empty when none.
std::string pendingReload;
// The path of the reload being carried out: its unload must not forget the
// fresh pixels the following open takes.
std::string reloadingNow;

void release(Ready& entry) {
    if (entry.decoded) releaseDecodedImage(&entry.image);
}

uint64_t spareBytes() {
    uint64_t total = 0;
    for (const Ready& entry : ready) total += entry.image.byteCount;
    return total;
}

// Keeps a finished job's outcome. A speculative result that would break
// the bound on spare buffers keeps only its name, with a stamp that never
// matches, so the entry is decoded afresh when it is shown.
void keep(const Job& finished, bool decoded, DecodedImage& image) {
    Ready entry;
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

// Collects the job's outcome, waiting up to waitMs. True when no job runs
// any more.
bool collect(uint32_t waitMs) {
    if (!job.running) return true;
    DecodedImage image;
    DecodeJobState state = decodeServicePoll(waitMs, &image);
    if (state == DECODE_RUNNING) return false;
    job.running = false;
    if (!job.speculative) {
        shownChanged = true;
        double waited = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - job.started).count();
        trace::decodeWaited(job.path, job.early ? 0.0 : waited);
    }
    if (state == DECODE_DONE && job.speculative) trace::decodedAhead(job.path);
    if (state == DECODE_DONE || state == DECODE_FAILED) keep(job, state == DECODE_DONE, image);
    return true;
}

// Texels beyond the screen are never shown, so a picture's pixels are shrunk
// to the screen's longer side; 0 (no display) leaves the service's cap.
uint32_t screenSide() {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    int longer = width > height ? width : height;
    return longer > 0 ? uint32_t(longer) : 0;
}

bool submit(const std::string& path, const FileStamp& stamp, bool speculative, uint32_t maxSide) {
    if (!decodeServiceSubmit(path.c_str(), maxSide)) return false;
    job.running = true;
    job.path = path;
    job.stamp = stamp;
    job.speculative = speculative;
    job.early = false;
    job.started = std::chrono::steady_clock::now();
    return true;
}

bool start(const std::string& path, const FileStamp& stamp, bool speculative) {
    return submit(path, stamp, speculative, screenSide());
}

void cancelJob() {
    if (!job.running) return;
    decodeServiceCancel();
    job.running = false;
}

Ready* readyFor(const std::string& path) {
    for (Ready& entry : ready) {
        if (entry.path == path) return &entry;
    }
    return nullptr;
}

void drop(const std::string& path) {
    for (size_t i = 0; i < ready.size(); ++i) {
        if (ready[i].path != path) continue;
        release(ready[i]);
        ready.erase(ready.begin() + long(i));
        return;
    }
}

// The image entry at index of the list, or null.
FileInfoImg* imageAt(int64_t index) {
    if (!fileList || index < 0 || index >= int64_t(fileList->items.count)) return nullptr;
    return dynamic_cast<FileInfoImg*>(fileList->items[uint32_t(index)]);
}

bool isNear(const std::string& path, int64_t current) {
    for (int64_t index = current - 1; index <= current + 1; ++index) {
        FileInfoImg* entry = imageAt(index);
        if (entry && entry->path == path) return true;
    }
    return false;
}

// Only the shown entry and its neighbours keep pixels waiting.
void dropFar(int64_t current) {
    for (size_t i = ready.size(); i-- > 0;) {
        if (isNear(ready[i].path, current)) continue;
        release(ready[i]);
        ready.erase(ready.begin() + long(i));
    }
}

// Hands the ready pixels over to the caller and forgets the entry.
bool takeReady(Ready* entry, DecodedImage* image) {
    bool decoded = entry->decoded;
    *image = entry->image;
    entry->decoded = false;
    entry->image = DecodedImage{};
    drop(entry->path);
    return decoded;
}

// Starts the shown entry's decode, cancelling any other job. False when the
// entry is not ready yet.
bool prepareShown(FileInfoImg* shown) {
    FileStamp stamp;
    if (!fileStampOf(shown->path.c_str(), &stamp)) return true;  // open() reports it
    if (Ready* entry = readyFor(shown->path)) {
        if (entry->stamp == stamp) return true;
        drop(shown->path);
    }
    if (job.running && job.path == shown->path && job.stamp == stamp) {
        // A job started ahead (or before the window) is now the one the
        // screen waits for; the trace counts from here.
        if (job.early || job.speculative) {
            job.early = false;
            job.speculative = false;
            job.started = std::chrono::steady_clock::now();
        }
        return false;
    }
    cancelJob();
    return !start(shown->path, stamp, false);
}

// Decodes the next entry, then the previous one, ahead of need.
void decodeNeighbours(int64_t current) {
    if (job.running) return;
    for (int64_t index : {current + 1, current - 1}) {
        FileInfoImg* entry = imageAt(index);
        if (!entry || entry->loaded || readyFor(entry->path)) continue;
        FileStamp stamp;
        if (!fileStampOf(entry->path.c_str(), &stamp) || !start(entry->path, stamp, true)) {
            Ready failed;  // not worth another try on every frame
            failed.path = entry->path;
            ready.push_back(std::move(failed));
        }
        return;
    }
}

FileInfo* entryWithPath(const std::string& path) {
    if (!fileList) return nullptr;
    for (uint32_t index = 0; index < fileList->items.count; ++index) {
        if (fileList->items[index]->path == path) return fileList->items[index];
    }
    return nullptr;
}

struct CarryingOut {
    explicit CarryingOut(const std::string& path) { reloadingNow = path; }
    ~CarryingOut() { reloadingNow.clear(); }
};

// Carries out the pending reload once its job is over, or turns it into an
// unload when another entry is shown by then.
void settlePendingReload(int64_t current) {
    if (pendingReload.empty()) return;
    std::string path = pendingReload;
    FileInfoImg* shown = imageAt(current);
    if (!shown || shown->path != path) {
        pendingReload.clear();
        FileInfo* entry = entryWithPath(path);
        if (entry && entry->loaded) {
            entry->unload();
            entry->loaded = false;
        } else {
            forgetDecoded(path);
        }
        return;
    }
    if (!shown->loaded) {  // unloaded meanwhile: the frame loads it afresh
        pendingReload.clear();
        return;
    }
    if (job.running && job.path == path) return;
    FileStamp now;
    bool stamped = fileStampOf(path.c_str(), &now);
    Ready* entry = readyFor(path);
    if (stamped && !(entry && entry->stamp == now)) {
        // Changed again (or the job was cancelled): decode the file as it is.
        drop(path);
        cancelJob();
        if (start(path, now, false)) return;
    }
    pendingReload.clear();
    shownChanged = true;
    CarryingOut guard(path);
    reload(shown);
}

// A job for a picture that is neither shown nor next to it will not be
// shown: a step away ends it, so no stale work holds the helper.
void cancelFarJob(int64_t current) {
    if (job.running && job.speculative && !isNear(job.path, current)) cancelJob();
}

}  // namespace

bool loadNeighbourAhead() {
    if (!fileList) return false;
    int64_t current = fileList->current;
    FileInfoImg* shown = imageAt(current);
    if (shown && !shown->loaded) return false;
    for (int64_t index : {current + 1, current - 1}) {
        FileInfoImg* entry = imageAt(index);
        if (!entry || entry->loaded) continue;
        Ready* done = readyFor(entry->path);
        FileStamp now;
        // Changed pixels would make the load decode afresh and wait for it.
        if (!done || !done->decoded || !fileStampOf(entry->path.c_str(), &now) || !(now == done->stamp)) continue;
        if (!fileList->loadAhead(uint32_t(index))) {
            // Not worth another try on every frame; shown, it decodes afresh.
            std::string path = entry->path;
            drop(path);
            Ready failed;
            failed.path = path;
            ready.push_back(std::move(failed));
        }
        return true;
    }
    return false;
}

void decodeStartFile(const std::string& path) {
    if (job.running || !isImageName(path)) return;
    FileStamp stamp;
    // No display is open yet to size the pixels by: decodeFitToScreen()
    // tells the helper once the window is there.
    if (fileStampOf(path.c_str(), &stamp) && submit(path, stamp, false, 0)) job.early = true;
}

void decodeFitToScreen() {
    if (job.running) decodeServiceNarrow(screenSide());
}

bool advanceDecoding() {
    collect(0);
    if (!fileList) return true;
    int64_t current = fileList->current;
    settlePendingReload(current);
    dropFar(current);
    cancelFarJob(current);
    FileInfoImg* shown = imageAt(current);
    bool shownReady = !(shown && !shown->loaded) || prepareShown(shown);
    // The helper is free as soon as the shown entry's pixels are in: the
    // next neighbour decodes while this one is uploaded and drawn.
    if (shownReady) decodeNeighbours(current);
    return shownReady;
}

bool shownPictureChanged() {
    bool changed = shownChanged;
    shownChanged = false;
    return changed;
}

bool takeDecoded(const std::string& path, DecodedImage* image) {
    collect(0);
    FileStamp now;
    bool stamped = fileStampOf(path.c_str(), &now);
    if (Ready* entry = readyFor(path)) {
        if (stamped && entry->stamp == now) return takeReady(entry, image);
        drop(path);  // the file changed since
    }
    if (!stamped) return false;
    if (job.running && !(job.path == path && job.stamp == now)) cancelJob();
    if (!job.running && !start(path, now, false)) return false;
    while (!collect(pollSliceMs)) {
    }
    Ready* entry = readyFor(path);
    return entry && takeReady(entry, image);
}

void forgetDecoded(const std::string& path) {
    if (!reloadingNow.empty() && path == reloadingNow) return;
    if (pendingReload == path) pendingReload.clear();
    if (job.running && job.path == path) cancelJob();
    drop(path);
}

bool requestReload(FileInfo* entry) {
    FileInfoImg* image = dynamic_cast<FileInfoImg*>(entry);
    if (!image) return false;
    FileStamp stamp;
    if (!fileStampOf(image->path.c_str(), &stamp)) return false;
    forgetDecoded(image->path);
    if (!image->loaded) return true;
    cancelJob();
    if (!start(image->path, stamp, false)) return false;
    pendingReload = image->path;
    return true;
}

bool decodePending(FileInfo* entry) {
    FileInfoImg* image = dynamic_cast<FileInfoImg*>(entry);
    if (!image || image->loaded) return false;
    FileStamp stamp;
    if (!fileStampOf(image->path.c_str(), &stamp)) return false;
    collect(0);
    Ready* done = readyFor(image->path);
    return !(done && done->stamp == stamp);
}

void endDecoding() {
    pendingReload.clear();
    cancelJob();
    for (Ready& entry : ready) release(entry);
    ready.clear();
    decodeServiceStop();
}
