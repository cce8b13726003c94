// WAV output of rendered sound: 44,100 Hz, signed 16-bit, stereo, streamed to
// the file as it is rendered, with the header's sizes filled in at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

const uint32_t WAV_RATE = 44100;     // frames per second
const uint16_t WAV_CHANNELS = 2;
const uint16_t WAV_BITS = 16;
const uint32_t WAV_HEADER_BYTES = 44;

struct WavWriter {
    FILE* file;      // null when not open
    std::string path;
    uint32_t frames; // frames written so far
};

// Creates the file with a provisional header. Returns false (and a reason) on failure.
bool wav_open(WavWriter* wav, const std::string& path, std::string* error);
// Appends `frames` interleaved stereo frames.
bool wav_write(WavWriter* wav, const int16_t* samples, uint32_t frames, std::string* error);
// Writes the final sizes into the header and closes the file.
bool wav_close(WavWriter* wav, std::string* error);
