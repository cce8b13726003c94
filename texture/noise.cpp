// Value noise, its 16-octave fractal sum and the interpolation toolbox.
#include "texture/noise.h"

#include "texture/noise_local.h"

#include <cmath>

// RGB 5:6:5 fields: shift and largest value of each channel.
static const int RGB565_RED_SHIFT = 11;
static const int RGB565_GREEN_SHIFT = 5;
static const int RGB565_BLUE_SHIFT = 0;
static const int RGB565_RED_MAX = 31;
static const int RGB565_GREEN_MAX = 63;
static const int RGB565_BLUE_MAX = 31;

// Lattice value at (x + dx, y + dy) with wrapping coordinates.
static float lattice_at(int32_t x, int32_t y, int dx, int dy)
{
    return lattice_noise((int32_t)((uint32_t)x + (uint32_t)dx), (int32_t)((uint32_t)y + (uint32_t)dy));
}

static int rgb565_channel(uint16_t a, uint16_t b, int shift, int max, float t)
{
    const int ca = (a >> shift) & max;
    const int cb = (b >> shift) & max;
    int c = ca + round_half_up((float)(cb - ca) * t);
    if (c < 0) c = 0;
    if (c > max) c = max;
    return c << shift;
}

float lattice_noise(int32_t x, int32_t y)
{
    return noise_hash((uint32_t)x + NOISE_ROW_STRIDE * (uint32_t)y);
}

float cosine_interpolate(float a, float b, float t)
{
    const float f = noise_cosine_weight(t);
    return a * (1.0f - f) + b * f;
}

float value_noise(float x, float y)
{
    const int32_t ix = noise_floor(x);
    const int32_t iy = noise_floor(y);
    // Corners (ix, iy), (ix + 1, iy), (ix, iy + 1), (ix + 1, iy + 1).
    const uint32_t n = (uint32_t)ix + NOISE_ROW_STRIDE * (uint32_t)iy;
    const float c00 = noise_hash(n);
    const float c10 = noise_hash(n + 1);
    const float c01 = noise_hash(n + NOISE_ROW_STRIDE);
    const float c11 = noise_hash(n + NOISE_ROW_STRIDE + 1);
    // Both rows blend with the same weight: one cosine for the pair.
    const float fx = noise_cosine_weight(x - (float)ix);
    const float top = c00 * (1.0f - fx) + c10 * fx;
    const float bottom = c01 * (1.0f - fx) + c11 * fx;
    const float fy = noise_cosine_weight(y - (float)iy);
    return top * (1.0f - fy) + bottom * fy;
}

float fractal_noise(float x, float y, float persistence)
{
    x = x * FRACTAL_SCALE;
    y = y * FRACTAL_SCALE;
    float frequency = 1.0f;
    float amplitude = 1.0f;
    float sum = 0.0f;
    for (int octave = 0; octave < FRACTAL_OCTAVES; octave++) {
        sum += value_noise(x * frequency, y * frequency) * amplitude;
        frequency *= FRACTAL_LACUNARITY;
        amplitude *= persistence;
    }
    return sum;
}

float lerp(float a, float b, float t) { return a + (b - a) * t; }

int round_half_up(float x)
{
    // floor, not truncation: -2.7 must give -3, not -2.
    const double r = floor((double)x + 0.5);
    if (r >= -2147483648.0 && r < 2147483648.0) return (int)r;
    return INT32_MIN;
}

uint16_t lerp_rgb565(uint16_t a, uint16_t b, float t)
{
    return (uint16_t)(rgb565_channel(a, b, RGB565_RED_SHIFT, RGB565_RED_MAX, t) |
                      rgb565_channel(a, b, RGB565_GREEN_SHIFT, RGB565_GREEN_MAX, t) |
                      rgb565_channel(a, b, RGB565_BLUE_SHIFT, RGB565_BLUE_MAX, t));
}

float smoothed_noise(int32_t x, int32_t y)
{
    const float corners = (lattice_at(x, y, -1, -1) + lattice_at(x, y, 1, -1) +
                           lattice_at(x, y, -1, 1) + lattice_at(x, y, 1, 1)) / 16.0f;
    const float sides = (lattice_at(x, y, -1, 0) + lattice_at(x, y, 1, 0) +
                         lattice_at(x, y, 0, -1) + lattice_at(x, y, 0, 1)) / 8.0f;
    const float centre = lattice_noise(x, y) / 4.0f;
    return corners + sides + centre;
}

float smooth_value_noise(float x, float y)
{
    const int32_t ix = noise_floor(x);
    const int32_t iy = noise_floor(y);
    const int32_t ix1 = (int32_t)((uint32_t)ix + 1);
    const int32_t iy1 = (int32_t)((uint32_t)iy + 1);
    const float fx = x - (float)ix;
    const float top = lerp(smoothed_noise(ix, iy), smoothed_noise(ix1, iy), fx);
    const float bottom = lerp(smoothed_noise(ix, iy1), smoothed_noise(ix1, iy1), fx);
    return lerp(top, bottom, y - (float)iy);
}

float cosine_interpolate_2d(float a, float b, float c, float d, float tx, float ty)
{
    return cosine_interpolate(cosine_interpolate(a, b, tx), cosine_interpolate(c, d, tx), ty);
}
