// Value noise, the fractal sum and the interpolation toolbox, checked against
// plain evaluations of their formulas; the fractal texture operator checked
// against fractal_noise pixel by pixel and across thread counts.
#include "texture/noise.h"
#include "texture/texture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// ---- Plain evaluations of the formulas, one value at a time ----

float plain_lattice(int32_t x, int32_t y)
{
    uint32_t n = (uint32_t)x + 57u * (uint32_t)y;
    n = n ^ (n << 13);
    const uint32_t m = (n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7FFFFFFFu;
    return (float)(1.0 - m / 1073741824.0);
}

float plain_cosine(float a, float b, float t)
{
    const float pi = 3.1415927f;
    const float f = (float)((1.0 - cos((double)(t * pi))) * 0.5);
    return a * (1 - f) + b * f;
}

float plain_value(float x, float y)
{
    const int ix = (int)floorf(x);
    const int iy = (int)floorf(y);
    const float top = plain_cosine(plain_lattice(ix, iy), plain_lattice(ix + 1, iy), x - ix);
    const float bottom = plain_cosine(plain_lattice(ix, iy + 1), plain_lattice(ix + 1, iy + 1), x - ix);
    return plain_cosine(top, bottom, y - iy);
}

float plain_fractal(float x, float y, float persistence)
{
    x = x * 0.000005f;
    y = y * 0.000005f;
    float frequency = 1, amplitude = 1, sum = 0;
    for (int octave = 0; octave < 16; octave++) {
        const float xf = x * frequency;
        const float yf = y * frequency;
        sum += plain_value(xf, yf) * amplitude;
        frequency *= 3;
        amplitude *= persistence;
    }
    return sum;
}

uint32_t bits(float v)
{
    uint32_t b;
    memcpy(&b, &v, sizeof b);
    return b;
}

// Small deterministic generator for scattered sample points.
uint32_t next_random(uint32_t* state)
{
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

// ---- Value noise ----

TEST(Noise, LatticeAtOriginIsTheHashConstant)
{
    EXPECT_EQ(lattice_noise(0, 0), (float)(1.0 - 1376312589.0 / 1073741824.0));
    EXPECT_NEAR(lattice_noise(0, 0), -0.2818, 1e-4);
}

TEST(Noise, LatticeMatchesDoubleFormulaIncludingWrap)
{
    const int32_t points[][2] = {
        {1, 0}, {0, 1}, {-1, -1}, {57, -1}, {12345, 678}, {INT_MAX, 0}, {INT_MIN, 0},
        {0, INT_MAX}, {INT_MIN, INT_MIN}, {-7, 1 << 20}, {99999, -99999},
    };
    for (const auto& p : points)
        EXPECT_EQ(bits(lattice_noise(p[0], p[1])), bits(plain_lattice(p[0], p[1]))) << p[0] << ", " << p[1];
    uint32_t seed = 1;
    for (int i = 0; i < 20000; i++) {
        const int32_t x = (int32_t)(next_random(&seed) << 8), y = (int32_t)next_random(&seed) - 8000000;
        const float v = lattice_noise(x, y);
        ASSERT_EQ(bits(v), bits(plain_lattice(x, y))) << x << ", " << y;
        ASSERT_GT(v, -1.0f);
        ASSERT_LE(v, 1.0f);
    }
}

TEST(Noise, CosineInterpolateEndsAndMiddle)
{
    const float pairs[][2] = {{0, 1}, {-3, 5}, {0.25f, -0.75f}, {100, 100}};
    for (const auto& p : pairs) {
        EXPECT_EQ(cosine_interpolate(p[0], p[1], 0), p[0]);
        EXPECT_EQ(cosine_interpolate(p[0], p[1], 1), p[1]);
        EXPECT_FLOAT_EQ(cosine_interpolate(p[0], p[1], 0.5f), (p[0] + p[1]) / 2);
        EXPECT_EQ(bits(cosine_interpolate(p[0], p[1], 0.3f)), bits(plain_cosine(p[0], p[1], 0.3f)));
    }
    // Slow at the ends, fastest in the middle: (1 - cos 0.1 pi) / 2.
    EXPECT_NEAR(cosine_interpolate(0, 1, 0.1f), 0.02447, 1e-5);
}

TEST(Noise, ValueNoiseAtIntegerPointsIsTheLatticeValue)
{
    const int points[][2] = {{0, 0}, {3, 7}, {-3, 2}, {-1, -1}, {1000, -20}};
    for (const auto& p : points)
        EXPECT_EQ(value_noise((float)p[0], (float)p[1]), lattice_noise(p[0], p[1])) << p[0] << ", " << p[1];
}

TEST(Noise, ValueNoiseIsContinuousAcrossCellEdgesAndZero)
{
    // Approaching an integer from either side, including the negative cells.
    const float edges[] = {-2, -1, 0, 1, 5};
    const float y = 2.25f;
    for (float e : edges) {
        const float below = value_noise(e - 1e-4f, y);
        const float above = value_noise(e + 1e-4f, y);
        EXPECT_NEAR(below, value_noise(e, y), 1e-3) << e;
        EXPECT_NEAR(above, value_noise(e, y), 1e-3) << e;
    }
}

// ---- Fractal sum ----

TEST(Noise, FractalWithPersistenceZeroIsTheFirstOctave)
{
    const float points[][2] = {{0, 0}, {2000, 4000}, {2046000, 100000}, {123456, 654321}};
    for (const auto& p : points)
        EXPECT_EQ(fractal_noise(p[0], p[1], 0), value_noise(p[0] * 0.000005f, p[1] * 0.000005f));
}

TEST(Noise, FractalMatchesPlainFormulaBitForBit)
{
    const float persistences[] = {0.4f, 0.5f, 0.6f, 0.65f, 0.7f, 1.0f};
    uint32_t seed = 7;
    for (int i = 0; i < 400; i++) {
        const float p = persistences[i % 6];
        // Pixel coordinates as the operator passes them, and arbitrary floats.
        float x = (float)(2000 * (int)(next_random(&seed) % 4096));
        float y = (float)(2000 * (int)(next_random(&seed) % 4096));
        if (i % 4 == 3) {
            x = (float)next_random(&seed) / 7.0f;
            y = (float)next_random(&seed) / 3.0f;
        }
        ASSERT_EQ(bits(fractal_noise(x, y, p)), bits(plain_fractal(x, y, p))) << x << ", " << y << ", " << p;
    }
}

TEST(Noise, FractalStaysWithinTheGeometricBound)
{
    const float persistences[] = {0.4f, 0.7f};
    for (float p : persistences) {
        const float bound = (1 - powf(p, 16)) / (1 - p);
        float lowest = 0, highest = 0;
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++) {
                const float v = fractal_noise(2000.0f * x * 16, 2000.0f * y * 16, p);
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
        EXPECT_GE(lowest, -bound);
        EXPECT_LE(highest, bound);
        EXPECT_LT(lowest, -0.1f); // it does vary both ways
        EXPECT_GT(highest, 0.1f);
    }
}

// ---- Toolbox ----

TEST(NoiseToolbox, LerpAndRoundHalfUp)
{
    EXPECT_EQ(lerp(2, 6, 0), 2);
    EXPECT_EQ(lerp(2, 6, 0.25f), 3);
    EXPECT_EQ(lerp(2, 6, 1), 6);
    const struct {
        float x;
        int expected;
    } rounds[] = {{0, 0}, {0.49999997f, 0}, {0.5f, 1}, {2.5f, 3}, {2.4f, 2},
                  {-0.5f, 0}, {-0.6f, -1}, {-2.5f, -2}, {-2.7f, -3}};
    for (const auto& r : rounds) EXPECT_EQ(round_half_up(r.x), r.expected) << r.x;
}

TEST(NoiseToolbox, LerpRgb565BlendsEachFieldOnItsOwn)
{
    const uint16_t a = (31 << 11) | (0 << 5) | 10; // red full, green none, blue 10
    const uint16_t b = (0 << 11) | (63 << 5) | 21;
    EXPECT_EQ(lerp_rgb565(a, b, 0), a);
    EXPECT_EQ(lerp_rgb565(a, b, 1), b);
    // Red 31 -> 15.5 -> 16 (-15.5 rounds up), green 31.5 -> 32, blue 15.5 -> 16.
    EXPECT_EQ(lerp_rgb565(a, b, 0.5f), (16 << 11) | (32 << 5) | 16);
    // Extrapolation saturates inside each field instead of carrying.
    EXPECT_EQ(lerp_rgb565(a, b, 2), (0 << 11) | (63 << 5) | 31);
}

TEST(NoiseToolbox, SmoothedNoiseWeightsTheNeighbourhood)
{
    const int points[][2] = {{0, 0}, {10, -4}, {-100, 3}};
    for (const auto& p : points) {
        const int x = p[0], y = p[1];
        double expected = lattice_noise(x, y) / 4.0;
        for (int d = -1; d <= 1; d += 2) {
            expected += (lattice_noise(x + d, y) + lattice_noise(x, y + d)) / 8.0;
            expected += (lattice_noise(x + d, y - 1) + lattice_noise(x + d, y + 1)) / 16.0;
        }
        EXPECT_NEAR(smoothed_noise(x, y), expected, 1e-6);
        EXPECT_EQ(smooth_value_noise((float)x, (float)y), smoothed_noise(x, y));
    }
    // Halfway across a cell it is the plain average of the corners.
    const float mid = smooth_value_noise(3.5f, 4.5f);
    EXPECT_NEAR(mid, (smoothed_noise(3, 4) + smoothed_noise(4, 4) + smoothed_noise(3, 5) + smoothed_noise(4, 5)) / 4,
                1e-6);
}

TEST(NoiseToolbox, CosineInterpolate2dCorners)
{
    const float a = 1, b = 2, c = 4, d = 8;
    EXPECT_EQ(cosine_interpolate_2d(a, b, c, d, 0, 0), a);
    EXPECT_EQ(cosine_interpolate_2d(a, b, c, d, 1, 0), b);
    EXPECT_EQ(cosine_interpolate_2d(a, b, c, d, 0, 1), c);
    EXPECT_EQ(cosine_interpolate_2d(a, b, c, d, 1, 1), d);
    EXPECT_FLOAT_EQ(cosine_interpolate_2d(a, b, c, d, 0.5f, 0.5f), 3.75f);
}

// ---- Fractal texture operator ----

// The operator's per-pixel formula, evaluated the plain way.
uint32_t plain_fractal_pixel(uint32_t pixel, int x, int y, bool add_alpha, float persistence)
{
    const float v = fractal_noise((float)(2000 * x), (float)(2000 * y), persistence);
    float b = v * 128 + 128;
    if (b < 0) b = 0;
    if (b > 255) b = 255;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int channel = (pixel >> shift) & 0xFF;
        int result = channel;
        if (shift < 24 || add_alpha) {
            const float sum = channel + b;
            result = sum >= 255 ? 255 : (int)sum;
        }
        out |= (uint32_t)result << shift;
    }
    return out;
}

// Asymmetric start image: every channel different, some near saturation.
void fill_pattern(Texture* t)
{
    for (int i = 0; i < t->width * t->height; i++)
        t->pixels[i] = (uint32_t)(i * 2654435761u) & 0xC0F0A07Fu;
}

TEST(TextureFractal, EveryPixelMatchesFractalNoise)
{
    const bool alpha_flags[] = {false, true};
    for (bool add_alpha : alpha_flags) {
        Texture* t = texture_create(37, 21); // width not a multiple of the column block
        fill_pattern(t);
        std::vector<uint32_t> before(t->pixels, t->pixels + 37 * 21);
        texture_fractal_threads(t, add_alpha, 0.65f, 2);
        for (int y = 0; y < 21; y++)
            for (int x = 0; x < 37; x++)
                ASSERT_EQ(t->pixels[x + 37 * y], plain_fractal_pixel(before[x + 37 * y], x, y, add_alpha, 0.65f))
                    << x << ", " << y << " alpha " << add_alpha;
        texture_destroy(t);
    }
}

TEST(TextureFractal, BlackTextureBecomesGreyCloudWithAlphaKept)
{
    Texture* t = texture_create(64, 64);
    texture_fractal(t, false, 0.5f);
    int lowest = 255, highest = 0;
    for (int i = 0; i < 64 * 64; i++) {
        const uint32_t p = t->pixels[i];
        ASSERT_EQ(p >> 24, 0u);
        ASSERT_EQ((p >> 16) & 0xFF, p & 0xFF);
        ASSERT_EQ((p >> 8) & 0xFF, p & 0xFF);
        lowest = std::min(lowest, (int)(p & 0xFF));
        highest = std::max(highest, (int)(p & 0xFF));
    }
    EXPECT_LT(lowest, highest);
    texture_destroy(t);
}

TEST(TextureFractal, ThreadCountsGiveIdenticalWords)
{
    const int size = 1024;
    Texture* single = texture_create(size, size);
    fill_pattern(single);
    std::vector<uint32_t> before(single->pixels, single->pixels + size * size);
    texture_fractal_threads(single, true, 0.7f, 1);

    // Scattered pixels, including the far columns where the top octaves'
    // coordinates pass 2^24, against the plain formula.
    uint32_t seed = 3;
    for (int i = 0; i < 300; i++) {
        const int x = i < 4 ? size - 1 - i : (int)(next_random(&seed) % size);
        const int y = (int)(next_random(&seed) % size);
        ASSERT_EQ(single->pixels[x + size * y], plain_fractal_pixel(before[x + size * y], x, y, true, 0.7f))
            << x << ", " << y;
    }

    const unsigned counts[] = {2, 3, 0};
    for (unsigned threads : counts) {
        Texture* t = texture_create(size, size);
        fill_pattern(t);
        texture_fractal_threads(t, true, 0.7f, threads);
        EXPECT_EQ(memcmp(t->pixels, single->pixels, sizeof(uint32_t) * size * size), 0) << threads << " threads";
        texture_destroy(t);
    }
    texture_destroy(single);
}

TEST(TextureFractal, EmptyAndSingleRowTextures)
{
    Texture* empty = texture_create(0, 0);
    texture_fractal(empty, true, 0.5f);
    texture_destroy(empty);
    Texture* row = texture_create(5, 1);
    texture_fractal_threads(row, false, 0.5f, 8);
    for (int x = 0; x < 5; x++) EXPECT_EQ(row->pixels[x], plain_fractal_pixel(0, x, 0, false, 0.5f));
    texture_destroy(row);
}

} // namespace
