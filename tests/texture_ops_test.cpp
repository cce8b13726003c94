// Texture operators on tiny asymmetric images: exact per-channel numbers,
// symmetry, rand() order, and clipping at the edges of the pixel block.
#include "texture/texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A texture whose pixel block sits between two runs of canary words, so that
// any write outside the block shows.
const int GUARD_WORDS = 64;
const uint32_t CANARY = 0xDEADBEEF;

struct Guarded {
    Texture* t;
    uint32_t* own_pixels;
    std::vector<uint32_t> block;
};

Guarded guarded_create(uint16_t w, uint16_t h)
{
    Guarded g;
    g.t = texture_create(w, h);
    g.own_pixels = g.t->pixels;
    g.block.assign((size_t)w * h + 2 * GUARD_WORDS, CANARY);
    for (size_t i = 0; i < (size_t)w * h; i++) g.block[GUARD_WORDS + i] = 0;
    g.t->pixels = g.block.data() + GUARD_WORDS;
    return g;
}

bool guards_intact(const Guarded& g)
{
    const size_t n = (size_t)g.t->width * g.t->height;
    for (int i = 0; i < GUARD_WORDS; i++)
        if (g.block[i] != CANARY || g.block[GUARD_WORDS + n + i] != CANARY) return false;
    return true;
}

void guarded_destroy(Guarded& g)
{
    g.t->pixels = g.own_pixels;
    texture_destroy(g.t);
}

uint32_t px(const Texture* t, int x, int y) { return t->pixels[(size_t)y * t->width + x]; }
void set_px(Texture* t, int x, int y, uint32_t c) { t->pixels[(size_t)y * t->width + x] = c; }
int ch(uint32_t p, int shift) { return (int)((p >> shift) & 0xFF); }

Texture* filled(uint16_t w, uint16_t h, uint32_t colour)
{
    Texture* t = texture_create(w, h);
    for (size_t i = 0; i < (size_t)w * h; i++) t->pixels[i] = colour;
    return t;
}

int count_colour(const Texture* t, uint32_t colour)
{
    int n = 0;
    for (size_t i = 0; i < (size_t)t->width * t->height; i++) n += t->pixels[i] == colour;
    return n;
}

// ---------------------------------------------------------------------------
// Colour operators

TEST(TextureOps, FillRectAcceptsCornersInEitherOrder)
{
    Texture* a = texture_create(8, 7);
    Texture* b = texture_create(8, 7);
    texture_fill_rect(a, 5, 5, 2, 2, 0xFF112233);
    texture_fill_rect(b, 2, 2, 5, 5, 0xFF112233);
    EXPECT_EQ(count_colour(a, 0xFF112233), 16);
    for (int y = 0; y < 7; y++)
        for (int x = 0; x < 8; x++) {
            const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
            EXPECT_EQ(px(a, x, y), inside ? 0xFF112233u : 0u) << x << "," << y;
            EXPECT_EQ(px(b, x, y), px(a, x, y));
        }
    texture_destroy(a);
    texture_destroy(b);
}

TEST(TextureOps, NoiseWithAmplitudeOneOrZeroChangesNothing)
{
    Texture* t = texture_create(5, 3);
    texture_noise(t, 1, false, true);
    texture_noise(t, 1, true, true);
    EXPECT_EQ(count_colour(t, 0), 15);

    // Amplitude 0 would divide by zero: the image stays and no number is drawn.
    set_px(t, 1, 2, 0x80402010);
    srand(11);
    const int expected_next = rand();
    srand(11);
    texture_noise(t, 0, false, true);
    texture_noise(t, 0, true, false);
    EXPECT_EQ(rand(), expected_next);
    EXPECT_EQ(px(t, 1, 2), 0x80402010u);
    EXPECT_EQ(count_colour(t, 0), 14);
    texture_destroy(t);
}

TEST(TextureOps, GreyNoiseIsEqualOnColourChannelsAndKeepsAlpha)
{
    Texture* t = filled(16, 9, 0x7F000000);
    srand(3);
    texture_noise(t, 16, false, false);
    int lowest = 255, highest = 0;
    for (size_t i = 0; i < 16 * 9; i++) {
        const uint32_t p = t->pixels[i];
        ASSERT_EQ(ch(p, 24), 0x7F);
        ASSERT_EQ(ch(p, 16), ch(p, 8));
        ASSERT_EQ(ch(p, 8), ch(p, 0));
        lowest = std::min(lowest, ch(p, 0));
        highest = std::max(highest, ch(p, 0));
    }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 15);
    texture_destroy(t);
}

