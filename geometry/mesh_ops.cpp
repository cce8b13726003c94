// Load-time mesh operations: affine changes, flipping, extrusion and bevel.
#include "geometry/mesh.h"

#include <cmath>

// A quarter turn in radians, single precision, for the extrusion frame.
static const float QUARTER_TURN = 1.5707964f;
// Most coinciding vertices one bevel corner collects.
static const unsigned BEVEL_CORNER_MAX = 32;
// A corner needs at least this many coinciding vertices to become a polygon.
static const unsigned BEVEL_CORNER_MIN = 3;

// Bevel work records; they point into the polygons' vertex arrays, so they
// see the shrink applied after they were found.
struct SharedEdge {
    Polygon* owner;               // polygon of the first edge
    Vertex *a0, *a1;              // the owner's edge, in its order
    Vertex *b0, *b1;              // the matching edge of the other polygon
    SharedEdge* next;
};

struct Corner {
    Polygon* owner;               // polygon in which the corner was first found
    unsigned count;               // 1 .. BEVEL_CORNER_MAX
    Vertex* entries[BEVEL_CORNER_MAX];
    Corner* next;
};

// Calls visit(vertex) for every vertex of every polygon of the mesh.
template <typename F>
static void mesh_each_vertex(Mesh* mesh, F visit)
{
    for (PolygonGroup* g = mesh->groups; g; g = g->next)
        for (unsigned i = 0; i < g->polygon_count; i++) {
            Polygon* p = g->polygons[i];
            for (unsigned j = 0; j < p->vertex_count; j++) visit(&p->vertices[j]);
        }
}

template <typename F>
static void mesh_each_polygon(Mesh* mesh, F visit)
{
    for (PolygonGroup* g = mesh->groups; g; g = g->next)
        for (unsigned i = 0; i < g->polygon_count; i++) visit(g->polygons[i]);
}

// Affine changes

void mesh_scale(Mesh* mesh, float sx, float sy, float sz)
{
    mesh_each_vertex(mesh, [=](Vertex* v) {
        v->position = vec3_make(v->position.x * sx, v->position.y * sy, v->position.z * sz);
    });
}

void mesh_translate(Mesh* mesh, float dx, float dy, float dz)
{
    Vec3 d = vec3_make(dx, dy, dz);
    mesh_each_vertex(mesh, [&](Vertex* v) { v->position = vec3_add(&v->position, &d); });
}

void mesh_rotate(Mesh* mesh, float a, float b, float c)
{
    mesh_each_vertex(mesh, [=](Vertex* v) {
        vec3_rotate_degrees(&v->position, a, b, c);
        vec3_rotate_degrees(&v->normal, a, b, c);
    });
}

void mesh_scale_texcoords(Mesh* mesh, float su, float sv)
{
    mesh_each_vertex(mesh, [=](Vertex* v) {
        v->u *= su;
        v->v *= sv;
    });
}

void mesh_mirror(Mesh* mesh)
{
    mesh_each_vertex(mesh, [](Vertex* v) {
        v->position = vec3_make(-v->position.x, -v->position.y, -v->position.z);
        v->normal = vec3_make(-v->normal.x, -v->normal.y, -v->normal.z);
    });
}

void mesh_flip(Mesh* mesh)
{
    mesh_each_polygon(mesh, [](Polygon* p) {
        for (unsigned j = 0; j < p->vertex_count; j++) {
            Vec3* n = &p->vertices[j].normal;
            *n = vec3_make(-n->x, -n->y, -n->z);
        }
        polygon_reverse(p);
    });
}

void mesh_flat_normals(Mesh* mesh) { mesh_each_polygon(mesh, [](Polygon* p) { polygon_flat_normal(p); }); }

void mesh_set_texture(Mesh* mesh, const Texture* texture)
{
    mesh_each_polygon(mesh, [=](Polygon* p) { polygon_set_texture(p, texture); });
}

// Extrusion

// Angles (radians) that turn the frame of face normal s onto +Z and back.
struct StepFrame {
    float ax, ay, az;
};

static StepFrame step_frame(const Vec3* s)
{
    StepFrame f = {0, 0, 0};
    if (s->x == 0 && s->y == 0 && s->z == 1) return f;
    if (s->x == 0) {
        f.ax = -atanf(s->y / s->z);
        return f;
    }
    f.ay = QUARTER_TURN - atanf(s->z / s->x);
    f.az = -atanf(s->y / s->x);
    return f;
}

// The step turn: into the face frame, the user rotation (degrees), back out.
static void step_turn(Vec3* w, const StepFrame* f, float rx, float ry, float rz)
{
    vec3_rotate(w, f->ax, 0, 0);
    vec3_rotate(w, 0, f->ay, 0);
    vec3_rotate(w, 0, 0, f->az);
    vec3_rotate_degrees(w, rx, ry, rz);
    vec3_rotate(w, 0, 0, -f->az);
    vec3_rotate(w, 0, -f->ay, 0);
    vec3_rotate(w, -f->ax, 0, 0);
}

