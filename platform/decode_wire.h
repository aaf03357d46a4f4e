// What the viewer and its decode helper exchange, on both platforms: numbers
// as little-endian uint32 (util/little_endian.h), whatever the machine, and
// paths of at most decodeMaxPathBytes.
#pragma once

#include <cstddef>

#include "util/little_endian.h"

// The longest path a request may carry, in bytes.
constexpr size_t decodeMaxPathBytes = 8192;
