// Fractal cloud operator: a 16-octave value-noise brightness added to every
// pixel, with the rows shared out among worker threads.
//
// Every pixel gets exactly the bits of fractal_noise(2000 x, 2000 y, p); the
// speed comes from evaluation order only. The x half of every octave (cell
// index and cosine weight) depends on the column alone and the y half on the
// row alone, so each is computed once per texture or once per row instead of
// once per pixel, and each row is summed octave by octave over all its
// columns (still octave 0 first for every pixel, so the float sums agree).
#include "texture/noise.h"
#include "texture/noise_local.h"
#include "texture/texture.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

// Noise units per pixel before the 0.000005 scale: 0.01 cells per pixel in octave 0.
static const int32_t FRACTAL_PIXEL_STEP = 2000;
// Brightness b = v * 128 + 128, clamped to 0..255.
static const float FRACTAL_BRIGHTNESS_SCALE = 128.0f;
static const float FRACTAL_BRIGHTNESS_OFFSET = 128.0f;
static const float CHANNEL_MAX = 255.0f;
// Columns evaluated together; the row buffers are padded to a multiple of it
// so the inner loop has a fixed length the compiler can vectorise.
static const int COLUMN_BLOCK = 8;
// Rows a worker claims at a time: small enough to keep two busy cores even.
static const int ROWS_PER_CLAIM = 4;

// The per-octave halves of value_noise along one axis, for one coordinate.
struct AxisOctave {
    uint32_t cell; // truncated lattice coordinate, as wrapping unsigned
    float weight;  // cosine weight f of the fraction
    float keep;    // 1 - f
};

// Shared, read-only after set-up, except the row counter.
struct FractalJob {
    Texture* texture;
    bool add_alpha;
    int padded_width;                     // width rounded up to COLUMN_BLOCK
    float amplitude[FRACTAL_OCTAVES];     // persistence^k, multiplied up in float
    std::vector<uint32_t> column_cell;    // [octave * padded_width + x]
    std::vector<float> column_weight;
    std::vector<float> column_keep;
    std::atomic<int> next_row;
};

// Octave halves of pixel coordinate i (a column or a row).
static void axis_octaves(int32_t i, AxisOctave* out)
{
    const float scaled = (float)(FRACTAL_PIXEL_STEP * i) * FRACTAL_SCALE;
    float frequency = 1.0f;
    for (int k = 0; k < FRACTAL_OCTAVES; k++) {
        const float at = scaled * frequency;
        const int32_t cell = noise_floor(at);
        out[k].cell = (uint32_t)cell;
        out[k].weight = noise_cosine_weight(at - (float)cell);
        out[k].keep = 1.0f - out[k].weight;
        frequency *= FRACTAL_LACUNARITY;
    }
}

static void job_prepare(FractalJob* job, Texture* texture, bool add_alpha, float persistence)
{
    const int width = texture->width;
    job->texture = texture;
    job->add_alpha = add_alpha;
    job->padded_width = (width + COLUMN_BLOCK - 1) / COLUMN_BLOCK * COLUMN_BLOCK;
    float amplitude = 1.0f;
    for (int k = 0; k < FRACTAL_OCTAVES; k++) {
        job->amplitude[k] = amplitude;
        amplitude *= persistence;
    }
    const size_t entries = (size_t)FRACTAL_OCTAVES * job->padded_width;
    job->column_cell.assign(entries, 0);
    job->column_weight.assign(entries, 0.0f);
    job->column_keep.assign(entries, 0.0f);
    AxisOctave octaves[FRACTAL_OCTAVES];
    for (int x = 0; x < width; x++) {
        axis_octaves(x, octaves);
        for (int k = 0; k < FRACTAL_OCTAVES; k++) {
            const size_t at = (size_t)k * job->padded_width + x;
            job->column_cell[at] = octaves[k].cell;
            job->column_weight[at] = octaves[k].weight;
            job->column_keep[at] = octaves[k].keep;
        }
    }
    job->next_row.store(0);
}

// channel + b in float, truncated, or 255 when the sum reaches 255.
static inline uint32_t add_brightness(uint32_t channel, float b)
{
    const float sum = (float)channel + b;
    return sum >= CHANNEL_MAX ? 255u : (uint32_t)sum;
}

