/* The floor for any OpenGL viewer on this machine: a bare SDL2 program that
 * opens a 1024x768 GL window, draws one bright gradient and waits to be
 * ended. bench/run times its first frame the way it times the viewers'. */
#include <SDL.h>
#include <SDL_opengl.h>

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window* window = SDL_CreateWindow("floor", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1024, 768,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    if (!window || !SDL_GL_CreateContext(window)) return 1;
    for (;;) {
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_QUADS);
        glColor3f(1.0f, 0.5f, 0.25f);
        glVertex2f(-1.0f, -1.0f);
        glVertex2f(1.0f, -1.0f);
        glColor3f(1.0f, 0.8f, 0.25f);
        glVertex2f(1.0f, 1.0f);
        glVertex2f(-1.0f, 1.0f);
        glEnd();
        SDL_GL_SwapWindow(window);
        SDL_Event event;
        do {
            if (!SDL_WaitEvent(&event) || event.type == SDL_QUIT) return 0;
        } while (event.type != SDL_WINDOWEVENT || event.window.event != SDL_WINDOWEVENT_EXPOSED);
    }
}