TEST(TextureOps, NoiseNeverWrapsAChannel)
{
    const bool modes[][2] = {{false, false}, {false, true}, {true, false}, {true, true}};
    for (const auto& m : modes) {
        Texture* t = filled(16, 16, 0xFAFAFAFA);
        texture_noise(t, 64, m[0], m[1]);
        for (size_t i = 0; i < 256; i++)
            for (int shift = 0; shift < 32; shift += 8) {
                ASSERT_GE(ch(t->pixels[i], shift), 250) << "independent " << m[0] << " alpha " << m[1];
            }
        texture_destroy(t);
    }
}

// The numbers are drawn per pixel in a fixed order: grey noise draws its
// shared value and then alpha; colour noise draws alpha, R, G, B.
TEST(TextureOps, NoiseDrawsRandomNumbersInRecipeOrder)
{
    const int amplitude = 200;
    srand(17);
    int r[4];
    for (int& v : r) v = rand() % amplitude;

    Texture* t = texture_create(1, 1);
    srand(17);
    texture_noise(t, amplitude, false, true);
    EXPECT_EQ(t->pixels[0], (uint32_t)(r[1] << 24 | r[0] << 16 | r[0] << 8 | r[0]));

    t->pixels[0] = 0;
    srand(17);
    texture_noise(t, amplitude, true, true);
    EXPECT_EQ(t->pixels[0], (uint32_t)(r[0] << 24 | r[1] << 16 | r[2] << 8 | r[3]));

    t->pixels[0] = 0;
    srand(17);
    texture_noise(t, amplitude, true, false);
    EXPECT_EQ(t->pixels[0], (uint32_t)(r[0] << 16 | r[1] << 8 | r[2]));
    texture_destroy(t);
}

