// Texture operators: per-pixel colour operators, resampling, noise and clouds, drawing toolbox.
#include "texture/texture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

// Bit positions of the four 8-bit channels in a 0xAARRGGBB word.
static const int SHIFT_A = 24;
static const int SHIFT_R = 16;
static const int SHIFT_G = 8;
static const int SHIFT_B = 0;
static const int CHANNEL_MAX = 255;
static const uint32_t RGB_MASK = 0x00FFFFFF;
static const uint32_t ALPHA_MASK = 0xFF000000;

// Weights of the grey value; each term is truncated on its own, so white is 254.
static const double GREY_WEIGHT_R = 0.3;
static const double GREY_WEIGHT_G = 0.6;
static const double GREY_WEIGHT_B = 0.1;

// Emboss: strength / 50 scales the neighbour differences; 127 is flat grey.
static const float EMBOSS_STRENGTH_UNIT = 50.0f;
static const float EMBOSS_FLAT = 127.0f;

// Clouds: layers of width / k pixels for k = 2, 4, 6, 8, noise amplitude 128 / k.
static const int CLOUD_LAYERS = 4;
static const int CLOUD_DIVISORS[CLOUD_LAYERS] = {2, 4, 6, 8};
static const int CLOUD_AMPLITUDE = 128;

// Speckle draws rand() % 255 against its chance.
static const int SPECKLE_RANGE = 255;

// Random alpha levels for a set and a clear lowest bit of rand().
static const uint32_t ALPHA_HARD_ON = 255;
static const uint32_t ALPHA_HARD_OFF = 0;
static const uint32_t ALPHA_SOFT_ON = 200;
static const uint32_t ALPHA_SOFT_OFF = 50;

// Largest size a texture side can hold (unsigned 16-bit).
static const int SIDE_MAX = 65535;

// Circle outline: angle 0 .. 2 pi in steps of 0.01 rad; disc: 0 .. pi in 0.005 rad.
static const float CIRCLE_ANGLE_END = 6.28318f;
static const float CIRCLE_ANGLE_STEP = 0.01f;
static const float DISC_ANGLE_END = 3.14159f;
static const float DISC_ANGLE_STEP = 0.005f;

static inline int channel(uint32_t pixel, int shift)
{
    return (int)((pixel >> shift) & 0xFF);
}

static inline uint32_t pack(int a, int r, int g, int b)
{
    return ((uint32_t)a << SHIFT_A) | ((uint32_t)r << SHIFT_R) | ((uint32_t)g << SHIFT_G) |
           ((uint32_t)b << SHIFT_B);
}

static inline int min_int(int a, int b) { return a < b ? a : b; }
static inline int max_int(int a, int b) { return a > b ? a : b; }

static inline size_t pixel_count(const Texture* t)
{
    return (size_t)t->width * t->height;
}

// 0.3 R + 0.6 G + 0.1 B with each product truncated: 0..254.
static inline int grey_value(uint32_t pixel)
{
    return (int)(channel(pixel, SHIFT_R) * GREY_WEIGHT_R) + (int)(channel(pixel, SHIFT_G) * GREY_WEIGHT_G) +
           (int)(channel(pixel, SHIFT_B) * GREY_WEIGHT_B);
}

// Below 0 gives 0, at or above 255 gives 255, else truncated.
static inline int clamp_channel(float v)
{
    if (v < 0.0f) return 0;
    if (v >= (float)CHANNEL_MAX) return CHANNEL_MAX;
    return (int)v;
}

static inline int add_noise(int value, int amplitude)
{
    return min_int(value + rand() % amplitude, CHANNEL_MAX);
}

// ---------------------------------------------------------------------------
// Clipped drawing helpers: signed coordinates, nothing outside the block.

static inline void put_clipped(Texture* t, int x, int y, uint32_t colour)
{
    if (x < 0 || y < 0 || x >= t->width || y >= t->height) return;
    t->pixels[(size_t)y * t->width + x] = colour;
}

