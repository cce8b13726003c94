// The monotonic clock, freed memory, descriptors and the texts of seconds
// and sizes.
#include "base/base.h"

#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <unistd.h>

static const uint64_t US_PER_SECOND = 1000000;
// Free memory at the top of the heap kept before any is handed back: more
// than a frame's worth at 3840 x 2160 (16 MB is enough at 800 x 600).
static const int HEAP_KEPT_BYTES = 256 << 20;

static timespec clock_now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

double clock_seconds()
{
    const timespec now = clock_now();
    return (double)now.tv_sec + now.tv_nsec / 1e9;
}

uint64_t clock_us()
{
    const timespec now = clock_now();
    return (uint64_t)now.tv_sec * US_PER_SECOND + (uint64_t)now.tv_nsec / 1000u;
}

uint32_t clock_ms()
{
    const timespec now = clock_now();
    return (uint32_t)((uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
}

void heap_keep_freed() { mallopt(M_TRIM_THRESHOLD, HEAP_KEPT_BYTES); }

void heap_release_free() { malloc_trim(0); }

void fd_close(int* fd)
{
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

std::string seconds_text(double seconds, int decimals)
{
    char text[32];
    snprintf(text, sizeof text, "%.*f s", decimals, seconds);
    return text;
}

std::string size_text(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }
