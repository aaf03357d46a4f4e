// Waits on the decode helper for tests: each ends on the event it waits for
// (pixels in, a helper gone) or on a deadline far above the usual time, so a
// busy machine only makes a test slower.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Runs the main loop's decoding step until the shown entry of `fileList`
// and its neighbours have their pixels (or their failure) in.
void settleDecoding();

// Polls the job in flight until it ends (or the deadline passes: then
// DECODE_RUNNING).
DecodeJobState finishDecoding(DecodedImage* image);

// Waits until the helper that had this id has ended and the service noticed.
bool helperGone(long id);
