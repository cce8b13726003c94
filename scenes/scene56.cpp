// Scenes 5 and 6: the ring run down a glowing tube, and the peg board in a turning room.
#include "scenes/scenes.h"

#include <GL/gl.h>
#include <cmath>
#include <initializer_list>

#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scene_toolkit.h"
#include "texture/texture.h"

// Both scenes fade into the same dark blue.
static const uint32_t NIGHT_FOG = 0xFF000040;
static const uint32_t WHITE = 0xFFFFFFFF;
static const unsigned HOOP_COUNT = 20;
static const unsigned BOARD_CELLS = 8; // per side

// Scene 5 state.
static Texture* s_ground_texture = nullptr;
static Texture* s_ring_texture = nullptr;
static Texture* s_tube_texture = nullptr;
static Mesh* s_tube = nullptr;
static Mesh* s_ground = nullptr;
static Mesh* s_hoop = nullptr;
static Mesh* s_hoop_glow = nullptr;

// Scene 6 state.
static Texture* s_room_texture = nullptr;
static Texture* s_peg_texture = nullptr;
static Mesh* s_room = nullptr;
static Mesh* s_pierced_block = nullptr;
static Mesh* s_peg = nullptr;

// Scene 5

static void scene5_make_textures()
{
    s_ground_texture = texture_create(256, 256); // blue noise
    texture_noise(s_ground_texture, 128, false, false);
    texture_min_color(s_ground_texture, 0xFF0080FF);
    texture_upload(s_ground_texture);

    s_ring_texture = texture_create(64, 64); // embossed grey
    texture_fill_rect(s_ring_texture, 0, 0, 63, 63, 0xFF808080);
    texture_noise(s_ring_texture, 32, false, false);
    texture_emboss(s_ring_texture, 64);
    texture_upload(s_ring_texture);

    s_tube_texture = texture_create(64, 64); // yellow noise
    texture_noise(s_tube_texture, 128, false, false);
    texture_min_color(s_tube_texture, 0xFFFFFF00);
    texture_upload(s_tube_texture);
}

void scene5_build()
{
    scene5_make_textures();

    // A tube of raised strips, turned to face inwards, glowing additively.
    s_tube = mesh_cylinder(30, 2000, 1, 16, WHITE, s_tube_texture);
    mesh_scale_texcoords(s_tube, 5, 5);
    mesh_extrude(s_tube, 0.5f, 1, 0, 0, 0, 1);
    mesh_mirror(s_tube);
    mesh_scale_texcoords(s_tube, 10, 1);
    s_tube->blend = 1;
    s_tube->blend_src = s_tube->blend_dst = GL_ONE;
    mesh_compile(s_tube);

    // A huge flat box: floor and ceiling 80 units below and above the axis.
    s_ground = mesh_box(2000, 80, 2000, s_ground_texture, WHITE);
    mesh_mirror(s_ground);
    s_ground->blend = 0;
    mesh_compile(s_ground);

    // A flat ring: outer radius 20, inner 18, 8 thick.
    Mesh* disc = mesh_cylinder(20, 8, 1, 16, WHITE, s_ring_texture);
    Mesh* cut = mesh_cylinder(18, 10, 1, 16, WHITE, s_ring_texture);
    s_hoop = mesh_subtract(disc, cut);
    mesh_free(disc);
    mesh_free(cut);
    s_hoop->blend = 0;

    s_hoop_glow = mesh_copy(s_hoop);
    mesh_scale(s_hoop_glow, 1.4f, 1.4f, 1.4f);
    s_hoop_glow->blend = 1;
    s_hoop_glow->blend_src = s_hoop_glow->blend_dst = GL_ONE;
    mesh_extrude(s_hoop_glow, 0.9f, 1, 0, 0, 0, 1);
    mesh_compile(s_hoop);
    mesh_compile(s_hoop_glow);
}

// Ring i starts 100 i ahead and comes on at 78 units per second, tumbling.
static void scene5_place_hoop(Mesh* hoop, unsigned i, float t)
{
    const float s = i + t;
    mat_identity(hoop->matrix);
    mat_translate(hoop->matrix, 0, 0, 100.0f * i - 78.0f * t);
    mat_rotate_xyz(hoop->matrix, 56.3f * s, 32.5f * s, 40.0f * sinf(t));
}

void scene5_render(float t, int first_frame)
{
    if (first_frame) {
        state_enable(RS_DEPTH_TEST);
        state_enable(RS_LIGHTING);
        lights_enable(1);
        fog_colour(NIGHT_FOG);
        fog_start(100);
        fog_end(1000);
        state_enable(RS_FOG);
    }
    // Tube and ground come on at 90 units per second; the tube rolls +-40 degrees.
    mat_identity(s_tube->matrix);
    mat_rotate_xyz(s_tube->matrix, 0, 0, 40.0f * sinf(t));
    mat_translate(s_tube->matrix, 0, 0, 1000.0f - 90.0f * t);
    mat_identity(s_ground->matrix);
    mat_translate(s_ground->matrix, 0, 0, 1000.0f - 90.0f * t);

    // Light at the eye; the camera circles the axis at radius 12.
    light_flash(1500);
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    beat_zoom(-1);
    gl_translate(12.0f * sinf(t), 12.0f * cosf(t), 0);
    pulse_decay();
    accent_shake();

    state_disable(RS_LIGHTING);
    mesh_draw(s_ground);
    state_enable(RS_SPHERE_MAP);
    mesh_draw(s_tube);
    state_disable(RS_SPHERE_MAP);
    state_enable(RS_LIGHTING);

    for (unsigned i = 0; i < HOOP_COUNT; i++) {
        scene5_place_hoop(s_hoop, i, t);
        mesh_draw(s_hoop);
        scene5_place_hoop(s_hoop_glow, i, t);
        mesh_draw(s_hoop_glow);
    }
}

