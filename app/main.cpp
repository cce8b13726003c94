// Entry point: read the options, open the window, load behind the loading
// screen, then run the frame loop until the timeline ends (or, looping, for
// ever), Escape is pressed or the window closes. Space pauses and resumes.
#include "base/base.h"
#include "presentation/demo.h"
#include "presentation/demo_audio.h"
#include "app/window_options.h"
#include "presentation/demo_stats.h"
#include "app/window.h"
#include "app/window_scale.h"
#include "runtime/gl_setup.h"
#include "runtime/text.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <ctime>

// The loop's only pause: 10 microseconds per pass; 10 ms while paused, when
// nothing is drawn.
static const long FRAME_SLEEP_NS = 10000;
static const long PAUSED_SLEEP_NS = 10000000;

// Frame times for --stats: what the viewer sees, the interval from one drawn
// frame's swap to the next, counted for the scene the later frame shows.
struct FrameTimes {
    DemoStats* stats; // null without --stats
    double last_swap; // monotonic seconds of the last swap; negative before the first
};

static void frame_times_add(FrameTimes* times, const DemoLoop& loop, float time)
{
    if (!times->stats) return;
    const double now = clock_seconds();
    if (times->last_swap >= 0.0 && !loop.stop)
        demo_stats_add(times->stats, loop.last_scene, (now - times->last_swap) * MS_PER_SECOND, time);
    times->last_swap = now;
}

// What the frame loop runs with, and what the keys have asked of it.
struct Playback {
    DemoAudio* audio;
    DemoClock clock;
    DemoLoop loop;
    FrameTimes* times;
    bool looping; // --loop: the timeline starts again at its end
    bool stop;    // Escape, a close request, or the end without looping
    bool paused;  // Space
};

// Returns true when the event ends the presentation or skips this pass's
// frame: Escape and a close request end it, Space pauses or resumes, and
// any key skips the frame.
static bool handle_event(const SDL_Event& event, Playback* p)
{
    if (event.type == SDL_QUIT) {
        p->stop = true;
        return true;
    }
    if (event.type != SDL_KEYDOWN) return false;
    if (event.key.keysym.sym == SDLK_ESCAPE) p->stop = true;
    if (event.key.keysym.sym == SDLK_SPACE) {
        // Picture and music stop together and go on from where they stopped.
        p->paused = !p->paused;
        demo_audio_pause(p->audio, p->paused);
        demo_clock_pause(&p->clock, p->paused);
        // The paused time is no frame's.
        if (!p->paused) p->times->last_swap = -1.0;
    }
    return true;
}

// At the timeline's end: stop, or start again from 0 as at the first start.
static void timeline_ended(Playback* p)
{
    if (!p->looping) {
        p->stop = true;
        return;
    }
    demo_rewind(&p->loop);
    demo_audio_restart(p->audio);
    demo_clock_start(&p->clock, p->audio, 0.0f);
    p->times->last_swap = -1.0;
}

// The frame loop, from `start` seconds until the timeline ends (unless
// looping), Escape is pressed or the window closes.
static void play(DemoAudio* audio, float start, bool looping, FrameTimes* times)
{
    Playback p = {audio, {}, {}, times, looping, false, false};
    demo_loop_init(&p.loop);
    demo_clock_start(&p.clock, audio, start);
    while (!p.stop) {
        // Events: one per pass.
        SDL_Event event;
        bool skip_frame = false;
        if (SDL_PollEvent(&event)) skip_frame = handle_event(event, &p);

        if (!skip_frame && !p.paused) {
            // Time: where the music is, or the clock when there is no sound.
            const float time = demo_clock_seconds(&p.clock);
            // Draw
            window_scale_draw_frame(&p.loop, time);
            swap_buffers();
            frame_times_add(times, p.loop, time);
            if (p.loop.stop) timeline_ended(&p);
            // Music: the beats and accents now due, for the next frame.
            demo_audio_sync(audio);
        }
        const timespec pause = {0, p.paused ? PAUSED_SLEEP_NS : FRAME_SLEEP_NS};
        nanosleep(&pause, nullptr);
    }
}

int main(int argc, char** argv)
{
    WindowOptions options;
    const int parsed = window_options_parse(argc, argv, QH_VERSION, &options);
    if (parsed == OPTIONS_BAD) return EXIT_USAGE;
    if (parsed != OPTIONS_RUN) return EXIT_DONE;

    int display_width = 0, display_height = 0;
    window_start(&display_width, &display_height);
    if (window_options_fit_display(&options, display_width, display_height) == OPTIONS_BAD) {
        window_close();
        return EXIT_USAGE;
    }
    const SharedOptions& shared = options.shared;
    window_open((uint16_t)shared.width, (uint16_t)shared.height, "Quiet harbor", options.window ? 0 : 1,
                WindowGl{shared.samples, options.vsync});
    text_enable_captions(shared.captions);
    demo_load();
    // Without a sound device there is no player and the pictures run silently
    // on the clock alone. With one, the music renders ahead on its own thread
    // from here on; the first frame already sees the cells due.
    DemoAudio audio;
    demo_audio_start(&audio, true, options.start);
    demo_audio_sync(&audio);

    FrameTimes times = {shared.stats ? demo_stats_create() : nullptr, -1.0};
    window_scale_start(shared, times.stats);
    play(&audio, (float)options.start, options.loop, &times);

    demo_audio_stop(&audio);
    if (times.stats) demo_stats_print(times.stats, stderr, "quiet-harbor", demo_stats_renderer());
    demo_stats_destroy(times.stats);
    demo_unload();
    window_close();
    return EXIT_DONE;
}
