// Command line of quiet-harbor-capture: the usage text and option parsing.
#include "capture/capture.h"

#include "app/demo.h"
#include "runtime/gl_setup.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// The synopsis follows every usage error; --help adds the rest.
static const char* const USAGE =
    "Usage: quiet-harbor-capture --at SECONDS --out FILE.png [--fps RATE]\n"
    "       quiet-harbor-capture [--from A] [--to B] [--fps RATE] --out DIR [--audio FILE.wav]\n"
    "       quiet-harbor-capture --video FILE [--from A] [--to B] [--fps RATE]\n"
    "       quiet-harbor-capture --audio-only --out FILE.wav [--seconds S]\n"
    "       quiet-harbor-capture --join --video FILE PART...\n"
    "The first three also take [--size WxH] [--msaa N].\n";
static const char* const HELP =
    "\n"
    "Renders the presentation offscreen (800 x 600 unless --size says\n"
    "otherwise, black bands included) with a virtual clock and writes PNG\n"
    "images or a video with sound; renders its music (44,100 Hz, 16-bit\n"
    "stereo) into WAV files.\n"
    "\n"
    "Captures are exact: they show the frames the window would show if the\n"
    "presentation ran at the capture's frame rate from time 0. Frame k is drawn\n"
    "at k / RATE seconds; every frame before the first saved one is played\n"
    "through (drawn without pixels, not saved) and the music always runs along,\n"
    "so beat zooms, accent shakes and everything a scene carries from frame to\n"
    "frame are as in the window; playback's random numbers have a fixed seed,\n"
    "so the same capture gives the same bytes every time.\n"
    "\n"
    "  --at SECONDS   one frame: plays the frames k / RATE before it, then saves\n"
    "                 the frame at SECONDS\n"
    "  --from A       start of a sequence or video in seconds (default 0): it\n"
    "                 holds the frames k / RATE at or after A ...\n"
    "  --to B         ... and before B (default 225, the end)\n"
    "  --fps RATE     frames per second, from 0.1 to 1000: 60 (the default),\n"
    "                 59.94 or 30000/1001\n"
    "  --out PATH     the PNG file (--at), the folder for frame_00000.png,\n"
    "                 frame_00001.png, ... (a sequence; 6 digits or more from\n"
    "                 100,000 frames), or the WAV file (--audio-only)\n"
    "  --force        with a sequence: remove the frames of another capture\n"
    "                 from the folder first (without it, such a folder is\n"
    "                 refused)\n"
    "  --video FILE   the frames and their sound as one video, through the\n"
    "                 ffmpeg program: .mp4 (H.264 and AAC), .mkv (lossless FFV1\n"
    "                 and FLAC) or .webm (VP9 and Opus); alone, the whole\n"
    "                 presentation at 60 frames per second\n"
    "  --size WxH     frame size in pixels (default 800x600), such as 1920x1080\n"
    "                 or 3840x2160: the same 16:9 picture, fitted and centred,\n"
    "                 with black bands above and below on narrower frames and\n"
    "                 at the sides on wider ones; .mp4 and .webm videos need\n"
    "                 an even width and height\n"
    "  --msaa N       N samples per pixel for smooth edges (default 1: off);\n"
    "                 a count the renderer lacks gives the next one up that it\n"
    "                 has, or its largest, and a line saying so\n"
    "  --jobs N       with a sequence or video: share the frames among N\n"
    "                 processes (1 to 64), each rendering one stretch of them;\n"
    "                 the frames, their names and the video are those of one\n"
    "                 process. Default: one per processor core, at most 16; 1\n"
    "                 for a span too short to gain from more, and with --stats\n"
    "  --join         join the videos PART... into the --video FILE: captures\n"
    "                 of adjoining stretches (on one machine or several), made\n"
    "                 with the same settings, in FILE's format, in any order;\n"
    "                 the pictures are copied, the sound of the whole span is\n"
    "                 rendered anew\n"
    "  --audio FILE   with a sequence: also write the sound of the captured span\n"
    "                 (the first frame to the end of the last) to FILE\n"
    "  --audio-only   render the music alone, as fast as possible\n"
    "  --seconds S    length of --audio-only in seconds (default: the whole\n"
    "                 225 s presentation)\n"
    "  --stats        at the end, the renderer's name and one line per scene:\n"
    "                 the frames saved, the median and 95th-percentile time to\n"
    "                 draw one, and the slowest with its time in the presentation\n"
    "  --quiet        no progress line (shown on a terminal) and no summary\n"
    "                 line (printed at the end otherwise)\n"
    "  --captions     draw the captions: \"Loading...\", the title lines and the\n"
    "                 credits (without it they are not drawn)\n"
    "  --help         this text\n"
    "  --version      the name and version\n"
    "\n"
    "A file is written under a temporary name beside its target, synced and\n"
    "renamed when complete, so an interrupted capture leaves no half-written\n"
    "file. A file replaced keeps its permissions; a symbolic link is followed\n"
    "and the file it points to is replaced; a device or pipe (such as\n"
    "/dev/stdout into a pipe) is written in place. A sequence locks its\n"
    "folder: a second capture into it is refused while the first runs.\n"
    "Exit status: 0 done, 1 failed (one line says why), 2 usage.\n";

