// PNG output of captured frames.
#pragma once

#include <cstdint>
#include <string>

// Writes 8-bit RGB pixels, top row first. Returns false (and a reason) on failure.
bool png_write_rgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error);