// Inclusive rectangle with ordered corners, clipped to the image.
static void fill_clipped(Texture* t, int x0, int y0, int x1, int y1, uint32_t colour)
{
    x0 = max_int(x0, 0);
    y0 = max_int(y0, 0);
    x1 = min_int(x1, t->width - 1);
    y1 = min_int(y1, t->height - 1);
    for (int y = y0; y <= y1; y++) {
        uint32_t* row = t->pixels + (size_t)y * t->width;
        for (int x = x0; x <= x1; x++) row[x] = colour;
    }
}

// Steps along x while err >= 0 and then along y while err < 0, so every
// iteration moves one pixel in x, in y or diagonally; max(dx, dy) + 1 pixels.
static void line_clipped(Texture* t, int x0, int y0, int x1, int y1, uint32_t colour)
{
    const int dx = abs(x1 - x0);
    const int dy = abs(y1 - y0);
    const int step_x = (x1 > x0) - (x1 < x0);
    const int step_y = (y1 > y0) - (y1 < y0);
    int err = dx - dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        put_clipped(t, x, y, colour);
        if (err >= 0) {
            err -= dy;
            x += step_x;
        }
        if (err < 0) {
            err += dx;
            y += step_y;
        }
    }
    put_clipped(t, x1, y1, colour);
}

// Copies a block of rows x columns from (sr, sc) to (tr, tc), both in the
// same image, clipped so that every read and write lies inside it.
static void copy_block_clipped(Texture* t, int sr, int sc, int rows, int cols, int tr, int tc)
{
    // Trim the block where the source or the target leaves the image.
    const int cut_top = max_int(max_int(-sr, -tr), 0);
    const int cut_left = max_int(max_int(-sc, -tc), 0);
    sr += cut_top;
    tr += cut_top;
    rows -= cut_top;
    sc += cut_left;
    tc += cut_left;
    cols -= cut_left;
    rows = min_int(rows, min_int(t->height - sr, t->height - tr));
    cols = min_int(cols, min_int(t->width - sc, t->width - tc));
    if (rows <= 0 || cols <= 0) return;
    // Walk rows away from the overlap so that no source row is overwritten
    // before it is read; memmove does the same within a row.
    const bool bottom_up = tr > sr;
    for (int k = 0; k < rows; k++) {
        const int i = bottom_up ? rows - 1 - k : k;
        uint32_t* dst = t->pixels + (size_t)(tr + i) * t->width + tc;
        const uint32_t* src = t->pixels + (size_t)(sr + i) * t->width + sc;
        memmove(dst, src, (size_t)cols * sizeof(uint32_t));
    }
}

// ---------------------------------------------------------------------------
// Resampling rows of the new image from the old block.

static void resize_nearest(const uint32_t* old, int w, int h, uint32_t* out, int nw, int nh)
{
    const float sx = (float)nw / (float)w;
    const float sy = (float)nh / (float)h;
    for (int y = 0; y < nh; y++) {
        // Clamped: float rounding must never reach one past the last row.
        const int oy = min_int((int)((float)y / sy), h - 1);
        for (int x = 0; x < nw; x++) {
            const int ox = min_int((int)((float)x / sx), w - 1);
            out[(size_t)y * nw + x] = old[(size_t)oy * w + ox];
        }
    }
}

// Where new column x samples the old row: x0, x1 = min(x0 + 1, w - 1), tx.
struct BilinearColumn {
    int x0, x1;
    float tx;
};

static inline int bilinear_channel(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, float w00, float w10,
                                   float w01, float w11, int shift)
{
    return (int)(w00 * (float)channel(c00, shift) + w10 * (float)channel(c10, shift) +
                 w01 * (float)channel(c01, shift) + w11 * (float)channel(c11, shift));
}

