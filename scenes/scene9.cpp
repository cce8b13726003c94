// Scene 9: snowflakes drifting down over a fogged landscape under an amber sky.
#include "scenes/scenes.h"
#include "scenes/scene9.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scene_toolkit.h"
#include "scenes/terrain.h"
#include "texture/texture.h"

// Pale flake colours, chosen by rand() % 4.
static const uint32_t FLAKE_PALETTE[4] = {0xFFFFFFFF, 0xFF80FFFF, 0xFF80C0FF, 0xFFC0E0FF};
// The time step of the first frame after entering the scene, in seconds.
static const float FIRST_STEP = 0.01f;

static Texture* s_height_map = nullptr;
static Terrain* s_terrain = nullptr;
static Texture* s_ground = nullptr;
static Texture* s_flake_texture = nullptr;
static Texture* s_sky_texture = nullptr;
static Mesh* s_sky = nullptr;
static Flake s_flakes[FLAKE_COUNT];
// The flakes as loading made them, for the timeline's next pass.
static Flake s_loaded_flakes[FLAKE_COUNT];
// demo_time of the scene's previous frame.
static float s_last_time = 0.0f;

Flake* scene9_flakes() { return s_flakes; }

void flake_move(Flake* flake, float dt)
{
    flake->position.x += dt * flake->velocity.x;
    flake->position.y += dt * flake->velocity.y;
    flake->position.z += dt * flake->velocity.z;
    if (flake->position.y < FLAKE_FLOOR) flake->position.y = FLAKE_CEILING;
}

static Texture* scene9_make_flake_texture()
{
    // Soft bright clouds whose alpha follows their brightness, then dimmed.
    Texture* t = texture_create(32, 32);
    texture_fractal(t, false, 0.7f);
    texture_alpha_from_brightness(t);
    texture_mirror_tile(t);
    texture_brightness(t, 0.1f);
    texture_upload(t);
    return t;
}

static Texture* scene9_make_sky_texture()
{
    // Bright amber clouds. The clouds leave alpha alone, and a new image is
    // transparent: starting from opaque black keeps the alpha-blended sky
    // visible at all.
    Texture* t = texture_create(64, 64);
    texture_fill_rect(t, 0, 0, 63, 63, 0xFF000000);
    texture_fractal(t, false, 0.4f);
    texture_brightness(t, 4.0f);
    texture_mirror_tile(t);
    texture_min_color(t, 0xFFFFC020);
    texture_upload(t);
    return t;
}

// Six rand() numbers per flake, in this order: colour, x, y, z, x and y velocity.
static void scene9_make_flake(Flake* flake)
{
    const uint32_t colour = FLAKE_PALETTE[rand() % 4];
    flake->mesh = mesh_sphere(0.5f, 6, colour, s_flake_texture);
    mesh_extrude(flake->mesh, 0.05f, 1.3f, 0, 0, 0, 1);
    flake->mesh->blend = 1;
    mesh_compile(flake->mesh);
    const float x = (float)(rand() % 17 - 8);
    const float y = (float)(rand() % 11);
    const float z = (float)(rand() % 38 + 3);
    flake->position = {x, y, z};
    const float vx = (float)(rand() % 21 - 10) * 0.1f;
    const float vy = (float)(rand() % 21 - 10) * 0.1f - 1.5f;
    flake->velocity = {vx, vy, 0.0f};
}

void scene9_build()
{
    // A 50 x 50 landscape up to 8 units high; its ground stays untinted.
    s_height_map = texture_create(96, 96);
    texture_fractal(s_height_map, false, 0.5f);
    texture_upload(s_height_map);
    s_terrain = terrain_new(s_height_map, 8.0f, 50.0f, 50.0f);
    s_ground = texture_create(256, 256);
    texture_fractal(s_ground, false, 0.6f);
    texture_min_color(s_ground, 0xFFFFFFFF);
    texture_upload(s_ground);
    s_terrain->texture = s_ground;
    terrain_compile(s_terrain);

    s_flake_texture = scene9_make_flake_texture();
    s_sky_texture = scene9_make_sky_texture();
    // A dim box around the eye, seen from inside, alpha-blended.
    s_sky = mesh_box(50.0f, 50.0f, 50.0f, s_sky_texture, 0xFF404040);
    s_sky->blend = 1;
    s_sky->blend_src = GL_SRC_ALPHA;
    s_sky->blend_dst = GL_ONE_MINUS_SRC_ALPHA;
    mesh_flip(s_sky);
    mesh_compile(s_sky);

    for (Flake& flake : s_flakes) scene9_make_flake(&flake);
    for (int i = 0; i < FLAKE_COUNT; i++) s_loaded_flakes[i] = s_flakes[i];
}

void scene9_rewind()
{
    for (int i = 0; i < FLAKE_COUNT; i++) s_flakes[i] = s_loaded_flakes[i];
    s_last_time = 0.0f;
}

// Seconds since the previous frame of this scene, at most FLAKE_MAX_STEP.
static float scene9_time_step()
{
    float dt = demo_time - s_last_time;
    s_last_time = demo_time;
    if (dt > FLAKE_MAX_STEP) dt = FLAKE_MAX_STEP;
    return dt;
}

// The landscape slides slowly under its own camera, in green-grey fog.
static void scene9_draw_landscape(float t)
{
    fog_colour(0xFF406040);
    fog_start(1.0f);
    fog_end(50.0f);
    state_enable(RS_FOG);
    Matrix camera;
    mat_identity(camera);
    mat_rotate_xyz(camera, 3.0f, 0.4f * t, 0.0f);
    mat_translate(camera, 0.1f * t - 30.0f, -6.0f, 0.05f * t - 40.0f);
    gl_mult(camera);
    terrain_draw(s_terrain);
}

static void scene9_draw_flakes(float t)
{
    Matrix camera;
    mat_identity(camera);
    mat_rotate_xyz(camera, 10.0f, 1.1f * t, 0.0f);
    mat_translate(camera, 0.0f, 5.0f, 0.0f);
    view_reset();
    gl_mult(camera);

    const float dt = scene9_time_step();
    for (Flake& flake : s_flakes) {
        flake_move(&flake, dt);
        mat_identity(flake.mesh->matrix);
        mat_translate(flake.mesh->matrix, flake.position.x, flake.position.y, flake.position.z);
        mesh_draw(flake.mesh);
    }
}

// No pulse decay, zoom or shake here: the light follows beat_pulse as the
// beats and the earlier scenes leave it.
void scene9_render(float t, int first_frame)
{
    gl_select_modelview();
    view_reset();
    light_flash(1500.0f);
    light_apply(g_light, 0);
    if (first_frame) {
        light_reset();
        s_last_time = demo_time - FIRST_STEP;
    }
    state_enable(RS_DEPTH_TEST);
    state_enable(RS_LIGHTING);
    lights_enable(1);
    state_disable(RS_FOG);

    // The sky box sits on the eye, drawn with the identity: not Z-mirrored.
    mat_identity(s_sky->matrix);
    mesh_draw(s_sky);
    scene9_draw_landscape(t);
    scene9_draw_flakes(t);
}
