// The Texture record's life cycle against the real offscreen GL: creation,
// the dot sprite, upload with mipmaps, re-upload, release, bind and the
// magnification filter as seen in drawn pixels.
#include "render/render.h"
#include "render/transform.h"
#include "support/gl_test.h"
#include "texture/texture.h"

#include <GL/gl.h>
#include <cstdlib>
#include <set>
#include <vector>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

namespace {

GLuint bound_texture()
{
    GLint name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return (GLuint)name;
}

// Level of the bound texture as 0xAARRGGBB words.
std::vector<uint32_t> read_level(int level, int width, int height)
{
    std::vector<uint32_t> words((size_t)width * height, 0xDEADBEEF);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, level, GL_BGRA, GL_UNSIGNED_BYTE, words.data());
    return words;
}

GLint level_width(int level)
{
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
}

TEST(Texture, NewTextureIsAllZeroAndNotUploaded)
{
    const uint16_t sizes[][2] = {{1, 1}, {8, 8}, {96, 96}, {32, 1024}};
    for (const auto& s : sizes) {
        Texture* t = texture_create(s[0], s[1]);
        EXPECT_EQ(t->width, s[0]);
        EXPECT_EQ(t->height, s[1]);
        EXPECT_EQ(t->uploaded, 0);
        EXPECT_EQ(t->mag_filter, (uint32_t)GL_LINEAR);
        for (int i = 0; i < s[0] * s[1]; i++) ASSERT_EQ(t->pixels[i], 0u) << s[0] << "x" << s[1] << " word " << i;
        texture_destroy(t); // never uploaded: no GL context needed
    }
}

TEST(Texture, DotSpriteIsAnOpaqueCentreWithDimRimAndClearCorners)
{
    Texture* dot = texture_create_dot();
    ASSERT_EQ(dot->width, 4);
    ASSERT_EQ(dot->height, 4);
    EXPECT_EQ(dot->uploaded, 0);
    EXPECT_EQ(dot->mag_filter, (uint32_t)GL_LINEAR);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            const bool inner_x = x == 1 || x == 2, inner_y = y == 1 || y == 2;
            const uint32_t expected = inner_x && inner_y   ? 0xFFFFFFFFu
                                      : inner_x || inner_y ? 0x49494949u
                                                           : 0x00000000u;
            EXPECT_EQ(dot->pixels[x + 4 * y], expected) << x << ", " << y;
        }
    texture_destroy(dot);
}

class TextureGlTest : public GlTest {};

TEST_F(TextureGlTest, UploadKeepsTheTextureBoundWithMipmapsAndFilters)
{
    Texture* t = texture_create(8, 4);
    for (int i = 0; i < 32; i++) t->pixels[i] = 0x80102030u + (uint32_t)i * 0x01010101u;
    texture_upload(t);
    EXPECT_EQ(t->uploaded, 1);
    EXPECT_TRUE(glIsTexture(t->gl_name));
    EXPECT_EQ(bound_texture(), t->gl_name);
    GLint mag = 0, min = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    EXPECT_EQ(mag, GL_LINEAR);
    EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);

    // Level 0 is the processor copy word for word; the chain goes down to 1 x 1.
    EXPECT_EQ(read_level(0, 8, 4), std::vector<uint32_t>(t->pixels, t->pixels + 32));
    EXPECT_EQ(level_width(1), 4);
    EXPECT_EQ(level_width(2), 2);
    EXPECT_EQ(level_width(3), 1);

    // 0xAARRGGBB words reach GL as red 0x10, green 0x20, blue 0x30, alpha 0x80.
    uint8_t rgba[32 * 4];
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_EQ(rgba[0], 0x10);
    EXPECT_EQ(rgba[1], 0x20);
    EXPECT_EQ(rgba[2], 0x30);
    EXPECT_EQ(rgba[3], 0x80);
    texture_destroy(t);
}

TEST_F(TextureGlTest, NewTextureUploadsAsTransparentBlack)
{
    Texture* t = texture_create(16, 16);
    texture_upload(t);
    const std::vector<uint32_t> level = read_level(0, 16, 16);
    for (uint32_t word : level) ASSERT_EQ(word, 0u);
    texture_destroy(t);
}