// Scene 6

static void scene6_make_textures()
{
    s_room_texture = texture_create(256, 256); // embossed blue clouds
    texture_clouds(s_room_texture);
    texture_emboss(s_room_texture, 64);
    texture_min_color(s_room_texture, 0xFF0080FF);
    texture_upload(s_room_texture);

    s_peg_texture = texture_create(64, 64); // green noise
    texture_fill_rect(s_peg_texture, 0, 0, 63, 63, 0xFF808080);
    texture_noise(s_peg_texture, 64, false, false);
    texture_min_color(s_peg_texture, 0xFF00FF00);
    texture_upload(s_peg_texture);
}

void scene6_build()
{
    scene6_make_textures();

    // A bevelled peg standing along Y.
    s_peg = mesh_cylinder(0.4f, 1, 1, 8, WHITE, s_peg_texture);
    mesh_rotate(s_peg, 90, 0, 0);
    mesh_bevel(s_peg, 0.8f);
    mesh_scale_texcoords(s_peg, 2, 0.2f);
    s_peg->blend = 0;
    mesh_compile(s_peg);

    // A cube with a vertical hole of radius 0.8 through it.
    Mesh* hole = mesh_cylinder(0.8f, 2, 1, 8, WHITE, s_room_texture);
    mesh_rotate(hole, 90, 0, 0);
    Mesh* block = mesh_box(1, 1, 1, s_room_texture, WHITE);
    s_pierced_block = mesh_subtract(block, hole);
    mesh_free(block);
    s_pierced_block->blend = 0;
    mesh_compile(s_pierced_block);
    mesh_free(hole);

    // Seen from inside.
    s_room = mesh_box(15, 15, 15, s_peg_texture, WHITE);
    mesh_flip(s_room);
    s_room->blend = 0;
    mesh_compile(s_room);
}

// The board turns with the room: 20 degrees per second about its centre,
// 10 units ahead; (x, y, z) is a place on the board.
static void scene6_place(Mesh* mesh, float t, float x, float y, float z)
{
    mat_identity(mesh->matrix);
    mat_translate(mesh->matrix, 0, 0, 10);
    mat_rotate_xyz(mesh->matrix, 0, 20.0f * t, 0);
    mat_translate(mesh->matrix, x, y, z);
}

// Cell (a, b): two blocks, additive where a or b is even, and the peg bobbing
// between them.
static void scene6_draw_cell(unsigned a, unsigned b, float t)
{
    const float x = 2.0f * a - 8.0f;
    const float z = 2.0f * b - 8.0f;
    s_pierced_block->blend = (a * b) % 2 == 0 ? 1 : 0;
    for (float y : {2.0f, -2.0f}) {
        scene6_place(s_pierced_block, t, x, y, z);
        mesh_draw(s_pierced_block);
    }
    scene6_place(s_peg, t, x, 4.0f * sinf((float)((a + 1) * (b + 1)) + t), z);
    mesh_draw(s_peg);
}

// The opaque blocks (cells where a and b are both odd) as depth alone, in
// the state of their real draw (sphere mapping on): the room and every
// additive block behind them are then rejected before they are shaded, where
// the board's own order shades many of them and paints over them.
static void scene6_prepass_blocks(float t)
{
    state_enable(RS_SPHERE_MAP);
    depth_prepass_begin();
    s_pierced_block->blend = 0;
    for (unsigned a = 1; a < BOARD_CELLS; a += 2) {
        for (unsigned b = 1; b < BOARD_CELLS; b += 2) {
            for (float y : {2.0f, -2.0f}) {
                scene6_place(s_pierced_block, t, 2.0f * a - 8.0f, y, 2.0f * b - 8.0f);
                mesh_draw(s_pierced_block);
            }
        }
    }
    depth_prepass_end();
    state_disable(RS_SPHERE_MAP);
}

void scene6_render(float t, int first_frame)
{
    if (beat_flag) beat_flag = 0;
    if (first_frame) {
        state_enable(RS_DEPTH_TEST);
        state_enable(RS_LIGHTING);
        lights_enable(1);
        fog_colour(NIGHT_FOG);
        fog_start(1);
        fog_end(20);
        state_enable(RS_FOG);
    }
    // The light swings through the room along the diagonal of x and z.
    light_flash(500);
    g_light.position[0] = 10.0f * sinf(t);
    g_light.position[1] = 0;
    g_light.position[2] = 10.0f * sinf(t);
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    pulse_decay();

    state_enable(RS_LIGHTING);
    scene6_prepass_blocks(t);
    mat_identity(s_room->matrix);
    mat_translate(s_room->matrix, 0, 0, 10);
    mat_rotate_xyz(s_room->matrix, 0, 20.0f * t, 0);
    mesh_draw(s_room);

    state_enable(RS_SPHERE_MAP);
    for (unsigned a = 0; a < BOARD_CELLS; a++)
        for (unsigned b = 0; b < BOARD_CELLS; b++) scene6_draw_cell(a, b, t);
    state_disable(RS_SPHERE_MAP);
}
