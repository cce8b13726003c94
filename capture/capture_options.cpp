// Command line of quiet-harbor-capture: the usage text and option parsing.
#include "capture/capture.h"

#include "presentation/demo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The synopsis follows every usage error; --help adds the rest.
static const char* const USAGE =
    "Usage: quiet-harbor-capture --at SECONDS --out FILE.png [--fps RATE]\n"
    "       quiet-harbor-capture [--from A] [--to B] [--fps RATE] --out DIR [--audio FILE.wav]\n"
    "       quiet-harbor-capture --video FILE [--from A] [--to B] [--fps RATE] [--crf N]\n"
    "       quiet-harbor-capture --audio-only --out FILE.wav [--seconds S]\n"
    "       quiet-harbor-capture --join --video FILE PART...\n"
    "The first three also take [--size WxH] [--msaa N] [--render-scale S]\n"
    "[--motion-blur N] [--shutter DEG]; the second and third [--jobs N] [--part K/N].\n";
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
    "                 and FLAC), .webm (VP9 and Opus) or .mov (ProRes 422 HQ,\n"
    "                 10-bit 4:2:2, and 16-bit PCM, for video editors); alone,\n"
    "                 the whole presentation at 60 frames per second\n"
    "  --crf N        quality of an .mp4 or .webm video, lower is better and\n"
    "                 larger: 0 to 51 for .mp4 (default 18), 0 to 63 for .webm\n"
    "                 (default 31)\n"
    "  --size WxH     frame size in pixels (default 800x600), such as 1920x1080\n"
    "                 or 3840x2160: the same 16:9 picture, fitted and centred,\n"
    "                 with black bands above and below on narrower frames and\n"
    "                 at the sides on wider ones; .mp4 and .webm videos need\n"
    "                 an even width and height, .mov videos an even width\n"
    "  --msaa N       N samples per pixel for smooth edges (default 1: off);\n"
    "                 a count the renderer lacks gives the next one up that it\n"
    "                 has, or its largest, and a line saying so\n"
    "  --render-scale S\n"
    "                 draw the 3D picture at S times the band's width and\n"
    "                 height (0.25 to 1, default 1: every pixel) and scale it\n"
    "                 up, smoothly, as the window does with the same option;\n"
    "                 fades and captions stay sharp\n"
    "  --jobs N       with a sequence or video: share the frames among N\n"
    "                 processes (1 to 64), each rendering one stretch of them;\n"
    "                 the frames, their names and the video are those of one\n"
    "                 process. Default: one per processor core, at most 16; 1\n"
    "                 for a span too short to gain from more, and with --stats\n"
    "  --part K/N     with a sequence or video: render only the K-th of N\n"
    "                 stretches of it (1 <= K <= N <= 10000), cut as --jobs\n"
    "                 cuts, so that N machines, or N tasks of a scheduler's\n"
    "                 array job, end at about the same time; a video's parts\n"
    "                 are joined with --join, a sequence's frames are named as\n"
    "                 in the whole capture; with --jobs, the part is shared\n"
    "                 further among processes\n"
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
    "  --motion-blur N\n"
    "                 motion blur: each frame saved is the average, in linear\n"
    "                 light, of N frames (2 to 64; default 1: none) drawn at\n"
    "                 instants spread evenly over the shutter's interval, which\n"
    "                 ends at the frame's own instant\n"
    "  --shutter DEG  with --motion-blur: that interval in degrees of a\n"
    "                 frame's period, 1 to 360 (default 180: half a period)\n"
    "  --stats        at the end, the renderer's name and one line per scene:\n"
    "                 the frames saved, the median and 95th-percentile time to\n"
    "                 draw one, and the slowest with its time in the presentation;\n"
    "                 with --render-scale, the scale and its share of the frames\n"
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
    "An option's value follows it as the next argument or after '=':\n"
    "--at 48 or --at=48.\n"
    "Exit status: 0 done, 1 failed (one line says why), 2 usage.\n";

// Longest --audio-only render whose size a WAV header can state.
static const double MAX_AUDIO_SECONDS = 24000.0;

