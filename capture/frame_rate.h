// Frame rates as exact ratios, and the frame grid they lay over the timeline.
#pragma once

#include <cstdint>
#include <string>

// num / den frames per second, in lowest terms; both fit 31 bits, so the
// ratio can be handed on unchanged (to ffmpeg, for one).
struct FrameRate {
    int64_t num;
    int64_t den;
};

const FrameRate FRAME_RATE_DEFAULT = {60, 1};
// Frames per second. Below one frame in 10 s a single frame's span (and the
// music rendered to its end) would outgrow the presentation for nothing.
const double FRAME_RATE_MIN = 0.1;
const double FRAME_RATE_MAX = 1000.0;
const int FRAME_RATE_MAX_DECIMALS = 6;

// Reads "60", "59.94" (up to 6 decimals) or "30000/1001". Returns false for
// anything else and for rates below 0.1 or above 1000 frames per second.
bool frame_rate_parse(const char* text, FrameRate* rate);
// "60" or "30000/1001".
std::string frame_rate_text(FrameRate rate);
double frame_rate_value(FrameRate rate);

// Seconds of frame `index`: index x den / num, computed from the index alone
// so that no error accumulates from frame to frame.
double frame_time(FrameRate rate, int64_t index);
// Index of the first frame at or after `seconds`. A time within a millionth
// of a frame of a frame's time counts as that frame's time.
int64_t frame_at_or_after(FrameRate rate, double seconds);
// True when `seconds` is a frame's time (to within a millionth of a frame).
bool frame_time_on_grid(FrameRate rate, double seconds);
