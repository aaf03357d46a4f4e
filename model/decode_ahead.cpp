#include "model/decode_ahead.h"

#include "model/decoded_pixels.h"
#include "model/file_info.h"
#include "model/file_info_factory.h"
#include "model/file_list.h"

namespace {

// The reload policy's one state: the path of the entry whose reload waits
// for its job; empty when none.
std::string reloadPending;

// The image entry at index of the list, or null.
FileInfoImg* imageAt(FileList& list, int64_t index) {
    if (index < 0 || index >= int64_t(list.items.count)) return nullptr;
    return dynamic_cast<FileInfoImg*>(list.items[uint32_t(index)]);
}

bool isNear(FileList& list, const std::string& path, int64_t current) {
    for (int64_t index = current - 1; index <= current + 1; ++index) {
        FileInfoImg* entry = imageAt(list, index);
        if (entry && entry->path == path) return true;
    }
    return false;
}

// Starts the shown entry's decode, cancelling any other job. False when the
// entry is not ready yet.
bool prepareShown(FileInfoImg* shown) {
    FileStamp stamp;
    if (!fileStampOf(shown->path.c_str(), &stamp)) return true;  // open() reports it
    if (ReadyPixels* entry = readyPixelsFor(shown->path)) {
        if (entry->stamp == stamp) return true;
        dropPixels(shown->path);
    }
    const DecodeJob& job = decodeJob();
    if (job.running && job.path == shown->path && job.stamp == stamp && job.side == decodeSide()) {
        // A job started ahead (or before the window) is now the one the
        // screen waits for.
        decodeJobNowShown();
        return false;
    }
    cancelDecode();
    return !startDecode(shown->path, stamp, false);
}

// Decodes the next entry, then the previous one, ahead of need.
void decodeNeighbours(FileList& list, int64_t current) {
    if (decodeJob().running) return;
    for (int64_t index : {current + 1, current - 1}) {
        FileInfoImg* entry = imageAt(list, index);
        if (!entry || entry->loaded || readyPixelsFor(entry->path)) continue;
        FileStamp stamp;
        if (!fileStampOf(entry->path.c_str(), &stamp) || !startDecode(entry->path, stamp, true)) {
            markNotWorthRetrying(entry->path);
        }
        return;
    }
}

FileInfo* entryWithPath(FileList& list, const std::string& path) {
    for (uint32_t index = 0; index < list.items.count; ++index) {
        if (list.items[index]->path == path) return list.items[index];
    }
    return nullptr;
}

// Carries out the pending reload once its job is over, or turns it into an
// unload when another entry is shown by then.
void settlePendingReload(FileList& list, int64_t current) {
    if (reloadPending.empty()) return;
    std::string path = reloadPending;
    FileInfoImg* shown = imageAt(list, current);
    if (!shown || shown->path != path) {
        reloadPending.clear();
        FileInfo* entry = entryWithPath(list, path);
        if (entry && entry->loaded) {
            unloadIfLoaded(entry);
        } else {
            forgetDecoded(path);
        }
        return;
    }
    if (!shown->loaded) {  // unloaded meanwhile: the frame loads it afresh
        reloadPending.clear();
        return;
    }
    const DecodeJob& job = decodeJob();
    if (job.running && job.path == path) return;
    FileStamp now;
    bool stamped = fileStampOf(path.c_str(), &now);
    ReadyPixels* entry = readyPixelsFor(path);
    if (stamped && !(entry && entry->stamp == now)) {
        // Changed again (or the job was cancelled): decode the file as it is.
        dropPixels(path);
        cancelDecode();
        if (startDecode(path, now, false)) return;
    }
    reloadPending.clear();
    noteShownPictureChanged();
    KeepPixels guard(path);
    reload(shown);
}

// A job for a picture that is neither shown nor next to it will not be
// shown: a step away ends it, so no stale work holds the helper.
void cancelFarJob(FileList& list, int64_t current) {
    const DecodeJob& job = decodeJob();
    if (job.running && job.speculative && !isNear(list, job.path, current)) cancelDecode();
}

}  // namespace

