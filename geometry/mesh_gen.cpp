// Mesh generators: box, capped cylinder and latitude/longitude sphere.
#include "geometry/mesh.h"

#include <cassert>
#include <cmath>

// The cylinder steps its angles in degrees and converts them with 3.142 as the
// half turn; one full turn of texture v is therefore 6.284 radians.
static const float CYLINDER_HALF_TURN = 3.142f;
static const float CYLINDER_FULL_TURN = 6.284f;
static const float DEGREES_PER_HALF_TURN = 180.0f;
static const float DEGREES_PER_TURN = 360.0f;
// The sphere works in radians from this single-precision half turn.
static const float SPHERE_HALF_TURN = 3.1415927f;
// Record limits: 8-bit vertex counts per polygon, 16-bit polygon counts per group.
static const unsigned POLYGON_VERTICES_MAX = 255;
static const unsigned GROUP_POLYGONS_MAX = 65535;
static const unsigned SPHERE_N_MAX = 127; // 4 n^2 triangles must fit a group

// Unit-cube corners of the six box faces, +Y, -Y, +X, -X, +Z, -Z, each
// counter-clockwise seen from outside.
static const float BOX_CORNERS[6][4][3] = {
    {{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},
    {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
    {{1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1}},
    {{-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}},
    {{1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}, {1, -1, 1}},
    {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1}},
};
static const float BOX_TEXCOORDS[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

static Vertex vertex_make(Vec3 position, Vec3 normal, uint32_t colour, float u, float v)
{
    Vertex vertex = {position, normal, colour, u, v};
    return vertex;
}

Mesh* mesh_box(float sx, float sy, float sz, const Texture* texture, uint32_t colour)
{
    Mesh* mesh = mesh_new(6, 4, 2);
    PolygonGroup* group = mesh->groups;
    for (unsigned f = 0; f < 6; f++) {
        Polygon* p = group->polygons[f];
        for (uint8_t i = 0; i < 4; i++) {
            const float* c = BOX_CORNERS[f][i];
            polygon_set_position(p, i, c[0], c[1], c[2]);
            polygon_set_texcoord(p, i, BOX_TEXCOORDS[i][0], BOX_TEXCOORDS[i][1]);
        }
        polygon_set_colour(p, colour);
        polygon_flat_normal(p);
        polygon_set_texture(p, texture);
        polygon_make_fan(p);
    }
    // Scaled after the normals are taken, so they stay unit axis vectors.
    for (unsigned f = 0; f < 6; f++) {
        Polygon* p = group->polygons[f];
        for (unsigned i = 0; i < 4; i++) {
            Vec3* pos = &p->vertices[i].position;
            *pos = vec3_make(pos->x * sx, pos->y * sy, pos->z * sz);
        }
    }
    return mesh;
}

static float cylinder_radians(float degrees) { return degrees / DEGREES_PER_HALF_TURN * CYLINDER_HALF_TURN; }

// One vertex on the cylinder wall at angle theta (radians) and height z.
static Vertex cylinder_wall_vertex(float radius, float theta, float z, float u, uint32_t colour)
{
    Vec3 normal = vec3_make(cosf(theta), sinf(theta), 0);
    vec3_normalize(&normal);
    Vec3 position = vec3_make(radius * cosf(theta), radius * sinf(theta), z);
    return vertex_make(position, normal, colour, u, theta / CYLINDER_FULL_TURN);
}

// Fills a cap polygon with sides vertices at height z facing normal_z (+1 or -1).
static void cylinder_cap(Polygon* p, float radius, float z, float normal_z, unsigned sides, float step,
                         uint32_t colour, const Texture* texture)
{
    delete[] p->vertices;
    delete[] p->triangles;
    p->vertices = new Vertex[sides];
    p->vertex_count = (uint8_t)sides;
    p->triangles = nullptr;
    p->triangle_count = 0;
    float o = 0;
    for (unsigned j = 0; j < sides; j++, o += step) {
        float theta = cylinder_radians(o);
        Vec3 position = vec3_make(radius * cosf(theta), radius * sinf(theta), z);
        p->vertices[j] = vertex_make(position, vec3_make(0, 0, normal_z), colour, 0, 0);
    }
    polygon_set_texture(p, texture);
    polygon_sort_convex(p);
    polygon_make_fan(p);
}

Mesh* mesh_cylinder(float radius, float height, unsigned bands, unsigned sides, uint32_t colour,
                    const Texture* texture)
{
    // Larger counts would wrap the record's counters and write past the arrays.
    assert(sides >= 3 && sides <= POLYGON_VERTICES_MAX);
    assert(bands >= 1 && bands * sides + 2 <= GROUP_POLYGONS_MAX);
    Mesh* mesh = mesh_new(0, 0, 0);
    PolygonGroup* group = group_new((uint16_t)(bands * sides + 2), 4, 2);
    mesh_add_group(mesh, group);
    float half = height / 2;
    float dz = height / (float)bands;
    float step = DEGREES_PER_TURN / (float)sides;
    unsigned next = 0;
    float l = 0;
    for (unsigned k = 0; k < bands; k++, l += dz) {
        float h = l + dz;
        float o = 0;
        for (unsigned j = 0; j < sides; j++, o += step) {
            float theta = cylinder_radians(o);
            float theta_next = cylinder_radians(o + step);
            Polygon* p = group->polygons[next++];
            p->vertices[0] = cylinder_wall_vertex(radius, theta, l - half, l / height, colour);
            p->vertices[1] = cylinder_wall_vertex(radius, theta, h - half, h / height, colour);
            p->vertices[2] = cylinder_wall_vertex(radius, theta_next, h - half, h / height, colour);
            p->vertices[3] = cylinder_wall_vertex(radius, theta_next, l - half, l / height, colour);
            polygon_set_texture(p, texture);
            polygon_sort_convex(p);
            polygon_make_fan(p);
        }
    }
    cylinder_cap(group->polygons[next], radius, half, 1, sides, step, colour, texture);
    cylinder_cap(group->polygons[next + 1], radius, -half, -1, sides, step, colour, texture);
    return mesh;
}

// The n x (2n + 1) latitude/longitude grid followed by the north and south
// poles. Row r lies at polar angle (r + 1) * step, accumulated.
static Vertex* sphere_grid(float radius, unsigned n, uint32_t colour)
{
    unsigned width = 2 * n + 1;
    unsigned poles = n * width;
    Vertex* grid = new Vertex[poles + 2];
    float step = SPHERE_HALF_TURN / (float)n;
    float theta = step;
    for (unsigned r = 0; r < n; r++, theta += step) {
        for (unsigned k = 0; k < width; k++) {
            float phi = step * (float)k;
            Vec3 normal = vec3_make(sinf(theta) * sinf(phi), cosf(theta), sinf(theta) * cosf(phi));
            Vec3 position = normal;
            vec3_scale(&position, radius);
            float u = 1 - (float)k / (float)(2 * n);
            float v = (1 - cosf(theta)) / 2;
            grid[r * width + k] = vertex_make(position, normal, colour, u, v);
        }
    }
    grid[poles] = vertex_make(vec3_make(0, radius, 0), vec3_make(0, 1, 0), colour, 0.5f, 0);
    grid[poles + 1] = vertex_make(vec3_make(0, -radius, 0), vec3_make(0, -1, 0), colour, 0.5f, 1);
    return grid;
}

static void sphere_triangle(PolygonGroup* group, unsigned* next, const Vertex* grid, unsigned a, unsigned b,
                            unsigned c, const Texture* texture)
{
    Polygon* p = group->polygons[(*next)++];
    p->vertices[0] = grid[a];
    p->vertices[1] = grid[b];
    p->vertices[2] = grid[c];
    p->triangles[0].a = 0;
    p->triangles[0].b = 1;
    p->triangles[0].c = 2;
    polygon_set_texture(p, texture);
}

Mesh* mesh_sphere(float radius, unsigned n, uint32_t colour, const Texture* texture)
{
    assert(n >= 1 && n <= SPHERE_N_MAX);
    Mesh* mesh = mesh_new(0, 0, 0);
    PolygonGroup* group = group_new((uint16_t)(4 * n * n), 3, 1);
    mesh_add_group(mesh, group);
    Vertex* grid = sphere_grid(radius, n, colour);
    unsigned width = 2 * n + 1;
    unsigned north = n * width, south = north + 1;
    unsigned next = 0;
    for (unsigned r = 0; r + 1 < n; r++) {
        for (unsigned k = 0; k < 2 * n; k++) {
            unsigned a = r * width + k, b = (r + 1) * width + k;
            sphere_triangle(group, &next, grid, a, b, a + 1, texture);
            sphere_triangle(group, &next, grid, a + 1, b, b + 1, texture);
        }
    }
    unsigned last_row = (n - 1) * width;
    for (unsigned k = 0; k < 2 * n; k++)
        sphere_triangle(group, &next, grid, south, last_row + k, last_row + k + 1, texture);
    for (unsigned k = 0; k < 2 * n; k++) sphere_triangle(group, &next, grid, north, k, k + 1, texture);
    delete[] grid;
    return mesh;
}
