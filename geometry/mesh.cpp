// Mesh record: ownership of groups and polygons, polygon geometry, chains,
// and drawing through display lists compiled once.
#include "geometry/mesh.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "render/render.h"
#include "render/transform.h"
#include "texture/texture.h"

// Default blend factors of a new mesh: additive (GL_ONE, GL_ONE).
static const uint32_t MESH_DEFAULT_BLEND_FACTOR = GL_ONE;
static const int MATRIX_FLOATS = 16;

static void vertex_emit(const Vertex* v);

// Mesh level

Mesh* mesh_new(uint16_t count, uint8_t vertices, uint8_t triangles)
{
    Mesh* mesh = new Mesh;
    mesh->groups = nullptr;
    mesh->group_count = 0;
    mesh->matrix = new float[MATRIX_FLOATS];
    mat_identity(mesh->matrix);
    mesh->blend = 0;
    mesh->blend_src = MESH_DEFAULT_BLEND_FACTOR;
    mesh->blend_dst = MESH_DEFAULT_BLEND_FACTOR;
    mesh->display_list = 0;
    if (count != 0) mesh_add_group(mesh, group_new(count, vertices, triangles));
    return mesh;
}

Mesh* mesh_copy(const Mesh* src)
{
    Mesh* mesh = mesh_new(0, 0, 0);
    mesh_append_copy(mesh, src);
    mesh->blend = src->blend;
    mesh->blend_src = src->blend_src;
    mesh->blend_dst = src->blend_dst;
    mesh->group_count = src->group_count;
    mesh->display_list = src->display_list;
    return mesh;
}

void mesh_append_copy(Mesh* dst, const Mesh* src)
{
    for (const PolygonGroup* g = src->groups; g; g = g->next) mesh_add_group(dst, group_copy(g));
}

void mesh_free(Mesh* mesh)
{
    group_list_free(mesh->groups);
    delete[] mesh->matrix;
    delete mesh;
}

void mesh_add_group(Mesh* mesh, PolygonGroup* group)
{
    mesh->groups = group_list_append(group, mesh->groups);
    mesh->group_count++;
}

PolygonGroup* mesh_group_at(const Mesh* mesh, uint16_t index)
{
    PolygonGroup* g = mesh->groups;
    for (unsigned i = 0; g && i < index; i++) g = g->next;
    return g;
}

// The polygon's fan as separate triangles (v0, vk, vk+1), in fan order, for a
// GL_TRIANGLES batch: the same triangles with the same corners first, and
// the same vertex last, so current colour, normal and texture coordinate
// end as a GL_TRIANGLE_FAN of the polygon would leave them.
static void polygon_emit_triangles(const Polygon* p)
{
    for (unsigned k = 0; k < p->triangle_count; k++) {
        const Triangle& tri = p->triangles[k];
        vertex_emit(&p->vertices[tri.a]);
        vertex_emit(&p->vertices[tri.b]);
        vertex_emit(&p->vertices[tri.c]);
    }
}

// Every run of visible polygons between texture changes becomes one
// GL_TRIANGLES batch behind one bind: the driver replays a few large
// primitives instead of one small fan and one bind per polygon. The texture
// left bound is the last polygon's, hidden or not, as if every polygon had
// bound its own.
void (*mesh_compile_observer)(const Mesh* mesh) = nullptr;

void mesh_compile(Mesh* mesh)
{
    if (mesh->display_list != 0) return;
    if (mesh_compile_observer) mesh_compile_observer(mesh);
    mesh->display_list = list_begin();
    bool in_batch = false;
    bool bound_any = false;
    bool seen_any = false;
    const Texture* bound = nullptr;
    const Texture* last = nullptr;
    for (const PolygonGroup* g = mesh->groups; g; g = g->next) {
        for (unsigned i = 0; i < g->polygon_count; i++) {
            const Polygon* p = g->polygons[i];
            seen_any = true;
            last = p->texture;
            if (p->hidden || p->triangle_count == 0) continue;
            if (!bound_any || p->texture != bound) {
                if (in_batch) glEnd();
                texture_bind(p->texture);
                bound = p->texture;
                bound_any = true;
                glBegin(GL_TRIANGLES);
                in_batch = true;
            }
            polygon_emit_triangles(p);
        }
    }
    if (in_batch) glEnd();
    if (seen_any && (!bound_any || last != bound)) texture_bind(last);
    list_end();
}