static void resize_bilinear(const uint32_t* old, int w, int h, uint32_t* out, int nw, int nh)
{
    const float sx = (float)nw / (float)w;
    const float sy = (float)nh / (float)h;
    BilinearColumn* columns = (BilinearColumn*)malloc((size_t)nw * sizeof(BilinearColumn));
    for (int x = 0; x < nw; x++) {
        const float fx = (float)x / sx;
        // Clamped: float rounding must never reach one past the last column.
        columns[x].x0 = min_int((int)fx, w - 1);
        columns[x].x1 = min_int(columns[x].x0 + 1, w - 1);
        columns[x].tx = fx - (float)columns[x].x0;
    }
    for (int y = 0; y < nh; y++) {
        const float fy = (float)y / sy;
        const int y0 = min_int((int)fy, h - 1);
        const int y1 = min_int(y0 + 1, h - 1);
        const float ty = fy - (float)y0;
        const uint32_t* row0 = old + (size_t)y0 * w;
        const uint32_t* row1 = old + (size_t)y1 * w;
        uint32_t* dst = out + (size_t)y * nw;
        for (int x = 0; x < nw; x++) {
            const BilinearColumn& c = columns[x];
            // (1 - ty)(1 - tx) c00 + (1 - ty) tx c10 + ty (1 - tx) c01 + ty tx c11
            const float w00 = (1.0f - ty) * (1.0f - c.tx), w10 = (1.0f - ty) * c.tx;
            const float w01 = ty * (1.0f - c.tx), w11 = ty * c.tx;
            const uint32_t c00 = row0[c.x0], c10 = row0[c.x1], c01 = row1[c.x0], c11 = row1[c.x1];
            dst[x] = pack(bilinear_channel(c00, c10, c01, c11, w00, w10, w01, w11, SHIFT_A),
                          bilinear_channel(c00, c10, c01, c11, w00, w10, w01, w11, SHIFT_R),
                          bilinear_channel(c00, c10, c01, c11, w00, w10, w01, w11, SHIFT_G),
                          bilinear_channel(c00, c10, c01, c11, w00, w10, w01, w11, SHIFT_B));
        }
    }
    free(columns);
}

// Source span [first, last] that new index i of n covers on an old side of
// size: from floor(i * size / n) to ceil((i + 1) * size / n) - 1, at least one.
static inline void box_span(int i, int n, int size, int* first, int* last)
{
    *first = (int)((int64_t)i * size / n);
    *last = max_int(*first, (int)(((int64_t)(i + 1) * size + n - 1) / n) - 1);
}

// Truncated mean of the covered source pixels per channel: a clean downscale,
// the same as nearest when enlarging by whole factors.
static void resize_box(const uint32_t* old, int w, int h, uint32_t* out, int nw, int nh)
{
    for (int y = 0; y < nh; y++) {
        int ya, yb;
        box_span(y, nh, h, &ya, &yb);
        for (int x = 0; x < nw; x++) {
            int xa, xb;
            box_span(x, nw, w, &xa, &xb);
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int sy = ya; sy <= yb; sy++)
                for (int sx = xa; sx <= xb; sx++) {
                    const uint32_t p = old[(size_t)sy * w + sx];
                    sum[0] += channel(p, SHIFT_A), sum[1] += channel(p, SHIFT_R);
                    sum[2] += channel(p, SHIFT_G), sum[3] += channel(p, SHIFT_B);
                }
            const uint32_t n = (uint32_t)((yb - ya + 1) * (xb - xa + 1));
            out[(size_t)y * nw + x] = pack(sum[0] / n, sum[1] / n, sum[2] / n, sum[3] / n);
        }
    }
}

// ---------------------------------------------------------------------------
// Whole-image colour operators

void texture_noise(Texture* texture, uint8_t amplitude, bool independent, bool alpha_too)
{
    // rand() % 0 is undefined: no amplitude, no noise.
    if (amplitude == 0) return;
    const int amp = amplitude;
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++) {
        int a = channel(p[i], SHIFT_A), r = channel(p[i], SHIFT_R);
        int g = channel(p[i], SHIFT_G), b = channel(p[i], SHIFT_B);
        if (independent) {
            if (alpha_too) a = add_noise(a, amp);
            r = add_noise(r, amp);
            g = add_noise(g, amp);
            b = add_noise(b, amp);
        } else {
            const int grey = rand() % amp;
            r = min_int(r + grey, CHANNEL_MAX);
            g = min_int(g + grey, CHANNEL_MAX);
            b = min_int(b + grey, CHANNEL_MAX);
            if (alpha_too) a = add_noise(a, amp);
        }
        p[i] = pack(a, r, g, b);
    }
}

