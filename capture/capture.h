// The parts of quiet-harbor-capture shared by its source files: the options,
// the plan of frames, the music run along them, and where frames go.
#pragma once

#include "presentation/demo.h"
#include "presentation/demo_audio.h"
#include "presentation/options.h"
#include "capture/capture_progress.h"
#include "capture/capture_signals.h"
#include "capture/frame_rate.h"
#include "output/pending_file.h"
#include "capture/video_pipe.h"
#include "output/wav_write.h"
#include "runtime/gl_setup.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What a run writes.
enum CaptureMode {
    CAPTURE_FRAME,      // --at: one PNG file
    CAPTURE_SEQUENCE,   // --from/--to: numbered PNG files in a folder
    CAPTURE_VIDEO,      // --video: one video file with sound
    CAPTURE_AUDIO_ONLY, // --audio-only: the music as a WAV file
    CAPTURE_JOIN,       // --join: videos of adjoining stretches as one video
};

// Processes a sequence or video may be shared among.
const int JOBS_MAX = 64;
// Parts --part may cut a sequence or video into.
const int PARTS_MAX = 10000;
// Frames drawn and averaged for each frame saved (--motion-blur), and the
// shutter's interval in degrees of a frame's period (--shutter).
const int BLUR_MAX = 64;
const int SHUTTER_DEFAULT = 180;
const int SHUTTER_MAX = 360;
// Each process's part is open beside the capture's own few files.
static_assert(JOBS_MAX + 8 <= PENDING_FILES_MAX, "every temporary of a capture is removed on a signal");

struct CaptureOptions {
    int mode = CAPTURE_SEQUENCE;
    double from = 0.0;                  // seconds: --at, or the start of a sequence or video
    double to = TIMELINE_END;           // seconds: end of a sequence or video (exclusive)
    FrameRate fps = FRAME_RATE_DEFAULT; // frame rate the presentation runs at
    std::string out;                    // PNG file, folder or WAV file
    std::string video;                  // video file
    std::string audio;                  // WAV written along a sequence; empty = none
    double seconds = TIMELINE_END;      // length of --audio-only
    bool quiet = false;                 // no progress and no summary
    bool force = false;                 // a sequence replaces another capture's frames in its folder
    int jobs = 0;                       // processes sharing the frames; 0: chosen for the machine
    int crf = VIDEO_CRF_NONE;           // --crf of an .mp4 or .webm video; else the format's default
    int blur = 1;                       // --motion-blur: frames drawn for each frame saved
    int shutter = SHUTTER_DEFAULT;      // --shutter: degrees of a frame's period they span
    int part = 0, part_count = 0;       // --part K/N; 0/0 without it
    // With --part, from and to are the part's and these place its frames
    // in the whole capture: the first one's index and the whole's count.
    int64_t name_offset = 0;
    int64_t name_total = 0;             // 0: the run's own count
    SharedOptions shared = shared_options_default(); // size, samples, captions, statistics
    std::vector<std::string> parts;     // --join: the videos to join
    std::vector<OptionGiven> given;     // every option as given, in order
};

// Parses the command line (an OptionsResult): OPTIONS_RUN when the options
// are usable; OPTIONS_BAD after reporting a usage error; OPTIONS_HELP and
// OPTIONS_VERSION, printed by the caller.
int capture_parse_options(int argc, char** argv, CaptureOptions* options);
const char* capture_usage();
// Reports a usage error found after parsing (one line, then the usage on
// standard error) and returns EXIT_USAGE.
int capture_usage_error(const std::string& problem);
// The command line of a process of --jobs rendering [from, to) into
// `target` (the sequence's folder or its part of the video): the options
// given that decide the pictures, as given, then the stretch and the output.
std::vector<std::string> capture_worker_arguments(const CaptureOptions& options, double from, double to,
                                                  const std::string& target);
// What besides the span and rate decides a video's pictures, recorded in
// its metadata: "quiet-harbor-capture 1.0.0; captions off; msaa 1", then
// "; crf 23" for a rate factor other than the format's default and
// "; motion blur 8 over 180 degrees" with motion blur.
std::string capture_settings(const CaptureOptions& options);

// The frames of a run: those before `first` are played through unsaved, then
// `count` frames are saved. Frames sit on the grid k / fps; only --at may
// save one frame between two grid frames (`off_grid_time`).
struct FramePlan {
    FrameRate fps;
    int64_t first;        // grid index of the first saved frame
    int64_t count;        // frames saved
    double off_grid_time; // --at between grid frames: its time; else -1
};

FramePlan frame_plan(const CaptureOptions& options);
// Seconds of sub-frame j (0 <= j < blur) of grid frame `index` with motion
// blur: the blur instants spread evenly over the shutter's interval, which
// ends at the frame's own time (j = blur - 1); never before 0. With a
// shutter of 360 degrees they are the frames of blur x fps.
double blur_time(FrameRate fps, int64_t index, int blur, int shutter, int j);
// Cuts the plan's frames into `stretches` contiguous non-empty stretches (at
// most its count) that cost about the same to render, each with its
// play-through: their starts, then the end. The same plan gives the same
// cut on any machine running the same version.
std::vector<int64_t> capture_split(const FramePlan& plan, int stretches);
// Seconds of saved frame i (0 <= i <= count; count gives the end of the last frame).
double frame_plan_time(const FramePlan& plan, int64_t i);

// Where the music's samples go.
typedef bool (*MusicSink)(void* context, const int16_t* samples, uint32_t frames, std::string* error);

// The music along the virtual clock, offline: every block the player renders
// is taken out of the queue at once, as the device would play it; the frames
// within [first, end) go to the sink.
struct CaptureMusic {
    DemoAudio audio;
    uint64_t rendered;  // frames rendered and taken from the queue so far
    uint64_t first;     // first frame handed to the sink
    uint64_t end;       // frames from here on are not handed on
    MusicSink sink;     // or null: the music still runs, for the pictures
    void* sink_context;
};

const uint32_t MUSIC_RATE = 44100; // frames per second

// A sink writing to a WavWriter (the context).
bool music_wav_sink(void* context, const int16_t* samples, uint32_t frames, std::string* error);

uint64_t music_frame_at(double seconds);
// Starts the song exactly as the window does, without a sound device, and
// seeds playback's random numbers with the capture's fixed seed.
bool music_start(CaptureMusic* music, double first, double end, MusicSink sink, void* context);
// Renders until at least round(seconds x 44,100) frames exist, so every cell
// up to that moment has reached the sync state.
bool music_advance(CaptureMusic* music, double seconds);
// Renders up to `seconds` one second at a time, showing `phase` in the progress.
bool music_render(CaptureMusic* music, double seconds, Progress* progress, const char* phase);
// Renders to the end of the span when `ok`, then stops the song.
bool music_finish(CaptureMusic* music, bool ok);
// The sound from `first` to `end` seconds as raw 16-bit little-endian
// stereo samples in an unnamed scratch file in $TMPDIR (or /tmp), as ffmpeg
// reads a video's sound. Null after reporting a failure.
FILE* music_track(double first, double end, Progress* progress);

// Runs of each mode; return the exit status.
int capture_audio_only(const CaptureOptions& options, Progress* progress);
int capture_frames(const CaptureOptions& options, Progress* progress);
// A sequence or video shared among options.jobs processes, or as many as
// suit the machine and the span when 0.
int capture_jobs(const CaptureOptions& options, Progress* progress);
int capture_join(const CaptureOptions& options, Progress* progress);

// This process as one of the processes of --jobs: where a sequence's frames
// go and how its progress is told. Set from the environment the parent
// gives it; `active` false in a capture started by hand.
struct CaptureWorker {
    bool active;
    int folder_fd;       // a sequence's folder, opened and locked by the parent; else -1
    int64_t name_offset; // saved frame 0 is named frame_<name_offset> in the whole capture
    int digits;          // of the whole capture's frame names
};
extern CaptureWorker g_worker;

// Reads the worker's environment; false with a reason when it is malformed.
// Arranges for this process to end when the parent does.
bool worker_start(std::string* error);
// Tells the parent how many frames are saved (at most ten times a second,
// and always the last).
void worker_report_saved(int64_t saved, bool last);
// Tells the parent the ffmpeg process this worker started.
void worker_report_child(pid_t pid);
// Tells the parent where the time went (seconds, in the order of the summary).
void worker_report_times(const std::vector<double>& times);

// Reports one line "quiet-harbor-capture: ..." on standard error.
void capture_error(const std::string& message);
// The same, returning false: ok = capture_failed("...").
bool capture_failed(const std::string& message);
