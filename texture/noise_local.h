// Noise internals shared by the noise functions and the fractal operator,
// which evaluates the same formulas in a different loop order. Every helper
// here must give exactly the bits of the plain formulas.
#pragma once

#include <cmath>
#include <cstdint>

// Single-precision pi of the cosine blend.
const float NOISE_PI = 3.1415927f;
// Lattice row step of the hash: point (x, y) hashes index x + 57 y.
const uint32_t NOISE_ROW_STRIDE = 57;
// 2^-30: a lattice value is (2^30 - m) / 2^30 for the 31-bit hash m.
const float NOISE_LATTICE_SCALE = 1.0f / 1073741824.0f;
const uint32_t NOISE_LATTICE_ONE = 0x40000000u; // 2^30

// Fractal sum: 16 octaves, frequency tripled per octave, input scaled by the
// float nearest 5e-6.
const int FRACTAL_OCTAVES = 16;
const float FRACTAL_LACUNARITY = 3.0f;
const float FRACTAL_SCALE = 0.000005f;

// Lattice value of the combined index n = x + 57 y (wrapping), in (-1, 1].
// The plain formula is the double 1 - m / 2^30 rounded to float; that value
// is exactly (2^30 - m) * 2^-30, and converting the integer 2^30 - m to float
// rounds the same real number once, so the bits agree.
static inline float noise_hash(uint32_t n)
{
    n ^= n << 13;
    const uint32_t m = (n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7FFFFFFFu;
    return (float)(int32_t)(NOISE_LATTICE_ONE - m) * NOISE_LATTICE_SCALE;
}

// Cosine blend weight f = (1 - cos(t pi)) / 2 for t in 0..1: the angle t pi
// is a float product, the cosine is taken in double, f is rounded to float.
static inline float noise_cosine_weight(float t)
{
    const float angle = t * NOISE_PI;
    return (float)((1.0 - cos((double)angle)) * 0.5);
}

// Lattice cell of a coordinate: the largest integer not above v. For v >= 0
// (every coordinate the operators pass) this is truncation toward zero; for
// negative v it keeps the fraction in 0..1, so the noise stays continuous
// across zero. Inputs outside the int32 range (and NaN) give INT32_MIN, the
// processor's own answer to such a conversion, rather than undefined behaviour.
static inline int32_t noise_floor(float v)
{
    if (!(v >= -2147483648.0f && v < 2147483648.0f)) return INT32_MIN;
    const int32_t i = (int32_t)v;
    return (float)i > v ? i - 1 : i;
}
