// Videos of adjoining stretches of frames joined into one, the pictures
// copied, not encoded again, and the sound of the whole span written once
// under them. Every video the capture tool writes records its span and its
// settings in its metadata (the "comment"), so that the parts of a capture
// shared among processes, or among machines, can be checked and joined.
#pragma once

#include "capture/frame_rate.h"

#include <cstdint>
#include <string>
#include <vector>

// The frames a video holds and what else decides its pictures.
struct VideoSpan {
    int64_t first;        // index of its first frame on the rate's grid
    int64_t count;        // frames
    FrameRate rate;
    std::string settings; // "quiet-harbor-capture VERSION; captions off", compared as text
};

// One video to join, as ffprobe reads it.
struct JoinPart {
    std::string path;
    VideoSpan span;
    std::string codec;      // "h264", "ffv1" or "vp9"
    std::string pixels;     // pixel format
    std::string parameters; // hash of the decoder's set-up data, which one joined stream shares
    int width, height;
    int64_t frames;         // pictures found in the file
    std::string start_time; // seconds of its first picture, as ffprobe prints it
};

// The parts in frame order and the span they make together.
struct JoinPlan {
    std::vector<JoinPart> parts;
    VideoSpan whole;
    int format; // VideoFormat of the parts and of the joined video
};

// "quiet-harbor-capture 1.0.0; frames 9600+1200; rate 60/1; captions off"
std::string video_span_comment(const VideoSpan& span);
// Reads a comment made by video_span_comment; false for any other text.
bool video_span_parse(const std::string& comment, VideoSpan* span);

// Reads the parts, puts them in frame order and checks that they can make
// one video in `format`: each a whole video of this tool, all of one
// format, size, rate and settings, each starting where the one before it
// ends. False with a reason naming the part at fault.
bool join_plan(const std::vector<std::string>& paths, int format, JoinPlan* plan, std::string* error);
// Writes the joined video into `file` (overwritten; `target` names it in
// messages) with the sound track in `sound_fd` (raw 16-bit stereo at
// 44,100 Hz from the whole span's first frame to the end of its last).
// ffmpeg's processor time goes to `cpu_seconds`.
bool join_write(const JoinPlan& plan, const std::string& file, int sound_fd, double* cpu_seconds,
                std::string* error);
