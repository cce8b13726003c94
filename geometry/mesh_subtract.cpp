// Solid subtraction: polygons clipped recursively against the planes of convex groups.
#include "geometry/mesh.h"

#include <cstddef>
#include <vector>

// polygon_classify counts a vertex this close to the plane as on it: ten
// times finer than plane_side, which polygon_split uses.
static const float CLASSIFY_TOLERANCE = 0.0001f;
// polygon_plane keeps the winding normal unless its dot product with the
// averaged vertex normal lies further than this from 1.
static const float PLANE_NORMAL_AGREEMENT = 0.1f;
// A polygon lying in a clipping plane faces the same way when the dot product
// of the two normals lies within this of 1.
static const float SAME_FACING_TOLERANCE = 0.001f;
// Most vertices a polygon record holds (8-bit count).
static const size_t POLYGON_MAX_VERTICES = 255;

// Planes and classification

Plane* polygon_plane(const Polygon* p)
{
    if (p->vertex_count <= 2 || p->triangle_count == 0) return nullptr;
    const Triangle& tri = p->triangles[0];
    const Vertex& a = p->vertices[tri.a];
    const Vertex& b = p->vertices[tri.b];
    const Vertex& c = p->vertices[tri.c];
    // (P2 - P1) x (P0 - P1), normalised, through P0.
    Plane* plane = plane_from_points(&a.position, &b.position, &c.position);
    if (!plane) return nullptr;
    Vec3 s = vec3_add(&a.normal, &b.normal);
    s = vec3_add(&s, &c.normal);
    vec3_normalize(&s);
    // Mirrored meshes wind against their normals: the normals decide then.
    float e = vec3_dot(&plane->normal, &s) - 1.0f;
    if (e < -PLANE_NORMAL_AGREEMENT || e > PLANE_NORMAL_AGREEMENT) plane->normal = s;
    return plane;
}

uint32_t polygon_classify(const Polygon* p, const Plane* plane)
{
    unsigned front = 0, back = 0, on = 0;
    for (unsigned i = 0; i < p->vertex_count; i++) {
        Vec3 offset = vec3_sub(&plane->point, &p->vertices[i].position);
        float d = vec3_dot(&offset, &plane->normal);
        if (d > CLASSIFY_TOLERANCE) {
            back++;
        } else if (d < -CLASSIFY_TOLERANCE) {
            front++;
        } else {
            on++;
            back++;
            front++;
        }
    }
    if (on == p->vertex_count) return PLANE_ON;
    if (back == p->vertex_count) return PLANE_BACK;
    if (front == p->vertex_count) return PLANE_FRONT;
    return PLANE_SPANNING;
}

// Splitting

typedef std::vector<Vertex> WorkList;

static void work_add(uint32_t side, const Vertex& v, WorkList* front, WorkList* back)
{
    if (side != PLANE_FRONT) back->push_back(v);
    if (side != PLANE_BACK) front->push_back(v);
}

// The vertex where edge prev..cur crosses the plane at parameter t: normal
// and colour of prev, texture coordinates interpolated.
static Vertex crossing_vertex(const Vertex& prev, const Vertex& cur, const Vec3& hit, float t)
{
    Vertex n = prev;
    n.position = hit;
    n.u = prev.u + (cur.u - prev.u) * t;
    n.v = prev.v + (cur.v - prev.v) * t;
    return n;
}

// Replaces piece's arrays by the list's vertices and their fan.
static void piece_fill(Polygon* piece, const WorkList& list, const Texture* texture)
{
    delete[] piece->vertices;
    piece->vertex_count = (uint8_t)list.size();
    piece->vertices = list.empty() ? nullptr : new Vertex[list.size()];
    for (size_t i = 0; i < list.size(); i++) piece->vertices[i] = list[i];
    piece->texture = texture;
    piece->next = nullptr;
    piece->hidden = 0;
    polygon_make_fan(piece);
}

