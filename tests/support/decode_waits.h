// Waits on the decode helper for tests: each ends on the event it waits for
// (pixels in, a helper gone) or on a deadline far above the usual time, so a
// busy machine only makes a test slower.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/win32.h"

class FileInfo;
class FileList;

// Runs the main loop's decoding step until the shown entry of `fileList`
// and its neighbours have their pixels (or their failure) in.
void settleDecoding();

// Runs the main loop's decoding step on `list` until the pending reload
// (R, E, a new size) has been carried out.
void carryOutReload(FileList* list);

// Opening waits for no decode (FileInfo::load); these wait, as the main
// loop comes back to the entry once the helper has answered, until the
// entry is loaded: open(), FileList::get() and reload() that end loaded.
void openDecoded(FileInfo& entry);
FileInfo* getDecoded(FileList& list, uint32_t index);
void reloadDecoded(FileInfo* entry);

// Decodes the file ahead of need and waits until its pixels are in, so
// that FileList::loadAhead finds them.
void decodeAhead(const std::string& path);

// Polls the job in flight until it ends (or the deadline passes: then
// DecodeJobState::running).
DecodeJobState finishDecoding(DecodedImage* image);

// Waits until the helper that had this id has ended and the service noticed.
bool helperGone(long id);

// A picture decoded by the helper, copied out of its buffer.
struct HelperPicture {
    bool ok = false;
    uint32_t width = 0, height = 0;                // the pixels handed back
    uint32_t pictureWidth = 0, pictureHeight = 0;  // the file's own size
    std::vector<unsigned char> pixels;             // bottom row first

    // The RGBA colour at (x, y) counted from the top-left of the picture as shown.
    std::array<int, 4> at(uint32_t x, uint32_t y) const;
};

// Decodes the file in the helper, for a longer side of maxSide (0: the
// cap), and waits for the outcome.
HelperPicture decodeWithHelper(const std::string& path, uint32_t maxSide = 0);
