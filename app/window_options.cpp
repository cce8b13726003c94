// The window program's command line: its options, usage and help.
#include "app/window_options.h"

#include "base/base.h"
#include "presentation/demo.h"

#include <cstdio>

static const char USAGE[] = "Usage: quiet-harbor [--window] [--start SECONDS] [--size WxH|desktop] [--msaa N]\n"
                            "                    [--render-scale S|auto] [--no-vsync] [--captions] [--loop]\n"
                            "                    [--audio-delay MS] [--stats] [--help] [--version]\n";
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
    "  --render-scale S draw the 3D picture at S times the band's width and\n"
    "                   height (0.25 to 1, default 1: every pixel) and scale it\n"
    "                   up, smoothly, for a steady frame rate where the graphics\n"
    "                   are slow; fades and captions stay sharp\n"
    "  --render-scale auto  start at 1 and draw fewer pixels while frames\n"
    "                   take longer than the display's refresh (1/60 s), more\n"
    "                   again when they have time to spare\n"
    "  --no-vsync       draw as fast as the system allows instead of once per\n"
    "                   refresh of the display; the picture may tear\n"
    "  --captions       draw the captions: \"Loading...\", the title lines and\n"
    "                   the credits (without it they are not drawn)\n"
    "  --loop           at the end, start again from the beginning, as at the\n"
    "                   first start, until Escape or closing the window\n"
    "  --audio-delay MS hold the pictures back MS milliseconds more (-1000 to\n"
    "                   1000; negative brings them forward), for outputs whose\n"
    "                   delay nothing reports, such as a wireless headset or an\n"
    "                   HDMI receiver: the beats then show as they are heard\n"
    "  --stats          at exit, the renderer's name and one line per scene on\n"
    "                   stderr: the frames drawn, the median and 95th-percentile\n"
    "                   time from one frame to the next, and the slowest frame\n"
    "                   with its time in the presentation; with --render-scale,\n"
    "                   the scales used and each one's share of the frames; and\n"
    "                   the sound driver, and how long after the device takes\n"
    "                   the sound it is heard.\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the name and version and exit\n"
    "\n"
    "An option's value follows it as the next argument or after '=':\n"
    "--start 44.8 or --start=44.8.\n"
    "\n"
    "Keys:\n"
    "  Escape           end the presentation (so does closing the window)\n"
    "  Space            pause picture and music together; again: resume\n"
    "  Left, Right      seek 5 seconds back or forward\n"
    "  Down, Up         seek 60 seconds back or forward\n"
    "  Page Up, Page Down  seek to the previous or the next scene's start\n"
    "  Home             seek to the beginning\n"
    "  S                save the frame on screen as quiet-harbor-MMmSS.mmm.png\n"
    "                   in the current folder\n"
    "  F, Alt+Enter     switch between full screen and the window\n"
    "After a seek the music goes on from the very sample it has there, and\n"
    "what a scene builds up over time starts fresh, as with --start.\n";


enum WindowOptionCode {
    OPTION_WINDOW = 1,
    OPTION_START,
    OPTION_NO_VSYNC,
    OPTION_LOOP,
    OPTION_AUDIO_DELAY,
};

// --audio-delay: as far as a picture may be held back or brought forward.
static const long AUDIO_DELAY_MAX_MS = 1000;

static const OptionDef WINDOW_OPTIONS[] = {
    {"--window", nullptr, OPTION_WINDOW, false},
    {"--start", "seconds", OPTION_START, false},
    OPTION_DEF_SIZE,
    OPTION_DEF_MSAA,
    OPTION_DEF_RENDER_SCALE,
    {"--no-vsync", nullptr, OPTION_NO_VSYNC, false},
    OPTION_DEF_CAPTIONS,
    {"--loop", nullptr, OPTION_LOOP, false},
    {"--audio-delay", "milliseconds", OPTION_AUDIO_DELAY, false},
    OPTION_DEF_STATS,
};

static const OptionsGrammar GRAMMAR = {"quiet-harbor", USAGE, WINDOW_OPTIONS,
                                       (int)(sizeof WINDOW_OPTIONS / sizeof WINDOW_OPTIONS[0])};

static std::string window_option_read(void* context, int code, const char* value)
{
    WindowOptions* options = (WindowOptions*)context;
    switch (code) {
    case OPTION_WINDOW:
        options->window = true;
        return "";
    case OPTION_START:
        if (option_seconds(value, &options->start) && options->start >= 0.0 && options->start < TIMELINE_END)
            return "";
        return "seconds from 0 to under 225";
    case OPTION_NO_VSYNC:
        options->vsync = false;
        return "";
    case OPTION_LOOP:
        options->loop = true;
        return "";
    case OPTION_AUDIO_DELAY:
        if (option_whole_number(value, -AUDIO_DELAY_MAX_MS, AUDIO_DELAY_MAX_MS, &options->audio_delay_ms)) return "";
        return "milliseconds from -1000 to 1000";
    }
    return shared_option_read(&options->shared, code, value, true);
}

int window_options_parse(int argc, char** argv, const char* version, WindowOptions* options)
{
    *options = WindowOptions{false, 0.0, true, false, 0, shared_options_default()};
    std::vector<std::string> operands;
    const int result = options_parse(GRAMMAR, argc, argv, window_option_read, options, &operands, nullptr);
    if (result == OPTIONS_HELP) {
        fputs(USAGE, stdout);
        fputs(HELP, stdout);
    } else if (result == OPTIONS_VERSION) {
        printf("quiet-harbor %s\n", version);
    } else if (result == OPTIONS_RUN && !operands.empty()) {
        return options_fault(GRAMMAR, "unexpected argument '" + operands[0] + "'");
    }
    return result;
}

int window_options_fit_display(WindowOptions* options, int display_width, int display_height)
{
    SharedOptions& shared = options->shared;
    const bool known = display_width > 0 && display_height > 0;
    if (shared.desktop && known) {
        shared.width = display_width;
        shared.height = display_height;
    } else if (shared.desktop) {
        fprintf(stderr, "quiet-harbor: the display's resolution is unknown; --size desktop gives 800x600\n");
    }
    if (!known || (shared.width <= display_width && shared.height <= display_height)) return OPTIONS_RUN;
    return options_fault(GRAMMAR, "--size larger than the " + size_text(display_width, display_height) +
                                      " display: '" + size_text(shared.width, shared.height) + "'");
}
