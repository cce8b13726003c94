// Mesh operations: affine changes, flip and mirror, extrusion and bevel.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

const float ROUNDING = 1e-5f;

// One-group mesh with one quad (x, y, z) per corner, normals +Z unless given.
Mesh* mesh_quad(const float (*corners)[3], unsigned count)
{
    Mesh* mesh = mesh_new(1, (uint8_t)count, 0);
    Polygon* p = mesh->groups->polygons[0];
    for (unsigned i = 0; i < count; i++) {
        polygon_set_position(p, (uint8_t)i, corners[i][0], corners[i][1], corners[i][2]);
        polygon_set_texcoord(p, (uint8_t)i, corners[i][0], corners[i][1]);
    }
    polygon_set_colour(p, 0xFF203040);
    polygon_flat_normal(p);
    polygon_make_fan(p);
    return mesh;
}

const float UNIT_SQUARE[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const float TRIANGLE[3][3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};

void expect_vec3_near(const Vec3& got, float x, float y, float z, const char* what)
{
    EXPECT_NEAR(got.x, x, ROUNDING) << what;
    EXPECT_NEAR(got.y, y, ROUNDING) << what;
    EXPECT_NEAR(got.z, z, ROUNDING) << what;
}

// Exact copy of every vertex of a mesh, for before/after comparisons.
std::vector<Vertex> mesh_vertices(const Mesh* mesh)
{
    std::vector<Vertex> all;
    for (const PolygonGroup* g = mesh->groups; g; g = g->next)
        for (unsigned i = 0; i < g->polygon_count; i++)
            for (unsigned k = 0; k < g->polygons[i]->vertex_count; k++) all.push_back(g->polygons[i]->vertices[k]);
    return all;
}

// Affine changes and orientation

TEST(MeshOpsTest, ScaleTranslateAndTexcoordsReachHiddenPolygonsToo)
{
    Mesh* box = mesh_box(1, 1, 1, nullptr, 0xFFFFFFFF);
    box->groups->polygons[0]->hidden = 1;
    box->display_list = 42;
    mesh_scale(box, 2, 3, 4);
    mesh_translate(box, 10, 20, 30);
    mesh_scale_texcoords(box, 2, 0.5f);
    int marker = 0;
    const Texture* texture = reinterpret_cast<const Texture*>(&marker);
    mesh_set_texture(box, texture);
    // Face +Y, vertex 1 was (1, 1, 1) with (u, v) = (1, 0); vertex 2 has (1, 1).
    const Polygon* top = box->groups->polygons[0];
    expect_vec3_near(top->vertices[1].position, 12, 23, 34, "scaled then moved");
    expect_vec3_near(top->vertices[1].normal, 0, 1, 0, "normal unchanged");
    EXPECT_EQ(top->vertices[2].u, 2.0f);
    EXPECT_EQ(top->vertices[2].v, 0.5f);
    for (int f = 0; f < 6; f++) EXPECT_EQ(box->groups->polygons[f]->texture, texture);
    EXPECT_EQ(box->display_list, 42u);
    mesh_free(box);
}

TEST(MeshOpsTest, RotateTurnsPositionsAndNormals)
{
    const float corners[3][3] = {{0, 1, 0}, {1, 1, -1}, {-1, 1, -1}};
    Mesh* mesh = mesh_quad(corners, 3);
    const Polygon* p = mesh->groups->polygons[0];
    expect_vec3_near(p->vertices[0].normal, 0, 1, 0, "faces +Y before");
    mesh_rotate(mesh, 90, 0, 0);
    expect_vec3_near(p->vertices[0].position, 0, 0, 1, "position");
    expect_vec3_near(p->vertices[0].normal, 0, 0, 1, "normal");
    mesh_free(mesh);
}

TEST(MeshOpsTest, FlipReversesOrderAndNormalsAndUndoesItself)
{
    Mesh* mesh = mesh_quad(UNIT_SQUARE, 4);
    Polygon* p = mesh->groups->polygons[0];
    for (int i = 0; i < 4; i++) p->vertices[i].colour = (uint32_t)i;
    std::vector<Vertex> before = mesh_vertices(mesh);
    mesh_flip(mesh);
    for (int j = 0; j < 4; j++) {
        EXPECT_EQ(p->vertices[j].colour, (uint32_t)(3 - j)) << "vertex " << j;
        EXPECT_EQ(p->vertices[j].normal.z, -1.0f);
    }
    Vec3 n = polygon_normal(p);
    EXPECT_NEAR(n.z, -1, ROUNDING) << "winding turned too";
    EXPECT_EQ(p->triangles[1].c, 3) << "triangles untouched";
    mesh_flip(mesh);
    std::vector<Vertex> after = mesh_vertices(mesh);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(memcmp(after.data(), before.data(), before.size() * sizeof(Vertex)), 0);
    mesh_free(mesh);
}

TEST(MeshOpsTest, MirrorReflectsThroughOriginAndUndoesItself)
{
    Mesh* box = mesh_box(1, 2, 3, nullptr, 0xFFFFFFFF);
    mesh_translate(box, 0.25f, -0.5f, 7);
    std::vector<Vertex> before = mesh_vertices(box);
    mesh_mirror(box);
    const Polygon* top = box->groups->polygons[0];
    expect_vec3_near(top->vertices[0].position, 0.75f, -1.5f, -10, "negated");
    expect_vec3_near(top->vertices[0].normal, 0, -1, 0, "normal negated");
    Vec3 winding = polygon_normal(top);
    EXPECT_NEAR(winding.y, 1, ROUNDING) << "winding still faces where the face did";
    mesh_mirror(box);
    std::vector<Vertex> after = mesh_vertices(box);
    EXPECT_EQ(memcmp(after.data(), before.data(), before.size() * sizeof(Vertex)), 0);
    mesh_free(box);
}

// Extrusion

TEST(MeshOpsTest, ExtrudeSquareMovesCapFirstThenFourSides)
{
    Mesh* mesh = mesh_quad(UNIT_SQUARE, 4);
    int marker = 0;
    const Texture* texture = reinterpret_cast<const Texture*>(&marker);
    mesh_set_texture(mesh, texture);
    mesh->display_list = 42;
    mesh_extrude(mesh, 1, 1, 0, 0, 0, 1);
    EXPECT_EQ(mesh->display_list, 42u);
    ASSERT_EQ(mesh->group_count, 1);
    ASSERT_NE(mesh->groups, nullptr);
    ASSERT_EQ(mesh->groups->polygon_count, 5);
    const Polygon* cap = mesh->groups->polygons[0];
    for (int i = 0; i < 4; i++) {
        expect_vec3_near(cap->vertices[i].position, UNIT_SQUARE[i][0], UNIT_SQUARE[i][1], 1, "cap moved up");
        EXPECT_EQ(cap->vertices[i].u, UNIT_SQUARE[i][0]);
    }
    const float facing[4][3] = {{0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    for (int j = 0; j < 4; j++) {
        const Polygon* side = mesh->groups->polygons[1 + j];
        ASSERT_EQ(side->vertex_count, 4);
        ASSERT_EQ(side->triangle_count, 2);
        EXPECT_EQ(side->texture, texture);
        EXPECT_EQ(side->hidden, 0);
        expect_vec3_near(side->vertices[0].normal, facing[j][0], facing[j][1], facing[j][2], "side normal");
        // Vertices q[k], q[j], r[j], r[k]: top edge from vertex j + 1 back to j.
        const float* corner_j = UNIT_SQUARE[j];
        const float* corner_k = UNIT_SQUARE[(j + 1) % 4];
        expect_vec3_near(side->vertices[0].position, corner_k[0], corner_k[1], 1, "q[k]");
        expect_vec3_near(side->vertices[1].position, corner_j[0], corner_j[1], 1, "q[j]");
        expect_vec3_near(side->vertices[2].position, corner_j[0], corner_j[1], 0, "r[j]");
        expect_vec3_near(side->vertices[3].position, corner_k[0], corner_k[1], 0, "r[k]");
        EXPECT_EQ(side->vertices[2].colour, 0xFF203040u) << "whole vertex records copied";
    }
    mesh_free(mesh);
}

TEST(MeshOpsTest, ExtrudeStepsMakeOneGroupEachCapInTheLast)
{
    Mesh* mesh = mesh_quad(TRIANGLE, 3);
    mesh_extrude(mesh, 0.5f, 1, 0, 0, 0, 2);
    ASSERT_EQ(mesh->group_count, 2);
    const PolygonGroup* first = mesh->groups;
    const PolygonGroup* second = first->next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->prev, first);
    EXPECT_EQ(second->next, nullptr);
    ASSERT_EQ(first->polygon_count, 3);
    ASSERT_EQ(second->polygon_count, 4);
    const Polygon* cap = second->polygons[0];
    ASSERT_EQ(cap->vertex_count, 3);
    Vec3 centre = polygon_centroid(cap);
    // Two steps of 1 along +Z, shrunk by half twice about the moving centre.
    expect_vec3_near(centre, 2.0f / 3, 2.0f / 3, 2, "cap centre");
    expect_vec3_near(cap->vertices[1].position, 2.0f / 3 + 0.25f * (2 - 2.0f / 3), 2.0f / 3 - 0.25f * 2.0f / 3, 2,
                     "cap corner");
    for (int j = 0; j < 3; j++) {
        EXPECT_EQ(first->polygons[j]->vertex_count, 4);
        EXPECT_NEAR(first->polygons[j]->vertices[2].position.z, 0, ROUNDING) << "first step starts at the face";
        EXPECT_NEAR(second->polygons[1 + j]->vertices[2].position.z, 1, ROUNDING) << "second starts at step one";
    }
    mesh_free(mesh);
}

TEST(MeshOpsTest, ExtrudeDropsHiddenPolygonsAndZeroStepsDropsAll)
{
    Mesh* box = mesh_box(1, 1, 1, nullptr, 0xFFFFFFFF);
    box->groups->polygons[2]->hidden = 1;
    mesh_extrude(box, 1, 1, 0, 0, 0, 1);
    ASSERT_EQ(box->group_count, 5);
    const float facing[5][3] = {{0, 1, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
    unsigned index = 0;
    for (const PolygonGroup* g = box->groups; g; g = g->next, index++) {
        ASSERT_EQ(g->polygon_count, 5);
        const Polygon* cap = g->polygons[0];
        Vec3 c = polygon_centroid(cap);
        expect_vec3_near(c, 2 * facing[index][0], 2 * facing[index][1], 2 * facing[index][2], "cap out by 1");
    }
    EXPECT_EQ(index, 5u);

    Mesh* none = mesh_box(1, 1, 1, nullptr, 0xFFFFFFFF);
    mesh_extrude(none, 1, 1, 0, 0, 0, 0);
    EXPECT_EQ(none->group_count, 0);
    EXPECT_EQ(none->groups, nullptr);
    mesh_free(none);
    mesh_free(box);
}

// The direction turns once per vertex, so each vertex of a turned step lands
// along a different direction: vertex k along s turned k + 1 times.
TEST(MeshOpsTest, ExtrudeTurnsTheDirectionOncePerVertex)
{
    Mesh* mesh = mesh_quad(UNIT_SQUARE, 4);
    mesh_extrude(mesh, 1, 1, 90, 0, 0, 1);
    const Polygon* cap = mesh->groups->polygons[0];
    // Offsets (-0.5, -0.5, 0) etc. turned a quarter about X, plus the centre,
    // plus +Z turned 1, 2, 3 and 4 times: -Y, -Z, +Y, +Z.
    const float want[4][3] = {{0, -0.5f, -0.5f}, {1, 0.5f, -1.5f}, {1, 1.5f, 0.5f}, {0, 0.5f, 1.5f}};
    for (int i = 0; i < 4; i++)
        expect_vec3_near(cap->vertices[i].position, want[i][0], want[i][1], want[i][2], "turned vertex");
    expect_vec3_near(cap->vertices[0].normal, 0, -1, 0, "normal turned once");
    mesh_free(mesh);
}

// A turn about the face's own normal spins the cap within its plane, whatever
// way the face points.
TEST(MeshOpsTest, ExtrudeTurnAboutNormalKeepsCapInItsPlane)
{
    const struct {
        float corners[4][3];
        Vec3 normal;
    } cases[] = {
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 1}},
        {{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, {0, 0, -1}},
        {{{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}}, {1, 0, 0}},
        {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {0, -1, 0}},
    };
    for (const auto& c : cases) {
        Mesh* mesh = mesh_quad(c.corners, 4);
        Vec3 before = polygon_centroid(mesh->groups->polygons[0]);
        mesh_extrude(mesh, 1, 2, 0, 0, 90, 1);
        const Polygon* cap = mesh->groups->polygons[0];
        Vec3 n = polygon_normal(cap);
        expect_vec3_near(n, c.normal.x, c.normal.y, c.normal.z, "cap keeps facing");
        for (int i = 0; i < 4; i++) {
            Vec3 offset = vec3_sub(&cap->vertices[i].position, &before);
            EXPECT_NEAR(vec3_dot(&offset, &c.normal), 2, ROUNDING) << "vertex " << i << " in the moved plane";
            EXPECT_NEAR(vec3_length(&offset), sqrtf(4.5f), ROUNDING) << "same distance from the centre";
        }
        mesh_free(mesh);
    }
}

// Bevel

TEST(MeshOpsTest, BevelBoxAddsTwelveEdgesAndEightCorners)
{
    Mesh* box = mesh_box(1, 1, 1, nullptr, 0xFFFFFFFF);
    box->groups->polygons[0]->hidden = 1;
    mesh_bevel(box, 0.8f);
    ASSERT_EQ(box->group_count, 1);
    const PolygonGroup* g = box->groups;
    ASSERT_EQ(g->polygon_count, 26);
    for (int f = 0; f < 6; f++) {
        const Polygon* face = g->polygons[f];
        Vec3 n = polygon_normal(face);
        for (int i = 0; i < 4; i++) {
            const Vec3& p = face->vertices[i].position;
            EXPECT_NEAR(vec3_dot(&p, &n), 1, ROUNDING) << "face stays in its plane";
            EXPECT_NEAR(fabsf(p.x) + fabsf(p.y) + fabsf(p.z), 2.6f, ROUNDING) << "corners pulled in to 0.8";
        }
    }
    unsigned hidden = 0;
    for (int e = 6; e < 18; e++) {
        const Polygon* edge = g->polygons[e];
        ASSERT_EQ(edge->vertex_count, 4) << e;
        EXPECT_EQ(edge->triangle_count, 2);
        Vec3 winding = polygon_normal(edge);
        Vec3 average = polygon_average_normal(edge);
        EXPECT_GT(vec3_dot(&winding, &average), 0.99f) << "edge quad " << e << " faces outwards";
        hidden += edge->hidden;
    }
    // Face +Y is polygon 0: it owns its four edges, and the corners found first in it.
    EXPECT_EQ(hidden, 4u);
    hidden = 0;
    for (int c = 18; c < 26; c++) {
        const Polygon* corner = g->polygons[c];
        ASSERT_EQ(corner->vertex_count, 3) << c;
        EXPECT_EQ(corner->triangle_count, 1);
        Vec3 winding = polygon_normal(corner);
        Vec3 centre = polygon_centroid(corner);
        EXPECT_GT(vec3_dot(&winding, &centre), 0) << "corner " << c << " faces outwards";
        // Shrunk corners such as (0.8, 1, 0.8), (1, 0.8, 0.8), (0.8, 0.8, 1).
        EXPECT_NEAR(fabsf(centre.x), 2.6f / 3, ROUNDING) << c;
        EXPECT_NEAR(fabsf(centre.y), 2.6f / 3, ROUNDING) << c;
        hidden += corner->hidden;
    }
    EXPECT_EQ(hidden, 4u);
    mesh_free(box);
}

TEST(MeshOpsTest, BevelOneBandCylinderGivesFiftyPolygons)
{
    Mesh* cyl = mesh_cylinder(1, 2, 1, 8, 0xFFFFFFFF, nullptr);
    mesh_bevel(cyl, 0.8f);
    const PolygonGroup* g = cyl->groups;
    ASSERT_EQ(g->polygon_count, 50);
    for (int i = 10; i < 34; i++) EXPECT_EQ(g->polygons[i]->vertex_count, 4) << i;
    for (int i = 34; i < 50; i++) EXPECT_EQ(g->polygons[i]->vertex_count, 3) << i;
    mesh_free(cyl);
}

TEST(MeshOpsTest, BevelFactorOneLeavesNoGaps)
{
    // Nothing moves, so every fill polygon has no area; the corner order stays.
    Mesh* box = mesh_box(1, 1, 1, nullptr, 0xFFFFFFFF);
    std::vector<Vertex> before = mesh_vertices(box);
    mesh_bevel(box, 1);
    ASSERT_EQ(box->groups->polygon_count, 26);
    std::vector<Vertex> faces = mesh_vertices(box);
    EXPECT_EQ(memcmp(faces.data(), before.data(), before.size() * sizeof(Vertex)), 0);
    for (int c = 18; c < 26; c++) {
        const Polygon* corner = box->groups->polygons[c];
        EXPECT_EQ(corner->triangle_count, 1);
        for (int i = 1; i < 3; i++) {
            EXPECT_EQ(corner->vertices[i].position.x, corner->vertices[0].position.x);
            EXPECT_EQ(corner->vertices[i].position.y, corner->vertices[0].position.y);
            EXPECT_EQ(corner->vertices[i].position.z, corner->vertices[0].position.z);
        }
    }
    mesh_free(box);
}

} // namespace
