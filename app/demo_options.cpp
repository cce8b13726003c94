// Reading the presentation's command line.
#include "app/demo_options.h"

#include "app/demo.h"
#include "runtime/gl_setup.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char USAGE[] = "Usage: quiet-harbor [--window] [--start SECONDS] [--size WxH|desktop] [--msaa N] "
                            "[--no-vsync] [--captions] [--loop] [--stats] [--help] [--version]\n";
static const char HELP[] =
    "Plays the Quiet harbor presentation: 225 seconds of pictures and music.\n"
    "\n"
    "  --window         a window instead of full screen\n"
    "  --start SECONDS  begin SECONDS into the presentation (0 to under 225);\n"
    "                   the music starts at the matching sample, sounding as it\n"
    "                   would there. What a scene builds up over time (such as\n"
    "                   a spin that grows with every beat) starts fresh.\n"
    "  --size WxH       frame size in pixels (default 800x600), such as\n"
    "                   1920x1080, at most the display's: the same 16:9 picture,\n"
    "                   fitted and centred, with black bands above and below on\n"
    "                   narrower frames and at the sides on wider ones\n"
    "  --size desktop   the display's current resolution\n"
    "  --msaa N         N samples per pixel for smooth edges (default 1: off);\n"
    "                   a count the display lacks gives the next one up that it\n"
    "                   has, or its largest, and a line saying so\n"
    "  --no-vsync       draw as fast as the system allows instead of once per\n"
    "                   refresh of the display; the picture may tear, and the\n"
    "                   beat's zooms and flashes, which fade frame by frame,\n"
    "                   fade faster\n"
    "  --captions       draw the captions: \"Loading...\", the title lines and\n"
    "                   the credits (without it they are not drawn)\n"
    "  --loop           at the end, start again from the beginning, as at the\n"
    "                   first start, until Escape or closing the window\n"
    "  --stats          at exit, the renderer's name and one line per scene on\n"
    "                   stderr: the frames drawn, the median and 95th-percentile\n"
    "                   time from one frame to the next, and the slowest frame\n"
    "                   with its time in the presentation.\n"
    "  --help           show this help and exit\n"
    "  --version        show the name and version and exit\n"
    "\n"
    "Escape ends the presentation, and so does closing the window. Space\n"
    "pauses picture and music together and resumes them where they stopped.\n";


static int bad(const char* what, const char* arg)
{
    fprintf(stderr, "quiet-harbor: %s '%s'\n%s", what, arg, USAGE);
    return OPTIONS_BAD;
}

// A number of seconds within the timeline, the whole text and nothing else.
static bool parse_start(const char* text, double* start)
{
    char* end = nullptr;
    const double value = strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value)) return false;
    if (value < 0.0 || value >= TIMELINE_END) return false;
    *start = value;
    return true;
}

static bool parse_size(const char* text, DemoOptions* options)
{
    options->desktop = strcmp(text, "desktop") == 0;
    return options->desktop || frame_size_parse(text, &options->width, &options->height);
}

// The value of an option given as "--name VALUE" or "--name=VALUE", or null.
static const char* option_value(int argc, char** argv, int* i, const char* name)
{
    const size_t length = strlen(name);
    if (strncmp(argv[*i], name, length) != 0) return nullptr;
    if (argv[*i][length] == '=') return argv[*i] + length + 1;
    if (argv[*i][length] != '\0') return nullptr;
    return *i + 1 < argc ? argv[++*i] : "";
}

int demo_options_parse(int argc, char** argv, const char* version, DemoOptions* options)
{
    *options = DemoOptions{false, 0.0, WINDOW_WIDTH, WINDOW_HEIGHT, false, 1, true, false, false, false};
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (strcmp(arg, "--help") == 0) {
            fputs(USAGE, stdout);
            fputs(HELP, stdout);
            return OPTIONS_HELP;
        }
        if (strcmp(arg, "--version") == 0) {
            printf("quiet-harbor %s\n", version);
            return OPTIONS_VERSION;
        }
        const char* value = nullptr;
        if (strcmp(arg, "--window") == 0) {
            options->window = true;
        } else if (strcmp(arg, "--captions") == 0) {
            options->captions = true;
        } else if (strcmp(arg, "--loop") == 0) {
            options->loop = true;
        } else if (strcmp(arg, "--stats") == 0) {
            options->stats = true;
        } else if (strcmp(arg, "--no-vsync") == 0) {
            options->vsync = false;
        } else if ((value = option_value(argc, argv, &i, "--start"))) {
            if (!*value) return bad("missing seconds after", "--start");
            if (!parse_start(value, &options->start))
                return bad("--start takes seconds from 0 to under 225, not", value);
        } else if ((value = option_value(argc, argv, &i, "--size"))) {
            if (!*value) return bad("missing size after", "--size");
            if (!parse_size(value, options))
                return bad("--size takes WIDTHxHEIGHT (each 1 to 16384) or desktop, not", value);
        } else if ((value = option_value(argc, argv, &i, "--msaa"))) {
            if (!*value) return bad("missing count after", "--msaa");
            if (!frame_samples_parse(value, &options->samples))
                return bad("--msaa takes a count from 1 to 64, not", value);
        } else {
            return bad("unknown option", arg);
        }
    }
    return OPTIONS_RUN;
}

int demo_options_fit_display(DemoOptions* options, int display_width, int display_height)
{
    const bool known = display_width > 0 && display_height > 0;
    if (options->desktop && known) {
        options->width = display_width;
        options->height = display_height;
    } else if (options->desktop) {
        fprintf(stderr, "quiet-harbor: the display's resolution is unknown; --size desktop gives 800x600\n");
    }
    if (!known || (options->width <= display_width && options->height <= display_height)) return OPTIONS_RUN;
    char size[32], what[64];
    snprintf(size, sizeof size, "%dx%d", options->width, options->height);
    snprintf(what, sizeof what, "--size larger than the %dx%d display:", display_width, display_height);
    return bad(what, size);
}