static const char* const FPS_PROBLEM = "--fps takes a rate from 0.1 to 1000, such as 60, 59.94 or 30000/1001";

// Longest --audio-only render whose size a WAV header can state.
static const double MAX_AUDIO_SECONDS = 24000.0;

const char* capture_usage()
{
    static const std::string text = std::string(USAGE) + HELP;
    return text.c_str();
}

int capture_usage_error(const std::string& problem)
{
    fprintf(stderr, "quiet-harbor-capture: %s\n%s", problem.c_str(), USAGE);
    return 2;
}

static bool parse_number(const char* text, double* value)
{
    char* end = nullptr;
    errno = 0;
    *value = strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(*value);
}

static bool in_timeline(double seconds) { return seconds >= 0 && seconds <= TIMELINE_END; }

struct SeenOptions {
    bool audio_only, at, from, to, fps, seconds, stats, force, size, msaa, jobs, join;
};

// Whole numbers of processes, 1..JOBS_MAX.
static bool parse_jobs(const char* text, int* jobs)
{
    char* end = nullptr;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > JOBS_MAX) return false;
    *jobs = (int)value;
    return true;
}

static const char* join_problem(const CaptureOptions& o, const SeenOptions& seen)
{
    if (!seen.join) return o.parts.empty() ? nullptr : "an argument that is no option: only --join takes parts";
    if (seen.audio_only || seen.at || seen.from || seen.to || seen.fps || seen.seconds || seen.stats || seen.force ||
        seen.jobs || seen.size || seen.msaa || o.captions || !o.out.empty() || !o.audio.empty())
        return "--join takes only --video FILE, the parts and --quiet";
    int format = 0;
    if (o.video.empty()) return "--join needs --video FILE, the video to write";
    if (!video_format_for(o.video, &format)) return "--video FILE must end in .mp4, .mkv or .webm";
    if (o.parts.empty()) return "--join needs the videos to join after its options";
    return nullptr;
}

static const char* mode_problem(const CaptureOptions& o, const SeenOptions& seen)
{
    const bool span = seen.from || seen.to;
    if (o.mode == CAPTURE_JOIN || !o.parts.empty()) return join_problem(o, seen);
    if (seen.jobs && o.mode != CAPTURE_SEQUENCE && o.mode != CAPTURE_VIDEO)
        return "--jobs goes with a sequence (--from/--to) or a video";
    if (seen.jobs && o.jobs > 1 && seen.stats) return "--stats times frames drawn in one process: it takes --jobs 1";
    if (o.mode == CAPTURE_AUDIO_ONLY) {
        if (seen.at || span || seen.fps || seen.stats || seen.force || seen.size || seen.msaa || !o.video.empty() ||
            !o.audio.empty())
            return "--audio-only takes only --out and --seconds";
        if (o.out.empty()) return "--out is required";
        if (!(o.seconds > 0 && o.seconds <= MAX_AUDIO_SECONDS)) return "--seconds must be above 0 and at most 24000";
        return nullptr;
    }
    if (seen.seconds) return "--seconds goes with --audio-only";
    const bool video = !o.video.empty();
    if (video && !o.out.empty()) return "--video names its own file; --out goes with PNG output";
    if (!video && o.out.empty()) return "--out or --video is required";
    if (seen.at && (span || video)) return "--at gives one frame; --from, --to and --video give many";
    if (!seen.at && !span && !video) return "give --at, --from/--to or --video";
    if (!o.audio.empty() && o.mode != CAPTURE_SEQUENCE) return "--audio goes with a PNG sequence (--from/--to)";
    if (seen.force && o.mode != CAPTURE_SEQUENCE) return "--force goes with a PNG sequence (--from/--to)";
    if (seen.at && !in_timeline(o.from)) return "--at must be between 0 and 225";
    if (!seen.at && !(in_timeline(o.from) && in_timeline(o.to) && o.from < o.to))
        return "need 0 <= --from < --to <= 225";
    int format = 0;
    if (video && !video_format_for(o.video, &format)) return "--video FILE must end in .mp4, .mkv or .webm";
    // Their yuv420p pictures halve the colour resolution both ways.
    if (video && format != VIDEO_MKV && (o.width % 2 != 0 || o.height % 2 != 0))
        return "an .mp4 or .webm video needs an even width and height (its colour is stored at half size)";
    if (!seen.at && frame_plan(o).count < 1) return "no frame at that rate falls between --from and --to";
    return nullptr;
}