TEST(TextureOps, PerChannelOperatorsGiveExactValues)
{
    struct Case {
        const char* name;
        void (*op)(Texture*);
        uint32_t in, out;
    };
    const Case cases[] = {
        {"min white", [](Texture* t) { texture_min_color(t, 0xFFFFFFFF); }, 0x12345678, 0x12345678},
        {"min zero", [](Texture* t) { texture_min_color(t, 0x00000000); }, 0x12345678, 0x12000000},
        {"min tint", [](Texture* t) { texture_min_color(t, 0x00FF8000); }, 0x80C0C0C0, 0x80C08000},
        {"bright x2", [](Texture* t) { texture_brightness(t, 2.0f); }, 0x806480C8, 0x80C8FFFF},
        {"bright x0.5", [](Texture* t) { texture_brightness(t, 0.5f); }, 0x40FF0103, 0x407F0001},
        {"bright <0", [](Texture* t) { texture_brightness(t, -1.0f); }, 0x40FF0103, 0x40000000},
        {"contrast x2", [](Texture* t) { texture_contrast(t, 2.0f); }, 0x106414C8, 0x104800FF},
        {"invert", [](Texture* t) { texture_invert(t); }, 0x3300FF10, 0x33FF00EF},
        {"grey white", [](Texture* t) { texture_greyscale(t); }, 0x01FFFFFF, 0x01FEFEFE},
        {"grey red", [](Texture* t) { texture_greyscale(t); }, 0x020A0000, 0x02030303},
        {"grey blue", [](Texture* t) { texture_greyscale(t); }, 0x030000FF, 0x03191919},
        {"alpha avg", [](Texture* t) { texture_alpha_from_brightness(t); }, 0xAA010102, 0x01010102},
        {"alpha white", [](Texture* t) { texture_alpha_from_brightness(t); }, 0x00FFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        Texture* t = filled(3, 2, c.in);
        c.op(t);
        EXPECT_EQ(count_colour(t, c.out), 6) << c.name << std::hex << " got 0x" << t->pixels[0];
        texture_destroy(t);
    }
}

TEST(TextureOps, SpeckleMovesHalfwayToTheColourByChance)
{
    Texture* t = filled(8, 4, 0x10204080);
    texture_speckle(t, 0, 0xFF1E78FF);
    EXPECT_EQ(count_colour(t, 0x10204080), 32);
    // rand() % 255 is always below 255: every pixel moves, alpha included.
    texture_speckle(t, 255, 0xFF1E78FF);
    EXPECT_EQ(count_colour(t, 0x871F5CBF), 32);

    Texture* s = texture_create(64, 64);
    texture_speckle(s, 30, 0xFF1E78FF);
    const int hit = 64 * 64 - count_colour(s, 0);
    EXPECT_GT(hit, 64 * 64 * 30 / 255 / 2);
    EXPECT_LT(hit, 64 * 64 * 30 / 255 * 2);
    texture_destroy(s);
    texture_destroy(t);
}

TEST(TextureOps, RandomAlphaTakesOnlyItsTwoLevelsAndKeepsColour)
{
    Texture* t = filled(16, 16, 0x00123456);
    texture_random_alpha_hard(t);
    const int opaque = count_colour(t, 0xFF123456);
    EXPECT_EQ(opaque + count_colour(t, 0x00123456), 256);
    EXPECT_GT(opaque, 64);
    EXPECT_LT(opaque, 192);
    texture_random_alpha_soft(t);
    EXPECT_EQ(count_colour(t, 0xC8123456) + count_colour(t, 0x32123456), 256);
    texture_destroy(t);
}

// ---------------------------------------------------------------------------
// Emboss

TEST(TextureOps, EmbossOfAUniformImageIsGrey127WithOwnAlpha)
{
    Texture* t = filled(8, 8, 0x5A9C3F11);
    texture_emboss(t, 64);
    EXPECT_EQ(count_colour(t, 0x5A7F7F7F), 64);
    texture_destroy(t);
}

// One white pixel (grey value 254) in a black 4 x 4 image; strength 64 scales
// the difference 254 / 4 by 1.28: 127 - 81.28 -> 45, 127 + 81.28 -> 208.
TEST(TextureOps, EmbossReadsTheImageAsOneWrappedLine)
{
    struct Case {
        int white, pixel, grey;
    };
    const Case cases[] = {
        {5, 4, 45}, {5, 6, 208}, {5, 1, 208}, {5, 9, 45}, {5, 5, 127}, {5, 0, 127},
        // Wrapping: the last pixel's right neighbour is the first pixel, the
        // bottom row's lower neighbour the top row, a row start's left
        // neighbour the previous row's end.
        {0, 15, 45}, {0, 12, 208}, {0, 1, 208}, {0, 4, 45}, {3, 4, 208}, {3, 15, 208},
    };
    for (const Case& c : cases) {
        Texture* t = filled(4, 4, 0xFF000000);
        t->pixels[c.white] = 0xFFFFFFFF;
        texture_emboss(t, 64);
        const uint32_t expected = 0xFF000000u | (uint32_t)c.grey * 0x010101u;
        EXPECT_EQ(t->pixels[c.pixel], expected) << "white " << c.white << " pixel " << c.pixel;
        texture_destroy(t);
    }
}

// ---------------------------------------------------------------------------
// Resize, mirror tiling, clouds

// Channels chosen so that averages of two or four neighbours truncate.
const uint32_t QUAD[4] = {0x00000A01, 0x10650B03, 0xC8C80C06, 0xFFFF0D0A};

TEST(TextureOps, ResizeNearestRepeatsEachPixelAsABlock)
{
    Texture* t = texture_create(2, 2);
    for (int i = 0; i < 4; i++) t->pixels[i] = QUAD[i];
    texture_resize(t, 4, 4, TEXTURE_RESIZE_NEAREST);
    ASSERT_EQ(t->width, 4);
    ASSERT_EQ(t->height, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(px(t, x, y), QUAD[(y / 2) * 2 + x / 2]) << x << "," << y;
    texture_destroy(t);
}

TEST(TextureOps, ResizeBilinearInterpolatesAndClampsTheEdge)
{
    Texture* t = texture_create(2, 2);
    for (int i = 0; i < 4; i++) t->pixels[i] = QUAD[i];
    texture_resize(t, 4, 4, TEXTURE_RESIZE_BILINEAR);
    // Columns: 0 -> old 0, 1 -> truncated mean of old 0 and 1, 2 and 3 -> old 1.
    const uint32_t row0[4] = {QUAD[0], 0x08320A02, QUAD[1], QUAD[1]};
    const uint32_t row1[4] = {0x64640B03, 0x758B0B05, 0x87B20C06, 0x87B20C06};
    const uint32_t row2[4] = {QUAD[2], 0xE3E30C08, QUAD[3], QUAD[3]};
    for (int x = 0; x < 4; x++) {
        EXPECT_EQ(px(t, x, 0), row0[x]) << x;
        EXPECT_EQ(px(t, x, 1), row1[x]) << x;
        EXPECT_EQ(px(t, x, 2), row2[x]) << x;
        EXPECT_EQ(px(t, x, 3), row2[x]) << x;
    }
    texture_destroy(t);
}

TEST(TextureOps, ResizeBoxAveragesWhenShrinking)
{
    Texture* t = texture_create(4, 2);
    for (int i = 0; i < 4; i++) {
        set_px(t, i % 2, i / 2, QUAD[i]);
        set_px(t, 2 + i % 2, i / 2, 0xFF0000FF);
    }
    texture_resize(t, 2, 1, TEXTURE_RESIZE_BOX);
    EXPECT_EQ(px(t, 0, 0), 0x758B0B05u);
    EXPECT_EQ(px(t, 1, 0), 0xFF0000FFu);
    texture_destroy(t);
}

TEST(TextureOps, ResizeWithUnknownModeOrEmptySourceGivesZeros)
{
    Texture* t = filled(3, 3, 0xFFFFFFFF);
    texture_resize(t, 5, 2, 9);
    EXPECT_EQ(t->width, 5);
    EXPECT_EQ(t->height, 2);
    EXPECT_EQ(count_colour(t, 0), 10);
    texture_destroy(t);

    Texture* e = texture_create(0, 0);
    texture_resize(e, 2, 2, TEXTURE_RESIZE_BILINEAR);
    EXPECT_EQ(count_colour(e, 0), 4);
    texture_destroy(e);
}

// A uniform image stays uniform at any factor: nothing is read from outside
// the source. Bilinear weights that do not sum to exactly 1 in float may
// truncate a channel one step lower.
TEST(TextureOps, ResizeByUnevenFactorsStaysInsideTheSource)
{
    const int modes[] = {TEXTURE_RESIZE_NEAREST, TEXTURE_RESIZE_BILINEAR, TEXTURE_RESIZE_BOX};
    const uint16_t sizes[][2] = {{96, 96}, {7, 5}, {1, 13}, {3, 200}};
    const uint32_t colour = 0x80604020;
    for (int mode : modes)
        for (const auto& s : sizes) {
            Texture* t = filled(13, 7, colour);
            texture_resize(t, s[0], s[1], mode);
            for (size_t i = 0; i < (size_t)s[0] * s[1]; i++) {
                if (mode != TEXTURE_RESIZE_BILINEAR) {
                    ASSERT_EQ(t->pixels[i], colour) << "mode " << mode << " size " << s[0];
                    continue;
                }
                for (int shift = 0; shift < 32; shift += 8) {
                    const int d = ch(colour, shift) - ch(t->pixels[i], shift);
                    ASSERT_TRUE(d == 0 || d == 1) << "size " << s[0] << " pixel " << i;
                }
            }
            texture_destroy(t);
        }
}

TEST(TextureOps, MirrorTileDoublesWithMirroredQuadrants)
{
    Texture* t = texture_create(3, 2);
    for (int i = 0; i < 6; i++) t->pixels[i] = 0xFF000000u + (uint32_t)i * 0x010203u + 1;
    Texture* original = texture_create(3, 2);
    texture_copy_pixels(t, original);
    texture_mirror_tile(t);
    ASSERT_EQ(t->width, 6);
    ASSERT_EQ(t->height, 4);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) {
            const uint32_t p = px(original, x, y);
            EXPECT_EQ(px(t, x, y), p);
            EXPECT_EQ(px(t, 5 - x, y), p);
            EXPECT_EQ(px(t, x, 3 - y), p);
            EXPECT_EQ(px(t, 5 - x, 3 - y), p);
        }
    texture_destroy(original);
    texture_destroy(t);
}

TEST(TextureOps, CloudsOnAFreshTextureStayGreyAndAtMost129)
{
    const uint16_t sizes[] = {64, 128, 4};
    for (uint16_t size : sizes) {
        Texture* t = texture_create(size, size);
        srand(1);
        texture_clouds(t);
        int highest = 0;
        for (size_t i = 0; i < (size_t)size * size; i++) {
            const uint32_t p = t->pixels[i];
            ASSERT_EQ(ch(p, 24), 0);
            ASSERT_EQ(ch(p, 16), ch(p, 0));
            ASSERT_EQ(ch(p, 8), ch(p, 0));
            highest = std::max(highest, ch(p, 0));
        }
        EXPECT_LE(highest, 129) << size;
        if (size >= 64) { EXPECT_GT(highest, 64) << size; }

        // Same generator state, same image: textures made at load time repeat.
        Texture* again = texture_create(size, size);
        srand(1);
        texture_clouds(again);
        EXPECT_EQ(memcmp(t->pixels, again->pixels, (size_t)size * size * 4), 0);
        texture_destroy(again);
        texture_destroy(t);
    }
}

TEST(TextureOps, CombineWorksPerChannelOnAllFour)
{
    struct Case {
        int mode;
        uint32_t out;
    };
    const uint32_t a = 0xF0801008, b = 0x20907004;
    const Case cases[] = {
        {TEXTURE_COMBINE_ADD, 0xFFFF800C},
        {TEXTURE_COMBINE_SUBTRACT, 0xD0000004},
        {TEXTURE_COMBINE_AVERAGE, 0x88884006},
        {0, a},
        {7, a},
    };
    for (const Case& c : cases) {
        Texture* t = filled(2, 3, a);
        Texture* s = filled(2, 3, b);
        texture_combine(t, s, c.mode);
        EXPECT_EQ(count_colour(t, c.out), 6) << "mode " << c.mode << std::hex << " got 0x" << t->pixels[0];
        texture_destroy(s);
        texture_destroy(t);
    }
}

// ---------------------------------------------------------------------------
// Images of another size and coordinates outside the image

TEST(TextureOps, SecondImageOfAnotherSizeIsLeftAlone)
{
    const uint16_t other[][2] = {{2, 3}, {3, 2}, {8, 8}, {1, 1}};
    for (const auto& s : other) {
        Guarded g = guarded_create(3, 3);
        Texture* second = filled(s[0], s[1], 0x01010101);
        texture_fill_rect(g.t, 0, 0, 2, 2, 0x10101010);
        texture_combine(g.t, second, TEXTURE_COMBINE_ADD);
        EXPECT_EQ(count_colour(g.t, 0x10101010), 9);
        texture_copy_pixels(second, g.t);
        EXPECT_EQ(count_colour(g.t, 0x10101010), 9);
        texture_copy_pixels(g.t, second);
        EXPECT_EQ(count_colour(second, 0x01010101), s[0] * s[1]);
        EXPECT_TRUE(guards_intact(g));
        texture_destroy(second);
        guarded_destroy(g);
    }
}

TEST(TextureOps, DrawingOutsideTheImageIsClipped)
{
    struct Case {
        const char* name;
        void (*draw)(Texture*);
        int expected_set; // pixels of the 6 x 5 image that end up set
    };
    const uint32_t c = 0xFFABCDEF;
    const Case cases[] = {
        {"put outside", [](Texture* t) { texture_put_pixel(t, 6, 0, 0xFFABCDEF); texture_put_pixel(t, 0, 5, 0xFFABCDEF); }, 0},
        {"put corner", [](Texture* t) { texture_put_pixel(t, 5, 4, 0xFFABCDEF); }, 1},
        {"fill past edges", [](Texture* t) { texture_fill_rect(t, 65535, 65535, 3, 2, 0xFFABCDEF); }, 9},
        {"fill outside", [](Texture* t) { texture_fill_rect(t, 6, 0, 9, 9, 0xFFABCDEF); }, 0},
        {"hspan past end", [](Texture* t) { texture_draw_hspan(t, 4, 4, 65535, 0xFFABCDEF); }, 2},
        {"vspan past end", [](Texture* t) { texture_draw_vspan(t, 5, 3, 10, 0xFFABCDEF); }, 2},
        {"line off image", [](Texture* t) { texture_draw_line(t, 2, 1, 60000, 1, 0xFFABCDEF); }, 4},
        {"line far off", [](Texture* t) { texture_draw_line(t, 100, 100, 200, 300, 0xFFABCDEF); }, 0},
        {"rect past edges", [](Texture* t) { texture_draw_rect(t, 3, 2, 60, 70, 0xFFABCDEF); }, 5},
        {"circle at corner", [](Texture* t) { texture_draw_circle(t, 0, 0, 3, 0xFFABCDEF); }, -1},
        {"circle huge", [](Texture* t) { texture_draw_circle(t, 3, 2, 2000, 0xFFABCDEF); }, 0},
        {"disc at corner", [](Texture* t) { texture_fill_disc(t, 5, 4, 4, 0xFFABCDEF); }, -1},
        {"disc over all", [](Texture* t) { texture_fill_disc(t, 3, 2, 100, 0xFFABCDEF); }, 30},
    };
    for (const Case& k : cases) {
        Guarded g = guarded_create(6, 5);
        k.draw(g.t);
        EXPECT_TRUE(guards_intact(g)) << k.name;
        const int set = count_colour(g.t, c);
        if (k.expected_set >= 0) {
            EXPECT_EQ(set, k.expected_set) << k.name;
        } else {
            EXPECT_GT(set, 0) << k.name;
        }
        EXPECT_EQ(set + count_colour(g.t, 0), 30) << k.name;
        guarded_destroy(g);
    }
}

TEST(TextureOps, SpansAndRectanglesCoverTheirInclusiveEnds)
{
    Texture* t = texture_create(8, 8);
    texture_draw_hspan(t, 1, 2, 3, 0xFF000001);
    texture_draw_vspan(t, 6, 1, 0, 0xFF000002);
    EXPECT_EQ(count_colour(t, 0xFF000001), 4);
    for (int x = 1; x <= 4; x++) EXPECT_EQ(px(t, x, 2), 0xFF000001u);
    EXPECT_EQ(count_colour(t, 0xFF000002), 1);
    EXPECT_EQ(px(t, 6, 1), 0xFF000002u);

    Texture* r = texture_create(8, 8);
    texture_draw_rect(r, 5, 6, 1, 2, 0xFF000003);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            const bool inside = x >= 1 && x <= 5 && y >= 2 && y <= 6;
            const bool edge = inside && (x == 1 || x == 5 || y == 2 || y == 6);
            EXPECT_EQ(px(r, x, y), edge ? 0xFF000003u : 0u) << x << "," << y;
        }
    texture_destroy(r);
    texture_destroy(t);
}