bool polygon_split(const Polygon* p, const Plane* plane, Polygon* front, Polygon* back)
{
    const unsigned n = p->vertex_count;
    const Vertex* v = p->vertices;
    // Each step adds at most two vertices to a list.
    WorkList f, b;
    f.reserve(2 * n + 1);
    b.reserve(2 * n + 1);
    if (n > 0) work_add(plane_side(plane, &v[0].position), v[0], &f, &b);
    for (unsigned i = 1; i <= n; i++) {
        const unsigned cur = i == n ? 0 : i;
        const Vertex& prev = v[i - 1];
        const uint32_t side = plane_side(plane, &v[cur].position);
        // On the plane: both pieces, vertex 0 included, which may close a
        // piece with a second copy of it.
        if (side == PLANE_ON) {
            work_add(side, v[cur], &f, &b);
            continue;
        }
        // Tested also when prev lies on the plane: a crossing near prev.
        Vec3 hit;
        float t;
        if (segment_plane_intersect(&prev.position, &v[cur].position, &plane->point, &plane->normal, &hit, &t))
            work_add(PLANE_ON, crossing_vertex(prev, v[cur], hit, t), &f, &b);
        if (cur != 0) work_add(side, v[cur], &f, &b);
    }
    const bool fits = f.size() <= POLYGON_MAX_VERTICES && b.size() <= POLYGON_MAX_VERTICES;
    if (!fits) {
        f.clear();
        b.clear();
    }
    piece_fill(front, f, p->texture);
    piece_fill(back, b, p->texture);
    return fits;
}

// Recursive clipping

// True when p, lying in the plane, faces the way its normal does.
static bool same_facing(const Polygon* p, const Plane* plane)
{
    Vec3 n = polygon_normal(p);
    float x = vec3_dot(&plane->normal, &n) - 1.0f;
    return x > -SAME_FACING_TOLERANCE && x < SAME_FACING_TOLERANCE;
}

// How p lies against one cutting polygon's plane, with its two pieces made
// when it spans the plane. A cutter without a plane bounds nothing: p counts
// as behind it. A p whose pieces would not fit a polygon record counts as in
// front, so it stays whole and uncut.
struct Placement {
    uint32_t side;
    bool same_facing; // for PLANE_ON
    Polygon* front;   // for PLANE_SPANNING
    Polygon* back;
};

static Placement place_against(const Polygon* p, const Polygon* cutter)
{
    Placement at = {PLANE_BACK, false, nullptr, nullptr};
    Plane* plane = polygon_plane(cutter);
    if (!plane) return at;
    at.side = polygon_classify(p, plane);
    if (at.side == PLANE_ON) at.same_facing = same_facing(p, plane);
    if (at.side == PLANE_SPANNING) {
        at.front = polygon_new(0, 0);
        at.back = polygon_new(0, 0);
        if (!polygon_split(p, plane, at.front, at.back)) {
            polygon_free(at.front);
            polygon_free(at.back);
            at = {PLANE_FRONT, false, nullptr, nullptr};
        }
    }
    plane_free(plane);
    return at;
}

static Polygon* chain_of(Polygon* p) { return chain_append(p, nullptr); }

// p spans planes[depth]; the back piece goes on against the later planes.
static Polygon* clip_outside_spanning(Polygon* p, const Placement& at, Polygon* const* planes, unsigned depth,
                                      unsigned count, uint8_t keep_coplanar, Polygon** inside)
{
    if (depth + 1 >= count) {
        *inside = chain_append(at.back, *inside);
        polygon_free(p);
        return chain_of(at.front);
    }
    Polygon* r = polygon_clip_outside(at.back, planes, depth + 1, count, keep_coplanar, inside);
    if (!r) {
        polygon_free(p);
        return chain_of(at.front);
    }
    // The back piece lies wholly outside a later plane: p was not cut at all.
    if (r == at.back && !r->next) {
        polygon_free(at.back);
        polygon_free(at.front);
        return chain_of(p);
    }
    polygon_free(p);
    return chain_concat(r, chain_of(at.front));
}

Polygon* polygon_clip_outside(Polygon* p, Polygon* const* planes, unsigned depth, unsigned count,
                              uint8_t keep_coplanar, Polygon** inside)
{
    // No plane left: an empty solid has no inside.
    if (depth >= count) return chain_of(p);
    const bool last = depth + 1 >= count;
    const Placement at = place_against(p, planes[depth]);
    switch (at.side) {
    case PLANE_FRONT:
        return chain_of(p);
    case PLANE_BACK:
        if (!last) return polygon_clip_outside(p, planes, depth + 1, count, keep_coplanar, inside);
        *inside = chain_append(p, *inside);
        return nullptr;
    case PLANE_SPANNING:
        return clip_outside_spanning(p, at, planes, depth, count, keep_coplanar, inside);
    default: // PLANE_ON
        if (at.same_facing && keep_coplanar == 0) return chain_of(p);
        if (!last) return polygon_clip_outside(p, planes, depth + 1, count, keep_coplanar, inside);
        polygon_free(p);
        return nullptr;
    }
}

