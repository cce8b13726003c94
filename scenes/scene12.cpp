// Scenes 1 and 2: terrain under the veil, and the orb in the veil.
#include "scenes/scenes.h"

#include <GL/gl.h>
#include <cmath>

#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "runtime/text.h"
#include "scenes/scene_toolkit.h"
#include "scenes/terrain.h"
#include "texture/texture.h"

// Scene 1: a 100 x 100 landscape up to 15 units high from a 128 x 128 height
// map, a cyan-blue 1024 x 1024 ground, inside a sphere of radius 200 whose
// texture is mirror-tiled from 512 x 512 to 1024 x 1024.
static const uint16_t HEIGHT_MAP_SIZE = 128;
static const float HEIGHT_MAP_PERSISTENCE = 0.5f;
static const float TERRAIN_HEIGHT = 15.0f;
static const float TERRAIN_SIZE = 100.0f;
static const uint16_t GROUND_SIZE = 1024;
static const float GROUND_PERSISTENCE = 0.6f;
static const uint32_t GROUND_TINT = 0xFF00B6F0;
static const uint16_t VEIL_TEXTURE_SIZE = 512;
static const float VEIL_PERSISTENCE = 0.65f;
static const uint32_t VEIL_TINT = 0xFF00C0FF;
static const float VEIL_BRIGHTNESS = 1.3f;
static const float VEIL_RADIUS = 200.0f;
static const unsigned VEIL_DIVISIONS = 15;
static const uint32_t WHITE = 0xFFFFFFFF;

// Scene 1 light and fog: a bright light wandering over the landscape, black
// fog from 10 to 80 units; the light leaves at the resting diffuse.
static const float SCENE1_DIFFUSE = 2500.0f;
static const float RESTING_DIFFUSE = 500.0f;
static const uint32_t FOG_BLACK = 0xFF000000;
static const float SCENE1_FOG_START = 10.0f;
static const float SCENE1_FOG_END = 80.0f;
// Camera: the landscape (x and z 0..100) centred across the view and 10 units
// below the eye, turning about the world origin at one degree per second.
static const float CAMERA_X = -50.0f;
static const float CAMERA_Y = -10.0f;

// Captions in overlay pixels.
static const int CAPTION_Y = 550;
static const int CAPTION_LEFT_X = 20;
static const int CAPTION_RIGHT_X = 540;

// Scene 2: a 64 x 64 orange cloud core and a dark blue dot field.
static const uint16_t ORB_TEXTURE_SIZE = 64;
static const uint32_t CORE_TINT = 0xFFFF8000;
static const uint32_t DOTS_BACKGROUND = 0xFF000010;
static const uint8_t DOTS_NOISE_AMPLITUDE = 16;
// Diffuse level of scene 2's light between beats; a beat adds up to 2000.
static const float SCENE2_FLASH_BASE = 1500.0f;

// Scene 1 state; the veil is drawn by scene 2 as well.
static Texture* s_height_map = nullptr;
static Terrain* s_terrain = nullptr;
static Texture* s_ground = nullptr;
static Texture* s_veil_texture = nullptr;
static Mesh* s_veil = nullptr;

// Scene 2 state.
static Texture* s_core_texture = nullptr;
static Texture* s_dots_texture = nullptr;
static Orb* s_orb = nullptr;

// Scene 1

static Texture* scene1_make_veil_texture()
{
    Texture* t = texture_create(VEIL_TEXTURE_SIZE, VEIL_TEXTURE_SIZE);
    texture_fractal(t, true, VEIL_PERSISTENCE);
    texture_min_color(t, VEIL_TINT);
    texture_brightness(t, VEIL_BRIGHTNESS);
    texture_mirror_tile(t);
    texture_upload(t);
    return t;
}

void scene1_build()
{
    s_height_map = texture_create(HEIGHT_MAP_SIZE, HEIGHT_MAP_SIZE);
    texture_fractal(s_height_map, false, HEIGHT_MAP_PERSISTENCE);
    s_terrain = terrain_new(s_height_map, TERRAIN_HEIGHT, TERRAIN_SIZE, TERRAIN_SIZE);

    s_ground = texture_create(GROUND_SIZE, GROUND_SIZE);
    texture_fractal(s_ground, false, GROUND_PERSISTENCE);
    texture_min_color(s_ground, GROUND_TINT);
    texture_upload(s_ground);
    s_terrain->texture = s_ground;
    terrain_compile(s_terrain);

    s_veil_texture = scene1_make_veil_texture();
    // Seen from inside: faces turned inwards, alpha-blended; compiled on first draw.
    s_veil = mesh_sphere(VEIL_RADIUS, VEIL_DIVISIONS, WHITE, s_veil_texture);
    mesh_flip(s_veil);
    s_veil->blend = 1;
    s_veil->blend_src = GL_SRC_ALPHA;
    s_veil->blend_dst = GL_ONE_MINUS_SRC_ALPHA;
}

