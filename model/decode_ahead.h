// Which files the decode helper works on, for the list of entries.
//
// The helper runs one job at a time (model/decoded_pixels.h keeps the job
// and the pixels it finished). The shown entry comes first: the main loop
// asks advanceDecoding() on every pass, which starts the shown entry's
// decode and answers "not yet" until its pixels (or its failure) are in, so
// the loop keeps handling keys while a file decodes, crashes or hangs. Once
// the shown entry's pixels are uploaded, the next entry and then the
// previous one are decoded ahead into spare buffers (at most two, together below
// decodeAheadMaxBytes). A speculative job never delays the shown entry: a
// step elsewhere, or one that leaves it no neighbour of the shown entry,
// cancels it. Ready pixels are used only while the file keeps its stamp; R,
// F5 and E forget them first (via unload).
// R and F5 do not wait either: requestReload() decodes the file afresh while
// the old picture stays on screen, and advanceDecoding() carries the reload
// out once the pixels (or the failure) are in.
//
// The list on screen is passed in by the caller; only the entries' loaded
// state is written here, through their own reload and the list's loadAhead.
// Everything here runs on the main thread; the helper is a process.
#pragma once

#include <string>

#include "model/decoded_pixels.h"

class FileInfo;
class FileList;

// Advances the helper's work without waiting: collects a finished job,
// carries out a reload whose pixels are in (its open() may raise the
// entry's error), then starts what the shown entry or its neighbours need.
// True when the shown entry can be opened now without waiting for the
// helper. `list` is the list on screen, or null. Without
// `neighboursToo` no neighbour's decode starts: a frame the screen waits
// for comes first.
bool advanceDecoding(FileList* list, bool neighboursToo = true);

// Starts decoding the file the viewer was started on, when it names an
// image, so that the helper's pixels may be in by the first frame; the
// window opens meanwhile. When the list's shown entry turns out to be
// another file, the job is cancelled like any other.
void decodeStartFile(const std::string& path);

// Loads one neighbour of the shown entry whose pixels are in (next first)
// into its texture, so that a step to it only draws. For an idle moment
// after a frame; does nothing while the shown entry itself waits. True when
// it loaded one (the other neighbour may be ready too); with none to load,
// it keeps a spare decode helper started instead.
bool loadNeighbourAhead(FileList* list);

// True while the helper decodes the list's shown picture and the screen
// waits for it; false once its pixels (or its failure) are in.
bool shownPictureAwaited(FileList* list);

// Starts a fresh decode of a loaded image entry for a reload and keeps its
// picture until the result is in; for an image entry not loaded yet, only
// forgets its pixels and job, so the frame decodes it afresh. False when
// the caller has to reload at once: not an image entry, the file has gone,
// or the helper does not take the job. A step to another entry turns a
// pending reload into an unload.
bool requestReload(FileInfo* entry);

// True when opening the entry now would wait for the helper: an image entry
// not loaded whose pixels (or failure) are not in yet.
bool decodePending(FileInfo* entry);

// Makes `side` (in screen pixels, 0: minimised, ignored) the side pictures
// are decoded for, once it changes: a window size change or the full-screen
// switch. Loaded pictures shrunk for another side are decoded again; the
// shown one stays on screen meanwhile.
void fitPicturesTo(FileList* list, uint32_t side);

// The display's colour profile changed (platform/display_profile.h): the
// helpers, started with the old one, are replaced, and every picture is
// decoded again. The shown one keeps its picture until the new pixels are
// in, as a reload does; the others are unloaded and decoded ahead afresh.
void recolourPictures(FileList* list);

// The path of the entry whose reload waits for its decode; empty when none.
const std::string& pendingReload();

// Releases all pixels, forgets the pending reload and ends the helper.
void endDecoding();