// Every line between two points of an 8 x 8 grid draws both ends and one
// pixel per step of its longer axis, each next to the previous one.
TEST(TextureOps, LinesDrawBothEndsAndOnePixelPerStep)
{
    for (int a = 0; a < 64; a++)
        for (int b = 0; b < 64; b++) {
            const int x0 = a % 8, y0 = a / 8, x1 = b % 8, y1 = b / 8;
            Texture* t = texture_create(8, 8);
            texture_draw_line(t, x0, y0, x1, y1, 0xFFFFFFFF);
            ASSERT_EQ(px(t, x0, y0), 0xFFFFFFFFu);
            ASSERT_EQ(px(t, x1, y1), 0xFFFFFFFFu);
            const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
            ASSERT_EQ(count_colour(t, 0xFFFFFFFF), steps + 1) << x0 << "," << y0 << " " << x1 << "," << y1;
            // Every drawn pixel lies within the line's bounding box.
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 8; x++)
                    if (px(t, x, y)) {
                        ASSERT_TRUE(x >= std::min(x0, x1) && x <= std::max(x0, x1) && y >= std::min(y0, y1) &&
                                    y <= std::max(y0, y1));
                    }
            texture_destroy(t);
        }
}

TEST(TextureOps, CircleAndDiscFollowTheirRadius)
{
    const int cx = 16, cy = 15, r = 10;
    Texture* ring = texture_create(32, 32);
    Texture* disc = texture_create(32, 32);
    texture_draw_circle(ring, cx, cy, r, 0xFFFFFFFF);
    texture_fill_disc(disc, cx, cy, r, 0xFFFFFFFF);
    EXPECT_EQ(px(ring, cx, cy + r), 0xFFFFFFFFu);
    EXPECT_EQ(px(ring, cx, cy), 0u);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            const float d = std::sqrt((float)((x - cx) * (x - cx) + (y - cy) * (y - cy)));
            if (px(ring, x, y)) { EXPECT_NEAR(d, (float)r, 1.5f) << x << "," << y; }
            if (d < r - 1.5f) { EXPECT_EQ(px(disc, x, y), 0xFFFFFFFFu) << x << "," << y; }
            // Truncated span ends may reach one pixel past the true edge.
            if (d > r + 1.5f) { EXPECT_EQ(px(disc, x, y), 0u) << x << "," << y; }
        }
    texture_destroy(disc);
    texture_destroy(ring);
}

