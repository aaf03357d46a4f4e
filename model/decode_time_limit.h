// How long the decode of one file may take before its helper is killed.
//
// The limit follows the work the file can honestly need: a base second, an
// allowance per megapixel its header claims and one per megabyte it holds.
// A 64-byte PNG that makes DevIL spin fails after about a second; a real
// 100-megapixel picture still decodes on a busy machine. The claim counts
// only up to the largest picture the helper can decode at all, and for a PNG
// only up to what its bytes can hold, so a header that claims more buys no
// extra time.
//
// The allowances (decode_time_limit.cpp: 1 s + 0.3 s a claimed megapixel
// + 0.15 s a megabyte) come from the slowest real pictures measured in the
// decode helper's code (decode, shrink, copy; release build) on a 2-core
// machine under a load of 10 to 14, against the limits they earn:
//   6000 x 4000 JPEG, 7.8 MB:           1.3 - 3.2 s, limit  9.4 s
//   3840 x 2160 16-bit PNG, 43 MB:      1.9 - 3.8 s, limit 10.0 s
//   12000 x 8400 JPEG, 14.9 MB:         4.2 - 6.9 s, limit 33.5 s
//   12000 x 8400 PNG, 98 MB:           12.0 - 13.2 s, limit 45.9 s
// so each limit is at least 2.5 times the slowest time seen under that load
// (and the JPEG's some 50 times its time on an idle machine).
#pragma once

#include <cstdint>
#include <string>

// The pixel count the header at the start of a file claims (width x height
// of the picture DevIL would decode first), 0 when the format is not one
// read here or the header is unreadable. `head` is the file's first bytes
// (up to claimHeadBytes); `extension` decides for formats without a
// signature (tga, cut, raw).
uint64_t claimedPixelCount(const std::string& head, const std::string& extension);

// How many of the first bytes claimedPixelCount needs at most.
constexpr size_t claimHeadBytes = 256 * 1024;

// The limit for a file of fileBytes bytes whose header claims claimedPixels.
uint32_t decodeTimeLimitFromSize(uint64_t fileBytes, uint64_t claimedPixels);

// The limit for a file of fileBytes bytes that begins with `head` (its
// first claimHeadBytes at most) and whose name has `extension`.
uint32_t decodeTimeLimitForHead(const std::string& head, uint64_t fileBytes, const std::string& extension);

// The limit for the file at path, read from its size and header; given to
// the decode service with every job.
uint32_t decodeTimeLimitMsFor(const char* path);