enum CaptureOptionCode {
    OPTION_AT = 1,
    OPTION_FROM,
    OPTION_TO,
    OPTION_FPS,
    OPTION_OUT,
    OPTION_VIDEO,
    OPTION_AUDIO,
    OPTION_AUDIO_ONLY,
    OPTION_SECONDS,
    OPTION_FORCE,
    OPTION_JOBS,
    OPTION_JOIN,
    OPTION_QUIET,
    OPTION_CRF,
    OPTION_PART,
    OPTION_MOTION_BLUR,
    OPTION_SHUTTER,
};

// The rows marked to be passed on decide the pictures: every process of
// --jobs gets them as given.
static const OptionDef CAPTURE_OPTIONS[] = {
    {"--at", "seconds", OPTION_AT, false},
    {"--from", "seconds", OPTION_FROM, false},
    {"--to", "seconds", OPTION_TO, false},
    {"--fps", "rate", OPTION_FPS, true},
    {"--out", "path", OPTION_OUT, false},
    {"--video", "file", OPTION_VIDEO, false},
    {"--audio", "file", OPTION_AUDIO, false},
    {"--audio-only", nullptr, OPTION_AUDIO_ONLY, false},
    {"--seconds", "seconds", OPTION_SECONDS, false},
    {"--force", nullptr, OPTION_FORCE, false},
    {"--jobs", "count", OPTION_JOBS, false},
    {"--join", nullptr, OPTION_JOIN, false},
    {"--quiet", nullptr, OPTION_QUIET, false},
    {"--crf", "quality", OPTION_CRF, true},
    {"--part", "part", OPTION_PART, false},
    {"--motion-blur", "count", OPTION_MOTION_BLUR, true},
    {"--shutter", "degrees", OPTION_SHUTTER, true},
    OPTION_DEF_SIZE,
    OPTION_DEF_MSAA,
    OPTION_DEF_RENDER_SCALE,
    OPTION_DEF_CAPTIONS,
    OPTION_DEF_STATS,
};

static const OptionsGrammar GRAMMAR = {"quiet-harbor-capture", USAGE, CAPTURE_OPTIONS,
                                       (int)(sizeof CAPTURE_OPTIONS / sizeof CAPTURE_OPTIONS[0])};

const char* capture_usage()
{
    static const std::string text = std::string(USAGE) + HELP;
    return text.c_str();
}

int capture_usage_error(const std::string& problem)
{
    options_fault(GRAMMAR, problem);
    return EXIT_USAGE;
}

static bool in_timeline(double seconds) { return seconds >= 0 && seconds <= TIMELINE_END; }

// Whether an option was given.
static bool given(const CaptureOptions& o, int code)
{
    for (const OptionGiven& g : o.given) {
        if (g.def->code == code) return true;
    }
    return false;
}

static const char* join_problem(const CaptureOptions& o)
{
    if (!given(o, OPTION_JOIN)) return o.parts.empty() ? nullptr : "an argument that is no option: only --join takes parts";
    for (const OptionGiven& g : o.given) {
        const int code = g.def->code;
        if (code != OPTION_JOIN && code != OPTION_VIDEO && code != OPTION_QUIET)
            return "--join takes only --video FILE, the parts and --quiet";
    }
    int format = 0;
    if (o.video.empty()) return "--join needs --video FILE, the video to write";
    if (!video_format_for(o.video, &format)) return "--video FILE must end in .mp4, .mkv, .webm or .mov";
    if (o.parts.empty()) return "--join needs the videos to join after its options";
    return nullptr;
}

static const char* audio_only_problem(const CaptureOptions& o)
{
    for (const OptionGiven& g : o.given) {
        const int code = g.def->code;
        if (code != OPTION_AUDIO_ONLY && code != OPTION_OUT && code != OPTION_SECONDS && code != OPTION_QUIET &&
            code != OPTION_CAPTIONS && code != OPTION_JOBS)
            return "--audio-only takes only --out and --seconds";
    }
    if (o.out.empty()) return "--out is required";
    if (!(o.seconds > 0 && o.seconds <= MAX_AUDIO_SECONDS)) return "--seconds must be above 0 and at most 24000";
    return nullptr;
}

