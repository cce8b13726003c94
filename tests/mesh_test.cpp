// Mesh record: ownership and list operations, polygon geometry, and what a
// compiled mesh really sends to GL (seen through feedback mode and pixels).
#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "support/gl_test.h"
#include "texture/texture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Fills a polygon's vertices with positions (x, y, 0), normal +Z, one colour.
Polygon* polygon_from_xy(const float (*xy)[2], unsigned count, uint32_t colour)
{
    Polygon* p = polygon_new((uint8_t)count, 0);
    for (unsigned i = 0; i < count; i++) {
        polygon_set_position(p, (uint8_t)i, xy[i][0], xy[i][1], 0);
        polygon_set_texcoord(p, (uint8_t)i, 0.1f * i, 1 - 0.2f * i);
        p->vertices[i].normal = {0, 0, 1};
    }
    polygon_set_colour(p, colour);
    polygon_make_fan(p);
    return p;
}

Mesh* mesh_of(Polygon* const* polygons, unsigned count)
{
    Mesh* mesh = mesh_new(0, 0, 0);
    PolygonGroup* group = group_new(0, 0, 0);
    group->polygons = new Polygon*[count];
    group->polygon_count = (uint16_t)count;
    for (unsigned i = 0; i < count; i++) group->polygons[i] = polygons[i];
    mesh_add_group(mesh, group);
    return mesh;
}

const float TRIANGLE[3][2] = {{0, 0}, {0.5f, 0}, {0, 0.5f}};
const float PENTAGON[5][2] = {{0, -0.5f}, {0.5f, -0.2f}, {0.3f, 0.4f}, {-0.3f, 0.4f}, {-0.5f, -0.2f}};

// Mesh, group and polygon records

