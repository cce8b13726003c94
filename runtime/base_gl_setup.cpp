// Fixed GL state after the context opens, the frame's geometry, and the frame
// presentation hook.
#include "runtime/gl_setup.h"

#include "render/render.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <cstdint>

static const double FIELD_OF_VIEW = 30.0; // degrees, vertical
static const double NEAR_PLANE = 1.0;
static const double FAR_PLANE = 10000.0;
static const float MATERIAL_SHININESS = 128.0f;

static void (*s_swap_hook)() = nullptr;

FrameGeometry g_frame = frame_geometry(WINDOW_WIDTH, WINDOW_HEIGHT);

// Integer division rounding halves up; numerator and divisor positive.
static int divide_rounded(int64_t numerator, int64_t divisor)
{
    return (int)((2 * numerator + divisor) / (2 * divisor));
}

FrameGeometry frame_geometry(int width, int height)
{
    FrameGeometry f;
    f.width = width;
    f.height = height;
    if ((int64_t)width * 9 >= (int64_t)height * 16) {
        f.band_height = height;
        f.band_width = divide_rounded((int64_t)height * 16, 9);
    } else {
        f.band_width = width;
        f.band_height = divide_rounded((int64_t)width * 9, 16);
    }
    f.band_x = (width - f.band_width) / 2;
    f.band_y = (height - f.band_height) / 2;
    // 600 overlay rows for the band's 450, as many above the band as below.
    f.overlay_width = f.band_width;
    f.overlay_height = divide_rounded((int64_t)f.band_height * WINDOW_HEIGHT, PICTURE_HEIGHT);
    f.overlay_x = f.band_x;
    f.overlay_y = f.band_y - (f.overlay_height - f.band_height) / 2;
    f.scale = (float)f.band_height / (float)PICTURE_HEIGHT;
    return f;
}

void frame_set_size(int width, int height)
{
    g_frame = frame_geometry(width, height);
    pixel_scale_set(g_frame.scale);
}

// A whole number 1..`most` of digits only, up to `stop`.
static bool parse_count(const char* text, char stop, int most, int* value, const char** rest)
{
    int64_t n = 0;
    const char* p = text;
    while (*p >= '0' && *p <= '9' && n <= most) n = n * 10 + (*p++ - '0');
    if (p == text || *p != stop || n < 1 || n > most) return false;
    *value = (int)n;
    *rest = p;
    return true;
}

bool frame_size_parse(const char* text, int* width, int* height)
{
    int w = 0, h = 0;
    const char* rest = nullptr;
    if (!parse_count(text, 'x', FRAME_SIZE_MAX, &w, &rest) || !parse_count(rest + 1, '\0', FRAME_SIZE_MAX, &h, &rest))
        return false;
    *width = w;
    *height = h;
    return true;
}

bool frame_samples_parse(const char* text, int* samples)
{
    const char* rest = nullptr;
    return parse_count(text, '\0', FRAME_SAMPLES_MAX, samples, &rest);
}

void gl_setup_fixed_state(int width, int height)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FIELD_OF_VIEW, (double)width / (double)height, NEAR_PLANE, FAR_PLANE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_TEXTURE_2D);
    glDepthFunc(GL_LESS);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_FOG_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);

    // Material colours far above 1 saturate every lit face that does not turn
    // almost exactly away from the light.
    const float specular[4] = {100, 100, 100, 1};
    const float ambient[4] = {0, 0, 0, 1};
    const float diffuse[4] = {500, 500, 500, 1};
    glMaterialf(GL_FRONT, GL_SHININESS, MATERIAL_SHININESS);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);

    glCullFace(GL_BACK);
    glFrontFace(GL_CW);
}

void gl_setup_multisample()
{
    glEnable(GL_MULTISAMPLE);
    glEnable(GL_POINT_SPRITE);
}

void swap_buffers()
{
    if (s_swap_hook) s_swap_hook();
}

void swap_buffers_set_hook(void (*hook)()) { s_swap_hook = hook; }
