// Noise and interpolation: deterministic 2D value noise for the texture
// operators (an integer lattice hash blended by cosine interpolation, summed
// over 16 octaves), plus a small interpolation toolbox. All functions are pure
// and thread-safe; the same inputs always give the same bits.
#pragma once

#include <cstdint>

// Value noise
// Hash of the lattice point (x, y), wrapping 32-bit arithmetic; in (-1, 1].
float lattice_noise(int32_t x, int32_t y);
// a at t = 0, b at t = 1, cosine-shaped in between; t normally 0..1.
float cosine_interpolate(float a, float b, float t);
// Lattice values at the corners of the cell holding (x, y) (coordinates
// rounded down), cosine-blended; equals lattice_noise at integer points and
// is continuous. |x|, |y| below 2^31; beyond that the cell is INT32_MIN.
float value_noise(float x, float y);
// Sum of 16 octaves of value_noise at (x, y) * 0.000005 * 3^k, octave k
// weighted persistence^k; within +-(1 + p + ... + p^15).
float fractal_noise(float x, float y, float persistence);

// Interpolation toolbox
float lerp(float a, float b, float t); // a + (b - a) * t
int round_half_up(float x);            // nearest integer, halves rounded up
// Per-channel lerp of two RGB 5:6:5 colours (red bits 11-15, green 5-10,
// blue 0-4); t normally 0..1, channels clamped to their fields.
uint16_t lerp_rgb565(uint16_t a, uint16_t b, float t);
// lattice_noise blurred with its eight neighbours (weights 1/4, 1/8, 1/16).
float smoothed_noise(int32_t x, int32_t y);
// As value_noise with smoothed_noise corners and linear blending.
float smooth_value_noise(float x, float y);
// Cosine blend of a..b and c..d along tx, then of the two along ty.
float cosine_interpolate_2d(float a, float b, float c, float d, float tx, float ty);
