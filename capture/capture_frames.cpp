// Captures of frames: PNG files, PNG sequences and videos. Sets up the
// output, loads, plays the frames before the first saved one through without
// drawing pixels, then draws, reads back and hands on the saved frames.
#include "capture/capture.h"

#include "presentation/demo.h"
#include "presentation/demo_stats.h"
#include "presentation/render_scale.h"
#include "capture/frame_folder.h"
#include "capture/frame_writer.h"
#include "offscreen/offscreen.h"
#include "output/pending_file.h"
#include "capture/video_join.h"
#include "runtime/gl_setup.h"
#include "runtime/text.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// Everything one run of frames holds, and where its time goes (seconds).
struct FrameRun {
    const CaptureOptions* options;
    Progress* progress;
    FramePlan plan;
    int target;        // FrameTarget
    int folder_fd;     // a sequence's folder, locked; else -1
    PendingFile file;  // the PNG file, the video, or the WAV along a sequence
    bool have_file;
    WavWriter wav;
    VideoPipe video;
    FILE* sound;       // the video's sound track, rendered before the frames
    CaptureMusic music;
    DemoLoop loop;
    DemoStats* stats;  // with --stats, else null
    std::vector<uint8_t> subframe;  // motion blur: a sub-frame read back (BGRA) ...
    std::vector<uint32_t> light;    // ... and the linear light of those so far, summed
    char renderer[256];
    double sound_time, loading, playing_through, music_time, drawing, reading, waiting, finishing;
};

FramePlan frame_plan(const CaptureOptions& options)
{
    FramePlan plan = {options.fps, frame_at_or_after(options.fps, options.from), 1, -1.0};
    if (options.mode != CAPTURE_FRAME) plan.count = frame_at_or_after(options.fps, options.to) - plan.first;
    else if (!frame_time_on_grid(options.fps, options.from)) plan.off_grid_time = options.from;
    return plan;
}

double frame_plan_time(const FramePlan& plan, int64_t i)
{
    if (i == 0 && plan.off_grid_time >= 0) return plan.off_grid_time;
    return frame_time(plan.fps, plan.first + i);
}

static int64_t common_divisor(int64_t a, int64_t b) { return b == 0 ? a : common_divisor(b, a % b); }

// Counted in 1 / (blur x b) of a frame, where the shutter is a / b of a
// period, sub-frame j lies a x (blur - 1 - j) before the frame; one
// division, as frame_time makes, so that at 360 degrees it is the very
// time of the frame of blur x fps. Exact in 64 bits: index x den stays
// under 225 x num.
double blur_time(FrameRate fps, int64_t index, int blur, int shutter, int j)
{
    const int64_t g = common_divisor(shutter, SHUTTER_MAX);
    const int64_t a = shutter / g, b = SHUTTER_MAX / g;
    const int64_t steps = index * blur * b - a * (blur - 1 - j);
    const double seconds = (double)(steps * fps.den) / (double)(fps.num * blur * b);
    return seconds > 0.0 ? seconds : 0.0;
}

// Seconds of sub-frame j of saved frame i; the frame's own time without blur.
static double subframe_time(const FrameRun& run, int64_t i, int j)
{
    const CaptureOptions& o = *run.options;
    if (o.blur == 1) return frame_plan_time(run.plan, i);
    if (i > 0 || run.plan.off_grid_time < 0) return blur_time(run.plan.fps, run.plan.first + i, o.blur, o.shutter, j);
    // --at between grid frames: the same spacing back from its time.
    const double before = (double)(o.shutter * (o.blur - 1 - j) * run.plan.fps.den) /
                          (double)(SHUTTER_MAX * o.blur * run.plan.fps.num);
    return std::max(run.plan.off_grid_time - before, 0.0);
}

// Creates what the run writes before anything is drawn, so an unwritable
// target fails at once.
static bool output_open(FrameRun* run, std::string* error)
{
    const CaptureOptions& o = *run->options;
    if (o.mode == CAPTURE_SEQUENCE) {
        run->target = FRAME_TARGET_PNG_FOLDER;
        // A worker of --jobs writes into the folder its parent locked.
        if (g_worker.active) run->folder_fd = fcntl(g_worker.folder_fd, F_DUPFD_CLOEXEC, 0);
        else run->folder_fd = frame_folder_open(o.out, o.force, error);
        if (run->folder_fd < 0 && g_worker.active) *error = o.out + ": " + strerror(errno);
        if (run->folder_fd < 0 || o.audio.empty()) return run->folder_fd >= 0;
        const uint64_t length = music_frame_at(frame_plan_time(run->plan, run->plan.count)) -
                                music_frame_at(frame_plan_time(run->plan, 0));
        run->have_file = pending_open(&run->file, o.audio, error);
        return run->have_file && wav_open(&run->wav, run->file.fd, run->file.target, length, error);
    }
    run->target = o.mode == CAPTURE_VIDEO ? FRAME_TARGET_VIDEO : FRAME_TARGET_PNG_FILE;
    if (o.mode == CAPTURE_VIDEO && !video_program_found(error)) return false;
    run->have_file = pending_open(&run->file, o.mode == CAPTURE_VIDEO ? o.video : o.out, error);
    return run->have_file;
}