void mesh_draw(Mesh* mesh)
{
    if (mesh->blend) {
        state_disable(RS_DEPTH_WRITE);
        blend_func(mesh->blend_src, mesh->blend_dst);
        state_enable(RS_BLEND);
    }
    gl_push();
    gl_mult(mesh->matrix);
    if (mesh->display_list == 0) mesh_compile(mesh);
    list_call(mesh->display_list);
    gl_pop();
    if (mesh->blend) {
        state_enable(RS_DEPTH_WRITE);
        state_disable(RS_BLEND);
    }
}

// Group level

PolygonGroup* group_new(uint16_t count, uint8_t vertices, uint8_t triangles)
{
    PolygonGroup* group = new PolygonGroup;
    group->polygons = count ? new Polygon*[count] : nullptr;
    group->polygon_count = count;
    group->next = nullptr;
    group->prev = nullptr;
    for (unsigned i = 0; i < count; i++) group->polygons[i] = polygon_new(vertices, triangles);
    return group;
}

PolygonGroup* group_copy(const PolygonGroup* group)
{
    PolygonGroup* copy = group_new(0, 0, 0);
    copy->polygon_count = group->polygon_count;
    copy->polygons = group->polygon_count ? new Polygon*[group->polygon_count] : nullptr;
    for (unsigned i = 0; i < group->polygon_count; i++) copy->polygons[i] = polygon_copy(group->polygons[i]);
    return copy;
}

void group_free(PolygonGroup* group)
{
    for (unsigned i = 0; i < group->polygon_count; i++) polygon_free(group->polygons[i]);
    delete[] group->polygons;
    delete group;
}

PolygonGroup* group_from_chain(Polygon* chain)
{
    PolygonGroup* group = group_new(0, 0, 0);
    unsigned count = chain_length(chain);
    group->polygon_count = (uint16_t)count;
    group->polygons = count ? new Polygon*[count] : nullptr;
    for (unsigned i = 0; i < count; i++) {
        Polygon* next = chain->next;
        chain->next = nullptr;
        group->polygons[i] = chain;
        chain = next;
    }
    return group;
}

void group_list_free(PolygonGroup* first)
{
    while (first) {
        PolygonGroup* next = first->next;
        group_free(first);
        first = next;
    }
}

static PolygonGroup* group_list_last(PolygonGroup* list)
{
    while (list->next) list = list->next;
    return list;
}

PolygonGroup* group_list_append(PolygonGroup* group, PolygonGroup* list)
{
    group->next = nullptr;
    group->prev = nullptr;
    if (!list) return group;
    PolygonGroup* last = group_list_last(list);
    last->next = group;
    group->prev = last;
    return list;
}

PolygonGroup* group_list_concat(PolygonGroup* list1, PolygonGroup* list2)
{
    if (!list1) return list2;
    if (!list2) return list1;
    PolygonGroup* last = group_list_last(list1);
    last->next = list2;
    list2->prev = last;
    return list1;
}

// Polygon level

Polygon* polygon_new(uint8_t vertices, uint8_t triangles)
{
    Polygon* p = new Polygon;
    p->vertices = vertices ? new Vertex[vertices] : nullptr;
    p->vertex_count = vertices;
    p->triangles = triangles ? new Triangle[triangles] : nullptr;
    p->triangle_count = triangles;
    p->texture = nullptr;
    p->next = nullptr;
    p->hidden = 0;
    return p;
}

