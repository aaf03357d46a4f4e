// Which GL context is current, as a number the renderer can compare without
// asking the window system. Textures are deleted only in the context that
// made them; once that context is gone their names are merely forgotten.
//
// Whoever makes a GL context current calls markGLContextCurrent(), and calls
// markGLContextReleased() before the context is released or deleted.
#pragma once

#include <cstdint>

// The generation of the current GL context; 0 while none is current.
uint64_t currentGLContextGeneration();

// Gives the context just made current a new generation, never used before.
void markGLContextCurrent();

// Records that no GL context is current any more.
void markGLContextReleased();
