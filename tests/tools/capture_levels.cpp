// Levels of captured output for the end-to-end tests: how much of each
// frame's picture band is lit, and how loud each second of a WAV file is.
// Usage: capture_levels frames FILE.png...   one line per file:
//          FILE LIT_PERCENT BAND_MEAN OUTSIDE_LIT
//        (OUTSIDE_LIT: lit pixels above or below the band, beyond the two
//        rows next to it that 3-pixel points on the band's edge reach)
//        capture_levels sound FILE.wav       one line per whole second:
//          SECOND RMS (16-bit sample scale, both channels)
//        capture_levels diffrows A.png B.png one line per row where the two
//          differ: ROW COUNT MIN_X MAX_X (rows from the top)
//        capture_levels meandiff A.png B.png  the mean absolute difference
//          of their channels (0..255), for two PNGs of one size
//        capture_levels hashes FILE.png...   one line per file:
//          FILE HASH (FNV-1a, 64 bits, of the decoded RGB pixels, top row
//          first, so the PNG encoder's choices do not count)
//        capture_levels between BLURRED.png SUB.png...  one line:
//          OUTSIDE CHANGED: the channel values of BLURRED outside the range
//          of the SUB frames' at the same place, and those that differ
//          from the last SUB frame's (PNGs of any one size)
// Exit 0, or 1 when a file cannot be read.
#include "output/wav_write.h"
#include "runtime/gl_setup.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <vector>

// A channel above this counts a band pixel as lit.
static const int LIT_LEVEL = 8;
static const int BAND_TOP = WINDOW_HEIGHT - PICTURE_Y - PICTURE_HEIGHT; // rows from the top
static const int BAND_BOTTOM = BAND_TOP + PICTURE_HEIGHT;               // first row below
// The viewport does not clip wide points: the orb's 3-pixel dots centred on
// the band's first or last row reach this many rows beyond it.
static const int POINT_REACH = 2;

static const uint64_t FNV_OFFSET = 14695981039346656037ull;
static const uint64_t FNV_PRIME = 1099511628211ull;

// Reads a PNG as 8-bit RGB, top row first; any size when `any_size`, else
// only 800 x 600.
static bool read_rgb(const char* path, std::vector<uint8_t>* rgb, bool any_size = false)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGB;
    if (!any_size && (image.width != (png_uint_32)WINDOW_WIDTH || image.height != (png_uint_32)WINDOW_HEIGHT)) {
        png_image_free(&image);
        return false;
    }
    rgb->resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr) != 0;
}

static bool frame_levels(const char* path)
{
    std::vector<uint8_t> rgb;
    if (!read_rgb(path, &rgb)) {
        fprintf(stderr, "capture_levels: cannot read %s as an 800 x 600 PNG\n", path);
        return false;
    }
    long lit = 0, outside_lit = 0;
    double sum = 0;
    for (int y = 0; y < WINDOW_HEIGHT; y++) {
        const bool band = y >= BAND_TOP && y < BAND_BOTTOM;
        const bool beyond_points = y < BAND_TOP - POINT_REACH || y >= BAND_BOTTOM + POINT_REACH;
        for (int x = 0; x < WINDOW_WIDTH; x++) {
            const uint8_t* p = &rgb[3 * (y * WINDOW_WIDTH + x)];
            if (!band) {
                outside_lit += beyond_points && (p[0] | p[1] | p[2]) != 0;
                continue;
            }
            lit += p[0] > LIT_LEVEL || p[1] > LIT_LEVEL || p[2] > LIT_LEVEL;
            sum += p[0] + p[1] + p[2];
        }
    }
    const double band_pixels = (double)WINDOW_WIDTH * PICTURE_HEIGHT;
    printf("%s %.1f %.2f %ld\n", path, 100.0 * lit / band_pixels, sum / (3 * band_pixels), outside_lit);
    return true;
}

// Our own WAV files: a 44-byte header, then 16-bit stereo frames.
static bool sound_levels(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file || fseek(file, WAV_HEADER_BYTES, SEEK_SET) != 0) {
        fprintf(stderr, "capture_levels: cannot read %s\n", path);
        if (file) fclose(file);
        return false;
    }
    std::vector<int16_t> second(WAV_RATE * WAV_CHANNELS);
    for (long s = 0;; s++) {
        const size_t got = fread(second.data(), sizeof(int16_t), second.size(), file);
        if (got < second.size()) break; // a partial last second is not reported
        double energy = 0;
        for (int16_t v : second) energy += (double)v * v;
        printf("%ld %.1f\n", s, std::sqrt(energy / (double)got));
    }
    fclose(file);
    return true;
}

