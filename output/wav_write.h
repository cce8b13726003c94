// WAV output of rendered sound: 44,100 Hz, signed 16-bit, stereo, streamed to
// the file as it is rendered. The length is known before rendering, so the
// header states the final sizes from the start and the file is written from
// start to end: a pipe takes it as well as a file.
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
    uint32_t length; // frames the header states
};

// Longest sound a WAV header can state, in frames (a little over 27 hours).
uint32_t wav_max_frames();
// Starts writing a WAV of `length` frames into `fd` (which stays open;
// `path` names it in messages) with its header. Returns false (and a
// reason) on failure, and at once when `length` is too long for a WAV.
bool wav_open(WavWriter* wav, int fd, const std::string& path, uint64_t length, std::string* error);
// Appends `frames` interleaved stereo frames.
bool wav_write(WavWriter* wav, const int16_t* samples, uint32_t frames, std::string* error);
// Flushes the file; false when it failed or holds fewer frames than announced.
bool wav_close(WavWriter* wav, std::string* error);
