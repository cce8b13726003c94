// Offscreen OpenGL context through EGL's surfaceless platform.
#include "capture/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <dlfcn.h>
#include <link.h>
#include <algorithm>
#include <cstdlib>

static EGLDisplay s_display = EGL_NO_DISPLAY;
static EGLSurface s_surface = EGL_NO_SURFACE;
static EGLContext s_context = EGL_NO_CONTEXT;

static bool fail(std::string* error, const char* what)
{
    if (error) *error = std::string(what) + " (EGL error 0x" + std::to_string(eglGetError()) + ")";
    return false;
}

static EGLDisplay surfaceless_display()
{
    auto get_platform_display =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    if (!get_platform_display) return EGL_NO_DISPLAY;
    return get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

// Takes one more reference on a loaded library, never given back.
static int pin_library(struct dl_phdr_info* info, size_t, void*)
{
    if (info->dlpi_name && info->dlpi_name[0]) dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD);
    return 0;
}

bool offscreen_open(int width, int height, std::string* error)
{
    if (s_context != EGL_NO_CONTEXT) return true;
    s_display = surfaceless_display();
    if (s_display == EGL_NO_DISPLAY) return fail(error, "no surfaceless EGL display");
    if (!eglInitialize(s_display, nullptr, nullptr)) return fail(error, "eglInitialize failed");

    const EGLint config_attributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_DEPTH_SIZE, 24, EGL_NONE,
    };
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(s_display, config_attributes, &config, 1, &count) || count < 1)
        return fail(error, "no pbuffer config with depth");
    if (!eglBindAPI(EGL_OPENGL_API)) return fail(error, "desktop GL not available");

    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    s_surface = eglCreatePbufferSurface(s_display, config, surface_attributes);
    if (s_surface == EGL_NO_SURFACE) return fail(error, "eglCreatePbufferSurface failed");

    const EGLint context_attributes[] = {
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE,
    };
    s_context = eglCreateContext(s_display, config, EGL_NO_CONTEXT, context_attributes);
    if (s_context == EGL_NO_CONTEXT) return fail(error, "eglCreateContext failed");
    if (!eglMakeCurrent(s_display, s_surface, s_surface, s_context))
        return fail(error, "eglMakeCurrent failed");
    return true;
}

void offscreen_close()
{
    if (s_display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(s_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (s_context != EGL_NO_CONTEXT) eglDestroyContext(s_display, s_context);
    if (s_surface != EGL_NO_SURFACE) eglDestroySurface(s_display, s_surface);
    // eglTerminate unloads the GL driver; kept mapped, the driver can still be
    // named in a leak checker's report of what its teardown leaves behind.
    dl_iterate_phdr(pin_library, nullptr);
    eglTerminate(s_display);
    s_display = EGL_NO_DISPLAY;
    s_surface = EGL_NO_SURFACE;
    s_context = EGL_NO_CONTEXT;
}

std::vector<uint8_t> offscreen_read_rgb(int width, int height)
{
    std::vector<uint8_t> bottom_up((size_t)width * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    std::vector<uint8_t> top_down(bottom_up.size());
    const size_t row = (size_t)width * 3;
    for (int y = 0; y < height; y++)
        std::copy_n(bottom_up.begin() + (size_t)(height - 1 - y) * row, row, top_down.begin() + (size_t)y * row);
    return top_down;
}