static const char* mode_problem(const CaptureOptions& o)
{
    const bool at = given(o, OPTION_AT), span = given(o, OPTION_FROM) || given(o, OPTION_TO);
    if (o.mode == CAPTURE_JOIN || !o.parts.empty()) return join_problem(o);
    if (given(o, OPTION_JOBS) && o.mode != CAPTURE_SEQUENCE && o.mode != CAPTURE_VIDEO)
        return "--jobs goes with a sequence (--from/--to) or a video";
    if (given(o, OPTION_PART) && o.mode != CAPTURE_SEQUENCE && o.mode != CAPTURE_VIDEO)
        return "--part goes with a sequence (--from/--to) or a video";
    if (given(o, OPTION_JOBS) && o.jobs > 1 && o.shared.stats)
        return "--stats times frames drawn in one process: it takes --jobs 1";
    if (o.mode == CAPTURE_AUDIO_ONLY) return audio_only_problem(o);
    if (given(o, OPTION_SHUTTER) && o.blur < 2) return "--shutter goes with --motion-blur N, N from 2";
    if (given(o, OPTION_SECONDS)) return "--seconds goes with --audio-only";
    const bool video = !o.video.empty();
    if (video && !o.out.empty()) return "--video names its own file; --out goes with PNG output";
    if (!video && o.out.empty()) return "--out or --video is required";
    if (at && (span || video)) return "--at gives one frame; --from, --to and --video give many";
    if (!at && !span && !video) return "give --at, --from/--to or --video";
    if (!o.audio.empty() && o.mode != CAPTURE_SEQUENCE) return "--audio goes with a PNG sequence (--from/--to)";
    if (o.force && o.mode != CAPTURE_SEQUENCE) return "--force goes with a PNG sequence (--from/--to)";
    if (at && !in_timeline(o.from)) return "--at must be between 0 and 225";
    if (!at && !(in_timeline(o.from) && in_timeline(o.to) && o.from < o.to)) return "need 0 <= --from < --to <= 225";
    int format = 0;
    if (video && !video_format_for(o.video, &format)) return "--video FILE must end in .mp4, .mkv, .webm or .mov";
    // Their yuv420p pictures halve the colour resolution both ways, a
    // .mov's 4:2:2 across only.
    if (video && (format == VIDEO_MP4 || format == VIDEO_WEBM) && (o.shared.width % 2 != 0 || o.shared.height % 2 != 0))
        return "an .mp4 or .webm video needs an even width and height (its colour is stored at half size)";
    if (video && format == VIDEO_MOV && o.shared.width % 2 != 0)
        return "a .mov video needs an even width (its colour is stored at half width)";
    if (o.crf != VIDEO_CRF_NONE && (!video || video_crf_max(format) == VIDEO_CRF_NONE))
        return "--crf goes with an .mp4 or .webm video";
    if (o.crf > video_crf_max(format)) return "--crf of an .mp4 video goes from 0 to 51";
    if (!at && frame_plan(o).count < 1) return "no frame at that rate falls between --from and --to";
    return nullptr;
}

// "K/N": the K-th of N parts, 1 <= K <= N <= PARTS_MAX.
static bool parse_part(const char* text, int* part, int* parts)
{
    const char* slash = strchr(text, '/');
    if (!slash) return false;
    const std::string first(text, (size_t)(slash - text));
    return option_whole_number(first.c_str(), 1, PARTS_MAX, part) && option_whole_number(slash + 1, 1, PARTS_MAX, parts) &&
           *part <= *parts;
}

// Narrows the span to the part asked for: the stretch --jobs would give
// the part's process if the whole span were shared among N.
static const char* part_narrow(CaptureOptions* o)
{
    const FramePlan whole = frame_plan(*o);
    if (whole.count < o->part_count) return "--part K/N: the span holds fewer than N frames";
    const std::vector<int64_t> starts = capture_split(whole, o->part_count);
    o->name_offset = starts[o->part - 1];
    o->name_total = whole.count;
    o->from = frame_plan_time(whole, starts[o->part - 1]);
    if (o->part < o->part_count) o->to = frame_plan_time(whole, starts[o->part]);
    return nullptr;
}

// A path: any text but the empty one.
static std::string read_path(std::string* path, const char* value)
{
    *path = value;
    return *value ? "" : "a path";
}