bool loadNeighbourAhead(FileList* shownList) {
    if (!shownList) return false;
    FileList& list = *shownList;
    int64_t current = list.current();
    FileInfoImg* shown = imageAt(list, current);
    if (shown && !shown->loaded) return false;
    for (int64_t index : {current + 1, current - 1}) {
        FileInfoImg* entry = imageAt(list, index);
        if (!entry || entry->loaded) continue;
        ReadyPixels* done = readyPixelsFor(entry->path);
        FileStamp now;
        // Changed pixels would make the load decode afresh and wait for it.
        if (!done || !done->decoded || !fileStampOf(entry->path.c_str(), &now) || !(now == done->stamp)) continue;
        // Not worth another try on every frame; shown, it decodes afresh.
        if (!list.loadAhead(uint32_t(index))) markNotWorthRetrying(entry->path);
        return true;
    }
    // Nothing else to do: a spare helper starts now rather than beside a
    // frame the screen waits for.
    decodeServiceKeepSpare();
    return false;
}

void decodeStartFile(const std::string& path) {
    if (decodeJob().running || !isImageName(path)) return;
    FileStamp stamp;
    if (fileStampOf(path.c_str(), &stamp)) startEarlyDecode(path, stamp);
}

bool advanceDecoding(FileList* shownList, bool neighboursToo) {
    collectDecoded(0);
    if (!shownList) return true;
    FileList& list = *shownList;
    int64_t current = list.current();
    settlePendingReload(list, current);
    dropPixelsUnless([&](const std::string& path) { return isNear(list, path, current); });
    cancelFarJob(list, current);
    FileInfoImg* shown = imageAt(list, current);
    bool shownReady = !(shown && !shown->loaded) || prepareShown(shown);
    // The next neighbour is decoded once the shown entry's pixels are
    // uploaded, not beside the upload and the frame the screen waits for:
    // on two cores the helper's decode slows both (the GL driver draws on
    // every core).
    bool uploadAwaited = shown && !shown->loaded && readyPixelsFor(shown->path);
    if (shownReady && !uploadAwaited && neighboursToo) decodeNeighbours(list, current);
    return shownReady;
}

bool shownPictureAwaited(FileList* list) {
    if (!list) return false;
    FileInfoImg* shown = imageAt(*list, list->current());
    const DecodeJob& job = decodeJob();
    return shown && !shown->loaded && job.running && job.path == shown->path;
}

bool requestReload(FileInfo* entry) {
    FileInfoImg* image = dynamic_cast<FileInfoImg*>(entry);
    if (!image) return false;
    FileStamp stamp;
    if (!fileStampOf(image->path.c_str(), &stamp)) return false;
    forgetDecoded(image->path);
    if (reloadPending == image->path) reloadPending.clear();
    if (!image->loaded) return true;
    cancelDecode();
    if (!startDecode(image->path, stamp, false)) return false;
    reloadPending = image->path;
    return true;
}

bool decodePending(FileInfo* entry) {
    FileInfoImg* image = dynamic_cast<FileInfoImg*>(entry);
    if (!image || image->loaded) return false;
    FileStamp stamp;
    if (!fileStampOf(image->path.c_str(), &stamp)) return false;
    collectDecoded(0);
    ReadyPixels* done = readyPixelsFor(image->path);
    return !(done && done->stamp == stamp);
}

// A loaded picture whose texture was shrunk for another side is decoded
// again: the shown one keeps its picture until the new pixels are in, as a
// reload does (a job in flight for it is let finish first, so a window
// dragged to a new size does not restart the helper on every step); the
// others are unloaded and decoded ahead afresh.
void fitPicturesTo(FileList* list, uint32_t side) {
    if (side == 0 || side == decodeSide()) return;
    setDecodeSide(side);
    if (!list) return;
    for (uint32_t index = 0; index < list->items.count; ++index) {
        FileInfoImg* entry = imageAt(*list, index);
        if (!entry || !entry->loaded || entry->texture == 0) continue;
        if (pixelsFitDecodeSide(entry->width, entry->height, entry->texelWidth, entry->texelHeight)) continue;
        if (int64_t(index) == list->current()) {
            reloadPending = entry->path;
        } else {
            unloadIfLoaded(entry);
        }
    }
}

void recolourPictures(FileList* list) {
    cancelDecode();
    decodeServiceRestart();
    dropPixelsUnless([](const std::string&) { return false; });
    if (!list) return;
    for (uint32_t index = 0; index < list->items.count; ++index) {
        FileInfoImg* entry = imageAt(*list, index);
        if (!entry || !entry->loaded || entry->texture == 0) continue;
        if (int64_t(index) == list->current()) {
            reloadPending = entry->path;
        } else {
            unloadIfLoaded(entry);
        }
    }
}

const std::string& pendingReload() { return reloadPending; }

void endDecoding() {
    reloadPending.clear();
    releaseDecoded();
    decodeServiceStop();
}
