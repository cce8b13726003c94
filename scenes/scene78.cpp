// Scenes 7 and 8: the urchin in the cell sphere, and the orb in the lattice room.
#include "scenes/scenes.h"
#include "scenes/scene78.h"

#include <cmath>

#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scene_toolkit.h"
#include "texture/texture.h"

// Both scenes tint their meshes through the textures only.
static const uint32_t WHITE = 0xFFFFFFFF;
// Light level the urchin is drawn with, and the position the next scene
// inherits: at the eye.
static const float RESTING_DIFFUSE = 500.0f;
// A beat turns the urchin on at once by this many degrees.
static const float SPIN_PER_BEAT = 40.0f;
// Scene 8's bars: a 16 x 16 grid on every face of the cube of half-size 128.
static const int LATTICE_GRID = 16;
static const float LATTICE_STEP = 16.0f;
static const float LATTICE_HALF = 128.0f;
static const uint32_t LATTICE_COLOUR = 0xFFF0F0F0;

// Scene 7 state; spin only ever grows, across re-entries too (until the
// timeline plays again from its start).
static Texture* s_cell_texture = nullptr;
static Texture* s_urchin_texture = nullptr;
static Mesh* s_cell_sphere = nullptr;
static Mesh* s_urchin = nullptr;
static float s_spin = 0.0f;

// Scene 8 state.
static Texture* s_lattice_texture = nullptr;
static Texture* s_core_texture = nullptr;
static Texture* s_dots_texture = nullptr;
static Mesh* s_lattice_room = nullptr;
static Orb* s_orb = nullptr;

float scene7_spin() { return s_spin; }
void scene7_rewind() { s_spin = 0.0f; }
const Mesh* scene7_urchin() { return s_urchin; }
const Mesh* scene8_lattice_room() { return s_lattice_room; }

// Scene 7

void scene7_build()
{
    // Orange embossed cells.
    s_cell_texture = texture_create(256, 256);
    texture_clouds(s_cell_texture);
    texture_emboss(s_cell_texture, 64);
    texture_min_color(s_cell_texture, 0xFFFF8000);
    texture_upload(s_cell_texture);

    // Blue speckles on black.
    s_urchin_texture = texture_create(256, 256);
    texture_fill_rect(s_urchin_texture, 0, 0, 255, 255, 0xFF000000);
    texture_noise(s_urchin_texture, 32, false, false);
    texture_min_color(s_urchin_texture, 0xFF0080FF);
    texture_upload(s_urchin_texture);

    // A radius-50 sphere whose cells rise in four steps, seen from inside.
    s_cell_sphere = mesh_sphere(50.0f, 12, WHITE, s_cell_texture);
    mesh_extrude(s_cell_sphere, 0.9f, 20.0f, 0, 0, 0, 4);
    mesh_flip(s_cell_sphere);
    mesh_scale_texcoords(s_cell_sphere, 8.0f, 8.0f);
    s_cell_sphere->blend = 0;
    mesh_compile(s_cell_sphere);

    // 32 thin steps, each turned 5 degrees about every axis: curling spikes, additive.
    s_urchin = mesh_sphere(1.0f, 8, WHITE, s_urchin_texture);
    mesh_extrude(s_urchin, 0.95f, 0.5f, 5, 5, 5, 32);
    s_urchin->blend = 1;
    mesh_compile(s_urchin);
}

// Light moved for the cells, then at the resting level for the urchin; the
// record leaves with the position at the eye.
static void scene7_draw(float t)
{
    light_flash(2500.0f);
    g_light.position[0] = 10.0f * sinf(t);
    g_light.position[1] = 10.0f * cosf(t);
    g_light.position[2] = 10.0f * sinf(t) + 10.0f;
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    pulse_decay();

    state_enable(RS_LIGHTING);
    mesh_draw(s_cell_sphere);

    g_light.diffuse[1] = g_light.diffuse[2] = g_light.diffuse[3] = RESTING_DIFFUSE;
    g_light.position[2] = 0.0f;
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    mesh_draw(s_urchin);
    g_light.position[0] = 0.0f;
    g_light.position[1] = 0.0f;
}

void scene7_render(float t, int first_frame)
{
    // One turn per frame that finds the flag: a beat whose row's ticks are
    // pumped on both sides of a frame turns the urchin twice.
    if (beat_flag) {
        s_spin += SPIN_PER_BEAT;
        beat_flag = 0;
    }
    if (first_frame) {
        state_enable(RS_DEPTH_TEST);
        state_enable(RS_LIGHTING);
        lights_enable(1);
        state_disable(RS_FOG);
    }
    // The cells roll about X; the urchin tumbles about all three axes.
    mat_identity(s_cell_sphere->matrix);
    mat_translate(s_cell_sphere->matrix, 0.0f, 0.0f, 40.0f);
    mat_rotate_xyz(s_cell_sphere->matrix, 20.0f * t, 0.0f, 0.0f);
    const float a = 20.0f * t + s_spin;
    mat_identity(s_urchin->matrix);
    mat_translate(s_urchin->matrix, 0.0f, 0.0f, 40.0f);
    mat_rotate_xyz(s_urchin->matrix, a, a, a);
    scene7_draw(t);
}

