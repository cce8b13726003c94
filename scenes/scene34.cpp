// Scenes 3 and 4: the star box, and the tunnel with its swarm of plates.
#include "scenes/scenes.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scene34.h"
#include "scenes/scene_toolkit.h"
#include "scenes/star_field.h"
#include "texture/texture.h"

// Scene 3 draws its stars at the size scene 2's orb leaves for points; set
// here too, so a start inside scene 3 sees what the whole run shows.
static const float STAR_POINT_SIZE = 3.0f; // design pixels
static const uint32_t STAR_COUNT = 30000;
static const uint32_t PALE_GREY = 0xFFF0F0F0;
// Balls spin in place this far ahead of the unrotated camera.
static const float BALL_DISTANCE = 70.0f;

// Scene 4: the light's diffuse level between beats; a beat adds up to 2000.
static const float SCENE4_FLASH_BASE = 1500.0f;
static const int SWARM_PLATES = 31;
static const float CENTRE_PLATE_DISTANCE = 15.0f;
static const uint32_t WHITE = 0xFFFFFFFF;

// Scene 3 state.
static Texture* s_box_texture = nullptr;
static Texture* s_ball_texture = nullptr;
static Mesh* s_box = nullptr;
static Mesh* s_balls[SCENE3_BALLS] = {};
static StarField* s_stars = nullptr;

// Scene 4 state.
static Texture* s_tube_texture = nullptr;
static Texture* s_plate_texture = nullptr;
static Texture* s_rib_texture = nullptr;
static Mesh* s_tube_a = nullptr;
static Mesh* s_tube_b = nullptr;
static Mesh* s_plate = nullptr;
static Mesh* s_rib = nullptr;
static SwarmAnchors s_anchors = {};

static void set_alpha_blend(Mesh* mesh)
{
    mesh->blend = 1;
    mesh->blend_src = GL_SRC_ALPHA;
    mesh->blend_dst = GL_ONE_MINUS_SRC_ALPHA;
}

// Scene 3

static void scene3_make_textures()
{
    s_box_texture = texture_create(128, 128);
    texture_noise(s_box_texture, 192, false, true); // grey noise, alpha too
    texture_min_color(s_box_texture, 0xFFFF0000);
    texture_upload(s_box_texture);

    // Blue-speckled clouds, as opaque as they are bright.
    s_ball_texture = texture_create(128, 128);
    texture_clouds(s_ball_texture);
    texture_speckle(s_ball_texture, 30, 0xFF1E78FF);
    texture_brightness(s_ball_texture, 2.0f);
    texture_alpha_from_brightness(s_ball_texture);
    texture_upload(s_ball_texture);
}

void scene3_build()
{
    scene3_make_textures();

    // Seen from inside: faces turned inwards, alpha-blended.
    s_box = mesh_box(300, 300, 300, s_box_texture, PALE_GREY);
    mesh_flip(s_box);
    set_alpha_blend(s_box);
    mesh_compile(s_box);

    for (int i = 0; i < SCENE3_BALLS; i++) {
        s_balls[i] = mesh_sphere(10.0f + 0.5f * i, 6, PALE_GREY, s_ball_texture);
        set_alpha_blend(s_balls[i]);
        mesh_flat_normals(s_balls[i]);
        mesh_compile(s_balls[i]);
    }

    s_stars = star_field_build(STAR_COUNT);
    star_field_compile(s_stars);
}

// Everything in scene 3 moves with the demo clock T, not the scene time.
static void scene3_place(float T)
{
    for (int i = 0; i < SCENE3_BALLS; i++) {
        const float k = (float)(i + 1);
        mat_identity(s_balls[i]->matrix);
        mat_translate(s_balls[i]->matrix, 0.0f, 0.0f, BALL_DISTANCE);
        mat_rotate_xyz(s_balls[i]->matrix, k * T, 2.0f * k * T, 3.0f * k * T);
    }
    mat_identity(s_box->matrix);
    mat_rotate_xyz(s_box->matrix, 5.0f * T, 10.0f * T, 20.0f * T);
}

void scene3_render(float, int first_frame)
{
    if (first_frame) {
        state_disable(RS_LIGHTING);
        lights_enable(0);
        state_disable(RS_DEPTH_TEST);
        state_disable(RS_FOG);
        point_size(STAR_POINT_SIZE);
    }
    const float T = demo_time;
    scene3_place(T);

    // Camera spinning on all three axes.
    gl_select_modelview();
    Matrix camera;
    mat_identity(camera);
    mat_rotate_xyz(camera, 21.0f * T, 17.0f * T, 8.0f * T);
    view_reset();
    gl_mult(camera);
    beat_zoom(+1);
    accent_shake();

    // Without depth testing the painting order decides: stars, boxes, balls.
    star_field_draw(s_stars);
    mesh_draw(s_box);
    gl_push();
    mat_rotate_xyz(camera, 11.0f * T, 9.0f * T, 16.0f * T);
    mat_scale(camera, 0.9f, 0.9f, 0.9f);
    gl_mult(camera);
    mesh_draw(s_box); // a second box, smaller and turned
    gl_pop();

    // The balls are seen from an unrotated camera.
    view_reset();
    beat_zoom(+1);
    accent_shake();
    pulse_decay();
    state_enable(RS_SPHERE_MAP);
    for (Mesh* ball : s_balls) mesh_draw(ball);
    state_disable(RS_SPHERE_MAP);
}

// Scene 4