void texture_clouds(Texture* texture)
{
    for (int layer = 0; layer < CLOUD_LAYERS; layer++) {
        const int k = CLOUD_DIVISORS[layer];
        const uint16_t side = (uint16_t)(texture->width / k);
        Texture* cloud = texture_create(side, side);
        texture_noise(cloud, (uint8_t)(CLOUD_AMPLITUDE / k), false, false);
        texture_resize(cloud, texture->width, texture->height, TEXTURE_RESIZE_BILINEAR);
        texture_combine(texture, cloud, TEXTURE_COMBINE_ADD);
        texture_destroy(cloud);
    }
}

void texture_min_color(Texture* texture, uint32_t colour)
{
    const int cr = channel(colour, SHIFT_R), cg = channel(colour, SHIFT_G), cb = channel(colour, SHIFT_B);
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++)
        p[i] = pack(channel(p[i], SHIFT_A), min_int(channel(p[i], SHIFT_R), cr),
                    min_int(channel(p[i], SHIFT_G), cg), min_int(channel(p[i], SHIFT_B), cb));
}

void texture_brightness(Texture* texture, float factor)
{
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++)
        p[i] = pack(channel(p[i], SHIFT_A), clamp_channel((float)channel(p[i], SHIFT_R) * factor),
                    clamp_channel((float)channel(p[i], SHIFT_G) * factor),
                    clamp_channel((float)channel(p[i], SHIFT_B) * factor));
}

void texture_contrast(Texture* texture, float factor)
{
    const int mid = 128;
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++)
        p[i] = pack(channel(p[i], SHIFT_A),
                    clamp_channel((float)(channel(p[i], SHIFT_R) - mid) * factor + (float)mid),
                    clamp_channel((float)(channel(p[i], SHIFT_G) - mid) * factor + (float)mid),
                    clamp_channel((float)(channel(p[i], SHIFT_B) - mid) * factor + (float)mid));
}

void texture_invert(Texture* texture)
{
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++) p[i] ^= RGB_MASK;
}

void texture_greyscale(Texture* texture)
{
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++) {
        const int grey = min_int(grey_value(p[i]), CHANNEL_MAX);
        p[i] = pack(channel(p[i], SHIFT_A), grey, grey, grey);
    }
}

void texture_emboss(Texture* texture, uint8_t strength)
{
    const size_t n = pixel_count(texture);
    if (n == 0) return;
    const size_t w = texture->width;
    const float s = (float)strength / EMBOSS_STRENGTH_UNIT;
    uint32_t* p = texture->pixels;
    // Grey values of the unchanged image; results then go straight back into
    // the pixels, which keep only their alpha.
    int* grey = (int*)malloc(n * sizeof(int));
    for (size_t i = 0; i < n; i++) grey[i] = grey_value(p[i]);
    for (size_t i = 0; i < n; i++) {
        // The image is one line of n pixels that wraps from the last to the
        // first: the left neighbour of a row start is the previous row's end,
        // the top and bottom rows are neighbours. w <= n, so one wrap is enough.
        const int l = grey[i == 0 ? n - 1 : i - 1];
        const int r = grey[i + 1 == n ? 0 : i + 1];
        const int d = grey[i + w >= n ? i + w - n : i + w];
        const int u = grey[i >= w ? i - w : i + n - w];
        const float v = (float)(l - r) / 4.0f * s + (float)(d - u) / 4.0f * s + EMBOSS_FLAT;
        const uint32_t g = (uint32_t)clamp_channel(v);
        p[i] = (p[i] & ALPHA_MASK) | (g << SHIFT_R) | (g << SHIFT_G) | (g << SHIFT_B);
    }
    free(grey);
}

void texture_alpha_from_brightness(Texture* texture)
{
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++) {
        const int a = (channel(p[i], SHIFT_R) + channel(p[i], SHIFT_G) + channel(p[i], SHIFT_B)) / 3;
        p[i] = (p[i] & RGB_MASK) | ((uint32_t)a << SHIFT_A);
    }
}

void texture_speckle(Texture* texture, uint8_t chance, uint32_t colour)
{
    const int ca = channel(colour, SHIFT_A), cr = channel(colour, SHIFT_R);
    const int cg = channel(colour, SHIFT_G), cb = channel(colour, SHIFT_B);
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++) {
        if (rand() % SPECKLE_RANGE >= chance) continue;
        p[i] = pack((channel(p[i], SHIFT_A) + ca) / 2, (channel(p[i], SHIFT_R) + cr) / 2,
                    (channel(p[i], SHIFT_G) + cg) / 2, (channel(p[i], SHIFT_B) + cb) / 2);
    }
}

static void random_alpha(Texture* texture, uint32_t on, uint32_t off)
{
    uint32_t* p = texture->pixels;
    const size_t n = pixel_count(texture);
    for (size_t i = 0; i < n; i++) {
        const uint32_t a = (rand() & 1) ? on : off;
        p[i] = (p[i] & RGB_MASK) | (a << SHIFT_A);
    }
}

void texture_random_alpha_hard(Texture* texture)
{
    random_alpha(texture, ALPHA_HARD_ON, ALPHA_HARD_OFF);
}

void texture_random_alpha_soft(Texture* texture)
{
    random_alpha(texture, ALPHA_SOFT_ON, ALPHA_SOFT_OFF);
}

// ---------------------------------------------------------------------------
// Operators that change the size or read a second image

void texture_mirror_tile(Texture* texture)
{
    const int w = texture->width, h = texture->height;
    // The doubled size must still fit the 16-bit sides.
    if (2 * w > SIDE_MAX || 2 * h > SIDE_MAX) return;
    Texture* old = texture_create((uint16_t)w, (uint16_t)h);
    texture_copy_pixels(texture, old);
    texture_resize(texture, (uint16_t)(2 * w), (uint16_t)(2 * h), TEXTURE_RESIZE_NEAREST);
    const size_t nw = (size_t)2 * w;
    for (int y = 0; y < h; y++) {
        const uint32_t* src = old->pixels + (size_t)y * w;
        uint32_t* top = texture->pixels + (size_t)y * nw;
        uint32_t* bottom = texture->pixels + (size_t)(2 * h - 1 - y) * nw;
        for (int x = 0; x < w; x++) {
            top[x] = src[x];
            top[nw - 1 - x] = src[x];
            bottom[x] = src[x];
            bottom[nw - 1 - x] = src[x];
        }
    }
    texture_destroy(old);
}

void texture_resize(Texture* texture, uint16_t new_width, uint16_t new_height, int mode)
{
    const int w = texture->width, h = texture->height;
    // Zeroed, so that an unknown mode or an empty source leaves no stale words.
    uint32_t* out = (uint32_t*)calloc((size_t)new_width * new_height, sizeof(uint32_t));
    if (w > 0 && h > 0) {
        switch (mode) {
        case TEXTURE_RESIZE_NEAREST: resize_nearest(texture->pixels, w, h, out, new_width, new_height); break;
        case TEXTURE_RESIZE_BILINEAR: resize_bilinear(texture->pixels, w, h, out, new_width, new_height); break;
        case TEXTURE_RESIZE_BOX: resize_box(texture->pixels, w, h, out, new_width, new_height); break;
        default: break;
        }
    }
    free(texture->pixels);
    texture->pixels = out;
    texture->width = new_width;
    texture->height = new_height;
}

void texture_combine(Texture* texture, const Texture* second, int mode)
{
    if (second->width != texture->width || second->height != texture->height) return;
    // Every mode treats the four channels alike, so the words are walked as
    // bytes; no carry passes from one channel into the next.
    uint8_t* a = (uint8_t*)texture->pixels;
    const uint8_t* b = (const uint8_t*)second->pixels;
    const size_t n = pixel_count(texture) * sizeof(uint32_t);
    switch (mode) {
    case TEXTURE_COMBINE_ADD:
        for (size_t i = 0; i < n; i++) a[i] = (uint8_t)min_int(a[i] + b[i], CHANNEL_MAX);
        break;
    case TEXTURE_COMBINE_SUBTRACT:
        for (size_t i = 0; i < n; i++) a[i] = (uint8_t)max_int(a[i] - b[i], 0);
        break;
    case TEXTURE_COMBINE_AVERAGE:
        for (size_t i = 0; i < n; i++) a[i] = (uint8_t)((a[i] + b[i]) / 2);
        break;
    default: break;
    }
}

