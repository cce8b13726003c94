// Solid subtraction: the split and classification rules on small fixtures, and
// the two solids the scenes cut (a flat ring and a pierced cube).
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

const uint32_t WHITE = 0xFFFFFFFF;

// A fan polygon on the corners, all normals n, vertex i with (u, v) = (i, 10 i)
// and colour 0xFF000000 + i.
Polygon* polygon_at(const std::vector<Vec3>& corners, Vec3 n = {0, 0, 1})
{
    Polygon* p = polygon_new((uint8_t)corners.size(), 0);
    for (unsigned i = 0; i < corners.size(); i++) p->vertices[i] = {corners[i], n, 0xFF000000u + i, (float)i, 10.0f * i};
    polygon_make_fan(p);
    return p;
}

// Regular n-gon in z = 0 facing +Z, its first corner at angle `turn`.
Polygon* regular_polygon(unsigned n, double radius, double turn)
{
    std::vector<Vec3> corners;
    for (unsigned i = 0; i < n; i++) {
        const double a = turn + 2 * M_PI * i / n;
        corners.push_back({(float)(radius * cos(a)), (float)(radius * sin(a)), 0});
    }
    return polygon_at(corners);
}

// Area vector: the winding normal scaled by the area.
Vec3 area_of(const Polygon* p)
{
    double x = 0, y = 0, z = 0;
    for (unsigned i = 0; i < p->vertex_count; i++) {
        const Vec3& s = p->vertices[i].position;
        const Vec3& e = p->vertices[(i + 1) % p->vertex_count].position;
        x += 0.5 * ((double)s.y * e.z - (double)s.z * e.y);
        y += 0.5 * ((double)s.z * e.x - (double)s.x * e.z);
        z += 0.5 * ((double)s.x * e.y - (double)s.y * e.x);
    }
    return {(float)x, (float)y, (float)z};
}

double size_of(const Polygon* p)
{
    const Vec3 a = area_of(p);
    return vec3_length(&a);
}

std::vector<const Polygon*> polygons_of(const Mesh* mesh, bool visible_only)
{
    std::vector<const Polygon*> all;
    for (const PolygonGroup* g = mesh->groups; g; g = g->next)
        for (unsigned i = 0; i < g->polygon_count; i++)
            if (!visible_only || !g->polygons[i]->hidden) all.push_back(g->polygons[i]);
    return all;
}

// A closed surface: the visible faces' areas add up to `expected` and their
// area vectors cancel.
void expect_closed(const Mesh* mesh, double expected)
{
    double total = 0, x = 0, y = 0, z = 0;
    for (const Polygon* p : polygons_of(mesh, true)) {
        const Vec3 a = area_of(p);
        total += vec3_length(&a);
        x += a.x, y += a.y, z += a.z;
    }
    EXPECT_NEAR(total, expected, 1e-4 * expected);
    EXPECT_LT(std::sqrt(x * x + y * y + z * z), 1e-4 * expected);
}

TEST(MeshSubtractTest, BoxesApartKeepAAndHideBTurnedInsideOut)
{
    Mesh* a = mesh_box(1, 1, 1, nullptr, WHITE);
    mesh_translate(a, 10, 10, 10);
    Mesh* b = mesh_box(1, 1, 1, nullptr, WHITE);
    Mesh* r = mesh_subtract(a, b);
    ASSERT_EQ(r->group_count, 2);
    const PolygonGroup* kept = mesh_group_at(r, 0);
    const PolygonGroup* cut = mesh_group_at(r, 1);
    ASSERT_EQ(kept->polygon_count, 6);
    ASSERT_EQ(cut->polygon_count, 6);
    for (unsigned f = 0; f < 6; f++) {
        EXPECT_EQ(kept->polygons[f]->hidden, 0) << f;
        EXPECT_EQ(cut->polygons[f]->hidden, 1) << f;
        const Vertex* pa = a->groups->polygons[f]->vertices;
        EXPECT_EQ(memcmp(kept->polygons[f]->vertices, pa, 4 * sizeof(Vertex)), 0) << f;
        for (unsigned j = 0; j < 4; j++) {
            const Vertex& flipped = cut->polygons[f]->vertices[j];
            const Vertex& source = b->groups->polygons[f]->vertices[3 - j];
            EXPECT_EQ(memcmp(&flipped.position, &source.position, sizeof(Vec3)), 0) << f;
            EXPECT_EQ(vec3_dot(&flipped.normal, &source.normal), -1.0f) << f;
        }
    }
    EXPECT_EQ(a->groups->polygons[0]->vertices[0].position.x, 9.0f); // operands untouched
    mesh_free(r);

    // A cutter that contains A hides all of it, and its own split faces too.
    Mesh* big = mesh_box(20, 20, 20, nullptr, WHITE);
    r = mesh_subtract(a, big);
    EXPECT_GE(polygons_of(r, false).size(), 12u);
    EXPECT_EQ(polygons_of(r, true).size(), 0u);
    mesh_free(r);
    mesh_free(big);
    mesh_free(a);
    mesh_free(b);
}

// Scene 5's ring: a 16-sided disc of radius 20, 8 thick, less a radius 18 one.
TEST(MeshSubtractTest, HoopIsAClosedRingBetweenRadius18And20)
{
    Mesh* disc = mesh_cylinder(20, 8, 1, 16, WHITE, nullptr);
    Mesh* cut = mesh_cylinder(18, 10, 1, 16, WHITE, nullptr);
    Mesh* hoop = mesh_subtract(disc, cut);
    const float inner_apothem = 18 * cosf((float)M_PI / 16);
    for (const Polygon* p : polygons_of(hoop, true)) {
        for (unsigned i = 0; i < p->vertex_count; i++) {
            const Vec3& v = p->vertices[i].position;
            EXPECT_GT(std::hypot(v.x, v.y), inner_apothem - 0.001f);
            EXPECT_LT(std::hypot(v.x, v.y), 20.001f);
            EXPECT_LE(std::fabs(v.z), 4.001f);
        }
    }
    // Two annuli, the whole outer wall and the inner wall between the caps.
    double walls = 0;
    for (unsigned j = 0; j < 16; j++) walls += size_of(disc->groups->polygons[j]) + 0.8 * size_of(cut->groups->polygons[j]);
    expect_closed(hoop, 2 * (size_of(disc->groups->polygons[16]) - size_of(cut->groups->polygons[16])) + walls);
    mesh_free(hoop);
    mesh_free(disc);
    mesh_free(cut);
}

// Scene 6's block: a cube of half-size 1 less an 8-sided cylinder of radius
// 0.8 along Y whose caps lie in the cube's top and bottom faces.
TEST(MeshSubtractTest, PiercedBlockIsACubeWithAnOpenVerticalHole)
{
    Mesh* hole = mesh_cylinder(0.8f, 2, 1, 8, WHITE, nullptr);
    mesh_rotate(hole, 90, 0, 0);
    Mesh* cube = mesh_box(1, 1, 1, nullptr, WHITE);
    Mesh* block = mesh_subtract(cube, hole);
    const float apothem = 0.8f * cosf((float)M_PI / 8);
    for (const Polygon* p : polygons_of(block, true)) {
        const Vec3 c = polygon_centroid(p);
        const Vec3 a = area_of(p);
        EXPECT_GT(std::hypot(c.x, c.z), apothem - 0.001f) << "a visible face inside the hole";
        if (std::hypot(c.x, c.z) < 0.81f) {
            EXPECT_LE(a.x * c.x + a.z * c.z, 1e-6f) << "a wall facing away from the axis";
        }
        for (unsigned i = 0; i < p->vertex_count; i++) {
            const Vec3& v = p->vertices[i].position;
            EXPECT_LE(std::max(std::fabs(v.x), std::max(std::fabs(v.y), std::fabs(v.z))), 1.0001f);
        }
    }
    double walls = 0;
    for (unsigned j = 0; j < 8; j++) walls += size_of(hole->groups->polygons[j]);
    expect_closed(block, 6 * 4 - 2 * size_of(hole->groups->polygons[8]) + walls);
    mesh_free(block);
    mesh_free(cube);
    mesh_free(hole);
}

void expect_positions(const Polygon* p, const std::vector<Vec3>& want)
{
    ASSERT_EQ(p->vertex_count, want.size());
    for (unsigned i = 0; i < want.size(); i++)
        EXPECT_EQ(memcmp(&p->vertices[i].position, &want[i], sizeof(Vec3)), 0) << i;
}

TEST(MeshSubtractTest, SplitSquareGivesExactPiecesWithInterpolatedTexcoords)
{
    Polygon* square = polygon_at({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
    square->hidden = 1;
    const Plane plane = {{0, 0, 0}, {1, 0, 0}};
    Polygon* front = polygon_new(0, 0);
    Polygon* back = polygon_new(0, 0);
    ASSERT_TRUE(polygon_split(square, &plane, front, back));
    expect_positions(front, {{0, -1, 0}, {1, -1, 0}, {1, 1, 0}, {0, 1, 0}});
    expect_positions(back, {{-1, -1, 0}, {0, -1, 0}, {0, 1, 0}, {-1, 1, 0}});
    // Crossings at t = 0.5 take colour and normal from the vertex before them.
    const Vertex& low = front->vertices[0];
    const Vertex& high = front->vertices[3];
    EXPECT_EQ(low.u, 0.5f);
    EXPECT_EQ(low.v, 5.0f);
    EXPECT_EQ(low.colour, 0xFF000000u);
    EXPECT_EQ(high.u, 2.5f);
    EXPECT_EQ(high.v, 25.0f);
    EXPECT_EQ(high.colour, 0xFF000002u);
    EXPECT_EQ(memcmp(&back->vertices[1], &low, sizeof(Vertex)), 0);
    EXPECT_EQ(front->hidden + back->hidden, 0);
    EXPECT_EQ(front->triangle_count, 2);

    // Along the diagonal through vertices 0 and 2: both go to both pieces,
    // each followed by a crossing found at t = 0; vertex 0 closes both.
    const float d = 1 / std::sqrt(2.0f);
    const Plane diagonal = {{0, 0, 0}, {d, -d, 0}};
    ASSERT_TRUE(polygon_split(square, &diagonal, front, back));
    expect_positions(front, {{-1, -1, 0}, {-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {1, 1, 0}, {-1, -1, 0}});
    expect_positions(back, {{-1, -1, 0}, {-1, -1, 0}, {1, 1, 0}, {1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}});

    // Any size: the halves of a 200-gon. A 255-gon with one corner cut off
    // would need 256 vertices behind: the split declines and clipping keeps
    // the polygon whole.
    Polygon* big = regular_polygon(200, 1, M_PI / 200);
    ASSERT_TRUE(polygon_split(big, &plane, front, back));
    EXPECT_EQ(front->vertex_count + back->vertex_count, 204);
    Polygon* full = regular_polygon(255, 100, 0);
    Polygon* cutter = polygon_at({{99.985f, 0, 1}, {99.985f, 0, -1}, {99.985f, 1, 0}}, {1, 0, 0});
    const Plane edge = {{99.985f, 0, 0}, {1, 0, 0}};
    EXPECT_FALSE(polygon_split(full, &edge, front, back));
    EXPECT_EQ(front->vertex_count + back->vertex_count, 0);
    Polygon* inside = nullptr;
    EXPECT_EQ(polygon_clip_outside(full, &cutter, 0, 1, 1, &inside), full);
    for (Polygon* p : {square, front, back, big, full, cutter}) polygon_free(p);
}

TEST(MeshSubtractTest, ClassifyAndPlaneUseTheirOwnTolerances)
{
    // Heights over the plane z = 0 of a triangle's vertices.
    const struct {
        float z0, z1, z2;
        uint32_t side;
    } heights[] = {
        {0.00005f, -0.00005f, 0.00005f, PLANE_ON},
        {0.0002f, -0.0002f, 0, PLANE_SPANNING},
        {-0.0002f, 0.00005f, 0, PLANE_BACK},
        {0.0002f, 0.00005f, 0.0002f, PLANE_FRONT},
    };
    const Plane ground = {{0, 0, 0}, {0, 0, 1}};
    for (const auto& c : heights) {
        Polygon* p = polygon_at({{0, 0, c.z0}, {1, 0, c.z1}, {0, 1, c.z2}});
        EXPECT_EQ(polygon_classify(p, &ground), c.side) << c.z0 << " " << c.z1;
        polygon_free(p);
    }
    // A quad winding about +Z: vertex normals against the winding decide the
    // plane's normal; ones within 0.1 of agreeing do not.
    const float tilt = 1 / std::sqrt(1.09f);
    const Vec3 normals[] = {{0, 0, -1}, {0, 0, 1}, {0.3f * tilt, 0, tilt}};
    for (const Vec3& n : normals) {
        Polygon* p = polygon_at({{0, 0, 2}, {3, 0, 2}, {3, 1, 2}, {0, 1, 2}}, n);
        Plane* plane = polygon_plane(p);
        ASSERT_NE(plane, nullptr);
        EXPECT_EQ(plane->point.z, 2.0f);
        EXPECT_EQ(plane->normal.z, n.z < 0 ? -1.0f : 1.0f) << n.x;
        plane_free(plane);
        polygon_free(p);
    }
}

TEST(MeshSubtractTest, PolygonOutsideALaterPlaneStaysUnsplit)
{
    // Beside the box: it spans the +Y face's plane, but its back piece lies
    // in front of the +X face's, so the box does not cut it at all.
    Mesh* box = mesh_box(1, 1, 1, nullptr, WHITE);
    Polygon* beside = polygon_at({{2, 0, 0}, {3, 0, 0}, {3, 2, 0}, {2, 2, 0}});
    Polygon* inside = nullptr;
    Polygon* kept = polygon_clip_outside(beside, box->groups->polygons, 0, 6, 1, &inside);
    EXPECT_EQ(kept, beside);
    EXPECT_EQ(chain_length(kept), 1u);
    EXPECT_EQ(inside, nullptr);
    group_free(group_from_chain(chain_concat(kept, inside)));
    mesh_free(box);
}

PolygonGroup* group_of(const std::vector<const Polygon*>& polygons)
{
    PolygonGroup* g = group_new(0, 0, 0);
    g->polygon_count = (uint16_t)polygons.size();
    g->polygons = new Polygon*[polygons.size()];
    for (unsigned i = 0; i < polygons.size(); i++) g->polygons[i] = polygon_copy(polygons[i]);
    return g;
}

// Hidden flags and vertices of each polygon, in order.
std::vector<uint8_t> bytes_of(const PolygonGroup* g)
{
    std::vector<uint8_t> all;
    for (unsigned i = 0; i < g->polygon_count; i++) {
        const Polygon* p = g->polygons[i];
        all.push_back(p->hidden);
        all.insert(all.end(), (const uint8_t*)p->vertices, (const uint8_t*)(p->vertices + p->vertex_count));
    }
    return all;
}

TEST(MeshSubtractTest, CuttingPolygonWithoutAPlaneIsSkipped)
{
    Polygon* sheet = polygon_at({{-3, -3, 0.5f}, {3, -3, 0.5f}, {3, 3, 0.5f}, {-3, 3, 0.5f}});
    Polygon* two = polygon_at({{0, 0, 0}, {1, 0, 0}});
    Polygon* flat = polygon_at({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
    Mesh* box = mesh_box(1, 1, 1, nullptr, WHITE);
    PolygonGroup* plain = group_clip_outside(group_of({sheet}), box->groups, 1);
    ASSERT_EQ(plain->polygon_count, 5); // four pieces around the box, the one inside hidden
    EXPECT_EQ(plain->polygons[4]->hidden, 1);
    for (unsigned at = 0; at <= 6; at += 3) {
        std::vector<const Polygon*> cutters(box->groups->polygons, box->groups->polygons + 6);
        cutters.insert(cutters.begin() + at, {two, flat});
        PolygonGroup* K = group_of(cutters);
        PolygonGroup* r = group_clip_outside(group_of({sheet}), K, 1);
        EXPECT_EQ(bytes_of(r), bytes_of(plain)) << at;
        group_free(r);
        group_free(K);
    }
    // A cutter of nothing else cuts nothing: all outside, all hidden inside it.
    PolygonGroup* none = group_of({two, flat});
    PolygonGroup* whole = group_of({sheet});
    PolygonGroup* r = group_clip_outside(group_of({sheet}), none, 1);
    EXPECT_EQ(bytes_of(r), bytes_of(whole));
    group_free(r);
    r = group_clip_inside(group_of({sheet}), none, 0);
    EXPECT_EQ(r->polygon_count, 1);
    EXPECT_EQ(r->polygons[0]->hidden, 1);
    for (PolygonGroup* g : {r, whole, none, plain}) group_free(g);
    for (Polygon* p : {sheet, two, flat}) polygon_free(p);
    mesh_free(box);
}

} // namespace