// ---------------------------------------------------------------------------
// Block copies

Texture* numbered(uint16_t w, uint16_t h)
{
    Texture* t = texture_create(w, h);
    for (size_t i = 0; i < (size_t)w * h; i++) t->pixels[i] = 0xFF000000u + (uint32_t)i + 1;
    return t;
}

TEST(TextureOps, CopyBlockTakesRowsThenColumns)
{
    // Rows 0..1, columns 1..3 of a 5 x 4 image to row 2, column 0.
    Texture* t = numbered(5, 4);
    Texture* before = numbered(5, 4);
    texture_copy_block(t, 0, 1, 1, 3, 2, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++) {
            const bool target = y >= 2 && x <= 2;
            EXPECT_EQ(px(t, x, y), target ? px(before, x + 1, y - 2) : px(before, x, y)) << x << "," << y;
        }
    texture_destroy(before);
    texture_destroy(t);
}

TEST(TextureOps, CopyBlockReadsOverlappingSourceAsItWas)
{
    const int moves[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}};
    for (const auto& m : moves) {
        Texture* t = numbered(5, 5);
        Texture* before = numbered(5, 5);
        texture_copy_block(t, 1, 1, 3, 3, 1 + m[0], 1 + m[1]);
        for (int r = 1; r <= 3; r++)
            for (int c = 1; c <= 3; c++)
                EXPECT_EQ(px(t, c + m[1], r + m[0]), px(before, c, r)) << m[0] << "," << m[1];
        texture_destroy(before);
        texture_destroy(t);
    }
}

