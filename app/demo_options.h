// The presentation's command line: quiet-harbor [--window] [--start SECONDS]
// [--size WxH|desktop] [--msaa N] [--no-vsync] [--captions] [--loop] [--stats]
// [--help] [--version].
#pragma once

struct DemoOptions {
    bool window;     // a window instead of full screen
    double start;    // timeline seconds to begin at, 0 <= start < 225
    int width;       // frame size in pixels, 800 x 600 by default ...
    int height;
    bool desktop;    // ... or the display's current resolution
    int samples;     // --msaa: samples per pixel asked for, 1 = off
    bool vsync;      // swaps wait for the display; off with --no-vsync
    bool captions;   // draw the captions
    bool loop;       // start again from 0 at the end, until Escape
    bool stats;      // frame times per scene on stderr at exit
};

// What the command line asks for.
const int OPTIONS_RUN = 0;     // play, with the options read
const int OPTIONS_HELP = 1;    // usage printed on stdout: exit 0
const int OPTIONS_VERSION = 2; // name and version printed on stdout: exit 0
const int OPTIONS_BAD = 3;     // one line naming the fault and the usage on stderr: exit 2

// Reads argv[1..argc-1]. Without options: full screen from 0 s at 800 x 600
// with vsync. `version` is the text --version prints after the program's name.
int demo_options_parse(int argc, char** argv, const char* version, DemoOptions* options);
// Settles the frame size once the display's resolution is known (0 x 0 when
// unknown): --size desktop takes it, and a size larger than the display is
// refused like a bad option. Returns OPTIONS_RUN or OPTIONS_BAD.
int demo_options_fit_display(DemoOptions* options, int display_width, int display_height);
