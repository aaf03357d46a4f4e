// A hidden SDL2 window with a current OpenGL compatibility context, with
// DevIL started in it the way the viewer's window starts it. Each context
// gets a new generation (render/gl_context_generation.h), so textures made in
// an earlier one are never deleted in this one.
#pragma once

#include <array>
#include <cstdint>

#include <gtest/gtest.h>

struct SDL_Window;

class GLTestContext {
public:
    GLTestContext();  // raises std::runtime_error when no context can be made
    ~GLTestContext();
    GLTestContext(const GLTestContext&) = delete;
    GLTestContext& operator=(const GLTestContext&) = delete;

    // True when an X display is named; GL tests skip only without one.
    static bool displayAvailable();

    // The size of level 0 of a texture of the current context.
    static std::array<int, 2> textureSize(uint32_t texture);
    // The RGB bytes of the texel in the middle of level 0.
    static std::array<int, 3> textureCentre(uint32_t texture);

private:
    SDL_Window* window = nullptr;
    void* context = nullptr;
    unsigned int devilImage = 0;
};

#define SKIP_WITHOUT_DISPLAY()                                                  \
    do {                                                                        \
        if (!GLTestContext::displayAvailable()) GTEST_SKIP() << "no X display"; \
    } while (0)