// The video's sound, rendered before anything else, then ffmpeg started on
// it. The music played for the pictures afterwards is the same, sample for
// sample.
static bool video_start(FrameRun* run)
{
    const double begin = clock_seconds();
    run->sound = music_track(frame_plan_time(run->plan, 0), frame_plan_time(run->plan, run->plan.count),
                             run->progress);
    bool ok = run->sound != nullptr;
    if (ok) {
        int format = VIDEO_MP4;
        video_format_for(run->options->video, &format);
        std::string error;
        const VideoSpan span = {run->plan.first, run->plan.count, run->plan.fps, capture_settings(*run->options)};
        {
            ChildStart starting;
            ok = video_open(&run->video, run->file.path, format, run->options->fps, g_frame.width, g_frame.height,
                            run->options->crf, fileno(run->sound), video_span_comment(span), &error);
            signals_watch_child(run->video.pid);
        }
        if (!ok) capture_error(error);
        if (ok) worker_report_child(run->video.pid);
    }
    run->sound_time = clock_seconds() - begin;
    return ok;
}

// Finishes the files after the last frame; on failure removes what is half-written.
static bool output_close(FrameRun* run, bool ok, int64_t frames_written)
{
    std::string error;
    if (run->target == FRAME_TARGET_VIDEO) {
        if (ok) progress_phase(run->progress, "encoding", 0, "");
        if (ok && !video_close(&run->video, &error)) ok = capture_failed(pending_message(&run->file, error));
        if (!ok) video_abort(&run->video);
        signals_watch_child(0);
    }
    if (run->sound) fclose(run->sound);
    if (run->wav.file && !wav_close(&run->wav, &error) && ok) ok = capture_failed(pending_message(&run->file, error));
    if (run->have_file && ok && !pending_commit(&run->file, &error)) ok = capture_failed(error);
    if (run->have_file && !ok) pending_discard(&run->file);
    if (ok && run->folder_fd >= 0 && !folder_sync(run->folder_fd, run->options->out, &error))
        ok = capture_failed(error);
    if (run->folder_fd >= 0) close(run->folder_fd);
    run->folder_fd = -1;
    if (!ok && run->target == FRAME_TARGET_PNG_FOLDER && frames_written > 0 && !g_worker.active) {
        capture_error(run->options->out + " holds only the first " + std::to_string(frames_written) + " of " +
                      std::to_string(run->plan.count) + " frames");
    }
    return ok;
}

static bool timed_music_advance(FrameRun* run, double seconds)
{
    const double begin = clock_seconds();
    const bool ok = music_advance(&run->music, seconds);
    run->music_time += clock_seconds() - begin;
    return ok;
}

// Drawing commands issued between play_through_begin and play_through_end
// are dropped before any vertex is processed, while every state command runs
// as usual: they are rendered on the condition of an occlusion query that
// counted no samples. Rasterisation is discarded besides, so no pixel is
// touched even by a driver that ignored the condition. Clears are dropped
// too, which is why the first saved frame is drawn after play_through_end.
static void play_through_begin(GLuint* query)
{
    glGenQueries(1, query);
    glBeginQuery(GL_SAMPLES_PASSED, *query);
    glEndQuery(GL_SAMPLES_PASSED);
    glBeginConditionalRender(*query, GL_QUERY_WAIT);
    glEnable(GL_RASTERIZER_DISCARD);
}

static void play_through_end(GLuint query)
{
    glDisable(GL_RASTERIZER_DISCARD);
    glEndConditionalRender();
    glDeleteQueries(1, &query);
}

