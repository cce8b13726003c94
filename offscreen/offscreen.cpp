// Offscreen OpenGL context through EGL's surfaceless platform.
#include "offscreen/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>
#include <link.h>
#include <algorithm>
#include <cstdlib>

static EGLDisplay s_display = EGL_NO_DISPLAY;
static EGLSurface s_surface = EGL_NO_SURFACE;
static EGLContext s_context = EGL_NO_CONTEXT;
// The multisampled framebuffer and its colour and depth storage; 0 = none.
static GLuint s_msaa_framebuffer = 0;
static GLuint s_msaa_buffers[2] = {0, 0};
// Most sample counts a format can list.
static const int SAMPLE_COUNTS_MAX = 16;

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

int offscreen_samples_for(int wanted)
{
    // The counts the driver lists for the colour format, largest first.
    GLint listed = 0;
    GLint counts[SAMPLE_COUNTS_MAX] = {};
    glGetInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_NUM_SAMPLE_COUNTS, 1, &listed);
    listed = std::min(std::max(listed, 0), SAMPLE_COUNTS_MAX);
    if (listed > 0) glGetInternalformativ(GL_RENDERBUFFER, GL_RGBA8, GL_SAMPLES, listed, counts);
    if (listed == 0) {
        // A driver without the list: its largest count, rounded up to as asked.
        GLint most = 0;
        glGetIntegerv(GL_MAX_SAMPLES, &most);
        return most < 2 ? 1 : std::min(wanted, (int)most);
    }
    if (counts[0] < 2) return 1;
    int chosen = counts[0];
    for (int i = 0; i < listed; i++)
        if (counts[i] >= wanted) chosen = counts[i];
    return chosen;
}

bool offscreen_multisample(int width, int height, int samples, std::string* error)
{
    glGenRenderbuffers(2, s_msaa_buffers);
    glBindRenderbuffer(GL_RENDERBUFFER, s_msaa_buffers[0]);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, s_msaa_buffers[1]);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &s_msaa_framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, s_msaa_framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s_msaa_buffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, s_msaa_buffers[1]);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    // Draw into the multisampled frame, read from the resolved surface.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    if (status == GL_FRAMEBUFFER_COMPLETE && glGetError() == GL_NO_ERROR) return true;
    if (error) *error = "no multisampled framebuffer of " + std::to_string(samples) + " samples";
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &s_msaa_framebuffer);
    glDeleteRenderbuffers(2, s_msaa_buffers);
    s_msaa_framebuffer = 0;
    return false;
}

void offscreen_resolve(int width, int height)
{
    if (s_msaa_framebuffer == 0) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s_msaa_framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s_msaa_framebuffer);
}

void offscreen_close()
{
    if (s_display == EGL_NO_DISPLAY) return;
    if (s_msaa_framebuffer != 0) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &s_msaa_framebuffer);
        glDeleteRenderbuffers(2, s_msaa_buffers);
        s_msaa_framebuffer = 0;
    }
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
