// Reading the presentation's command line.
#include "app/demo_options.h"

#include "app/demo.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char USAGE[] = "Usage: quiet-harbor [--window] [--start SECONDS] [--captions] [--stats] [--help] [--version]\n";
static const char HELP[] =
    "Plays the Quiet harbor presentation: 225 seconds of pictures and music.\n"
    "\n"
    "  --window         an 800 x 600 window instead of full screen\n"
    "  --start SECONDS  begin SECONDS into the presentation (0 to under 225);\n"
    "                   the music starts at the matching sample, sounding as it\n"
    "                   would there. What a scene builds up over time (such as\n"
    "                   a spin that grows with every beat) starts fresh.\n"
    "  --captions       draw the captions: \"Loading...\", the title lines and\n"
    "                   the credits (without it they are not drawn)\n"
    "  --stats          at exit, the renderer's name and one line per scene on\n"
    "                   stderr: the frames drawn, the median and 95th-percentile\n"
    "                   time from one frame to the next, and the slowest frame\n"
    "                   with its time in the presentation.\n"
    "  --help           show this help and exit\n"
    "  --version        show the name and version and exit\n"
    "\n"
    "Escape ends the presentation, and so does closing the window.\n";

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

int demo_options_parse(int argc, char** argv, const char* version, DemoOptions* options)
{
    options->window = false;
    options->start = 0.0;
    options->captions = false;
    options->stats = false;
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
        if (strcmp(arg, "--window") == 0) {
            options->window = true;
        } else if (strcmp(arg, "--captions") == 0) {
            options->captions = true;
        } else if (strcmp(arg, "--stats") == 0) {
            options->stats = true;
        } else if (strcmp(arg, "--start") == 0 || strncmp(arg, "--start=", 8) == 0) {
            const char* value = arg[7] == '=' ? arg + 8 : (i + 1 < argc ? argv[++i] : nullptr);
            if (!value) return bad("missing seconds after", "--start");
            if (!parse_start(value, &options->start))
                return bad("--start takes seconds from 0 to under 225, not", value);
        } else {
            return bad("unknown option", arg);
        }
    }
    return OPTIONS_RUN;
}