// The frames before the first saved one run through the very same calls
// without drawing: the scenes' per-frame state, the music's sync and all GL
// state advance as in the window, cheaply.
static bool play_through(FrameRun* run)
{
    const double begin = clock_seconds();
    progress_phase(run->progress, "playing through", run->plan.first, "frames");
    GLuint query = 0;
    play_through_begin(&query);
    bool ok = true;
    const CaptureOptions& o = *run->options;
    for (int64_t k = 0; k < run->plan.first && ok; k++) {
        // With motion blur every sub-frame runs, so that a stretch starts
        // from the state a capture from 0 reaches.
        for (int j = 0; j < o.blur && ok; j++) {
            const double time = o.blur == 1 ? frame_time(run->plan.fps, k)
                                            : blur_time(run->plan.fps, k, o.blur, o.shutter, j);
            ok = timed_music_advance(run, time);
            if (ok) demo_draw_frame(&run->loop, (float)time);
        }
        progress_step(run->progress, k + 1);
    }
    play_through_end(query);
    run->playing_through = clock_seconds() - begin - run->music_time;
    return ok;
}

// Motion blur averages the sub-frames in linear light, as a camera's sensor
// adds up light: the stored values are sRGB-encoded, and averaging them as
// they are would darken every edge a bright object moves across. Light is
// kept in 16 bits; the way back finds the nearest stored value, so a pixel
// that stays still keeps its value exactly.
static uint16_t s_linear[256];
static uint8_t s_stored[65536];

static void light_tables()
{
    if (s_linear[255] != 0) return;
    for (int v = 0; v < 256; v++) {
        const double c = v / 255.0;
        const double light = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        s_linear[v] = (uint16_t)std::lround(light * 65535.0);
    }
    int v = 0;
    for (int light = 0; light < 65536; light++) {
        while (v < 255 && 2 * light >= s_linear[v] + s_linear[v + 1]) v++;
        s_stored[light] = (uint8_t)v;
    }
}

// Adds the sub-frame just read back to the light summed so far (the first
// starts the sum). Alpha goes the same way; it is not saved.
static void light_add(FrameRun* run, bool first)
{
    const size_t n = run->subframe.size();
    run->light.resize(n);
    const uint8_t* in = run->subframe.data();
    uint32_t* sum = run->light.data();
    if (first) {
        for (size_t k = 0; k < n; k++) sum[k] = s_linear[in[k]];
    } else {
        for (size_t k = 0; k < n; k++) sum[k] += s_linear[in[k]];
    }
}

static void light_average(const FrameRun& run, std::vector<uint8_t>* bgra)
{
    const uint32_t count = (uint32_t)run.options->blur;
    const size_t n = run.light.size();
    bgra->resize(n);
    for (size_t k = 0; k < n; k++) (*bgra)[k] = s_stored[(run.light[k] + count / 2) / count];
}

// Reads the frame drawn (resolved when multisampled) into `bgra`. BGRA is
// the read-back the driver does with a plain copy; the writer turns it into
// RGB on its own thread.
static void read_back(std::vector<uint8_t>* bgra)
{
    const FrameGeometry& f = g_frame;
    offscreen_resolve(f.width, f.height);
    bgra->resize((size_t)f.width * f.height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, f.width, f.height, GL_BGRA, GL_UNSIGNED_BYTE, bgra->data());
}

// Draws the sub-frames of saved frame i and sums their light; false when
// the music failed.
static bool draw_blurred(FrameRun* run, int64_t i)
{
    light_tables();
    for (int j = 0; j < run->options->blur; j++) {
        const double time = subframe_time(*run, i, j);
        if (!timed_music_advance(run, time)) return false;
        const double begin = clock_seconds();
        demo_draw_frame(&run->loop, (float)time);
        read_back(&run->subframe);
        light_add(run, j == 0);
        run->drawing += clock_seconds() - begin;
    }
    return true;
}

// Draws saved frame i and hands it to the writer.
static bool capture_frame(FrameRun* run, FrameWriter* writer, int64_t i)
{
    const double time = frame_plan_time(run->plan, i);
    const bool blurred = run->options->blur > 1;
    const double sub_frames_drawing = run->drawing;
    if (blurred && !draw_blurred(run, i)) return false;
    if (!blurred && !timed_music_advance(run, time)) return false;
    const double drawing_begin = clock_seconds();
    if (!blurred) demo_draw_frame(&run->loop, (float)time);
    glFinish();
    const double drawn = clock_seconds();
    const double drawing = run->drawing - sub_frames_drawing + drawn - drawing_begin;
    if (run->stats) demo_stats_add(run->stats, run->loop.last_scene, drawing * 1000.0, time);
    const float scale = render_scale_get();
    if (run->stats && scale < 1.0f) demo_stats_add_scale(run->stats, run->loop.last_scene, scale);
    FrameSlot* slot = frame_writer_acquire(writer);
    const double acquired = clock_seconds();
    if (!slot) return false;
    if (blurred) light_average(*run, &slot->bgra);
    else read_back(&slot->bgra);
    slot->index = i;
    frame_writer_submit(writer, slot);
    run->drawing += drawn - drawing_begin;
    run->waiting += acquired - drawn;
    run->reading += clock_seconds() - acquired;
    return true;
}