Polygon* polygon_copy(const Polygon* p)
{
    Polygon* copy = polygon_new(p->vertex_count, p->triangle_count);
    if (p->vertex_count) memcpy(copy->vertices, p->vertices, p->vertex_count * sizeof(Vertex));
    if (p->triangle_count) memcpy(copy->triangles, p->triangles, p->triangle_count * sizeof(Triangle));
    copy->texture = p->texture;
    copy->hidden = p->hidden;
    return copy;
}

void polygon_free(Polygon* p)
{
    delete[] p->vertices;
    delete[] p->triangles;
    delete p;
}

void polygon_set_position(Polygon* p, uint8_t index, float x, float y, float z)
{
    p->vertices[index].position = vec3_make(x, y, z);
}

void polygon_set_texcoord(Polygon* p, uint8_t index, float u, float v)
{
    p->vertices[index].u = u;
    p->vertices[index].v = v;
}

void polygon_set_colour(Polygon* p, uint32_t colour)
{
    for (unsigned i = 0; i < p->vertex_count; i++) p->vertices[i].colour = colour;
}

void polygon_set_texture(Polygon* p, const Texture* texture) { p->texture = texture; }

void polygon_make_fan(Polygon* p)
{
    delete[] p->triangles;
    unsigned count = p->vertex_count > 2 ? p->vertex_count - 2u : 0u;
    p->triangle_count = (uint8_t)count;
    p->triangles = count ? new Triangle[count] : nullptr;
    for (unsigned k = 0; k < count; k++) {
        p->triangles[k].a = 0;
        p->triangles[k].b = (uint16_t)(k + 1);
        p->triangles[k].c = (uint16_t)(k + 2);
    }
}

static void vertex_emit(const Vertex* v)
{
    glColor4ub((GLubyte)(v->colour >> 16), (GLubyte)(v->colour >> 8), (GLubyte)v->colour,
               (GLubyte)(v->colour >> 24));
    glNormal3f(v->normal.x, v->normal.y, v->normal.z);
    glTexCoord2f(v->u, v->v);
    glVertex3f(v->position.x, v->position.y, v->position.z);
}

void polygon_draw(const Polygon* p)
{
    glBegin(GL_TRIANGLE_FAN);
    if (p->triangle_count > 0) {
        vertex_emit(&p->vertices[p->triangles[0].a]);
        vertex_emit(&p->vertices[p->triangles[0].b]);
        vertex_emit(&p->vertices[p->triangles[0].c]);
        for (unsigned k = 1; k < p->triangle_count; k++) vertex_emit(&p->vertices[p->triangles[k].c]);
    }
    glEnd();
}

Vec3 polygon_centroid(const Polygon* p)
{
    Vec3 sum = vec3_make(0, 0, 0);
    for (unsigned i = 0; i < p->vertex_count; i++) sum = vec3_add(&sum, &p->vertices[i].position);
    return vec3_make(sum.x / p->vertex_count, sum.y / p->vertex_count, sum.z / p->vertex_count);
}

void polygon_texcoord_centre(const Polygon* p, float* u, float* v)
{
    float su = 0, sv = 0;
    for (unsigned i = 0; i < p->vertex_count; i++) {
        su += p->vertices[i].u;
        sv += p->vertices[i].v;
    }
    *u = su / p->vertex_count;
    *v = sv / p->vertex_count;
}

Vec3 polygon_normal(const Polygon* p)
{
    if (p->vertex_count <= 2) return vec3_make(0, 0, 0);
    const Vec3* p0 = &p->vertices[0].position;
    Vec3 e1 = vec3_sub(p0, &p->vertices[1].position);
    Vec3 e2 = vec3_sub(p0, &p->vertices[2].position);
    Vec3 n;
    vec3_cross(&e1, &e2, &n);
    vec3_normalize(&n);
    return n;
}