TEST_F(TextureGlTest, ReuploadReplacesTheObjectWithTheNewPixels)
{
    Texture* t = texture_create(4, 4);
    texture_upload(t);
    const GLuint first = t->gl_name;
    t->pixels[5] = 0xFF00FF00u;
    texture_upload(t);
    EXPECT_EQ(t->uploaded, 1);
    EXPECT_EQ(bound_texture(), t->gl_name);
    if (t->gl_name != first) {
        EXPECT_FALSE(glIsTexture(first)) << "old object deleted";
    }
    EXPECT_EQ(read_level(0, 4, 4)[5], 0xFF00FF00u);
    texture_destroy(t);
}

TEST_F(TextureGlTest, ReleaseDeletesTheObjectAndKeepsThePixels)
{
    Texture* t = texture_create_dot();
    Texture* other = texture_create(2, 2);
    texture_upload(other);

    // Not uploaded: nothing changes, the other texture stays bound.
    texture_release(t);
    EXPECT_EQ(t->uploaded, 0);
    EXPECT_EQ(bound_texture(), other->gl_name);

    texture_upload(t);
    const GLuint name = t->gl_name;
    texture_release(t);
    EXPECT_EQ(t->uploaded, 0);
    EXPECT_EQ(bound_texture(), 0u);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(t->pixels[5], 0xFFFFFFFFu);
    EXPECT_EQ(t->pixels[1], 0x49494949u);
    texture_release(t); // twice is harmless
    EXPECT_EQ(t->uploaded, 0);

    texture_bind(other);
    EXPECT_EQ(bound_texture(), other->gl_name);
    texture_bind(nullptr);
    EXPECT_EQ(bound_texture(), 0u);

    const GLuint other_name = other->gl_name;
    texture_destroy(other);
    EXPECT_FALSE(glIsTexture(other_name)) << "destroy releases an uploaded texture";
    texture_destroy(t);
}

// Draws a 2 x 2 black/white checker stretched over 256 x 256 overlay pixels
// from (100, 100) and returns the distinct red levels along one row.
std::set<int> magnified_levels(uint32_t mag_filter)
{
    Texture* t = texture_create(2, 2);
    t->pixels[0] = t->pixels[3] = 0xFF000000u;
    t->pixels[1] = t->pixels[2] = 0xFFFFFFFFu;
    t->mag_filter = mag_filter;
    texture_upload(t);

    state_enable(RS_TEXTURE);
    overlay_begin();
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2i(100, 100);
    glTexCoord2f(1, 0), glVertex2i(356, 100);
    glTexCoord2f(1, 1), glVertex2i(356, 356);
    glTexCoord2f(0, 1), glVertex2i(100, 356);
    glEnd();
    overlay_end();
    texture_destroy(t);

    std::set<int> levels;
    for (int x = 100; x < 356; x++) levels.insert(gl_read_pixel(x, 160).r);
    return levels;
}

TEST_F(TextureGlTest, NearestMagnifiesHardEdgedAndLinearBlends)
{
    EXPECT_EQ(magnified_levels(GL_NEAREST), (std::set<int>{0, 255}));
    const std::set<int> linear = magnified_levels(GL_LINEAR);
    EXPECT_GT(linear.size(), 50u) << "a ramp between the texels";
    EXPECT_LT(*linear.begin(), 16);
    EXPECT_GT(*linear.rbegin(), 239);
}

TEST_F(TextureGlTest, FailedMipmapBuildStopsWithTheAssertion)
{
    // This style runs the program again, which qemu-user cannot do for its
    // target's programs (scripts/test --arch sets QH_EMULATED then).
    if (getenv("QH_EMULATED")) GTEST_SKIP() << "a death test in a program of its own, under an emulator";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Texture* empty = texture_create(0, 4); // GLU refuses a zero width
            texture_upload(empty);
        },
        "texture_upload.*result == 0");
}

} // namespace