TEST(MeshTest, NewMeshDefaultsAndSizes)
{
    Mesh* empty = mesh_new(0, 0, 0);
    EXPECT_EQ(empty->groups, nullptr);
    EXPECT_EQ(empty->group_count, 0);
    EXPECT_EQ(empty->blend, 0);
    EXPECT_EQ(empty->blend_src, (uint32_t)GL_ONE);
    EXPECT_EQ(empty->blend_dst, (uint32_t)GL_ONE);
    EXPECT_EQ(empty->display_list, 0u);
    for (int i = 0; i < 16; i++) EXPECT_EQ(empty->matrix[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    mesh_free(empty);

    Mesh* mesh = mesh_new(6, 4, 2);
    ASSERT_NE(mesh->groups, nullptr);
    EXPECT_EQ(mesh->group_count, 1);
    EXPECT_EQ(mesh->groups->next, nullptr);
    EXPECT_EQ(mesh->groups->prev, nullptr);
    ASSERT_EQ(mesh->groups->polygon_count, 6);
    for (int i = 0; i < 6; i++) {
        const Polygon* p = mesh->groups->polygons[i];
        EXPECT_EQ(p->vertex_count, 4);
        EXPECT_EQ(p->triangle_count, 2);
        EXPECT_EQ(p->texture, nullptr);
        EXPECT_EQ(p->hidden, 0);
    }
    mesh_free(mesh);
}

TEST(MeshTest, GroupListLinksAndLookup)
{
    Mesh* mesh = mesh_new(1, 3, 1);
    PolygonGroup* second = group_new(2, 3, 1);
    mesh_add_group(mesh, second);
    EXPECT_EQ(mesh->group_count, 2);
    EXPECT_EQ(mesh_group_at(mesh, 0), mesh->groups);
    EXPECT_EQ(mesh_group_at(mesh, 1), second);
    EXPECT_EQ(second->prev, mesh->groups);
    EXPECT_EQ(mesh_group_at(mesh, 2), nullptr);
    EXPECT_EQ(mesh_group_at(mesh, 5), nullptr);
    mesh_free(mesh);

    PolygonGroup* a = group_new(1, 3, 1);
    PolygonGroup* b = group_new(1, 3, 1);
    PolygonGroup* c = group_new(1, 3, 1);
    EXPECT_EQ(group_list_concat(nullptr, nullptr), nullptr);
    EXPECT_EQ(group_list_concat(a, nullptr), a);
    PolygonGroup* list = group_list_append(a, nullptr);
    EXPECT_EQ(list, a);
    list = group_list_concat(nullptr, list);
    EXPECT_EQ(list, a);
    // Stale links on the appended group must not survive.
    b->next = c;
    b->prev = c;
    list = group_list_append(b, list);
    EXPECT_EQ(list, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->prev, a);
    EXPECT_EQ(b->next, nullptr);
    PolygonGroup* d = group_new(1, 3, 1);
    c->next = nullptr;
    c->prev = nullptr;
    group_list_append(d, c);
    list = group_list_concat(list, c);
    EXPECT_EQ(b->next, c);
    EXPECT_EQ(c->prev, b);
    EXPECT_EQ(c->next, d);
    group_list_free(list);
}

TEST(MeshTest, ChainsAndGroupFromChain)
{
    EXPECT_EQ(chain_length(nullptr), 0u);
    Polygon* p[4];
    for (int i = 0; i < 4; i++) p[i] = polygon_new(3, 1);
    Polygon* chain = chain_append(p[0], nullptr);
    EXPECT_EQ(chain, p[0]);
    p[1]->next = p[3]; // stale link, cleared by the append
    chain = chain_append(p[1], chain);
    EXPECT_EQ(chain_length(chain), 2u);
    Polygon* other = chain_append(p[3], chain_append(p[2], nullptr));
    EXPECT_EQ(chain_concat(nullptr, other), other);
    chain = chain_concat(chain, other);
    EXPECT_EQ(chain_length(chain), 4u);
    chain_hide(chain);
    for (int i = 0; i < 4; i++) EXPECT_EQ(p[i]->hidden, 1) << i;

    PolygonGroup* group = group_from_chain(chain);
    ASSERT_EQ(group->polygon_count, 4);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(group->polygons[i], p[i]) << "chain order kept";
        EXPECT_EQ(p[i]->next, nullptr) << "links cleared";
    }
    EXPECT_EQ(group->next, nullptr);
    group_free(group);

    PolygonGroup* none = group_from_chain(nullptr);
    EXPECT_EQ(none->polygon_count, 0);
    EXPECT_EQ(none->polygons, nullptr);
    group_free(none);
}

TEST(MeshTest, CopyIsDeepAndTakesOverListAndBlend)
{
    Polygon* polys[2] = {polygon_from_xy(TRIANGLE, 3, 0xFF112233), polygon_from_xy(PENTAGON, 5, 0xFF445566)};
    Texture texture = {};
    polys[1]->texture = &texture;
    polys[1]->hidden = 1;
    Mesh* src = mesh_of(polys, 2);
    mesh_add_group(src, group_new(1, 3, 1));
    src->blend = 1;
    src->blend_src = GL_SRC_ALPHA;
    src->blend_dst = GL_ONE_MINUS_SRC_ALPHA;
    src->display_list = 77;
    mat_translate(src->matrix, 1, 2, 3);

    Mesh* copy = mesh_copy(src);
    EXPECT_EQ(copy->group_count, 2);
    EXPECT_EQ(copy->blend, 1);
    EXPECT_EQ(copy->blend_src, (uint32_t)GL_SRC_ALPHA);
    EXPECT_EQ(copy->blend_dst, (uint32_t)GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(copy->display_list, 77u);
    EXPECT_NE(copy->matrix, src->matrix);
    EXPECT_EQ(copy->matrix[12], 0.0f) << "matrix starts as identity, not copied";

    PolygonGroup* first = copy->groups;
    ASSERT_EQ(first->polygon_count, 2);
    PolygonGroup* second = mesh_group_at(copy, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->prev, first);
    EXPECT_NE(first->polygons[1], polys[1]);
    EXPECT_NE(first->polygons[1]->vertices, polys[1]->vertices);
    EXPECT_EQ(first->polygons[1]->vertex_count, 5);
    EXPECT_EQ(first->polygons[1]->triangle_count, 3);
    EXPECT_EQ(first->polygons[1]->texture, &texture);
    EXPECT_EQ(first->polygons[1]->hidden, 1);
    EXPECT_EQ(first->polygons[1]->vertices[4].colour, 0xFF445566u);
    first->polygons[0]->vertices[0].position.x = 9;
    EXPECT_EQ(polys[0]->vertices[0].position.x, 0.0f) << "source untouched";

    mesh_append_copy(copy, src);
    EXPECT_EQ(copy->group_count, 4);
    EXPECT_EQ(mesh_group_at(copy, 2)->polygon_count, 2);
    EXPECT_EQ(mesh_group_at(copy, 3)->prev, mesh_group_at(copy, 2));
    mesh_free(copy);
    mesh_free(src);
}

TEST(MeshTest, FanReverseAndPolygonGeometry)
{
    Polygon* p = polygon_from_xy(PENTAGON, 5, 0xFF000000);
    ASSERT_EQ(p->triangle_count, 3);
    const Triangle want[3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(p->triangles[k].a, want[k].a) << k;
        EXPECT_EQ(p->triangles[k].b, want[k].b) << k;
        EXPECT_EQ(p->triangles[k].c, want[k].c) << k;
    }

    Vec3 c = polygon_centroid(p);
    EXPECT_NEAR(c.x, 0, 1e-6);
    EXPECT_NEAR(c.y, -0.02f, 1e-6);
    float u, v;
    polygon_texcoord_centre(p, &u, &v);
    EXPECT_FLOAT_EQ(u, 0.2f);
    EXPECT_FLOAT_EQ(v, 0.6f);
    Vec3 n = polygon_normal(p);
    EXPECT_NEAR(n.z, 1, 1e-6) << "counter-clockwise seen from +Z";

    polygon_reverse(p);
    const int old_index[5] = {4, 3, 2, 1, 0};
    for (int i = 0; i < 5; i++) EXPECT_EQ(p->vertices[i].position.x, PENTAGON[old_index[i]][0]) << i;
    EXPECT_EQ(p->triangles[2].c, 4) << "triangles untouched";
    n = polygon_normal(p);
    EXPECT_NEAR(n.z, -1, 1e-6);

    p->vertices[0].normal = {0, 3, 0};
    Vec3 average = polygon_average_normal(p);
    EXPECT_NEAR(vec3_length(&average), 1, 1e-6);
    EXPECT_GT(average.y, 0.5f);
    polygon_flat_normal(p);
    for (int i = 0; i < 5; i++) EXPECT_NEAR(p->vertices[i].normal.z, -1, 1e-6) << i;
    polygon_free(p);

    Polygon* line = polygon_new(2, 0);
    polygon_set_position(line, 0, 0, 0, 0);
    polygon_set_position(line, 1, 1, 0, 0);
    Vec3 none = polygon_normal(line);
    EXPECT_EQ(none.x, 0.0f);
    EXPECT_EQ(none.y, 0.0f);
    EXPECT_EQ(none.z, 0.0f);
    polygon_make_fan(line);
    EXPECT_EQ(line->triangle_count, 0);
    polygon_free(line);
}

struct SortCase {
    float normal_z;
    float want[4][2];
};

TEST(MeshTest, SortConvexOrdersAboutAverageNormal)
{
    const float scrambled[4][2] = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
    const SortCase cases[] = {
        {1, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        {-1, {{0, 0}, {0, 1}, {1, 1}, {1, 0}}},
    };
    for (const SortCase& c : cases) {
        Polygon* p = polygon_from_xy(scrambled, 4, 0);
        for (int i = 0; i < 4; i++) p->vertices[i].normal = {0, 0, c.normal_z};
        // Tag the vertices so whole records are seen to move.
        for (int i = 0; i < 4; i++) p->vertices[i].colour = (uint32_t)(scrambled[i][0] * 2 + scrambled[i][1]);
        polygon_sort_convex(p);
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(p->vertices[i].position.x, c.want[i][0]) << "normal z " << c.normal_z << " vertex " << i;
            EXPECT_EQ(p->vertices[i].position.y, c.want[i][1]) << "normal z " << c.normal_z << " vertex " << i;
            EXPECT_EQ(p->vertices[i].colour, (uint32_t)(c.want[i][0] * 2 + c.want[i][1]));
        }
        polygon_free(p);
    }
}

TEST(MeshTest, SortConvexKeepsOrderWithoutAPlane)
{
    // All corners on one point (a bevel with factor 1): no plane can be formed.
    Polygon* p = polygon_new(4, 0);
    for (uint8_t i = 0; i < 4; i++) {
        polygon_set_position(p, i, 1, 2, 3);
        polygon_set_texcoord(p, i, i, 0);
        p->vertices[i].normal = {0, 1, 0};
    }
    polygon_sort_convex(p);
    for (int i = 0; i < 4; i++) EXPECT_EQ(p->vertices[i].u, (float)i);

    // Normals that cancel out give no axis to order about.
    const float square[4][2] = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
    Polygon* q = polygon_from_xy(square, 4, 0);
    q->vertices[0].normal = {0, 0, -1};
    q->vertices[1].normal = {0, 0, -1};
    polygon_sort_convex(q);
    for (int i = 0; i < 4; i++) EXPECT_EQ(q->vertices[i].position.x, square[i][0]) << i;
    polygon_free(p);
    polygon_free(q);
}

// What GL receives

// One vertex as GL_4D_COLOR_TEXTURE feedback reports it (window coordinates).
struct FedVertex {
    float x, y, z, w;
    float r, g, b, a;
    float s, t, tr, tq;
};

class MeshGlTest : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        // Object coordinates are clip coordinates: x in -1..1 maps to 0..800.
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
    }
    void TearDown() override
    {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    // Draws the mesh in feedback mode; returns its triangles' vertices.
    std::vector<std::vector<FedVertex>> feedback(Mesh* mesh)
    {
        std::vector<float> buffer(1 << 16);
        glFeedbackBuffer((GLsizei)buffer.size(), GL_4D_COLOR_TEXTURE, buffer.data());
        glRenderMode(GL_FEEDBACK);
        mesh_draw(mesh);
        int used = glRenderMode(GL_RENDER);
        std::vector<std::vector<FedVertex>> polygons;
        const int stride = sizeof(FedVertex) / sizeof(float);
        for (int i = 0; i < used;) {
            int token = (int)buffer[i++];
            if (token != GL_POLYGON_TOKEN) {
                ADD_FAILURE() << "unexpected feedback token " << token;
                break;
            }
            int count = (int)buffer[i++];
            std::vector<FedVertex> vertices(count);
            for (int k = 0; k < count; k++, i += stride) memcpy(&vertices[k], &buffer[i], sizeof(FedVertex));
            polygons.push_back(vertices);
        }
        return polygons;
    }

    static float window_x(float x) { return (x + 1) * 400; }
    static float window_y(float y) { return (y + 1) * 300; }
};

// Which input vertex of polygon p lies at a fed-back position; -1 if none.
int vertex_index_at(const Polygon* p, const FedVertex& f)
{
    for (int i = 0; i < p->vertex_count; i++) {
        const Vec3& q = p->vertices[i].position;
        if (fabsf((q.x + 1) * 400 - f.x) < 0.01f && fabsf((q.y + 1) * 300 - f.y) < 0.01f) return i;
    }
    return -1;
}

TEST_F(MeshGlTest, FanEmitsVerticesInOrderWithTheirAttributes)
{
    Polygon* p = polygon_from_xy(PENTAGON, 5, 0xFF404040);
    Mesh* mesh = mesh_of(&p, 1);
    auto triangles = feedback(mesh);
    ASSERT_EQ(triangles.size(), 3u);
    const int want[3][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
    for (int k = 0; k < 3; k++) {
        ASSERT_EQ(triangles[k].size(), 3u);
        // GL may start a triangle at any of its vertices; compare as a cycle.
        int first = vertex_index_at(p, triangles[k][0]);
        int rotation = first == want[k][0] ? 0 : first == want[k][1] ? 1 : 2;
        for (int i = 0; i < 3; i++) {
            const FedVertex& f = triangles[k][i];
            int index = vertex_index_at(p, f);
            EXPECT_EQ(index, want[k][(i + rotation) % 3]) << "triangle " << k << " corner " << i;
            if (index < 0) continue;
            EXPECT_NEAR(f.s, p->vertices[index].u, 1e-6);
            EXPECT_NEAR(f.t, p->vertices[index].v, 1e-6);
        }
    }
    mesh_free(mesh);
}

TEST_F(MeshGlTest, ColoursAreSentAsBytesRedGreenBlueAlpha)
{
    const struct {
        uint32_t colour;
        int r, g, b, a;
    } cases[] = {
        {0xFF404040, 64, 64, 64, 255},
        {0xFFF0F0F0, 240, 240, 240, 255},
        {0x80102030, 16, 32, 48, 128},
    };
    for (const auto& c : cases) {
        Polygon* p = polygon_from_xy(TRIANGLE, 3, c.colour);
        Mesh* mesh = mesh_of(&p, 1);
        auto triangles = feedback(mesh);
        ASSERT_EQ(triangles.size(), 1u);
        const FedVertex& f = triangles[0][0];
        EXPECT_NEAR(f.r * 255, c.r, 1e-3) << std::hex << c.colour;
        EXPECT_NEAR(f.g * 255, c.g, 1e-3) << std::hex << c.colour;
        EXPECT_NEAR(f.b * 255, c.b, 1e-3) << std::hex << c.colour;
        EXPECT_NEAR(f.a * 255, c.a, 1e-3) << std::hex << c.colour;
        mesh_free(mesh);
    }
}

TEST_F(MeshGlTest, HiddenPolygonRecordsItsBindButIsNotDrawn)
{
    Texture* first = texture_create(4, 4);
    Texture* last = texture_create(4, 4);
    texture_upload(first);
    texture_upload(last);
    Polygon* polys[2] = {polygon_from_xy(TRIANGLE, 3, 0xFFFFFFFF), polygon_from_xy(PENTAGON, 5, 0xFFFFFFFF)};
    polys[0]->texture = first;
    polys[1]->texture = last;
    polys[1]->hidden = 1;
    Mesh* mesh = mesh_of(polys, 2);
    auto triangles = feedback(mesh);
    EXPECT_EQ(triangles.size(), 1u) << "only the visible triangle";
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((GLuint)bound, last->gl_name) << "the hidden polygon's bind is in the list";

    // An untextured polygon binds name 0.
    polys[0]->texture = nullptr;
    Mesh* plain = mesh_of(&polys[0], 1);
    feedback(plain);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    plain->groups->polygon_count = 0; // owned by the first mesh
    mesh_free(plain);
    mesh_free(mesh);
    texture_destroy(first);
    texture_destroy(last);
}

// The list binds only where the texture changes: a texture that comes back
// after another, and an untextured polygon after textured ones, must still
// draw with their own.
TEST_F(MeshGlTest, EveryPolygonDrawsWithItsOwnTextureAcrossBindChanges)
{
    Texture* red = texture_create(4, 4);
    Texture* blue = texture_create(4, 4);
    texture_fill_rect(red, 0, 0, 3, 3, 0xFFFF0000);
    texture_fill_rect(blue, 0, 0, 3, 3, 0xFF0000FF);
    texture_upload(red);
    texture_upload(blue);
    const Texture* order[5] = {red, red, blue, red, nullptr};
    Polygon* polys[5];
    for (int i = 0; i < 5; i++) {
        const float x = -1 + 0.4f * i;
        const float quad[4][2] = {{x, -0.5f}, {x + 0.3f, -0.5f}, {x + 0.3f, 0.5f}, {x, 0.5f}};
        polys[i] = polygon_from_xy(quad, 4, 0xFFFFFFFF);
        polys[i]->texture = order[i];
    }
    Mesh* mesh = mesh_of(polys, 5);
    mesh_draw(mesh);
    const Rgb want[5] = {{255, 0, 0}, {255, 0, 0}, {0, 0, 255}, {255, 0, 0}, {255, 255, 255}};
    for (int i = 0; i < 5; i++) {
        const Rgb got = gl_read_pixel((int)window_x(-0.85f + 0.4f * i), 300);
        EXPECT_EQ(got.r, want[i].r) << "polygon " << i;
        EXPECT_EQ(got.g, want[i].g) << "polygon " << i;
        EXPECT_EQ(got.b, want[i].b) << "polygon " << i;
    }
    mesh_free(mesh);
    texture_destroy(red);
    texture_destroy(blue);
}

TEST_F(MeshGlTest, CompiledListIsKeptAndSharedByCopies)
{
    Polygon* p = polygon_from_xy(TRIANGLE, 3, 0xFFFFFFFF);
    Mesh* mesh = mesh_of(&p, 1);
    EXPECT_EQ(mesh->display_list, 0u);
    auto before = feedback(mesh);
    ASSERT_NE(mesh->display_list, 0u) << "first draw compiles";
    uint32_t list = mesh->display_list;
    mesh_compile(mesh);
    EXPECT_EQ(mesh->display_list, list) << "compiling twice keeps the list";

    Mesh* copy = mesh_copy(mesh);
    EXPECT_EQ(copy->display_list, list);
    mesh_translate(copy, 0.25f, 0.25f, 0);
    p->vertices[0].position.x = -0.5f;
    auto after = feedback(copy);
    ASSERT_EQ(after.size(), 1u);
    ASSERT_EQ(before.size(), 1u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(after[0][i].x, before[0][i].x) << "copy draws the source's list";
        EXPECT_EQ(after[0][i].y, before[0][i].y);
    }
    mesh_free(copy);
    mesh_free(mesh);
}

TEST_F(MeshGlTest, DrawAppliesTheMeshMatrixAndRestoresModelView)
{
    Polygon* p = polygon_from_xy(TRIANGLE, 3, 0xFFFFFFFF);
    Mesh* mesh = mesh_of(&p, 1);
    mat_translate(mesh->matrix, -0.5f, 0.25f, 0);
    glTranslatef(0, 0.25f, 0);
    auto triangles = feedback(mesh);
    ASSERT_EQ(triangles.size(), 1u);
    int index = vertex_index_at(p, triangles[0][0]);
    EXPECT_EQ(index, -1) << "drawn where the matrix puts it";
    float xs[3], ys[3];
    for (int i = 0; i < 3; i++) {
        xs[i] = triangles[0][i].x;
        ys[i] = triangles[0][i].y;
    }
    float min_x = std::min(xs[0], std::min(xs[1], xs[2]));
    float min_y = std::min(ys[0], std::min(ys[1], ys[2]));
    EXPECT_NEAR(min_x, window_x(-0.5f), 0.01f);
    EXPECT_NEAR(min_y, window_y(0.5f), 0.01f);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[13], 0.25f) << "caller's matrix restored";
    EXPECT_FLOAT_EQ(m[12], 0.0f);
    mesh_free(mesh);
}

// A blended quad in front of an opaque one: blending must add, and the blended
// quad must not write depth, so the opaque quad behind it still lands.
TEST_F(MeshGlTest, BlendedMeshSwitchesBlendAndDepthWritesAroundItsList)
{
    const float quad[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    Polygon* front = polygon_from_xy(quad, 4, 0xFF400000);
    for (int i = 0; i < 4; i++) front->vertices[i].position.z = -0.5f;
    Mesh* blended = mesh_of(&front, 1);
    blended->blend = 1;
    blended->blend_src = GL_ONE;
    blended->blend_dst = GL_ONE;
    Polygon* back = polygon_from_xy(quad, 4, 0xFF00FF00);
    Mesh* opaque = mesh_of(&back, 1);

    glClearColor(0, 0, 0.25f, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_ZERO, GL_ZERO); // the mesh must set its own factors
    mesh_draw(blended);
    Rgb added = gl_read_pixel(400, 300);
    EXPECT_EQ(added.r, 64);
    EXPECT_NEAR(added.b, 64, 1);
    GLboolean depth_write = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_write);
    EXPECT_TRUE(depth_write) << "depth writes back on after the draw";
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "blending off after the draw";

    mesh_draw(opaque);
    Rgb behind = gl_read_pixel(400, 300);
    EXPECT_EQ(behind.g, 255) << "the blended quad wrote no depth";
    EXPECT_EQ(behind.r, 0);

    // A caller's blending survives a mesh that does not blend.
    glEnable(GL_BLEND);
    mesh_draw(opaque);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);

    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    mesh_free(blended);
    mesh_free(opaque);
}

// A box compiled into a display list, lit by the scene light and seen through
// the window's projection and view base matrix, shows up in the frame.
TEST_F(GlTest, LitBoxShowsUpInAFrame)
{
    Mesh* box = mesh_box(0.5f, 0.5f, 0.5f, nullptr, 0xFFFFFFFF);
    mat_translate(box->matrix, 0, 0, 10);
    light_reset();
    light_apply(g_light, 0);
    lights_enable(1);
    state_enable(RS_LIGHTING);
    state_enable(RS_DEPTH_TEST);
    view_reset();
    mesh_draw(box);
    Rgb centre = gl_read_pixel(400, 300);
    Rgb corner = gl_read_pixel(10, 10);
    Rgb beside = gl_read_pixel(600, 300);
    state_disable(RS_LIGHTING);
    state_disable(RS_DEPTH_TEST);
    lights_enable(0);
    glLoadIdentity();
    EXPECT_NE(box->display_list, 0u);
    EXPECT_GT(centre.r, 200);
    EXPECT_GT(centre.g, 200);
    EXPECT_GT(centre.b, 200);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);
    EXPECT_EQ(beside.r + beside.g + beside.b, 0);
    mesh_free(box);
}

} // namespace
