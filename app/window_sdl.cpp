// SDL window and OpenGL context.
#include "app/window.h"

#include "runtime/gl_setup.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const int WINDOW_BITS_PER_PIXEL = 32;

static const SDL_VideoInfo* s_video_info = nullptr;
static Uint32 s_video_flags = 0;
static SDL_Surface* s_screen = nullptr;
static bool s_full_screen = false;

static void fail(const char* format, const char* reason)
{
    printf(format, reason);
    fflush(stdout);
    exit(1);
}

// Without a display the compatibility layer falls back to an invisible
// offscreen driver and reports success. Nobody would see the presentation,
// so unless the user named a driver, that counts as a failed start.
static bool fell_back_to_invisible_driver()
{
    const char* requested = getenv("SDL_VIDEODRIVER");
    if (requested && requested[0]) return false;
    char name[64] = "";
    if (!SDL_VideoDriverName(name, sizeof name)) return false;
    return strcmp(name, "offscreen") == 0 || strcmp(name, "dummy") == 0;
}

static void swap_sdl() { SDL_GL_SwapBuffers(); }

void window_start(int* display_width, int* display_height)
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0) fail("Video initialization failed: %s\n", SDL_GetError());
    if (fell_back_to_invisible_driver()) {
        SDL_Quit();
        fail("Video initialization failed: %s\n", "no display available");
    }
    s_video_info = SDL_GetVideoInfo();
    if (!s_video_info) fail("Video query failed: %s\n", SDL_GetError());
    // Before any mode is set, the current mode is the desktop's.
    *display_width = s_video_info->current_w > 0 ? s_video_info->current_w : 0;
    *display_height = s_video_info->current_h > 0 ? s_video_info->current_h : 0;
}

// Sets the mode with `samples` per pixel, halving the count while the
// display has none that large; the count it gives ends in *samples.
static SDL_Surface* video_mode_set(int width, int height, int* samples)
{
    for (int asked = *samples;; asked /= 2) {
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, asked > 1 ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, asked > 1 ? asked : 0);
        SDL_Surface* screen = SDL_SetVideoMode(width, height, WINDOW_BITS_PER_PIXEL, s_video_flags);
        if (screen || asked <= 1) {
            int buffers = 0, granted = 0;
            SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
            SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &granted);
            *samples = screen && buffers > 0 && granted > 1 ? granted : 1;
            return screen;
        }
    }
}

void window_open(uint16_t width, uint16_t height, const char* caption, uint8_t full_screen, WindowGl gl)
{
    s_video_flags = SDL_OPENGL | SDL_HWPALETTE;
    if (s_video_info->hw_available) s_video_flags |= SDL_HWSURFACE;
    if (s_video_info->blit_hw) s_video_flags |= SDL_HWACCEL;
    if (full_screen) s_video_flags |= SDL_FULLSCREEN;

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Swaps wait for the display unless told not to: an unthrottled loop
    // tears.
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, gl.vsync ? 1 : 0);
    int samples = gl.samples;
    s_screen = video_mode_set(width, height, &samples);
    if (!s_screen) fail("Video mode set failed: %s\n", SDL_GetError());
    if (samples != gl.samples) {
        fprintf(stderr, "quiet-harbor: --msaa %d: this display has no %d samples per pixel; ", gl.samples, gl.samples);
        if (samples > 1) fprintf(stderr, "using %d\n", samples);
        else fprintf(stderr, "drawing without\n");
    }
    SDL_WM_SetCaption(caption, nullptr);
    s_full_screen = full_screen != 0;

    frame_set_size(width, height);
    gl_setup_fixed_state(WINDOW_WIDTH, WINDOW_HEIGHT);
    if (samples > 1) gl_setup_multisample();
    swap_buffers_set_hook(swap_sdl);
}

void window_close() { SDL_Quit(); }

bool window_toggle_full_screen()
{
    if (!SDL_WM_ToggleFullScreen(s_screen)) {
        fprintf(stderr, "quiet-harbor: this display cannot switch to %s\n", s_full_screen ? "a window" : "full screen");
        return false;
    }
    s_full_screen = !s_full_screen;
    return true;
}

bool window_is_full_screen() { return s_full_screen; }

void window_show_cursor(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }
