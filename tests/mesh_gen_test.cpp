// Mesh generators: face order and normals, extents, counts, texture
// coordinates and outward winding.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const float ROUNDING = 1e-5f;

struct Axis {
    float x, y, z;
};

TEST(MeshGenTest, BoxFacesInOrderWithFlatOutwardNormals)
{
    int marker = 0;
    const Texture* texture = reinterpret_cast<const Texture*>(&marker);
    Mesh* box = mesh_box(1, 1, 1, texture, 0xFF102030);
    ASSERT_EQ(box->group_count, 1);
    ASSERT_EQ(box->groups->polygon_count, 6);
    const Axis faces[6] = {{0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int f = 0; f < 6; f++) {
        const Polygon* p = box->groups->polygons[f];
        ASSERT_EQ(p->vertex_count, 4);
        ASSERT_EQ(p->triangle_count, 2);
        EXPECT_EQ(p->triangles[0].a, 0);
        EXPECT_EQ(p->triangles[0].b, 1);
        EXPECT_EQ(p->triangles[0].c, 2);
        EXPECT_EQ(p->triangles[1].a, 0);
        EXPECT_EQ(p->triangles[1].b, 2);
        EXPECT_EQ(p->triangles[1].c, 3);
        EXPECT_EQ(p->texture, texture);
        Vec3 n = polygon_normal(p);
        EXPECT_NEAR(n.x, faces[f].x, ROUNDING) << "face " << f;
        EXPECT_NEAR(n.y, faces[f].y, ROUNDING) << "face " << f;
        EXPECT_NEAR(n.z, faces[f].z, ROUNDING) << "face " << f;
        for (int i = 0; i < 4; i++) {
            const Vertex& v = p->vertices[i];
            EXPECT_EQ(v.normal.x, n.x);
            EXPECT_EQ(v.normal.y, n.y);
            EXPECT_EQ(v.normal.z, n.z);
            EXPECT_EQ(v.colour, 0xFF102030u);
            EXPECT_EQ(v.u, uv[i][0]);
            EXPECT_EQ(v.v, uv[i][1]);
            // Every corner lies in the face's own plane.
            EXPECT_EQ(v.position.x * n.x + v.position.y * n.y + v.position.z * n.z, 1.0f);
        }
    }
    mesh_free(box);
}

TEST(MeshGenTest, BoxScalesPositionsNotNormals)
{
    Mesh* box = mesh_box(4, 4, 20, nullptr, 0xFFFFFFFF);
    float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
    for (int f = 0; f < 6; f++) {
        const Polygon* p = box->groups->polygons[f];
        EXPECT_EQ(p->texture, nullptr);
        for (int i = 0; i < 4; i++) {
            const Vertex& v = p->vertices[i];
            const float c[3] = {v.position.x, v.position.y, v.position.z};
            for (int a = 0; a < 3; a++) {
                low[a] = std::min(low[a], c[a]);
                high[a] = std::max(high[a], c[a]);
            }
            EXPECT_EQ(vec3_length(&v.normal), 1.0f);
        }
    }
    const float want[3] = {4, 4, 20};
    for (int a = 0; a < 3; a++) {
        EXPECT_EQ(low[a], -want[a]) << "axis " << a;
        EXPECT_EQ(high[a], want[a]) << "axis " << a;
    }
    mesh_free(box);
}

TEST(MeshGenTest, CylinderCountsAndCaps)
{
    const struct {
        unsigned bands, sides;
    } cases[] = {{1, 16}, {1, 8}, {3, 8}};
    const float radius = 2, height = 6;
    for (const auto& c : cases) {
        Mesh* cyl = mesh_cylinder(radius, height, c.bands, c.sides, 0xFF808080, nullptr);
        ASSERT_EQ(cyl->group_count, 1);
        const PolygonGroup* g = cyl->groups;
        unsigned sides_total = c.bands * c.sides;
        ASSERT_EQ(g->polygon_count, sides_total + 2) << c.bands << " x " << c.sides;
        for (unsigned i = 0; i < sides_total; i++) {
            const Polygon* p = g->polygons[i];
            ASSERT_EQ(p->vertex_count, 4);
            EXPECT_EQ(p->triangle_count, 2);
            // Outward winding and smooth radial normals.
            Vec3 n = polygon_normal(p);
            Vec3 centre = polygon_centroid(p);
            EXPECT_GT(n.x * centre.x + n.y * centre.y, 0) << "side " << i;
            for (int k = 0; k < 4; k++) {
                const Vertex& v = p->vertices[k];
                EXPECT_NEAR(v.normal.x * radius, v.position.x, ROUNDING);
                EXPECT_NEAR(v.normal.y * radius, v.position.y, ROUNDING);
                EXPECT_EQ(v.normal.z, 0.0f);
            }
        }
        for (int cap = 0; cap < 2; cap++) {
            const Polygon* p = g->polygons[sides_total + cap];
            float z = cap == 0 ? height / 2 : -height / 2;
            float facing = cap == 0 ? 1 : -1;
            ASSERT_EQ(p->vertex_count, c.sides);
            EXPECT_EQ(p->triangle_count, c.sides - 2);
            Vec3 n = polygon_normal(p);
            EXPECT_NEAR(n.z, facing, ROUNDING) << "cap winding faces its normal";
            for (unsigned k = 0; k < c.sides; k++) {
                const Vertex& v = p->vertices[k];
                EXPECT_EQ(v.position.z, z);
                EXPECT_EQ(v.normal.z, facing);
                EXPECT_EQ(v.u, 0.0f);
                EXPECT_EQ(v.v, 0.0f);
                EXPECT_EQ(v.colour, 0xFF808080u);
            }
        }
        mesh_free(cyl);
    }
}

TEST(MeshGenTest, CylinderTextureCoordinatesRunAlongAndAround)
{
    Mesh* cyl = mesh_cylinder(1, 4, 1, 8, 0xFFFFFFFF, nullptr);
    const Polygon* p = cyl->groups->polygons[0];
    // v across one side: (45 / 180 * 3.142) / 6.284 in single precision.
    const float v_end = (45.0f / 180.0f * 3.142f) / 6.284f;
    EXPECT_NEAR(v_end, 0.125f, 1e-6);
    int lower = 0, upper = 0, at_start = 0, at_end = 0;
    for (int k = 0; k < 4; k++) {
        const Vertex& v = p->vertices[k];
        if (v.position.z == -2) {
            EXPECT_EQ(v.u, 0.0f);
            lower++;
        } else if (v.position.z == 2) {
            EXPECT_EQ(v.u, 1.0f);
            upper++;
        }
        if (v.v == 0.0f) at_start++;
        if (v.v == v_end) at_end++;
    }
    EXPECT_EQ(lower, 2);
    EXPECT_EQ(upper, 2);
    EXPECT_EQ(at_start, 2);
    EXPECT_EQ(at_end, 2);

    // The last side ends at 6.284 radians, where v is exactly 1.
    const Polygon* last = cyl->groups->polygons[7];
    float v_max = 0;
    for (int k = 0; k < 4; k++) v_max = std::max(v_max, last->vertices[k].v);
    EXPECT_EQ(v_max, 1.0f);
    mesh_free(cyl);
}

TEST(MeshGenTest, SphereCountsAndPoles)
{
    const unsigned sizes[] = {6, 16};
    for (unsigned n : sizes) {
        Mesh* sphere = mesh_sphere(2, n, 0xFF00FF00, nullptr);
        ASSERT_EQ(sphere->group_count, 1);
        const PolygonGroup* g = sphere->groups;
        ASSERT_EQ(g->polygon_count, 4 * n * n) << "n " << n;
        unsigned bands = 4 * n * (n - 1);
        for (unsigned i = 0; i < g->polygon_count; i++) {
            const Polygon* p = g->polygons[i];
            ASSERT_EQ(p->vertex_count, 3);
            ASSERT_EQ(p->triangle_count, 1);
            EXPECT_EQ(p->triangles[0].a, 0);
            EXPECT_EQ(p->triangles[0].b, 1);
            EXPECT_EQ(p->triangles[0].c, 2);
            const Vertex& first = p->vertices[0];
            if (i >= bands + 2 * n) {
                EXPECT_EQ(first.position.y, 2.0f) << "north cap starts at the north pole";
                EXPECT_EQ(first.u, 0.5f);
                EXPECT_EQ(first.v, 0.0f);
            } else if (i >= bands) {
                EXPECT_EQ(first.position.y, -2.0f) << "south cap starts at the south pole";
                EXPECT_EQ(first.v, 1.0f);
            }
            for (int k = 0; k < 3; k++) {
                const Vertex& v = p->vertices[k];
                EXPECT_NEAR(vec3_length(&v.normal), 1, ROUNDING);
                EXPECT_NEAR(v.position.x, 2 * v.normal.x, ROUNDING);
                EXPECT_NEAR(v.position.y, 2 * v.normal.y, ROUNDING);
                EXPECT_EQ(v.colour, 0xFF00FF00u);
            }
        }
        mesh_free(sphere);
    }
}

// Triangle winding: every triangle with real area turns its front outwards;
// the degenerate ones at the south pole are allowed to point anywhere.
TEST(MeshGenTest, SphereTrianglesFaceOutwards)
{
    const unsigned n = 6;
    Mesh* sphere = mesh_sphere(1, n, 0xFFFFFFFF, nullptr);
    const PolygonGroup* g = sphere->groups;
    unsigned proper = 0;
    for (unsigned i = 0; i < g->polygon_count; i++) {
        const Polygon* p = g->polygons[i];
        Vec3 e1 = vec3_sub(&p->vertices[0].position, &p->vertices[1].position);
        Vec3 e2 = vec3_sub(&p->vertices[0].position, &p->vertices[2].position);
        Vec3 cross;
        vec3_cross(&e1, &e2, &cross);
        if (vec3_length(&cross) < 1e-4f) continue;
        proper++;
        Vec3 normal = polygon_normal(p);
        Vec3 centre = polygon_centroid(p);
        EXPECT_GT(vec3_dot(&normal, &centre), 0) << "triangle " << i;
    }
    // The south cap (2n) and the second triangle of each last-band quad (2n)
    // have no area.
    EXPECT_EQ(proper, 4 * n * n - 4 * n);
    mesh_free(sphere);
}

TEST(MeshGenTest, SphereSeamColumnIsDuplicated)
{
    const unsigned n = 6;
    Mesh* sphere = mesh_sphere(1, n, 0xFFFFFFFF, nullptr);
    const PolygonGroup* g = sphere->groups;
    // Triangle (a, b, a + 1) of row 0 column k is polygon 2k.
    const Vertex& column0 = g->polygons[0]->vertices[0];
    const Vertex& column2n = g->polygons[2 * (2 * n - 1)]->vertices[2];
    EXPECT_NEAR(column0.position.x, column2n.position.x, ROUNDING);
    EXPECT_EQ(column0.position.y, column2n.position.y);
    EXPECT_NEAR(column0.position.z, column2n.position.z, ROUNDING);
    EXPECT_EQ(column0.u, 1.0f);
    EXPECT_EQ(column2n.u, 0.0f);
    EXPECT_EQ(column0.v, column2n.v);
    // Row 0 lies one step below the north pole.
    EXPECT_NEAR(column0.position.y, cosf(3.1415927f / n), ROUNDING);
    mesh_free(sphere);
}

// Counts past the records' 8- and 16-bit fields stop instead of writing
// beyond the polygon arrays.
TEST(MeshGenTest, CountsBeyondTheRecordsStop)
{
    EXPECT_DEATH(mesh_sphere(1, 128, 0, nullptr), "");
    EXPECT_DEATH(mesh_cylinder(1, 1, 1, 256, 0, nullptr), "");
    EXPECT_DEATH(mesh_cylinder(1, 1, 300, 255, 0, nullptr), "");
    Mesh* largest = mesh_sphere(1, 127, 0, nullptr);
    EXPECT_EQ(largest->groups->polygon_count, 4 * 127 * 127);
    mesh_free(largest);
}

} // namespace