TEST(TextureOps, CopyBlockClipsAndIgnoresReversedCorners)
{
    Guarded g = guarded_create(4, 4);
    for (int i = 0; i < 16; i++) g.t->pixels[i] = (uint32_t)i + 1;
    // A 2 x 2 block to (3, 3): only its corner (0, 0) fits.
    texture_copy_block(g.t, 0, 0, 1, 1, 3, 3);
    EXPECT_EQ(px(g.t, 3, 3), 1u);
    EXPECT_EQ(px(g.t, 2, 3), 15u);
    EXPECT_EQ(px(g.t, 3, 2), 12u);
    // Source rows beyond the image are dropped, not read.
    texture_copy_block(g.t, 2, 0, 9000, 0, 0, 1);
    EXPECT_EQ(px(g.t, 1, 0), 9u);
    EXPECT_EQ(px(g.t, 1, 1), 13u);
    EXPECT_EQ(px(g.t, 1, 2), 10u);
    texture_copy_block(g.t, 2, 2, 1, 1, 0, 0);
    EXPECT_EQ(px(g.t, 0, 0), 1u);
    EXPECT_TRUE(guards_intact(g));
    guarded_destroy(g);
}

TEST(TextureOps, RepeatBlockStepsAndClips)
{
    Guarded g = guarded_create(5, 3);
    set_px(g.t, 0, 1, 0xFF0000AA);
    texture_repeat_block(g.t, 1, 0, 1, 0, 0, 2, 4);
    EXPECT_EQ(px(g.t, 2, 1), 0xFF0000AAu);
    EXPECT_EQ(px(g.t, 4, 1), 0xFF0000AAu);
    EXPECT_EQ(count_colour(g.t, 0xFF0000AA), 3);

    set_px(g.t, 4, 2, 0xFF0000BB);
    texture_repeat_block(g.t, 2, 4, 2, 4, -1, -1, 200);
    EXPECT_EQ(px(g.t, 3, 1), 0xFF0000BBu);
    EXPECT_EQ(px(g.t, 2, 0), 0xFF0000BBu);
    EXPECT_EQ(count_colour(g.t, 0xFF0000BB), 3);
    EXPECT_TRUE(guards_intact(g));
    guarded_destroy(g);
}

} // namespace