// The saved frames (none when `ok` is false), then the music to the end of
// the span.
static bool capture_saved(FrameRun* run, FrameWriter* writer, bool ok)
{
    if (ok) progress_phase(run->progress, "capturing", run->plan.count, "frames");
    for (int64_t i = 0; i < run->plan.count && ok; i++) {
        ok = capture_frame(run, writer, i);
        progress_step(run->progress, i + 1);
        worker_report_saved(i + 1, i + 1 == run->plan.count);
    }
    const double begin = clock_seconds();
    ok = music_finish(&run->music, ok);
    run->music_time += clock_seconds() - begin;
    return ok;
}

static Progress* s_load_progress = nullptr;
static void after_load_step(int step) { progress_step(s_load_progress, step); }

// Multisampling as asked, with one line when the renderer gives another count.
static bool multisample_open(const SharedOptions& o)
{
    const int samples = offscreen_samples_for(o.samples);
    if (samples != o.samples) {
        const std::string instead = samples > 1 ? "using " + std::to_string(samples) : "drawing without";
        capture_error("--msaa " + std::to_string(o.samples) + ": this renderer has no " +
                      std::to_string(o.samples) + " samples per pixel; " + instead);
    }
    std::string error;
    if (samples > 1 && !offscreen_multisample(o.width, o.height, samples, &error)) {
        capture_error(error);
        return false;
    }
    if (samples > 1) gl_setup_multisample();
    return true;
}

// Opens the GL context for frames of the size asked for, before any file is
// made. Returns EXIT_DONE; EXIT_FAILED without GL (reported); EXIT_USAGE
// when the renderer cannot draw frames that large (reported with the usage).
static int context_open(const CaptureOptions& options)
{
    const SharedOptions& o = options.shared;
    std::string error, ignored;
    if (!offscreen_open(o.width, o.height, &error)) {
        // Whether GL works at all, or only not at this size.
        offscreen_close();
        const bool default_size = o.width == WINDOW_WIDTH && o.height == WINDOW_HEIGHT;
        const bool sized = !default_size && offscreen_open(WINDOW_WIDTH, WINDOW_HEIGHT, &ignored);
        offscreen_close();
        if (sized) return capture_usage_error("--size " + size_text(o.width, o.height) + ": " + error);
        capture_error("no offscreen OpenGL: " + error);
        return EXIT_FAILED;
    }
    // The overlay's area reaches past a wide frame and must fit the viewport too.
    GLint most[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, most);
    const FrameGeometry f = frame_geometry(o.width, o.height);
    if (std::max(f.width, f.overlay_width) > most[0] || std::max(f.height, f.overlay_height) > most[1]) {
        offscreen_close();
        return capture_usage_error("--size " + size_text(o.width, o.height) +
                                   " is more than this renderer can draw (its viewport reaches " +
                                   size_text(most[0], most[1]) + ")");
    }
    frame_set_size(o.width, o.height);
    gl_setup_fixed_state(WINDOW_WIDTH, WINDOW_HEIGHT);
    render_scale_set(o.render_scale);
    return o.samples == 1 || multisample_open(o) ? EXIT_DONE : EXIT_FAILED;
}

static bool load(FrameRun* run)
{
    const double begin = clock_seconds();
    progress_phase(run->progress, "loading", TIMELINE_ENTRIES, "steps");
    if (run->stats) snprintf(run->renderer, sizeof run->renderer, "%s", demo_stats_renderer());
    s_load_progress = run->progress;
    text_enable_captions(run->options->shared.captions);
    demo_load(after_load_step);
    demo_loop_init(&run->loop);
    run->loading = clock_seconds() - begin;
    return true;
}