static void scene4_make_textures()
{
    s_tube_texture = texture_create(32, 1024);
    texture_noise(s_tube_texture, 64, false, false);
    texture_min_color(s_tube_texture, 0xFF00FF00);
    texture_upload(s_tube_texture);

    s_plate_texture = texture_create(64, 64);
    texture_clouds(s_plate_texture);
    texture_min_color(s_plate_texture, 0xFFFF00FF);
    texture_upload(s_plate_texture);

    s_rib_texture = texture_create(64, 64);
    texture_noise(s_rib_texture, 64, false, false);
    texture_min_color(s_rib_texture, 0xFFFFFF00);
    texture_upload(s_rib_texture);
}

void scene4_build()
{
    scene4_make_textures();

    // A tall tube seen from inside, every face pushed out into a 50-unit slab.
    s_tube_a = mesh_cylinder(200, 3000, 1, 16, WHITE, s_tube_texture);
    mesh_mirror(s_tube_a);
    mesh_scale_texcoords(s_tube_a, 5, 5);
    mesh_extrude(s_tube_a, 0.8f, 50, 0, 0, 0, 1);
    s_tube_a->blend = 0;
    mesh_compile(s_tube_a);
    s_tube_b = mesh_copy(s_tube_a); // draws tube_a's list

    s_plate = mesh_box(0.1f, 1, 1, s_plate_texture, WHITE);
    mesh_bevel(s_plate, 0.8f);
    s_plate->blend = 0;

    // A slightly larger additive copy, its faces drawn out into eight ribs.
    s_rib = mesh_box(0.2f, 1.2f, 1.2f, s_plate_texture, WHITE);
    s_rib->blend = 1;
    mesh_set_texture(s_rib, s_rib_texture);
    mesh_extrude(s_rib, 0.9f, 0.2f, 0, 0, 0, 8);

    mesh_compile(s_plate);
    mesh_compile(s_rib);
}

// Fresh anchors from rand(), x, y and z in turn for each plate.
static void scene4_draw_anchors()
{
    for (int i = 0; i < SWARM_ANCHORS; i++) {
        s_anchors.ox[i] = (float)(rand() % 16 - 8);
        s_anchors.oy[i] = (float)(rand() % 16 - 8);
        s_anchors.oz[i] = (float)(rand() % 64 + 15);
    }
}

// 31 plates circling their anchors at radius 10, each spinning eight times as
// fast about its own centre, and one plate turning 15 units ahead.
static void swarm_draw(Mesh* mesh, float t)
{
    const float breathe = 2.0f * sinf(3.0f * t);
    for (int i = 0; i < SWARM_PLATES; i++) {
        const float it = (float)i * t;
        const float spin = (float)(8 * i) * t;
        mat_identity(mesh->matrix);
        mat_translate(mesh->matrix, s_anchors.ox[i], s_anchors.oy[i], breathe + s_anchors.oz[i]);
        mat_rotate_xyz(mesh->matrix, it, it, 0.0f);
        mat_translate(mesh->matrix, 0.0f, 0.0f, 10.0f);
        mat_rotate_xyz(mesh->matrix, spin, spin, 0.0f);
        mesh_draw(mesh);
    }
    mat_identity(mesh->matrix);
    mat_translate(mesh->matrix, 0.0f, 0.0f, CENTRE_PLATE_DISTANCE);
    mat_rotate_xyz(mesh->matrix, 15.0f * t, 25.0f * t, 10.0f * t);
    mesh_draw(mesh);
}

void scene4_render(float t, int first_frame)
{
    if (first_frame) {
        scene4_draw_anchors();
        state_enable(RS_DEPTH_TEST);
        state_disable(RS_FOG);
        state_enable(RS_LIGHTING);
        lights_enable(1);
    }
    // The tubes slide along their axis, turned upright; tube_b also rolls.
    mat_identity(s_tube_a->matrix);
    mat_rotate_xyz(s_tube_a->matrix, 90.0f, 0.0f, 0.0f);
    mat_translate(s_tube_a->matrix, 0.0f, 0.0f, 200.0f * sinf(t));
    mat_identity(s_tube_b->matrix);
    mat_rotate_xyz(s_tube_b->matrix, 90.0f, 0.0f, demo_time);
    mat_translate(s_tube_b->matrix, 0.0f, 0.0f, -200.0f * sinf(0.5f * t));

    light_flash(SCENE4_FLASH_BASE);
    light_apply(g_light, 0);
    gl_select_modelview();
    view_reset();
    beat_zoom(-1); // squashed on a beat
    pulse_decay();
    accent_shake();

    state_disable(RS_LIGHTING);
    mesh_draw(s_tube_b);
    mesh_draw(s_tube_a);
    state_enable(RS_LIGHTING);

    state_enable(RS_SPHERE_MAP);
    state_enable(RS_POLYGON_OFFSET);
    s_plate->blend = 0;
    polygon_offset(1.0f, 1.0f);
    swarm_draw(s_plate, t);
    state_disable(RS_POLYGON_OFFSET);
    swarm_draw(s_rib, t);
    state_disable(RS_SPHERE_MAP);
}

// State for the tests

const StarField* scene3_stars() { return s_stars; }
const Mesh* scene3_ball(int i) { return s_balls[i]; }
const SwarmAnchors& scene4_anchors() { return s_anchors; }
const Mesh* scene4_tube_a() { return s_tube_a; }
const Mesh* scene4_tube_b() { return s_tube_b; }
