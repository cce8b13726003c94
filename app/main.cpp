// Entry point: read the options, open the window, load behind the loading
// screen, then run the frame loop until the timeline ends, Escape is pressed
// or the window closes.
#include "app/demo.h"
#include "app/demo_audio.h"
#include "app/demo_options.h"
#include "app/window.h"
#include "runtime/gl_setup.h"

#include <SDL/SDL.h>
#include <ctime>

// The loop's only pause: 10 microseconds per pass.
static const long FRAME_SLEEP_NS = 10000;
static const int EXIT_USAGE = 2;

// Returns true when the event ends the presentation or skips this pass's frame.
static bool handle_event(const SDL_Event& event, bool* stop)
{
    if (event.type == SDL_QUIT) {
        *stop = true;
        return true;
    }
    if (event.type == SDL_KEYDOWN) {
        if (event.key.keysym.sym == SDLK_ESCAPE) *stop = true;
        return true;
    }
    return false;
}

int main(int argc, char** argv)
{
    DemoOptions options;
    const int parsed = demo_options_parse(argc, argv, QH_VERSION, &options);
    if (parsed == OPTIONS_BAD) return EXIT_USAGE;
    if (parsed != OPTIONS_RUN) return 0;

    int display_width = 0, display_height = 0;
    window_start(&display_width, &display_height);
    if (demo_options_fit_display(&options, display_width, display_height) == OPTIONS_BAD) {
        window_close();
        return EXIT_USAGE;
    }
    window_open((uint16_t)options.width, (uint16_t)options.height, "Quiet harbor", options.window ? 0 : 1,
                WindowGl{options.samples, options.vsync});
    demo_load();
    // Without a sound device there is no player and the pictures run silently
    // on the clock alone. The whole queue is filled before the first frame,
    // which can take longer than one block of sound.
    DemoAudio audio;
    demo_audio_start(&audio, true, options.start);
    demo_audio_pump(&audio);

    DemoLoop loop;
    demo_loop_init(&loop);
    DemoClock clock;
    demo_clock_start(&clock, &audio, (float)options.start);

    bool stop = false;
    while (!stop) {
        // Events: Escape or a close request end the loop; any key skips a frame.
        SDL_Event event;
        bool skip_frame = false;
        if (SDL_PollEvent(&event)) skip_frame = handle_event(event, &stop);

        if (!skip_frame) {
            // Time: where the music is, or the clock when there is no sound.
            const float time = demo_clock_seconds(&clock);
            // Draw
            demo_draw_frame(&loop, time);
            if (loop.stop) stop = true;
            swap_buffers();
            // Pump audio: top the queue up to four blocks.
            demo_audio_pump(&audio);
        }
        const timespec pause = {0, FRAME_SLEEP_NS};
        nanosleep(&pause, nullptr);
    }

    demo_audio_stop(&audio);
    demo_unload();
    window_close();
    return 0;
}
