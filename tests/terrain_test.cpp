// Terrain grid: strip indices, heights, normals and the compiled list.
#include "scenes/terrain.h"
#include "support/gl_test.h"
#include "texture/texture.h"

#include <GL/gl.h>
#include <cmath>
#include <vector>

namespace {

// A W x H map with every pixel a grey of the given level from a per-column table.
Texture* column_map(uint16_t w, uint16_t h, const std::vector<uint8_t>& column_grey)
{
    Texture* map = texture_create(w, h);
    for (uint32_t i = 0; i < (uint32_t)w * h; i++) {
        const uint32_t g = column_grey[i % w];
        map->pixels[i] = 0xFF000000u | g << 16 | g << 8 | g;
    }
    return map;
}

struct StripCase {
    uint16_t w, h;
    std::vector<uint32_t> indices;
};

TEST(TerrainTest, StripRunsRowPairsWithDegenerateJoins)
{
    const StripCase cases[] = {
        {2, 2, {0, 2, 1, 3}},
        {3, 2, {0, 3, 1, 4, 2, 5}},
        {3, 3, {0, 3, 1, 4, 2, 5, 5, 3, 3, 6, 4, 7, 5, 8}},
        {2, 4, {0, 2, 1, 3, 3, 2, 2, 4, 3, 5, 5, 4, 4, 6, 5, 7}},
    };
    for (const StripCase& c : cases) {
        Texture* map = texture_create(c.w, c.h);
        Terrain* terrain = terrain_new(map, 1, 1, 1);
        EXPECT_EQ(terrain->vertex_count, (uint32_t)c.w * c.h);
        ASSERT_EQ(terrain->index_count, c.indices.size()) << c.w << " x " << c.h;
        const std::vector<uint32_t> got(terrain->indices, terrain->indices + terrain->index_count);
        EXPECT_EQ(got, c.indices) << c.w << " x " << c.h;
        terrain_free(terrain);
        texture_destroy(map);
    }
}

TEST(TerrainTest, SceneSizedMapHasTheStripCounts)
{
    Texture* map = texture_create(128, 128);
    Terrain* terrain = terrain_new(map, 15, 100, 100);
    EXPECT_EQ(terrain->vertex_count, 16384u);
    EXPECT_EQ(terrain->index_count, 32764u);
    terrain_free(terrain);
    texture_destroy(map);
}

TEST(TerrainTest, SingleRowMapHasNoStrip)
{
    Texture* map = texture_create(4, 1);
    Terrain* terrain = terrain_new(map, 1, 1, 1);
    EXPECT_EQ(terrain->vertex_count, 4u);
    EXPECT_EQ(terrain->index_count, 0u);
    terrain_free(terrain);
    texture_destroy(map);
}

TEST(TerrainTest, GridEndsOneCellShortAndHeightIsMeanBrightness)
{
    // 4 x 2 map over 40 x 60 units, height 30; pixel 5 is (0x30, 0x60, 0x90): mean 96.
    Texture* map = texture_create(4, 2);
    map->pixels[5] = 0xFF306090;
    Terrain* terrain = terrain_new(map, 30, 40, 60);
    const Vertex& v = terrain->vertices[5]; // column 1, row 1
    EXPECT_FLOAT_EQ(v.u, 0.25f);
    EXPECT_FLOAT_EQ(v.v, 0.5f);
    EXPECT_FLOAT_EQ(v.position.x, 10.0f);
    EXPECT_FLOAT_EQ(v.position.z, 30.0f);
    EXPECT_FLOAT_EQ(v.position.y, 96.0f / 255.0f * 30.0f);
    const Vertex& last = terrain->vertices[7];
    EXPECT_FLOAT_EQ(last.position.x, 30.0f);
    EXPECT_FLOAT_EQ(last.position.z, 30.0f);
    EXPECT_EQ(last.position.y, 0.0f);
    EXPECT_EQ(last.colour, 0xFFFFFFFFu);
    EXPECT_EQ(terrain->texture, nullptr);
    EXPECT_EQ(terrain->display_list, 0u);
    terrain_free(terrain);
    texture_destroy(map);
}

struct NormalCase {
    const char* name;
    std::vector<uint8_t> columns; // grey per column of a 3 x 3 map
    float height;                 // with size_x 3 one column is one unit
    float nx, ny;                 // expected normal of every vertex
};

TEST(TerrainTest, NormalsPointUpAwayFromTheSlope)
{
    const float d = 1.0f / std::sqrt(2.0f);
    const NormalCase cases[] = {
        {"flat black", {0, 0, 0}, 15, 0, 1},
        {"rising along x", {0, 85, 170}, 3, -d, d},
        {"falling along x", {170, 85, 0}, 3, d, d},
    };
    for (const NormalCase& c : cases) {
        Texture* map = column_map(3, 3, c.columns);
        Terrain* terrain = terrain_new(map, c.height, 3, 3);
        for (uint32_t i = 0; i < terrain->vertex_count; i++) {
            const Vec3& n = terrain->vertices[i].normal;
            EXPECT_NEAR(n.x, c.nx, 1e-5) << c.name << " vertex " << i;
            EXPECT_NEAR(n.y, c.ny, 1e-5) << c.name << " vertex " << i;
            EXPECT_NEAR(n.z, 0.0f, 1e-5) << c.name << " vertex " << i;
        }
        terrain_free(terrain);
        texture_destroy(map);
    }
}

class TerrainDrawTest : public GlTest {};

TEST_F(TerrainDrawTest, CompilesOnceAndRecordsTheTextureSwitch)
{
    Texture* map = texture_create(3, 3);
    Texture* surface = texture_create(2, 2);
    texture_upload(surface);
    Terrain* textured = terrain_new(map, 1, 1, 1);
    textured->texture = surface;
    Terrain* plain = terrain_new(map, 1, 1, 1);

    terrain_compile(textured);
    const uint32_t list = textured->display_list;
    EXPECT_NE(list, 0u);
    terrain_compile(textured);
    EXPECT_EQ(textured->display_list, list);

    // Compiling records the switch without applying it; calling applies it.
    glDisable(GL_TEXTURE_2D);
    texture_bind(nullptr);
    terrain_draw(textured);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((GLuint)bound, surface->gl_name);
    terrain_draw(plain);
    EXPECT_NE(plain->display_list, 0u);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glEnable(GL_TEXTURE_2D);

    terrain_free(textured);
    terrain_free(plain);
    texture_destroy(surface);
    texture_destroy(map);
}

} // namespace
