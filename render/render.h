// Render layer: named render-state switches, the scene light, fog, blending,
// viewport and display lists. Main thread only, with a GL context current.
#pragma once

#include <cstdint>

// Render-state codes for state_enable / state_disable; other codes do nothing.
enum RenderState : uint32_t {
    RS_SPHERE_MAP = 0,     // sphere-map texgen on S and T, GL_REPEAT, GL_MODULATE
    RS_TEXTURE = 1,        // GL_TEXTURE_2D
    RS_BLEND = 2,          // GL_BLEND
    RS_FOG = 3,            // linear GL_FOG
    RS_DEPTH_TEST = 4,     // GL_DEPTH_TEST
    RS_DEPTH_WRITE = 5,    // depth mask
    RS_LIGHTING = 6,       // GL_LIGHTING
    RS_POLYGON_OFFSET = 7, // polygon offset for fill, line and point
};

// Polygon rasterisation modes for polygon_mode; other codes do nothing.
enum PolygonMode : uint32_t {
    POLY_FILL = 0,
    POLY_LINE = 1,  // line width 1 design pixel
    POLY_POINT = 2, // point size 3 design pixels
};

// The one scene light. Colours are alpha, red, green, blue (alpha first);
// components may exceed 1: the quadratic attenuation brings them back.
struct Light {
    float diffuse[4];
    float ambient[4];
    float position[3]; // eye coordinates
};

// The scene light shared by all scenes.
extern Light g_light;

// Switches
void state_enable(uint32_t code);
void state_disable(uint32_t code);
void polygon_mode(uint32_t code);
// The factor multiplies the depth slope per design pixel; units are the
// depth buffer's own.
void polygon_offset(float factor, float units);
void blend_func(uint32_t source, uint32_t destination); // GL blend factor enums

// Sizes in design pixels (those of the 800 x 600 frame), drawn at the
// frame's scale, so a point or line covers the same share of the picture at
// every size. The scale is 1 until the frame's size sets it (0 < scale).
void pixel_scale_set(float scale);
void point_size(float design_pixels);
void line_width(float design_pixels);

// Fog and viewport
void fog_colour(uint32_t colour); // 0xAARRGGBB
void fog_start(float distance);
void fog_end(float distance);
void viewport(int x, int y, int width, int height);

// Lights. lights_enable switches the lights on or off and remembers it, so
// repeated calls with the same flag cost nothing. On means GL_LIGHT0 and
// every light light_apply has given parameters: lights 1..7 with GL's
// defaults are black and would change no colour. Off switches all eight off.
void lights_enable(int on);
bool lights_are_on();
// Loads the identity model-view matrix, then uploads the light to
// GL_LIGHT0 + index (switched on at once while the lights are on); index
// outside 0..7 changes no light.
void light_apply(const Light& light, int index);
// Diffuse (1, 500, 500, 500), ambient (1, 1, 1, 1), position (0, 0, 0).
void light_reset();

// Depth prepass. Between these calls nothing reaches the colour buffer and
// every filled polygon lands a few steps of depth resolution behind where it
// would otherwise. An opaque mesh drawn here and then again for real, with the
// very same matrix and vertex state, leaves every pixel as it was: its real
// draw still passes the depth test wherever it would have (the prepass depth
// lies strictly behind it, and nearer surfaces still win as before), while
// whatever it hides, drawn before or after it, is rejected before shading
// instead of being shaded and then painted over. Only for meshes that write
// depth and do not blend. The colour mask and polygon state are saved and
// restored on the attribute stack.
void depth_prepass_begin();
void depth_prepass_end();

// Display lists: names stay valid for the whole run.
uint32_t list_begin(); // glGenLists(1) + glNewList(GL_COMPILE)
void list_end();
void list_call(uint32_t name);
