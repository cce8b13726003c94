// The offscreen target of a picture drawn at fewer pixels, and its scale-up.
#include "presentation/render_scale.h"

#include "presentation/demo.h"
#include "render/render.h"
#include "runtime/gl_setup.h"
#include "runtime/text.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>

// The target: a colour texture the scale-up reads. With multisampling the
// render steps draw into multisampled colour and depth buffers of the same
// size, resolved into the texture before it is read; without, into the
// texture and a depth buffer directly.
struct ScaleTarget {
    int width, height; // 0 = none made
    int samples;       // of the frame it was made for; 1 = none
    GLuint texture;
    GLuint resolved;   // framebuffer with the texture
    GLuint drawn;      // framebuffer the render steps draw into
    GLuint buffers[2]; // depth (and multisampled colour) storage
};

static float s_scale = 1.0f;
static ScaleTarget s_target = {};
// The frame's own framebuffers, bound again after the drawing.
static GLint s_host_draw = 0, s_host_read = 0;
// Points and lines last drawn at this many pixels per design pixel; 0 = the
// frame's own scale.
static float s_drawn_pixel_scale = 0.0f;

bool render_scale_parse(const char* text, float* scale)
{
    char* end = nullptr;
    errno = 0;
    const double value = strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value)) return false;
    if (value < RENDER_SCALE_MIN || value > RENDER_SCALE_MAX) return false;
    *scale = (float)value;
    return true;
}

void render_scale_set(float scale)
{
    s_scale = scale < RENDER_SCALE_MIN ? RENDER_SCALE_MIN : scale > RENDER_SCALE_MAX ? RENDER_SCALE_MAX : scale;
}

float render_scale_get() { return s_scale; }

void render_scale_target_size(float scale, int* width, int* height)
{
    const int w = (int)lroundf((float)g_frame.band_width * scale);
    const int h = (int)lroundf((float)g_frame.band_height * scale);
    *width = w > 0 ? w : 1;
    *height = h > 0 ? h : 1;
}

void render_scale_release()
{
    ScaleTarget& t = s_target;
    if (t.width == 0) return;
    glDeleteFramebuffers(1, &t.resolved);
    if (t.drawn != t.resolved) glDeleteFramebuffers(1, &t.drawn);
    glDeleteRenderbuffers(t.samples > 1 ? 2 : 1, t.buffers);
    glDeleteTextures(1, &t.texture);
    t = ScaleTarget{};
}

// A renderbuffer of the format, multisampled when samples > 1.
static GLuint renderbuffer_make(GLenum format, int samples, int width, int height)
{
    GLuint name = 0;
    glGenRenderbuffers(1, &name);
    glBindRenderbuffer(GL_RENDERBUFFER, name);
    if (samples > 1) glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
    else glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    return name;
}

// Makes the target at width x height with as many samples per pixel as
// the frame bound now has. Leaves its drawing framebuffer bound.
static void target_make(int width, int height)
{
    ScaleTarget& t = s_target;
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    t.width = width;
    t.height = height;
    t.samples = samples > 1 ? samples : 1;
    glGenTextures(1, &t.texture);
    glBindTexture(GL_TEXTURE_2D, t.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &t.resolved);
    glBindFramebuffer(GL_FRAMEBUFFER, t.resolved);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.texture, 0);
    t.buffers[0] = renderbuffer_make(GL_DEPTH_COMPONENT24, t.samples, width, height);
    t.drawn = t.resolved;
    if (t.samples > 1) {
        t.buffers[1] = renderbuffer_make(GL_RGBA8, t.samples, width, height);
        glGenFramebuffers(1, &t.drawn);
        glBindFramebuffer(GL_FRAMEBUFFER, t.drawn);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, t.buffers[1]);
    }
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t.buffers[0]);
}

// Points and lines keep their share of the picture: the size last set
// (a render step may set it once, on its first frame) follows the scale.
static void pixel_sizes_follow(float pixel_scale)
{
    const float before = s_drawn_pixel_scale > 0.0f ? s_drawn_pixel_scale : g_frame.scale;
    pixel_scale_set(pixel_scale);
    if (pixel_scale == before) return;
    GLfloat point = 1.0f, line = 1.0f;
    glGetFloatv(GL_POINT_SIZE, &point);
    glGetFloatv(GL_LINE_WIDTH, &line);
    glPointSize(point * pixel_scale / before);
    glLineWidth(line * pixel_scale / before);
}

bool render_scale_begin()
{
    if (s_scale >= 1.0f) {
        // Back at full size after scaled frames: points and lines too.
        if (s_drawn_pixel_scale > 0.0f) pixel_sizes_follow(g_frame.scale);
        s_drawn_pixel_scale = 0.0f;
        return false;
    }
    int width = 0, height = 0;
    render_scale_target_size(s_scale, &width, &height);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &s_host_draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &s_host_read);
    if (s_target.width != width || s_target.height != height) {
        render_scale_release();
        target_make(width, height);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, s_target.drawn);
    viewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glScissor(0, 0, width, height);
    glEnable(GL_SCISSOR_TEST);
    const float pixel_scale = (float)height / (float)PICTURE_HEIGHT;
    pixel_sizes_follow(pixel_scale);
    s_drawn_pixel_scale = pixel_scale;
    text_defer_begin();
    return true;
}

// Draws the target's texture over the viewport, nothing else changed.
static void scale_up_draw()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, s_target.texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const GLenum stacks[3] = {GL_PROJECTION, GL_TEXTURE, GL_MODELVIEW};
    for (GLenum stack : stacks) {
        glMatrixMode(stack);
        glPushMatrix();
        glLoadIdentity();
    }
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glEnd();
    for (GLenum stack : stacks) {
        glMatrixMode(stack);
        glPopMatrix();
    }
    glPopAttrib();
}

void render_scale_end()
{
    const ScaleTarget& t = s_target;
    glDisable(GL_SCISSOR_TEST);
    if (t.drawn != t.resolved) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, t.drawn);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, t.resolved);
        glBlitFramebuffer(0, 0, t.width, t.height, 0, 0, t.width, t.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, (GLuint)s_host_draw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, (GLuint)s_host_read);
    // The frame is cleared only now: a renderer that draws in passes then
    // finishes the frame's drawing once, not once before the target and
    // again after it.
    demo_picture_begin();
    pixel_scale_set(g_frame.scale);
    scale_up_draw();
    text_defer_draw();
}