// Moves ring q one step: scaled about its centre, turned, pushed along its
// normal. The normal is turned once more for every vertex, so a rotation
// makes the ring twist as well as bend.
static void extrude_ring(Polygon* q, float scale, float distance, float rx, float ry, float rz)
{
    Vec3 c = polygon_centroid(q);
    Vec3 s = polygon_normal(q);
    float cu, cv;
    polygon_texcoord_centre(q, &cu, &cv);
    StepFrame frame = step_frame(&s);
    for (unsigned i = 0; i < q->vertex_count; i++) {
        Vertex* v = &q->vertices[i];
        Vec3 d = vec3_sub(&v->position, &c);
        step_turn(&d, &frame, rx, ry, rz);
        Vec3 m = v->normal;
        step_turn(&m, &frame, rx, ry, rz);
        step_turn(&s, &frame, rx, ry, rz);
        vec3_scale(&d, scale);
        Vec3 along = s;
        vec3_scale(&along, distance);
        Vec3 moved = vec3_add(&d, &c);
        v->position = vec3_add(&moved, &along);
        v->u = scale * (v->u - cu) + cu;
        v->v = scale * (v->v - cv) + cv;
        v->normal = m;
    }
}

// Appends to chain one flat quad per edge j of the ring, joining the moved
// ring q to the ring r it came from.
static Polygon* extrude_sides(const Polygon* q, const Polygon* r, const Texture* texture, Polygon* chain)
{
    unsigned count = q->vertex_count;
    for (unsigned j = 0; j < count; j++) {
        unsigned k = (j + 1) % count;
        Polygon* side = polygon_new(4, 2);
        side->vertices[0] = q->vertices[k];
        side->vertices[1] = q->vertices[j];
        side->vertices[2] = r->vertices[j];
        side->vertices[3] = r->vertices[k];
        side->texture = texture;
        polygon_flat_normal(side);
        polygon_make_fan(side);
        chain = chain_append(side, chain);
    }
    return chain;
}

// Links group in after *last, or as the whole list when there is none yet.
static void group_link_after(PolygonGroup* group, PolygonGroup** first, PolygonGroup** last)
{
    group->prev = *last;
    group->next = nullptr;
    if (*last) (*last)->next = group;
    else *first = group;
    *last = group;
}

// One group per step, the last led by the cap, linked in after *last: the
// urchin's 8192 groups would cost a walk along the list each otherwise.
static void polygon_extrude(const Polygon* p, float scale, float distance, float rx, float ry, float rz,
                            unsigned steps, PolygonGroup** first, PolygonGroup** last)
{
    Polygon* q = polygon_copy(p);
    for (unsigned left = steps; left > 0; left--) {
        Polygon* r = polygon_copy(q);
        extrude_ring(q, scale, distance, rx, ry, rz);
        Polygon* chain = left == 1 ? chain_append(q, nullptr) : nullptr;
        chain = extrude_sides(q, r, p->texture, chain);
        group_link_after(group_from_chain(chain), first, last);
        polygon_free(r);
    }
    // With no steps the ring never joins a group.
    if (steps == 0) polygon_free(q);
}

PolygonGroup* group_extrude(const PolygonGroup* group, float scale, float distance, float rx, float ry, float rz,
                            unsigned steps)
{
    PolygonGroup* first = nullptr;
    PolygonGroup* last = nullptr;
    for (unsigned i = 0; i < group->polygon_count; i++) {
        const Polygon* p = group->polygons[i];
        if (p->hidden) continue;
        polygon_extrude(p, scale, distance, rx, ry, rz, steps, &first, &last);
    }
    return first;
}

void mesh_extrude(Mesh* mesh, float scale, float distance, float rx, float ry, float rz, unsigned steps)
{
    PolygonGroup* result = nullptr;
    for (const PolygonGroup* g = mesh->groups; g; g = g->next)
        result = group_list_concat(result, group_extrude(g, scale, distance, rx, ry, rz, steps));
    group_list_free(mesh->groups);
    mesh->groups = result;
    unsigned count = 0;
    for (const PolygonGroup* g = result; g; g = g->next) count++;
    mesh->group_count = (uint16_t)count;
}

// Bevel

static bool edges_match(const Vertex* a0, const Vertex* a1, const Vertex* b0, const Vertex* b1)
{
    const float tol = VERTEX_NEAR_TOLERANCE;
    return (vertex_near(&a0->position, &b0->position, tol) && vertex_near(&a1->position, &b1->position, tol)) ||
           (vertex_near(&a0->position, &b1->position, tol) && vertex_near(&a1->position, &b0->position, tol));
}

