// Small helpers every library and program may use: the one monotonic
// clock, the millisecond constant, closing a descriptor, and the texts of
// seconds and sizes in messages.
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

// Descriptors
// Closes *fd when it is open (0 or more) and marks it closed (-1).
void fd_close(int* fd);

// Texts
// "12.5 s" with `decimals` digits after the point.
std::string seconds_text(double seconds, int decimals = 1);
// "1920x1080".
std::string size_text(int width, int height);