void texture_copy_pixels(const Texture* texture, Texture* destination)
{
    if (destination->width != texture->width || destination->height != texture->height) return;
    memcpy(destination->pixels, texture->pixels, pixel_count(texture) * sizeof(uint32_t));
}

// ---------------------------------------------------------------------------
// Drawing toolbox

void texture_fill_rect(Texture* texture, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, uint32_t colour)
{
    fill_clipped(texture, min_int(x0, x1), min_int(y0, y1), max_int(x0, x1), max_int(y0, y1), colour);
}

void texture_put_pixel(Texture* texture, uint16_t x, uint16_t y, uint32_t colour)
{
    put_clipped(texture, x, y, colour);
}

void texture_draw_line(Texture* texture, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, uint32_t colour)
{
    line_clipped(texture, x0, y0, x1, y1, colour);
}

void texture_draw_hspan(Texture* texture, uint16_t x, uint16_t y, uint16_t length, uint32_t colour)
{
    fill_clipped(texture, x, y, x + length, y, colour);
}

void texture_draw_vspan(Texture* texture, uint16_t x, uint16_t y, uint16_t length, uint32_t colour)
{
    fill_clipped(texture, x, y, x, y + length, colour);
}

void texture_draw_rect(Texture* texture, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, uint32_t colour)
{
    const int left = min_int(x0, x1), right = max_int(x0, x1);
    const int top = min_int(y0, y1), bottom = max_int(y0, y1);
    fill_clipped(texture, left, top, right, top, colour);
    fill_clipped(texture, left, bottom, right, bottom, colour);
    fill_clipped(texture, left, top, left, bottom, colour);
    fill_clipped(texture, right, top, right, bottom, colour);
}

void texture_draw_circle(Texture* texture, uint16_t cx, uint16_t cy, uint16_t radius, uint32_t colour)
{
    const float fx = cx, fy = cy, r = radius;
    int px = cx;
    int py = cy + radius;
    for (float a = 0.0f; a < CIRCLE_ANGLE_END; a += CIRCLE_ANGLE_STEP) {
        const int x = (int)(fx + r * sinf(a));
        const int y = (int)(fy + r * cosf(a));
        line_clipped(texture, px, py, x, y, colour);
        px = x;
        py = y;
    }
}

void texture_fill_disc(Texture* texture, uint16_t cx, uint16_t cy, uint16_t radius, uint32_t colour)
{
    const float fx = cx, fy = cy, r = radius;
    for (float a = 0.0f; a < DISC_ANGLE_END; a += DISC_ANGLE_STEP) {
        const float half = r * sinf(a);
        const int left = (int)(fx - half);
        const int right = (int)(fx + half);
        const int row = (int)(fy + r * cosf(a));
        fill_clipped(texture, left, row, right, row, colour);
    }
}

void texture_copy_block(Texture* texture, uint16_t r0, uint16_t c0, uint16_t r1, uint16_t c1, uint16_t tr,
                        uint16_t tc)
{
    if (r1 < r0 || c1 < c0) return;
    copy_block_clipped(texture, r0, c0, r1 - r0 + 1, c1 - c0 + 1, tr, tc);
}

void texture_repeat_block(Texture* texture, uint16_t r0, uint16_t c0, uint16_t r1, uint16_t c1, int16_t row_step,
                          int16_t column_step, uint8_t count)
{
    if (r1 < r0 || c1 < c0) return;
    for (int k = 1; k <= count; k++)
        copy_block_clipped(texture, r0, c0, r1 - r0 + 1, c1 - c0 + 1, r0 + k * row_step, c0 + k * column_step);
}
