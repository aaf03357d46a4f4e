#include "support/gl_test_context.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "render/gl_context_generation.h"
#include "platform/win32.h"
#include "render/gl_window.h"
#include "decoders/devil.h"
#include <IL/ilut.h>

bool GLTestContext::displayAvailable() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

// SDL video and the GL library stay loaded for the rest of the process:
// unloading Mesa's driver between tests would turn its deliberate one-time
// allocations into leaks of an unknown module.
static void startVideoOnce() {
    static bool started = false;
    if (started) return;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0 || SDL_GL_LoadLibrary(nullptr) != 0)
        throw std::runtime_error(std::string("SDL video: ") + SDL_GetError());
    started = true;
}

GLTestContext::GLTestContext() {
    startVideoOnce();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    window = SDL_CreateWindow("olvistra test", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window) context = SDL_GL_CreateContext(window);
    if (!context || SDL_GL_MakeCurrent(window, context) != 0) {
        std::string error = SDL_GetError();
        if (context) SDL_GL_DeleteContext(context);
        if (window) SDL_DestroyWindow(window);
        throw std::runtime_error("GL context: " + error);
    }
    markGLContextCurrent();
    devilImage = startImageLibrary();  // the same start as the viewer window's
}

GLTestContext::~GLTestContext() {
    ilDeleteImages(1, &devilImage);
    if (SDL_GL_GetCurrentContext() == context) {
        markGLContextReleased();
        SDL_GL_MakeCurrent(window, nullptr);
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
}

std::array<int, 2> GLTestContext::textureSize(uint32_t texture) {
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    return {width, height};
}

std::array<int, 3> GLTestContext::textureCentre(uint32_t texture) {
    std::array<int, 2> size = textureSize(texture);
    std::vector<unsigned char> texels(size_t(size[0]) * size_t(size[1]) * 4);
    if (texels.empty()) return {-1, -1, -1};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    size_t at = (size_t(size[1] / 2) * size_t(size[0]) + size_t(size[0] / 2)) * 4;
    return {texels[at], texels[at + 1], texels[at + 2]};
}