static std::string capture_option_read(void* context, int code, const char* value)
{
    CaptureOptions* o = (CaptureOptions*)context;
    switch (code) {
    case OPTION_AT:
    case OPTION_FROM:
        return option_seconds(value, &o->from) ? "" : "seconds";
    case OPTION_TO:
        return option_seconds(value, &o->to) ? "" : "seconds";
    case OPTION_SECONDS:
        return option_seconds(value, &o->seconds) ? "" : "seconds";
    case OPTION_FPS:
        return frame_rate_parse(value, &o->fps) ? "" : "a rate from 0.1 to 1000, such as 60, 59.94 or 30000/1001";
    case OPTION_OUT:
        return read_path(&o->out, value);
    case OPTION_VIDEO:
        return read_path(&o->video, value);
    case OPTION_AUDIO:
        return read_path(&o->audio, value);
    case OPTION_JOBS:
        return option_whole_number(value, 1, JOBS_MAX, &o->jobs) ? "" : "a count from 1 to " + std::to_string(JOBS_MAX);
    case OPTION_PART:
        return parse_part(value, &o->part, &o->part_count)
                   ? ""
                   : "K/N, the K-th of N parts (1 <= K <= N <= " + std::to_string(PARTS_MAX) + ")";
    case OPTION_MOTION_BLUR:
        return option_whole_number(value, 1, BLUR_MAX, &o->blur) ? "" : "a count from 1 to " + std::to_string(BLUR_MAX);
    case OPTION_SHUTTER:
        return option_whole_number(value, 1, SHUTTER_MAX, &o->shutter) ? "" : "degrees from 1 to " + std::to_string(SHUTTER_MAX);
    case OPTION_CRF:
        return option_whole_number(value, 0, VIDEO_CRF_MAX, &o->crf) ? "" : "a quality from 0 to " + std::to_string(VIDEO_CRF_MAX);
    case OPTION_FORCE:
        o->force = true;
        return "";
    case OPTION_QUIET:
        o->quiet = true;
        return "";
    case OPTION_AUDIO_ONLY:
    case OPTION_JOIN:
        return ""; // they choose the mode once all is read
    }
    return shared_option_read(&o->shared, code, value, false);
}

int capture_parse_options(int argc, char** argv, CaptureOptions* o)
{
    *o = CaptureOptions();
    const int result = options_parse(GRAMMAR, argc, argv, capture_option_read, o, &o->parts, &o->given);
    if (result != OPTIONS_RUN) return result;
    if (given(*o, OPTION_JOIN)) o->mode = CAPTURE_JOIN;
    else if (given(*o, OPTION_AUDIO_ONLY)) o->mode = CAPTURE_AUDIO_ONLY;
    else if (given(*o, OPTION_AT)) o->mode = CAPTURE_FRAME;
    else if (!o->video.empty()) o->mode = CAPTURE_VIDEO;
    const char* problem = mode_problem(*o);
    if (!problem && o->part_count > 0) problem = part_narrow(o);
    if (problem) return options_fault(GRAMMAR, problem);
    // --stats times frames drawn alone; other modes have one frame or none.
    if (!given(*o, OPTION_JOBS) && (o->shared.stats || (o->mode != CAPTURE_SEQUENCE && o->mode != CAPTURE_VIDEO)))
        o->jobs = 1;
    return OPTIONS_RUN;
}

// Seconds as a worker's command line gives them: read back, they are the
// same double, so the worker finds the very frame meant.
static std::string seconds_argument(double seconds)
{
    char text[40];
    snprintf(text, sizeof text, "%.17g", seconds);
    return text;
}

std::vector<std::string> capture_worker_arguments(const CaptureOptions& o, double from, double to,
                                                  const std::string& target)
{
    std::vector<std::string> args = {"quiet-harbor-capture"};
    for (const OptionGiven& g : o.given) {
        if (g.def->pass_on) args.push_back(g.def->value ? std::string(g.def->name) + "=" + g.value : g.def->name);
    }
    const std::vector<std::string> stretch = {"--from", seconds_argument(from), "--to", seconds_argument(to),
                                              "--jobs", "1", o.mode == CAPTURE_SEQUENCE ? "--out" : "--video",
                                              target};
    args.insert(args.end(), stretch.begin(), stretch.end());
    return args;
}
