// quiet-harbor-capture: renders the presentation offscreen with a virtual
// clock, frame-exact, and writes what the window would show as PNG files.
#include "runtime/demo.h"
#include "runtime/gl_setup.h"
#include "tools/offscreen.h"
#include "tools/png_write.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

static const char* const USAGE =
    "Usage: quiet-harbor-capture --at SECONDS --out FILE.png\n"
    "       quiet-harbor-capture --from A --to B --fps N --out DIR\n"
    "\n"
    "Renders the presentation offscreen (800 x 600, letterbox bands included)\n"
    "with a virtual clock, exactly as the window would show it, and writes PNG\n"
    "images.\n"
    "\n"
    "  --at SECONDS   one frame at that time since the music started\n"
    "  --from A       first frame of a sequence at A seconds\n"
    "  --to B         the sequence ends before B seconds\n"
    "  --fps N        frames per second of the sequence\n"
    "  --out PATH     the PNG file (--at) or the folder for\n"
    "                 frame_00000.png, frame_00001.png, ... (--from/--to)\n"
    "  --help         this text\n";

struct CaptureOptions {
    bool single = false;
    double at = 0.0;
    bool sequence = false;
    double from = 0.0, to = 0.0, fps = 0.0;
    std::string out;
};

static bool parse_number(const char* text, double* value)
{
    char* end = nullptr;
    errno = 0;
    *value = strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(*value);
}

// Returns 0 when the options are usable, 2 on a usage error (reported), 1 for --help.
static int parse_options(int argc, char** argv, CaptureOptions* options)
{
    bool have_from = false, have_to = false, have_fps = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return 1;
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
        else {
            fprintf(stderr, "quiet-harbor-capture: bad option or value: %s %s\n", arg.c_str(), value);
            return 2;
        }
    }
    options->sequence = have_from || have_to || have_fps;
    const char* problem = nullptr;
    if (options->out.empty()) problem = "--out is required";
    else if (options->single == options->sequence) problem = "give either --at or --from/--to/--fps";
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

int main(int argc, char** argv)
{
    CaptureOptions options;
    const int parsed = parse_options(argc, argv, &options);
    if (parsed == 1) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (parsed != 0) return parsed;
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
    } else {
        const long count = std::lround((options.to - options.from) * options.fps);
        for (long i = 0; i < count && ok; i++) {
            demo_draw_frame(&loop, (float)(options.from + (double)i / options.fps));
            ok = write_frame(frame_path(options.out, i));
        }
    }
    demo_unload();
    offscreen_close();
    return ok ? 0 : 1;
}
