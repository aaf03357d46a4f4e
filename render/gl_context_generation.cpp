#include "render/gl_context_generation.h"

namespace {

// Generations only grow, so a texture's generation never matches a later
// context, even one that the window system hands out at the same address.
uint64_t lastGeneration = 0;
uint64_t currentGeneration = 0;

}  // namespace

uint64_t currentGLContextGeneration() { return currentGeneration; }

void markGLContextCurrent() { currentGeneration = ++lastGeneration; }

void markGLContextReleased() { currentGeneration = 0; }
