// DevIL as every file of ours includes it; its start-up and bounds are in
// decoders/devil_limits.h. ILUT, which draws, is the viewer's alone
// (render/gl_window.h).
#pragma once

// The viewer's ILUT is its OpenGL part; il.h and ilut.h must agree on it.
#ifndef ILUT_USE_OPENGL
#define ILUT_USE_OPENGL
#endif
#include <IL/il.h>
#include <IL/ilu.h>