Vec3 polygon_average_normal(const Polygon* p)
{
    Vec3 sum = vec3_make(0, 0, 0);
    for (unsigned i = 0; i < p->vertex_count; i++) sum = vec3_add(&sum, &p->vertices[i].normal);
    vec3_normalize(&sum);
    return sum;
}

void polygon_flat_normal(Polygon* p)
{
    Vec3 n = polygon_normal(p);
    for (unsigned i = 0; i < p->vertex_count; i++) p->vertices[i].normal = n;
}

static void vertex_swap(Vertex* a, Vertex* b)
{
    Vertex t = *a;
    *a = *b;
    *b = t;
}

void polygon_reverse(Polygon* p)
{
    unsigned n = p->vertex_count;
    for (unsigned i = 0; i < n / 2; i++) vertex_swap(&p->vertices[i], &p->vertices[n - 1 - i]);
}

// The vertex after `i` in counter-clockwise order about axis n through c:
// the candidate not behind the plane spanned by the axis and vertex i with the
// smallest angle from it. Returns -1 when vertex i gives no plane.
static int sort_next_vertex(const Polygon* p, unsigned i, const Vec3* c, const Vec3* n)
{
    const Vec3* pi = &p->vertices[i].position;
    Vec3 r = vec3_sub(pi, c);
    vec3_normalize(&r);
    Vec3 axis_end = vec3_add(c, n);
    Plane* plane = plane_from_points(pi, c, &axis_end);
    if (!plane) return -1;
    // A polygon whose every later vertex lies behind is degenerate; keeping
    // the next vertex in place leaves the ones already ordered untouched.
    int best = (int)i + 1;
    float best_cos = -1.0f;
    for (unsigned j = i + 1; j < p->vertex_count; j++) {
        const Vec3* pj = &p->vertices[j].position;
        if (plane_side(plane, pj) == PLANE_BACK) continue;
        Vec3 dj = vec3_sub(pj, c);
        vec3_normalize(&dj);
        float cos_j = vec3_dot(&r, &dj);
        if (cos_j > best_cos) {
            best = (int)j;
            best_cos = cos_j;
        }
    }
    plane_free(plane);
    return best;
}

static bool vec3_finite(const Vec3* v) { return std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z); }

void polygon_sort_convex(Polygon* p)
{
    if (p->vertex_count < 3) return;
    Vec3 c = polygon_centroid(p);
    Vec3 n = polygon_average_normal(p);
    if (!vec3_finite(&n)) return;
    Vertex* original = new Vertex[p->vertex_count];
    memcpy(original, p->vertices, p->vertex_count * sizeof(Vertex));
    for (unsigned i = 0; i + 2 < p->vertex_count; i++) {
        int best = sort_next_vertex(p, i, &c, &n);
        if (best < 0) {
            memcpy(p->vertices, original, p->vertex_count * sizeof(Vertex));
            delete[] original;
            return;
        }
        vertex_swap(&p->vertices[i + 1], &p->vertices[best]);
    }
    delete[] original;
    Vec3 m = polygon_normal(p);
    if (vec3_dot(&m, &n) < 0) polygon_reverse(p);
}

// Chains

static Polygon* chain_last(Polygon* chain)
{
    while (chain->next) chain = chain->next;
    return chain;
}

Polygon* chain_append(Polygon* p, Polygon* chain)
{
    p->next = nullptr;
    if (!chain) return p;
    chain_last(chain)->next = p;
    return chain;
}

Polygon* chain_concat(Polygon* a, Polygon* b)
{
    if (!a) return b;
    chain_last(a)->next = b;
    return a;
}

unsigned chain_length(const Polygon* chain)
{
    unsigned n = 0;
    for (; chain; chain = chain->next) n++;
    return n;
}

void chain_hide(Polygon* chain)
{
    for (; chain; chain = chain->next) chain->hidden = 1;
}
