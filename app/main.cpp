// Entry point: read the options, open the window, load behind the loading
// screen, then run the frame loop until the timeline ends, Escape is pressed
// or the window closes.
#include "app/demo.h"
#include "app/demo_audio.h"
#include "app/demo_options.h"
#include "app/demo_stats.h"
#include "app/window.h"
#include "runtime/gl_setup.h"
#include "runtime/text.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <ctime>

// The loop's only pause: 10 microseconds per pass.
static const long FRAME_SLEEP_NS = 10000;
static const int EXIT_USAGE = 2;
static const double MS_PER_SECOND = 1000.0;

// Frame times for --stats: what the viewer sees, the interval from one drawn
// frame's swap to the next, counted for the scene the later frame shows.
struct FrameTimes {
    DemoStats* stats; // null without --stats
    double last_swap; // monotonic seconds of the last swap; negative before the first
};

static double seconds_now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + now.tv_nsec / 1e9;
}

static void frame_times_add(FrameTimes* times, const DemoLoop& loop, float time)
{
    if (!times->stats) return;
    const double now = seconds_now();
    if (times->last_swap >= 0.0 && !loop.stop)
        demo_stats_add(times->stats, loop.last_scene, (now - times->last_swap) * MS_PER_SECOND, time);
    times->last_swap = now;
}

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

// The frame loop, from `start` seconds until the timeline ends, Escape is
// pressed or the window closes.
static void play(DemoAudio* audio, float start, FrameTimes* times)
{
    DemoLoop loop;
    demo_loop_init(&loop);
    DemoClock clock;
    demo_clock_start(&clock, audio, start);

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
            frame_times_add(times, loop, time);
            // Music: the beats and accents now due, for the next frame.
            demo_audio_sync(audio);
        }
        const timespec pause = {0, FRAME_SLEEP_NS};
        nanosleep(&pause, nullptr);
    }
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
    text_enable_captions(options.captions);
    demo_load();
    // Without a sound device there is no player and the pictures run silently
    // on the clock alone. With one, the music renders ahead on its own thread
    // from here on; the first frame already sees the cells due.
    DemoAudio audio;
    demo_audio_start(&audio, true, options.start);
    demo_audio_sync(&audio);

    FrameTimes times = {options.stats ? demo_stats_create() : nullptr, -1.0};
    play(&audio, (float)options.start, &times);

    demo_audio_stop(&audio);
    if (times.stats) demo_stats_print(times.stats, stderr, "quiet-harbor", demo_stats_renderer());
    demo_stats_destroy(times.stats);
    demo_unload();
    window_close();
    return 0;
}
