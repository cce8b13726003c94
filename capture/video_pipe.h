// Video output through the ffmpeg program, started with an argument vector,
// never through a shell: raw RGB frames go down a pipe; the sound, rendered
// beforehand, comes from a file of raw 16-bit stereo samples. (Feeding the
// sound through a second pipe alongside the frames can stall: ffmpeg may
// wait for sound while the frame pipe is full.) The container follows the
// target's extension.
#pragma once

#include "capture/frame_rate.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

enum VideoFormat {
    VIDEO_MP4,  // H.264 (yuv420p, CRF 18) and AAC
    VIDEO_MKV,  // lossless FFV1 and FLAC in Matroska
    VIDEO_WEBM, // VP9 (CRF 31) and Opus
    VIDEO_MOV,  // ProRes 422 HQ (yuv422p10le) and 16-bit PCM, for editors
};

// Constant rate factors: lower is better and larger. The formats without
// one (.mkv, .mov) have VIDEO_CRF_NONE.
const int VIDEO_CRF_NONE = -1;
const int VIDEO_CRF_MAX = 63; // VP9's highest; H.264's is 51
// The factor a format is written with unless --crf says otherwise, and its
// highest (VIDEO_CRF_NONE for a format without one).
int video_crf_default(int format);
int video_crf_max(int format);

struct VideoPipe {
    pid_t pid;    // ffmpeg's process, 0 when none runs
    int video_fd; // write end of the frame pipe, -1 when closed
    int log_fd;   // ffmpeg's standard error, kept in an unlinked file
    double child_cpu_seconds; // ffmpeg's processor time, known after video_close
    const char* program;      // named in messages; null for ffmpeg
};

const uint32_t VIDEO_AUDIO_RATE = 44100;

// The format for a file name's extension (.mp4, .mkv, .webm, .mov, any case);
// false for others.
bool video_format_for(const std::string& path, int* format);
// True when the ffmpeg program is on the PATH; else false with a reason that
// names the package that has it.
bool video_program_found(std::string* error);

// Starts ffmpeg writing `file` (overwritten) in `format`, reading width x
// height RGB frames at `rate`, and the sound track from `sound_fd`: a
// regular file of interleaved 16-bit little-endian stereo at 44,100 Hz, read
// from its start. `crf` is the rate factor (VIDEO_CRF_NONE: the format's
// default). `comment` goes into the file's metadata. False with a reason
// when ffmpeg cannot start.
bool video_open(VideoPipe* video, const std::string& file, int format, FrameRate rate, int width, int height,
                int crf, int sound_fd, const std::string& comment, std::string* error);
// Starts ffmpeg writing `file` in `format` from the pictures of the parts
// that the concat list in the regular file `list_fd` names, copied as they
// are, and the sound track from `sound_fd` as for video_open. Finished with
// video_close.
bool video_join_open(VideoPipe* video, const std::string& file, int format, int list_fd, int sound_fd,
                     const std::string& comment, std::string* error);
// The name ffmpeg gives the picture codec of `format`: "h264", "ffv1", "vp9" or "prores".
const char* video_codec_name(int format);
// One frame of width x height x 3 bytes, top row first.
bool video_write_frame(VideoPipe* video, const uint8_t* rgb, size_t bytes, std::string* error);
// Ends both streams and waits for ffmpeg to finish the file. False, with
// ffmpeg's last message, when it did not.
bool video_close(VideoPipe* video, std::string* error);
// Runs the ffprobe program (part of ffmpeg) with `options` on `file` and
// returns what it printed; false with its message when it failed.
bool video_probe(const std::string& file, const std::vector<std::string>& options, std::string* output,
                 std::string* error);
// Stops ffmpeg at once, without finishing the file (after a failure elsewhere).
void video_abort(VideoPipe* video);
