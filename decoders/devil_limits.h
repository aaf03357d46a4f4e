// What the viewer's own decoders and its DevIL decode (model/devil_load.h)
// share of DevIL: its start-up, the bounds on what it may allocate, and
// the draining of its error stack.
#pragma once

#include <cstdint>

#include "decoders/devil.h"

// The largest single block DevIL may allocate. A header can claim 40000 x
// 40000 pixels in a 1 KB file; such requests are refused instead of served.
constexpr uint64_t devilMaxAllocation = uint64_t(512) << 20;

// Images whose RGBA copy (what the texture upload makes) would reach this
// many bytes are refused.
constexpr uint64_t devilMaxRgbaBytes = uint64_t(1) << 31;

// Empties DevIL's error stack; true when it held any error.
bool drainDevilErrors();

// Starts IL and ILU with an allocator that refuses single requests beyond
// devilMaxAllocation, installed first so that every block DevIL ever frees
// came from it; then makes a fresh image, binds it and returns its name.
// Safe to call again (each call makes another image).
ILuint startDevil();