Polygon* polygon_clip_inside(Polygon* p, Polygon* const* planes, unsigned depth, unsigned count,
                             uint8_t keep_coplanar, Polygon** outside)
{
    // No plane left: an empty solid has no inside.
    if (depth >= count) {
        *outside = chain_append(p, *outside);
        return nullptr;
    }
    const bool last = depth + 1 >= count;
    const Placement at = place_against(p, planes[depth]);
    switch (at.side) {
    case PLANE_FRONT:
        *outside = chain_append(p, *outside);
        return nullptr;
    case PLANE_BACK:
        if (last) return chain_of(p);
        return polygon_clip_inside(p, planes, depth + 1, count, keep_coplanar, outside);
    case PLANE_SPANNING:
        polygon_free(p);
        *outside = chain_append(at.front, *outside);
        if (last) return chain_of(at.back);
        return polygon_clip_inside(at.back, planes, depth + 1, count, keep_coplanar, outside);
    default: // PLANE_ON
        if (at.same_facing && keep_coplanar == 0) {
            *outside = chain_append(p, *outside);
            return nullptr;
        }
        if (!last) return polygon_clip_inside(p, planes, depth + 1, count, keep_coplanar, outside);
        polygon_free(p);
        return nullptr;
    }
}

// Group clipping

// The polygons of K that can split: those without a plane are left out, so
// a group of nothing but such polygons cuts nothing.
static std::vector<Polygon*> cutting_polygons(const PolygonGroup* K)
{
    std::vector<Polygon*> cutters;
    for (unsigned i = 0; i < K->polygon_count; i++) {
        Plane* plane = polygon_plane(K->polygons[i]);
        if (!plane) continue;
        plane_free(plane);
        cutters.push_back(K->polygons[i]);
    }
    return cutters;
}

// Frees G's record and array; its polygons have moved into chains.
static void group_release_record(PolygonGroup* G)
{
    G->polygon_count = 0;
    group_free(G);
}

PolygonGroup* group_clip_outside(PolygonGroup* G, const PolygonGroup* K, uint8_t keep_coplanar)
{
    const std::vector<Polygon*> cutters = cutting_polygons(K);
    Polygon* result = nullptr;
    for (unsigned i = 0; i < G->polygon_count; i++) {
        Polygon* inside = nullptr;
        Polygon* kept = polygon_clip_outside(G->polygons[i], cutters.data(), 0, (unsigned)cutters.size(),
                                             keep_coplanar, &inside);
        chain_hide(inside);
        result = chain_concat(chain_concat(result, kept), inside);
    }
    group_release_record(G);
    return group_from_chain(result);
}

PolygonGroup* group_clip_inside(PolygonGroup* G, const PolygonGroup* K, uint8_t keep_coplanar)
{
    const std::vector<Polygon*> cutters = cutting_polygons(K);
    Polygon* result = nullptr;
    for (unsigned i = 0; i < G->polygon_count; i++) {
        Polygon* outside = nullptr;
        Polygon* kept = polygon_clip_inside(G->polygons[i], cutters.data(), 0, (unsigned)cutters.size(),
                                            keep_coplanar, &outside);
        chain_hide(outside);
        result = chain_concat(chain_concat(result, kept), outside);
    }
    group_release_record(G);
    return group_from_chain(result);
}

// Subtraction

// Every polygon turned to face the other way, as mesh_flip does.
static void group_turn_inside_out(PolygonGroup* g)
{
    for (unsigned i = 0; i < g->polygon_count; i++) {
        Polygon* p = g->polygons[i];
        for (unsigned j = 0; j < p->vertex_count; j++) {
            Vec3* n = &p->vertices[j].normal;
            *n = vec3_make(-n->x, -n->y, -n->z);
        }
        polygon_reverse(p);
    }
}

Mesh* mesh_subtract(const Mesh* A, const Mesh* B)
{
    Mesh* result = mesh_new(0, 0, 0);
    // A's faces where they lie outside B; a face of A lying in a face of B and
    // facing the same way goes.
    for (const PolygonGroup* a = A->groups; a; a = a->next) {
        PolygonGroup* g = group_copy(a);
        for (const PolygonGroup* b = B->groups; b; b = b->next) g = group_clip_outside(g, b, 1);
        mesh_add_group(result, g);
    }
    // B's faces where they lie inside A, turned to face into the cut; a face
    // of B lying in a face of A and facing the same way counts as outside.
    for (const PolygonGroup* b = B->groups; b; b = b->next) {
        PolygonGroup* g = group_copy(b);
        for (const PolygonGroup* a = A->groups; a; a = a->next) g = group_clip_inside(g, a, 0);
        group_turn_inside_out(g);
        mesh_add_group(result, g);
    }
    return result;
}