// Reads one option without a value; false when `arg` is not one.
static bool read_flag(const std::string& arg, CaptureOptions* o, SeenOptions* seen)
{
    if (arg == "--audio-only") seen->audio_only = true;
    else if (arg == "--quiet") o->quiet = true;
    else if (arg == "--stats") seen->stats = o->stats = true;
    else if (arg == "--captions") o->captions = true;
    else if (arg == "--force") seen->force = o->force = true;
    else if (arg == "--join") seen->join = true;
    else return false;
    return true;
}

// Reads one option with its value; false on an unknown option or a bad value.
static bool read_option(const std::string& arg, const char* value, CaptureOptions* o, SeenOptions* seen)
{
    double number = 0.0;
    const bool numeric = parse_number(value, &number);
    if (arg == "--out" && *value) o->out = value;
    else if (arg == "--video" && *value) o->video = value;
    else if (arg == "--audio" && *value) o->audio = value;
    else if (arg == "--at" && numeric) seen->at = true, o->from = number;
    else if (arg == "--from" && numeric) seen->from = true, o->from = number;
    else if (arg == "--to" && numeric) seen->to = true, o->to = number;
    else if (arg == "--seconds" && numeric) seen->seconds = true, o->seconds = number;
    else if (arg == "--fps" && frame_rate_parse(value, &o->fps)) seen->fps = true;
    else if (arg == "--size" && frame_size_parse(value, &o->width, &o->height)) seen->size = true;
    else if (arg == "--msaa" && frame_samples_parse(value, &o->samples)) seen->msaa = true;
    else if (arg == "--jobs" && parse_jobs(value, &o->jobs)) seen->jobs = true;
    else return false;
    return true;
}

int capture_parse_options(int argc, char** argv, CaptureOptions* o)
{
    *o = CaptureOptions();
    SeenOptions seen = {};
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return 1;
        if (arg == "--version") return 3;
        if (read_flag(arg, o, &seen)) continue;
        if (!arg.empty() && arg[0] != '-') {
            o->parts.push_back(arg);
            continue;
        }
        if (i + 1 >= argc) return capture_usage_error(arg + " needs a value");
        const char* value = argv[++i];
        if (!read_option(arg, value, o, &seen)) {
            if (arg == "--fps") return capture_usage_error(FPS_PROBLEM);
            return capture_usage_error("bad option or value: " + arg + " " + value);
        }
    }
    if (seen.join) o->mode = CAPTURE_JOIN;
    else if (seen.audio_only) o->mode = CAPTURE_AUDIO_ONLY;
    else if (seen.at) o->mode = CAPTURE_FRAME;
    else if (!o->video.empty()) o->mode = CAPTURE_VIDEO;
    const char* problem = mode_problem(*o, seen);
    if (problem) return capture_usage_error(problem);
    // --stats times frames drawn alone; other modes have one frame or none.
    if (!seen.jobs && (o->stats || (o->mode != CAPTURE_SEQUENCE && o->mode != CAPTURE_VIDEO))) o->jobs = 1;
    return 0;
}

std::vector<std::string> capture_picture_options(int argc, char** argv)
{
    static const char* const OWN[] = {"--from", "--to", "--out", "--video", "--audio", "--jobs",
                                      "--quiet", "--stats", "--force"};
    std::vector<std::string> kept;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        CaptureOptions scratch;
        SeenOptions seen = {};
        const bool flag = read_flag(arg, &scratch, &seen);
        bool own = false;
        for (const char* name : OWN) own = own || arg == name;
        if (!own) kept.push_back(arg);
        if (!flag && i + 1 < argc && !own) kept.push_back(argv[i + 1]);
        if (!flag) i++;
    }
    return kept;
}