// Appends to *tail every edge Pi shares with Pj; returns the number found.
static unsigned find_shared_edges(Polygon* pi, Polygon* pj, SharedEdge*** tail)
{
    unsigned found = 0;
    for (unsigned k = 0; k < pi->vertex_count; k++) {
        Vertex* a0 = &pi->vertices[k];
        Vertex* a1 = &pi->vertices[(k + 1) % pi->vertex_count];
        for (unsigned l = 0; l < pj->vertex_count; l++) {
            Vertex* b0 = &pj->vertices[l];
            Vertex* b1 = &pj->vertices[(l + 1) % pj->vertex_count];
            if (!edges_match(a0, a1, b0, b1)) continue;
            SharedEdge* e = new SharedEdge{pi, a0, a1, b0, b1, nullptr};
            **tail = e;
            *tail = &e->next;
            found++;
        }
    }
    return found;
}

static SharedEdge* bevel_shared_edges(PolygonGroup* group, unsigned* count)
{
    SharedEdge* first = nullptr;
    SharedEdge** tail = &first;
    *count = 0;
    for (unsigned i = 0; i < group->polygon_count; i++)
        for (unsigned j = i + 1; j < group->polygon_count; j++)
            *count += find_shared_edges(group->polygons[i], group->polygons[j], &tail);
    return first;
}

// The corner starting at vertex v of polygon i: v and every near vertex of a
// later polygon, up to BEVEL_CORNER_MAX entries.
static Corner* bevel_corner_at(PolygonGroup* group, unsigned i, Vertex* v)
{
    Corner* corner = new Corner;
    corner->owner = group->polygons[i];
    corner->count = 1;
    corner->entries[0] = v;
    corner->next = nullptr;
    for (unsigned j = i + 1; j < group->polygon_count; j++) {
        Polygon* pj = group->polygons[j];
        for (unsigned l = 0; l < pj->vertex_count; l++) {
            Vertex* w = &pj->vertices[l];
            if (corner->count < BEVEL_CORNER_MAX && vertex_near(&v->position, &w->position, VERTEX_NEAR_TOLERANCE))
                corner->entries[corner->count++] = w;
        }
    }
    return corner;
}

static Corner* bevel_corners(PolygonGroup* group, unsigned* count)
{
    Corner* first = nullptr;
    Corner** tail = &first;
    *count = 0;
    for (unsigned i = 0; i < group->polygon_count; i++) {
        Polygon* pi = group->polygons[i];
        for (unsigned k = 0; k < pi->vertex_count; k++) {
            Corner* corner = bevel_corner_at(group, i, &pi->vertices[k]);
            if (corner->count < BEVEL_CORNER_MIN) {
                delete corner;
                continue;
            }
            *tail = corner;
            tail = &corner->next;
            (*count)++;
        }
    }
    return first;
}

static void polygon_shrink(Polygon* p, float factor)
{
    Vec3 c = polygon_centroid(p);
    float cu, cv;
    polygon_texcoord_centre(p, &cu, &cv);
    for (unsigned i = 0; i < p->vertex_count; i++) {
        Vertex* v = &p->vertices[i];
        Vec3 d = vec3_sub(&v->position, &c);
        vec3_scale(&d, factor);
        v->position = vec3_add(&c, &d);
        v->u = cu + (v->u - cu) * factor;
        v->v = cv + (v->v - cv) * factor;
    }
}

// A gap-filling polygon from copies of the given vertices, ordered around
// its average normal and fanned.
static Polygon* bevel_fill(const Polygon* owner, Vertex* const* vertices, unsigned count)
{
    Polygon* p = polygon_new((uint8_t)count, 0);
    for (unsigned i = 0; i < count; i++) p->vertices[i] = *vertices[i];
    p->texture = owner->texture;
    p->hidden = owner->hidden;
    polygon_sort_convex(p);
    polygon_make_fan(p);
    return p;
}

void group_bevel(PolygonGroup* group, float factor)
{
    unsigned edge_count, corner_count;
    SharedEdge* edges = bevel_shared_edges(group, &edge_count);
    Corner* corners = bevel_corners(group, &corner_count);
    for (unsigned i = 0; i < group->polygon_count; i++) polygon_shrink(group->polygons[i], factor);

    unsigned old_count = group->polygon_count;
    unsigned total = old_count + edge_count + corner_count;
    Polygon** polygons = total ? new Polygon*[total] : nullptr;
    for (unsigned i = 0; i < old_count; i++) polygons[i] = group->polygons[i];
    delete[] group->polygons;
    group->polygons = polygons;

    unsigned next = old_count;
    while (edges) {
        Vertex* quad[4] = {edges->b1, edges->b0, edges->a1, edges->a0};
        polygons[next++] = bevel_fill(edges->owner, quad, 4);
        SharedEdge* done = edges;
        edges = edges->next;
        delete done;
    }
    while (corners) {
        polygons[next++] = bevel_fill(corners->owner, corners->entries, corners->count);
        Corner* done = corners;
        corners = corners->next;
        delete done;
    }
    group->polygon_count = (uint16_t)total;
}

void mesh_bevel(Mesh* mesh, float factor)
{
    for (PolygonGroup* g = mesh->groups; g; g = g->next) group_bevel(g, factor);
}
