// Small helpers every library and program may use: the one monotonic
// clock, the millisecond constant, keeping freed memory, closing a
// descriptor, and the texts of seconds and sizes in messages.
#pragma once

#include <cstdint>
#include <string>

const double MS_PER_SECOND = 1000.0;

// Clock
// Seconds, microseconds and milliseconds of the one monotonic clock of the
// process (CLOCK_MONOTONIC): unaffected by changes of the wall-clock time.
double clock_seconds();
uint64_t clock_us();
// Milliseconds, wrapping at 2^32 (about 49.7 days): take differences as
// unsigned 32-bit numbers.
uint32_t clock_ms();

// Memory
// Keeps what is freed in the process for what is allocated next, rather than
// handing the top of the heap back to the system at every free: the software
// renderer allocates and frees tens of megabytes a frame, and memory taken
// back from the system is zeroed page by page again (a third of a frame of
// scene 7 at half size). Call before loading.
void heap_keep_freed();
// Hands back to the system what is free now (what loading no longer needs).
void heap_release_free();

// Descriptors
// Closes *fd when it is open (0 or more) and marks it closed (-1).
void fd_close(int* fd);

// Texts
// "12.5 s" with `decimals` digits after the point.
std::string seconds_text(double seconds, int decimals = 1);
// "1920x1080".
std::string size_text(int width, int height);
