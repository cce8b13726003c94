// quiet-harbor-capture: renders the presentation offscreen with a virtual
// clock, frame-exact, and writes what the window would show as PNG files, and
// the music that goes with them as a WAV file.
#include "runtime/demo.h"
#include "runtime/demo_audio.h"
#include "runtime/gl_setup.h"
#include "synth/audio_queue.h"
#include "tools/offscreen.h"
#include "tools/png_write.h"
#include "tools/wav_write.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

static const char* const USAGE =
    "Usage: quiet-harbor-capture --at SECONDS --out FILE.png\n"
    "       quiet-harbor-capture --from A --to B --fps N --out DIR [--audio FILE.wav]\n"
    "       quiet-harbor-capture --audio-only --out FILE.wav [--seconds S]\n"
    "\n"
    "Renders the presentation offscreen (800 x 600, letterbox bands included)\n"
    "with a virtual clock, exactly as the window would show it, and writes PNG\n"
    "images; renders its music (44,100 Hz, 16-bit stereo) into WAV files.\n"
    "\n"
    "  --at SECONDS   one frame at that time since the music started\n"
    "  --from A       first frame of a sequence at A seconds\n"
    "  --to B         the sequence ends before B seconds\n"
    "  --fps N        frames per second of the sequence\n"
    "  --out PATH     the PNG file (--at) or the folder for\n"
    "                 frame_00000.png, frame_00001.png, ... (--from/--to),\n"
    "                 or the WAV file (--audio-only)\n"
    "  --audio FILE   with a sequence: also play the music along the virtual\n"
    "                 clock, so the scenes react to it, and write the sound of\n"
    "                 the captured span (A to the end of the last frame) to FILE\n"
    "  --audio-only   render the music alone, as fast as possible\n"
    "  --seconds S    length of --audio-only in seconds (default: the whole\n"
    "                 225 s presentation)\n"
    "  --help         this text\n";

// Seed of the random numbers drawn during playback (the accent's shake). The
// window seeds with the time; a capture uses a fixed seed, so capturing the
// same span twice gives the same images.
static const unsigned CAPTURE_RANDOM_SEED = 1;

// Longest --audio-only render whose size a WAV header can state.
static const double MAX_AUDIO_SECONDS = 24000.0;

struct CaptureOptions {
    bool single = false;
    double at = 0.0;
    bool sequence = false;
    double from = 0.0, to = 0.0, fps = 0.0;
    std::string out;
    std::string audio;       // WAV accompanying a sequence; empty = none
    bool audio_only = false;
    double seconds = TIMELINE_END;
};

// Offline music for the capture: every block the player renders is taken out
// of the queue at once, exactly as the device would play it, and the frames
// within [first, end) go to the WAV file.
struct CaptureSound {
    DemoAudio audio;
    WavWriter wav;
    uint64_t rendered; // frames rendered (and taken from the queue) so far
    uint64_t first;    // first frame written to the file
    uint64_t end;      // frames from here on are not written
};

static bool parse_number(const char* text, double* value)
{
    char* end = nullptr;
    errno = 0;
    *value = strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(*value);
}

static const char* audio_only_problem(const CaptureOptions& options)
{
    if (options.single || options.sequence || !options.audio.empty())
        return "--audio-only takes only --out and --seconds";
    if (!(options.seconds > 0 && options.seconds <= MAX_AUDIO_SECONDS))
        return "--seconds must be above 0 and at most 24000";
    return nullptr;
}

// Returns 0 when the options are usable, 2 on a usage error (reported), 1 for --help.
static int parse_options(int argc, char** argv, CaptureOptions* options)
{
    bool have_from = false, have_to = false, have_fps = false, have_seconds = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return 1;
        if (arg == "--audio-only") {
            options->audio_only = true;
            continue;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "quiet-harbor-capture: %s needs a value\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        double number = 0.0;
        const bool numeric = parse_number(value, &number);
        if (arg == "--out") options->out = value;
        else if (arg == "--at" && numeric) options->single = true, options->at = number;
        else if (arg == "--from" && numeric) have_from = true, options->from = number;
        else if (arg == "--to" && numeric) have_to = true, options->to = number;
        else if (arg == "--fps" && numeric) have_fps = true, options->fps = number;
        else if (arg == "--audio" && *value) options->audio = value;
        else if (arg == "--seconds" && numeric) have_seconds = true, options->seconds = number;
        else {
            fprintf(stderr, "quiet-harbor-capture: bad option or value: %s %s\n", arg.c_str(), value);
            return 2;
        }
    }
    options->sequence = have_from || have_to || have_fps;
    const char* problem = nullptr;
    if (options->out.empty()) problem = "--out is required";
    else if (options->audio_only) problem = audio_only_problem(*options);
    else if (have_seconds) problem = "--seconds goes with --audio-only";
    else if (options->single == options->sequence) problem = "give either --at or --from/--to/--fps";
    else if (options->single && !options->audio.empty()) problem = "--audio goes with --from/--to/--fps";
    else if (options->single && options->at < 0) problem = "--at must not be negative";
    else if (options->sequence && !(have_from && have_to && have_fps)) problem = "--from, --to and --fps go together";
    else if (options->sequence && !(options->fps > 0 && options->to > options->from && options->from >= 0))
        problem = "need --fps > 0 and 0 <= --from < --to";
    if (problem) {
        fprintf(stderr, "quiet-harbor-capture: %s\n%s", problem, USAGE);
        return 2;
    }
    return 0;
}

