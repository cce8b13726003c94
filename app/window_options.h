// The window program's command line: quiet-harbor [--window] [--start
// SECONDS] [--size WxH|desktop] [--msaa N] [--no-vsync] [--captions] [--loop]
// [--audio-delay MS] [--stats] [--help] [--version].
#pragma once

#include "presentation/options.h"

struct WindowOptions {
    bool window;          // a window instead of full screen
    double start;         // timeline seconds to begin at, 0 <= start < 225
    bool vsync;           // swaps wait for the display; off with --no-vsync
    bool loop;            // start again from 0 at the end, until Escape
    int audio_delay_ms;   // pictures held back this much besides the output's latency, -1000..1000
    SharedOptions shared; // size, samples, captions, statistics
};

// Reads argv[1..argc-1] (an OptionsResult). Without options: full screen
// from 0 s at 800 x 600 with vsync. --help and --version print here;
// `version` is the text --version prints after the program's name.
int window_options_parse(int argc, char** argv, const char* version, WindowOptions* options);
// Settles the frame size once the display's resolution is known (0 x 0 when
// unknown): --size desktop takes it, and a size larger than the display is
// refused like a bad option. Returns OPTIONS_RUN or OPTIONS_BAD.
int window_options_fit_display(WindowOptions* options, int display_width, int display_height);
