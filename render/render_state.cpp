// Render-state wrappers: each code expands into the GL calls that belong together.
#include "render/render.h"

#include <GL/gl.h>

// Quadratic attenuation of the scene light: intensity falls as 1 / (100 d^2).
static const float LIGHT_QUADRATIC = 100.0f;
static const int LIGHT_COUNT = 8;
// How far a depth prepass pushes polygons back, in steps of depth
// resolution: enough that rounding in the interpolated depth can never bring
// the prepass depth level with the real draw's, small enough to hide nothing
// that lies visibly behind.
static const float PREPASS_DEPTH_STEPS = 8.0f;

Light g_light = {{1, 500, 500, 500}, {1, 1, 1, 1}, {0, 0, 0}};

static bool s_lights_on = false;
// Frame pixels per design pixel.
static float s_pixel_scale = 1.0f;
// Lights that take part while the lights are on, bit i for GL_LIGHT0 + i:
// light 0 always (GL's own default for it is white), the others once
// light_apply has given them parameters. GL's defaults for lights 1 to 7 are
// black, so until then they add exactly nothing to any colour, yet the driver
// would light every vertex with each of them.
static unsigned s_lights_given = 1u;

static void sphere_map_enable()
{
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

static void sphere_map_disable()
{
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

static void set_cap(GLenum cap, bool on)
{
    if (on) glEnable(cap);
    else glDisable(cap);
}

static void state_set(uint32_t code, bool on)
{
    switch (code) {
    case RS_SPHERE_MAP:
        if (on) sphere_map_enable();
        else sphere_map_disable();
        break;
    case RS_TEXTURE: set_cap(GL_TEXTURE_2D, on); break;
    case RS_BLEND: set_cap(GL_BLEND, on); break;
    case RS_FOG:
        if (on) glFogi(GL_FOG_MODE, GL_LINEAR);
        set_cap(GL_FOG, on);
        break;
    case RS_DEPTH_TEST: set_cap(GL_DEPTH_TEST, on); break;
    case RS_DEPTH_WRITE: glDepthMask(on ? GL_TRUE : GL_FALSE); break;
    case RS_LIGHTING: set_cap(GL_LIGHTING, on); break;
    case RS_POLYGON_OFFSET:
        set_cap(GL_POLYGON_OFFSET_FILL, on);
        set_cap(GL_POLYGON_OFFSET_LINE, on);
        set_cap(GL_POLYGON_OFFSET_POINT, on);
        break;
    default: break;
    }
}

void state_enable(uint32_t code) { state_set(code, true); }
void state_disable(uint32_t code) { state_set(code, false); }

void polygon_mode(uint32_t code)
{
    switch (code) {
    case POLY_FILL: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
    case POLY_LINE:
        line_width(1.0f);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        break;
    case POLY_POINT:
        point_size(3.0f);
        glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
        break;
    default: break;
    }
}

// GL measures the slope per frame pixel, which shrinks as the frame grows;
// scaling the factor keeps the offset the same depth at every size.
void polygon_offset(float factor, float units) { glPolygonOffset(factor * s_pixel_scale, units); }

void pixel_scale_set(float scale) { s_pixel_scale = scale; }
void point_size(float design_pixels) { glPointSize(design_pixels * s_pixel_scale); }
void line_width(float design_pixels) { glLineWidth(design_pixels * s_pixel_scale); }

void blend_func(uint32_t source, uint32_t destination) { glBlendFunc(source, destination); }

void fog_colour(uint32_t colour)
{
    const float rgba[4] = {((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                           (colour & 0xFF) / 255.0f, ((colour >> 24) & 0xFF) / 255.0f};
    glFogfv(GL_FOG_COLOR, rgba);
}

void fog_start(float distance) { glFogf(GL_FOG_START, distance); }
void fog_end(float distance) { glFogf(GL_FOG_END, distance); }
void viewport(int x, int y, int width, int height) { glViewport(x, y, width, height); }

void lights_enable(int on)
{
    if (on != 0 && !s_lights_on) {
        for (int i = 0; i < LIGHT_COUNT; i++)
            if (s_lights_given & (1u << i)) glEnable(GL_LIGHT0 + i);
        s_lights_on = true;
    } else if (on == 0 && s_lights_on) {
        s_lights_on = false;
        for (int i = 0; i < LIGHT_COUNT; i++) glDisable(GL_LIGHT0 + i);
    }
}

bool lights_are_on() { return s_lights_on; }

void light_apply(const Light& light, int index)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (index < 0 || index >= LIGHT_COUNT) return;
    const GLenum id = GL_LIGHT0 + index;
    // Stored alpha first; GL wants red, green, blue, alpha.
    const float ambient[4] = {light.ambient[1], light.ambient[2], light.ambient[3], light.ambient[0]};
    const float diffuse[4] = {light.diffuse[1], light.diffuse[2], light.diffuse[3], light.diffuse[0]};
    const float position[4] = {light.position[0], light.position[1], light.position[2], 1.0f};
    glLightfv(id, GL_AMBIENT, ambient);
    glLightfv(id, GL_SPECULAR, ambient);
    glLightfv(id, GL_DIFFUSE, diffuse);
    glLightfv(id, GL_POSITION, position);
    glLightf(id, GL_CONSTANT_ATTENUATION, 0.0f);
    glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
    glLightf(id, GL_QUADRATIC_ATTENUATION, LIGHT_QUADRATIC);
    if (!(s_lights_given & (1u << index))) {
        s_lights_given |= 1u << index;
        if (s_lights_on) glEnable(id);
    }
}

void light_reset()
{
    g_light = Light{{1, 500, 500, 500}, {1, 1, 1, 1}, {0, 0, 0}};
}

void depth_prepass_begin()
{
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glPolygonOffset(0.0f, PREPASS_DEPTH_STEPS);
    glEnable(GL_POLYGON_OFFSET_FILL);
}

void depth_prepass_end() { glPopAttrib(); }

uint32_t list_begin()
{
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    return name;
}

void list_end() { glEndList(); }
void list_call(uint32_t name) { glCallList(name); }
