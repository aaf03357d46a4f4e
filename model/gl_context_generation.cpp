#include "model/gl_context_generation.h"

// Generations only grow, so a texture's generation never matches a later
// context, even one that the window system hands out at the same address.
uint64_t currentGLContextGeneration = 0;

namespace {
uint64_t lastGLContextGeneration = 0;
}

void markGLContextCurrent() { currentGLContextGeneration = ++lastGLContextGeneration; }

void markGLContextReleased() { currentGLContextGeneration = 0; }
