// Frame rates as exact ratios: parsing, and frame times from frame indexes.
#include "capture/frame_rate.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

// Times this close to a frame's time, in frames, count as that frame's time:
// decimal input like 0.1 s is not exactly representable.
static const double GRID_TOLERANCE = 1e-6;
static const int64_t RATIO_PART_MAX = 0x7FFFFFFF;
// FRAME_RATE_MIN and FRAME_RATE_MAX as exact ratios: the bounds are compared
// by cross-multiplying (both parts fit 31 bits, so the products fit 64), never
// as a floating quotient, whose rounding depends on the arithmetic unit.
static const FrameRate RATE_BOUND_MIN = {1, 10};
static const FrameRate RATE_BOUND_MAX = {1000, 1};

static int64_t gcd(int64_t a, int64_t b)
{
    while (b != 0) {
        const int64_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

// Reads up to `max_digits` decimal digits; returns the number of digits read.
static int read_digits(const char** text, int max_digits, int64_t* value)
{
    int digits = 0;
    *value = 0;
    while (isdigit((unsigned char)**text) && digits < max_digits) {
        *value = *value * 10 + (**text - '0');
        (*text)++;
        digits++;
    }
    return digits;
}

static bool parse_ratio(const char* text, int64_t* num, int64_t* den)
{
    const int MAX_WHOLE_DIGITS = 10;
    if (read_digits(&text, MAX_WHOLE_DIGITS, num) == 0) return false;
    *den = 1;
    if (*text == '/') {
        text++;
        if (read_digits(&text, MAX_WHOLE_DIGITS, den) == 0) return false;
    } else if (*text == '.') {
        text++;
        int64_t fraction = 0;
        const int decimals = read_digits(&text, FRAME_RATE_MAX_DECIMALS, &fraction);
        if (decimals == 0) return false;
        for (int i = 0; i < decimals; i++) *num *= 10, *den *= 10;
        *num += fraction;
    }
    return *text == '\0';
}

bool frame_rate_parse(const char* text, FrameRate* rate)
{
    int64_t num = 0, den = 0;
    if (!parse_ratio(text, &num, &den) || num == 0 || den == 0) return false;
    const int64_t common = gcd(num, den);
    num /= common;
    den /= common;
    if (num > RATIO_PART_MAX || den > RATIO_PART_MAX) return false;
    if (num * RATE_BOUND_MIN.den < RATE_BOUND_MIN.num * den) return false;
    if (num * RATE_BOUND_MAX.den > RATE_BOUND_MAX.num * den) return false;
    rate->num = num;
    rate->den = den;
    return true;
}

std::string frame_rate_text(FrameRate rate)
{
    if (rate.den == 1) return std::to_string(rate.num);
    return std::to_string(rate.num) + "/" + std::to_string(rate.den);
}

double frame_rate_value(FrameRate rate) { return (double)rate.num / (double)rate.den; }

double frame_time(FrameRate rate, int64_t index) { return (double)(index * rate.den) / (double)rate.num; }

int64_t frame_at_or_after(FrameRate rate, double seconds)
{
    const double frames = seconds * (double)rate.num / (double)rate.den;
    const double nearest = std::round(frames);
    if (std::fabs(frames - nearest) <= GRID_TOLERANCE) return (int64_t)nearest;
    return (int64_t)std::ceil(frames);
}

bool frame_time_on_grid(FrameRate rate, double seconds)
{
    const double frames = seconds * (double)rate.num / (double)rate.den;
    return std::fabs(frames - std::round(frames)) <= GRID_TOLERANCE;
}