static bool frame_diff_rows(const char* a_path, const char* b_path)
{
    std::vector<uint8_t> a, b;
    if (!read_rgb(a_path, &a) || !read_rgb(b_path, &b)) {
        fprintf(stderr, "capture_levels: cannot read %s and %s as 800 x 600 PNGs\n", a_path, b_path);
        return false;
    }
    for (int y = 0; y < WINDOW_HEIGHT; y++) {
        int count = 0, min_x = WINDOW_WIDTH, max_x = -1;
        for (int x = 0; x < WINDOW_WIDTH; x++) {
            const size_t i = 3 * ((size_t)y * WINDOW_WIDTH + x);
            if (a[i] == b[i] && a[i + 1] == b[i + 1] && a[i + 2] == b[i + 2]) continue;
            count++;
            if (x < min_x) min_x = x;
            max_x = x;
        }
        if (count > 0) printf("%d %d %d %d\n", y, count, min_x, max_x);
    }
    return true;
}

static bool frame_mean_diff(const char* a_path, const char* b_path)
{
    std::vector<uint8_t> a, b;
    if (!read_rgb(a_path, &a, true) || !read_rgb(b_path, &b, true) || a.size() != b.size() || a.empty()) {
        fprintf(stderr, "capture_levels: cannot read %s and %s as PNGs of one size\n", a_path, b_path);
        return false;
    }
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++) sum += std::abs((int)a[i] - (int)b[i]);
    printf("%.3f\n", sum / (double)a.size());
    return true;
}

static bool frame_hash(const char* path)
{
    std::vector<uint8_t> rgb;
    if (!read_rgb(path, &rgb, true)) {
        fprintf(stderr, "capture_levels: cannot read %s as a PNG\n", path);
        return false;
    }
    uint64_t hash = FNV_OFFSET;
    for (uint8_t byte : rgb) hash = (hash ^ byte) * FNV_PRIME;
    printf("%s %016llx\n", path, (unsigned long long)hash);
    return true;
}

static bool frame_between(int count, char** paths)
{
    std::vector<uint8_t> blurred;
    std::vector<std::vector<uint8_t>> subs((size_t)count - 1);
    bool ok = read_rgb(paths[0], &blurred, true);
    for (int i = 1; i < count && ok; i++) ok = read_rgb(paths[i], &subs[(size_t)i - 1], true);
    for (const std::vector<uint8_t>& sub : subs) ok = ok && sub.size() == blurred.size();
    if (!ok) {
        fprintf(stderr, "capture_levels: cannot read %s and the others as PNGs of one size\n", paths[0]);
        return false;
    }
    long outside = 0, changed = 0;
    for (size_t k = 0; k < blurred.size(); k++) {
        uint8_t low = 255, high = 0;
        for (const std::vector<uint8_t>& sub : subs) {
            low = sub[k] < low ? sub[k] : low;
            high = sub[k] > high ? sub[k] : high;
        }
        outside += blurred[k] < low || blurred[k] > high;
        changed += blurred[k] != subs.back()[k];
    }
    printf("%ld %ld\n", outside, changed);
    return true;
}

int main(int argc, char** argv)
{
    if (argc >= 4 && strcmp(argv[1], "between") == 0) return frame_between(argc - 2, argv + 2) ? 0 : 1;
    if (argc >= 3 && strcmp(argv[1], "hashes") == 0) {
        bool ok = true;
        for (int i = 2; i < argc; i++) ok = frame_hash(argv[i]) && ok;
        return ok ? 0 : 1;
    }
    if (argc >= 3 && strcmp(argv[1], "frames") == 0) {
        bool ok = true;
        for (int i = 2; i < argc; i++) ok = frame_levels(argv[i]) && ok;
        return ok ? 0 : 1;
    }
    if (argc == 4 && strcmp(argv[1], "diffrows") == 0) return frame_diff_rows(argv[2], argv[3]) ? 0 : 1;
    if (argc == 4 && strcmp(argv[1], "meandiff") == 0) return frame_mean_diff(argv[2], argv[3]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "sound") == 0) return sound_levels(argv[2]) ? 0 : 1;
    fprintf(stderr, "usage: capture_levels frames FILE.png... | sound FILE.wav | diffrows A.png B.png | meandiff A.png B.png\n"
                    "       | hashes FILE.png... | between BLURRED.png SUB.png...\n");
    return 2;
}