// Adds one row's noise sums to its pixels.
static void row_apply(const FractalJob* job, int row, const float* sum)
{
    const int width = job->texture->width;
    uint32_t* pixel = job->texture->pixels + (size_t)row * width;
    for (int x = 0; x < width; x++) {
        float b = sum[x] * FRACTAL_BRIGHTNESS_SCALE + FRACTAL_BRIGHTNESS_OFFSET;
        if (!(b >= 0.0f)) b = 0.0f; // NaN from a non-finite persistence counts as 0
        if (b > CHANNEL_MAX) b = CHANNEL_MAX;
        const uint32_t p = pixel[x];
        uint32_t alpha = p >> 24;
        if (job->add_alpha) alpha = add_brightness(alpha, b);
        pixel[x] = alpha << 24 | add_brightness((p >> 16) & 0xFF, b) << 16 |
                   add_brightness((p >> 8) & 0xFF, b) << 8 | add_brightness(p & 0xFF, b);
    }
}

// fractal_noise for every column of one row, into sum[0 .. padded_width).
static void row_noise(const FractalJob* job, int row, float* __restrict sum)
{
    AxisOctave ys[FRACTAL_OCTAVES];
    axis_octaves(row, ys);
    const int padded = job->padded_width;
    for (int x = 0; x < padded; x++) sum[x] = 0.0f;
    for (int k = 0; k < FRACTAL_OCTAVES; k++) {
        const uint32_t* __restrict cell = job->column_cell.data() + (size_t)k * padded;
        const float* __restrict weight = job->column_weight.data() + (size_t)k * padded;
        const float* __restrict keep = job->column_keep.data() + (size_t)k * padded;
        const uint32_t row_index = NOISE_ROW_STRIDE * ys[k].cell;
        const float wy = ys[k].weight, ky = ys[k].keep, amplitude = job->amplitude[k];
        for (int x0 = 0; x0 < padded; x0 += COLUMN_BLOCK) {
            for (int j = x0; j < x0 + COLUMN_BLOCK; j++) {
                const uint32_t n = cell[j] + row_index;
                const float top = noise_hash(n) * keep[j] + noise_hash(n + 1) * weight[j];
                const float bottom = noise_hash(n + NOISE_ROW_STRIDE) * keep[j] +
                                     noise_hash(n + NOISE_ROW_STRIDE + 1) * weight[j];
                sum[j] += (top * ky + bottom * wy) * amplitude;
            }
        }
    }
}

// Claims blocks of rows until none are left.
static void fractal_worker(FractalJob* job)
{
    std::vector<float> sum(job->padded_width);
    const int height = job->texture->height;
    for (;;) {
        const int first = job->next_row.fetch_add(ROWS_PER_CLAIM);
        if (first >= height) return;
        const int last = first + ROWS_PER_CLAIM < height ? first + ROWS_PER_CLAIM : height;
        for (int row = first; row < last; row++) {
            row_noise(job, row, sum.data());
            row_apply(job, row, sum.data());
        }
    }
}

void texture_fractal_threads(Texture* texture, bool add_alpha, float persistence, unsigned threads)
{
    if (texture->width == 0 || texture->height == 0) return;
    if (threads == 0) threads = std::thread::hardware_concurrency();
    const unsigned claims = (texture->height + ROWS_PER_CLAIM - 1) / ROWS_PER_CLAIM;
    if (threads > claims) threads = claims;
    if (threads == 0) threads = 1;

    FractalJob job;
    job_prepare(&job, texture, add_alpha, persistence);
    // The calling thread works too; helpers that cannot be started just leave
    // more rows to the others.
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; i++) {
        try {
            helpers.emplace_back(fractal_worker, &job);
        } catch (const std::system_error&) {
            break;
        }
    }
    fractal_worker(&job);
    for (std::thread& helper : helpers) helper.join();
}

void texture_fractal(Texture* texture, bool add_alpha, float persistence)
{
    texture_fractal_threads(texture, add_alpha, persistence, 0);
}
