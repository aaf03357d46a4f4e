// DevIL as every file of ours includes it, and its start-up in both
// programs. ILUT, which draws, is the viewer's alone (render/gl_window.h).
#pragma once

// The viewer's ILUT is its OpenGL part; il.h and ilut.h must agree on it.
#ifndef ILUT_USE_OPENGL
#define ILUT_USE_OPENGL
#endif
#include <IL/il.h>
#include <IL/ilu.h>

// Starts IL and ILU with an allocator that refuses single requests beyond
// devilMaxAllocation (devil_limits.h), installed first so that every block
// DevIL ever frees came from it; then makes a fresh image, binds it and
// returns its name. Safe to call again (each call makes another image).
ILuint startDevil();
