// PNG output of captured frames. Captures are intermediates, so frames are
// compressed for speed: zlib level 1 with the "sub" filter on every row,
// about 7 times faster than the library's defaults for files about a fifth
// larger.
#pragma once

#include <cstdint>
#include <string>

const int PNG_ZLIB_LEVEL = 1;

// Writes 8-bit RGB pixels, top row first, into the file `path` (created or
// truncated). Returns false (and a reason) on failure.
bool png_write_rgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error);
// The same into `fd` (which stays open); `path` names it in messages.
bool png_write_rgb_fd(int fd, const std::string& path, int width, int height, const uint8_t* rgb, std::string* error);