// Loads, starts the music and runs the frames through the writer.
static bool capture_run(FrameRun* run, FrameWriter* writer)
{
    if (run->target == FRAME_TARGET_VIDEO && !video_start(run)) return false;
    if (!load(run)) return false;
    const bool to_wav = run->wav.file != nullptr;
    const double end = frame_plan_time(run->plan, run->plan.count);
    bool ok = music_start(&run->music, frame_plan_time(run->plan, 0), end, to_wav ? music_wav_sink : nullptr,
                          &run->wav);
    if (ok) {
        const CaptureOptions& o = *run->options;
        const int64_t name_total = o.name_total > 0 ? o.name_total : run->plan.count;
        const bool folder = run->target == FRAME_TARGET_PNG_FOLDER;
        const FrameDestination out = {run->target, folder ? run->options->out : run->file.target,
                                      folder ? run->folder_fd : run->file.fd,
                                      g_worker.active ? g_worker.digits : frame_name_digits(name_total),
                                      &run->video, g_worker.active ? g_worker.name_offset : o.name_offset};
        frame_writer_start(writer, out, g_frame.width, g_frame.height);
        ok = capture_saved(run, writer, play_through(run));
        if (!frame_writer_finish(writer)) ok = capture_failed(pending_message(&run->file, writer->error));
    }
    demo_unload();
    return ok;
}

// ", motion blur 8 over 180 degrees", or "" without blur.
static std::string blur_text(const CaptureOptions& o)
{
    if (o.blur == 1) return "";
    return ", motion blur " + std::to_string(o.blur) + " over " + std::to_string(o.shutter) + " degrees";
}

// One line: what was written, how fast, and where the time went.
static void summarise(const FrameRun& run, const FrameWriter& writer)
{
    const CaptureOptions& o = *run.options;
    const double total = clock_seconds() - run.progress->start;
    char rate[64];
    snprintf(rate, sizeof rate, " (%.1f frames/s): ", (double)run.plan.count / total);
    std::string text = std::to_string(run.plan.count) + (run.plan.count == 1 ? " frame" : " frames") + " at " +
                       frame_rate_text(o.fps) + " fps, " + size_text(g_frame.width, g_frame.height) + blur_text(o) +
                       ", from " + seconds_text(frame_plan_time(run.plan, 0), 3) + " to " +
                       (o.mode == CAPTURE_VIDEO ? o.video : o.out) + " in " + seconds_text(total) + rate;
    if (o.mode == CAPTURE_VIDEO) text += "sound " + seconds_text(run.sound_time) + ", ";
    text += "loading " + seconds_text(run.loading) + ", playing through " + std::to_string(run.plan.first) +
            " frames " + seconds_text(run.playing_through) + ", music " + seconds_text(run.music_time) +
            ", drawing " + seconds_text(run.drawing) + ", read-back " + seconds_text(run.reading) +
            ", waiting for the writer " + seconds_text(run.waiting) + ", writer busy " +
            seconds_text(writer.busy_seconds) + " (converting pixels " + seconds_text(writer.convert_seconds) +
            "), finishing " + seconds_text(run.finishing);
    if (o.mode == CAPTURE_VIDEO) text += ", ffmpeg " + seconds_text(run.video.child_cpu_seconds) + " of CPU";
    text += "; processor time " + seconds_text(progress_processor_seconds());
    progress_finish(run.progress, text);
}

int capture_frames(const CaptureOptions& options, Progress* progress)
{
    const int opened = context_open(options);
    if (opened != EXIT_DONE) {
        offscreen_close();
        return opened;
    }
    FrameRun run = {};
    run.options = &options;
    run.progress = progress;
    run.plan = frame_plan(options);
    run.folder_fd = -1;
    run.video = VideoPipe{0, -1, -1, 0.0, nullptr};
    if (options.shared.stats) run.stats = demo_stats_create();
    FrameWriter writer;
    std::string error;
    bool ok = output_open(&run, &error);
    if (!ok) capture_error(pending_message(&run.file, error));
    if (ok) ok = capture_run(&run, &writer);
    offscreen_close();
    const double finish_begin = clock_seconds();
    ok = output_close(&run, ok, writer.written);
    run.finishing = clock_seconds() - finish_begin;
    if (ok && g_worker.active) {
        worker_report_times({run.sound_time, run.loading, run.playing_through, (double)run.plan.first,
                             run.music_time, run.drawing, run.reading, run.waiting, writer.busy_seconds,
                             run.finishing, run.video.child_cpu_seconds});
    } else if (ok) {
        summarise(run, writer);
    }
    if (ok && run.stats) demo_stats_print(run.stats, stderr, "quiet-harbor-capture", run.renderer);
    demo_stats_destroy(run.stats);
    return ok ? EXIT_DONE : EXIT_FAILED;
}