static bool write_frame(const std::string& path)
{
    const std::vector<uint8_t> rgb = offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
    std::string error;
    if (!png_write_rgb(path, WINDOW_WIDTH, WINDOW_HEIGHT, rgb.data(), &error)) {
        fprintf(stderr, "quiet-harbor-capture: %s\n", error.c_str());
        return false;
    }
    return true;
}

static bool make_folder(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return true;
    fprintf(stderr, "quiet-harbor-capture: %s: %s\n", path.c_str(), strerror(errno));
    return false;
}

static std::string frame_path(const std::string& folder, long index)
{
    char name[32];
    snprintf(name, sizeof name, "/frame_%05ld.png", index);
    return folder + name;
}

static uint64_t audio_frame_at(double seconds)
{
    return (uint64_t)std::llround(seconds * (double)WAV_RATE);
}

// Opens the WAV file and starts the music offline, exactly as the window does
// but without a sound device.
static bool sound_start(CaptureSound* sound, const std::string& path, uint64_t first, uint64_t end)
{
    std::string error;
    sound->rendered = 0;
    sound->first = first;
    sound->end = end;
    if (!wav_open(&sound->wav, path, &error)) {
        fprintf(stderr, "quiet-harbor-capture: %s\n", error.c_str());
        return false;
    }
    if (!demo_audio_start(&sound->audio, false)) {
        fprintf(stderr, "quiet-harbor-capture: the music could not be started\n");
        demo_audio_stop(&sound->audio);
        wav_close(&sound->wav, nullptr);
        return false;
    }
    srand(CAPTURE_RANDOM_SEED);
    return true;
}

// Takes every queued block out as the device callback would and writes the
// part of it that lies within [first, end).
static bool sound_drain(CaptureSound* sound)
{
    int16_t block[AUDIO_BLOCK_BYTES / 2];
    const uint64_t block_frames = PLAYER_BLOCK_FRAMES;
    while (g_audio_queue.filled.load() > 0) {
        audio_callback(nullptr, (uint8_t*)block, AUDIO_BLOCK_BYTES);
        const uint64_t start = sound->rendered, stop = sound->rendered + block_frames;
        sound->rendered = stop;
        const uint64_t from = start > sound->first ? start : sound->first;
        const uint64_t to = stop < sound->end ? stop : sound->end;
        if (from >= to) continue;
        std::string error;
        if (!wav_write(&sound->wav, block + (from - start) * WAV_CHANNELS, (uint32_t)(to - from), &error)) {
            fprintf(stderr, "quiet-harbor-capture: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

// Pumps the player until at least `frames` frames of sound exist, so every
// cell up to that moment has reached the sync state.
static bool sound_advance(CaptureSound* sound, uint64_t frames)
{
    if (!sound_drain(sound)) return false;
    while (sound->rendered < frames) {
        int more = 0;
        player_pump(sound->audio.player, &more);
        if (!sound_drain(sound)) return false;
    }
    return true;
}

static bool sound_finish(CaptureSound* sound, bool ok)
{
    if (ok) ok = sound_advance(sound, sound->end);
    demo_audio_stop(&sound->audio);
    std::string error;
    if (sound->wav.file && !wav_close(&sound->wav, &error)) {
        fprintf(stderr, "quiet-harbor-capture: %s\n", error.c_str());
        ok = false;
    }
    return ok;
}

static int run_audio_only(const CaptureOptions& options)
{
    CaptureSound sound;
    if (!sound_start(&sound, options.out, 0, audio_frame_at(options.seconds))) return 1;
    return sound_finish(&sound, true) ? 0 : 1;
}

// The frames of a sequence; with `sound`, the music is pumped up to each
// frame's time before it is drawn.
static bool capture_sequence(const CaptureOptions& options, DemoLoop* loop, CaptureSound* sound)
{
    const long count = std::lround((options.to - options.from) * options.fps);
    bool ok = true;
    for (long i = 0; i < count && ok; i++) {
        const double time = options.from + (double)i / options.fps;
        if (sound) ok = sound_advance(sound, audio_frame_at(time));
        if (!ok) break;
        demo_draw_frame(loop, (float)time);
        ok = write_frame(frame_path(options.out, i));
    }
    if (sound) ok = sound_finish(sound, ok);
    return ok;
}

int main(int argc, char** argv)
{
    CaptureOptions options;
    const int parsed = parse_options(argc, argv, &options);
    if (parsed == 1) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (parsed != 0) return parsed;
    if (options.audio_only) return run_audio_only(options);
    if (options.sequence && !make_folder(options.out)) return 1;

    std::string error;
    if (!offscreen_open(WINDOW_WIDTH, WINDOW_HEIGHT, &error)) {
        fprintf(stderr, "quiet-harbor-capture: no offscreen OpenGL: %s\n", error.c_str());
        return 1;
    }
    gl_setup_fixed_state(WINDOW_WIDTH, WINDOW_HEIGHT);
    demo_load();

    DemoLoop loop;
    demo_loop_init(&loop);
    bool ok = true;
    if (options.single) {
        demo_draw_frame(&loop, (float)options.at);
        ok = write_frame(options.out);
    } else if (options.audio.empty()) {
        ok = capture_sequence(options, &loop, nullptr);
    } else {
        const long count = std::lround((options.to - options.from) * options.fps);
        const double end = options.from + (double)count / options.fps;
        CaptureSound sound;
        ok = sound_start(&sound, options.audio, audio_frame_at(options.from), audio_frame_at(end)) &&
             capture_sequence(options, &loop, &sound);
    }
    demo_unload();
    offscreen_close();
    return ok ? 0 : 1;
}