static void scene1_light(float t)
{
    g_light.diffuse[1] = g_light.diffuse[2] = g_light.diffuse[3] = SCENE1_DIFFUSE;
    g_light.position[0] = 3.0f * sinf(t);
    g_light.position[1] = 10.0f * cosf(0.3f * t);
    g_light.position[2] = 14.0f * sinf(0.07f * t) + 10.0f;
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
}

// Hands the light on at the resting level, positioned at the eye.
static void scene1_light_rest()
{
    g_light.diffuse[1] = g_light.diffuse[2] = g_light.diffuse[3] = RESTING_DIFFUSE;
    g_light.position[2] = 0.0f;
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    g_light.position[0] = 0.0f;
    g_light.position[1] = 0.0f;
}

static void scene1_captions()
{
    state_disable(RS_TEXTURE);
    state_disable(RS_LIGHTING);
    overlay_begin();
    text_draw(CAPTION_LEFT_X, CAPTION_Y, WHITE, g_font_large, "lumen harvest");
    text_draw(CAPTION_RIGHT_X, CAPTION_Y, WHITE, g_font_large, "quiet harbor");
    overlay_end();
}

void scene1_render(float t, int)
{
    if (beat_flag) beat_flag = 0;
    // The lights go on before the enable bits are saved: lights_enable
    // remembers them as on, so popping them off again would leave every later
    // frame lit by no light at all.
    lights_enable(1);
    glPushAttrib(GL_ENABLE_BIT);
    state_enable(RS_DEPTH_TEST);
    state_enable(RS_LIGHTING);
    fog_colour(FOG_BLACK);
    fog_start(SCENE1_FOG_START);
    fog_end(SCENE1_FOG_END);
    scene1_light(t);
    pulse_decay();

    Matrix camera;
    mat_identity(camera);
    mat_translate(camera, CAMERA_X, CAMERA_Y, 0.0f);
    mat_rotate_xyz(camera, 0.0f, t, 0.0f);
    gl_mult(camera);

    // The landscape before the veil, which surrounds it and the eye and so lies
    // behind it wherever both are seen: there the depth test rejects the veil
    // before it is shaded, where the other order shades it and paints over it.
    state_enable(RS_FOG);
    terrain_draw(s_terrain);
    state_disable(RS_FOG);
    veil_draw(s_veil, t);
    state_enable(RS_FOG);

    scene1_light_rest();
    scene1_captions();
    glPopAttrib();
}

// Scene 2

void scene2_build()
{
    s_core_texture = texture_create(ORB_TEXTURE_SIZE, ORB_TEXTURE_SIZE);
    texture_clouds(s_core_texture);
    texture_min_color(s_core_texture, CORE_TINT);
    texture_upload(s_core_texture);

    s_dots_texture = texture_create(ORB_TEXTURE_SIZE, ORB_TEXTURE_SIZE);
    texture_fill_rect(s_dots_texture, 0, 0, ORB_TEXTURE_SIZE - 1, ORB_TEXTURE_SIZE - 1, DOTS_BACKGROUND);
    texture_noise(s_dots_texture, DOTS_NOISE_AMPLITUDE, false, false);
    texture_upload(s_dots_texture);

    s_orb = orb_build(s_core_texture, s_dots_texture);
}

void scene2_render(float t, int first_frame)
{
    if (first_frame) {
        state_enable(RS_LIGHTING);
        lights_enable(1);
        state_enable(RS_DEPTH_TEST);
        state_disable(RS_FOG);
    }
    orb_place(s_orb, t);

    // The light stays at the eye (position (0, 0, 0) left by scene 1).
    light_flash(SCENE2_FLASH_BASE);
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    beat_zoom(+1);
    pulse_decay();
    // The accent shakes the orb, not the veil.
    const Tilt shake = accent_tilt();

    // The orb's core before the veil, which surrounds it and the eye: the
    // depth test rejects the veil behind the core before it is shaded. The
    // additive rest of the orb goes on top of both, as in the other order.
    gl_push();
    tilt_apply(shake);
    orb_draw_core(s_orb);
    gl_pop();
    veil_draw(s_veil, t);
    tilt_apply(shake);
    orb_draw_glow(s_orb);
}