// Scene 8

// A copy of bar at (x, y, z) and another at (x, y, z) + (dx, dy, dz) on the
// opposite face; the bar is freed.
static void lattice_add_pair(Mesh* room, Mesh* bar, float x, float y, float z, float dx, float dy,
                             float dz)
{
    mesh_translate(bar, x, y, z);
    mesh_append_copy(room, bar);
    mesh_translate(bar, dx, dy, dz);
    mesh_append_copy(room, bar);
    mesh_free(bar);
}

// The flipped room with bars 8 x 8 thick and 40 long crossing every face of
// the inner cube: 16 x 16 cells, three bar directions each, two faces per bar.
static Mesh* lattice_room_new(const Texture* texture)
{
    Mesh* room = mesh_box(300.0f, 300.0f, 300.0f, texture, LATTICE_COLOUR);
    mesh_flip(room);
    const float h = LATTICE_HALF;
    for (int a = 0; a < LATTICE_GRID; a++) {
        for (int b = 0; b < LATTICE_GRID; b++) {
            const float p = LATTICE_STEP * a - h;
            const float q = LATTICE_STEP * b - h;
            lattice_add_pair(room, mesh_box(4, 4, 20, texture, LATTICE_COLOUR), p, q, h, 0, 0, -2 * h);
            lattice_add_pair(room, mesh_box(20, 4, 4, texture, LATTICE_COLOUR), h, p, q, -2 * h, 0, 0);
            lattice_add_pair(room, mesh_box(4, 20, 4, texture, LATTICE_COLOUR), p, h, q, 0, -2 * h, 0);
        }
    }
    return room;
}

// The room's display list holds the bars first and the six walls last. Every
// bar lies well inside the walls, so from the eye at the room's centre each
// wall pixel a bar covers is behind that bar: drawn last, the walls are
// rejected there by the depth test before shading instead of being shaded
// and then painted over. The mesh itself keeps the walls as its first group.
static void lattice_room_compile(Mesh* room)
{
    Mesh* order = mesh_new(0, 0, 0);
    for (const PolygonGroup* g = room->groups->next; g; g = g->next) mesh_add_group(order, group_copy(g));
    mesh_add_group(order, group_copy(room->groups));
    mesh_compile(order);
    room->display_list = order->display_list;
    mesh_free(order);
}

void scene8_build()
{
    // Dark blue noise, smoothed by bilinear enlargement.
    s_lattice_texture = texture_create(32, 32);
    texture_fill_rect(s_lattice_texture, 0, 0, 31, 31, 0xFF0000A0);
    texture_noise(s_lattice_texture, 32, false, false);
    texture_resize(s_lattice_texture, 256, 256, TEXTURE_RESIZE_BILINEAR);
    texture_upload(s_lattice_texture);

    // The orb: blue clouds, dark red dots.
    s_core_texture = texture_create(64, 64);
    texture_clouds(s_core_texture);
    texture_min_color(s_core_texture, 0xFF0080FF);
    texture_upload(s_core_texture);
    s_dots_texture = texture_create(64, 64);
    texture_fill_rect(s_dots_texture, 0, 0, 63, 63, 0xFF100000);
    texture_noise(s_dots_texture, 16, false, false);
    texture_upload(s_dots_texture);

    // All 1537 boxes in one display list.
    s_lattice_room = lattice_room_new(s_lattice_texture);
    lattice_room_compile(s_lattice_room);
    s_lattice_room->blend = 0;

    s_orb = orb_build(s_core_texture, s_dots_texture);
}

void scene8_render(float t, int first_frame)
{
    if (first_frame) {
        state_enable(RS_LIGHTING);
        lights_enable(1);
        state_enable(RS_DEPTH_TEST);
        fog_colour(0xFFFF8000); // orange, from 80 to 160 units
        fog_start(80.0f);
        fog_end(160.0f);
        state_enable(RS_FOG);
    }
    orb_place(s_orb, t);
    mat_identity(s_lattice_room->matrix);
    mat_rotate_xyz(s_lattice_room->matrix, 5.0f * t, 10.0f * t, 20.0f * t);

    // The light stays at the eye, where scene 7 left it.
    light_flash(500.0f);
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    beat_zoom(+1);
    pulse_decay();
    accent_shake();

    // The orb's core lies nearer than every bar of the room: drawn first, it
    // lets the depth test reject the room behind it before it is shaded.
    orb_draw_core(s_orb);
    mesh_draw(s_lattice_room);
    orb_draw_glow(s_orb);
}
