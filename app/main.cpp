// Entry point: read the options, open the window, load behind the loading
// screen, then run the frame loop until the timeline ends (or, looping, for
// ever), Escape is pressed or the window closes; the keys pause, seek, save
// the frame and switch full screen.
#include "base/base.h"
#include "presentation/demo.h"
#include "presentation/demo_audio.h"
#include "synth/player.h"
#include "app/window_options.h"
#include "app/keys.h"
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

static void frame_times_add(FrameTimes* times, const DemoLoop& loop, float time)
{
    if (!times->stats) return;
    const double now = clock_seconds();
    if (times->last_swap >= 0.0 && !loop.stop)
        demo_stats_add(times->stats, loop.last_scene, (now - times->last_swap) * MS_PER_SECOND, time);
    times->last_swap = now;
}

// Every event waiting, so that none waits behind a frame. Returns true when
// a key or a close request came, which skips this pass's frame. The pointer
// is read, not queued: a mouse reports far more often than the software
// renderer draws, and the event queue (128 events) would drop a key that
// came behind a frame's worth of motions.
static bool events_handle(Playback* p, Cursor* cursor)
{
    bool skip_frame = false;
    SDL_Event event;
    while (!p->stop && SDL_PollEvent(&event)) {
        if (keys_handle(event, p, cursor)) skip_frame = true;
    }
    cursor_update(cursor);
    return skip_frame;
}

// One frame at the clock's time, with what the viewer asked for on top.
static void frame_draw(Playback* p)
{
    // Time: where the music is, or the clock when there is no sound.
    const float time = demo_clock_seconds(&p->clock);
    // Music: the beats and accents up to the frame's time.
    demo_audio_sync(p->audio, time);
    window_scale_draw_frame(&p->loop, time);
    if (!p->loop.stop) {
        p->shown_time = time;
        if (p->screenshot) playback_screenshot(*p);
        p->screenshot = false;
        playback_line_draw(p);
    }
    swap_buffers();
    frame_times_add(p->times, p->loop, time);
    if (p->loop.stop) playback_timeline_ended(p);
}

// The frame loop, from `start` seconds until the timeline ends (unless
// looping), Escape is pressed or the window closes.
static void play(DemoAudio* audio, float start, bool looping, FrameTimes* times)
{
    Playback p;
    playback_start(&p, audio, start, looping, times);
    Cursor cursor = {false, 0.0, -1, -1};
    window_show_cursor(false);
    SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
    while (!p.stop) {
        const bool skip_frame = events_handle(&p, &cursor);
        if (p.stop) break;
        if (!skip_frame && (!p.paused || p.redraw)) {
            frame_draw(&p);
            p.redraw = false;
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
    // from here on.
    DemoAudio audio;
    demo_audio_start(&audio, true, options.start);
    audio.picture_delay = options.audio_delay_ms / MS_PER_SECOND;
    // How late the sound is heard, for --stats: the device closes before.
    char driver[32] = "";
    const bool sounding = audio.player && audio.player->has_device && SDL_AudioDriverName(driver, sizeof driver);
    const double heard_ms = audio_output_latency_seconds() * MS_PER_SECOND;

    FrameTimes times = {shared.stats ? demo_stats_create() : nullptr, -1.0};
    window_scale_start(shared, times.stats);
    play(&audio, (float)options.start, options.loop, &times);

    demo_audio_stop(&audio);
    if (times.stats) demo_stats_print(times.stats, stderr, "quiet-harbor", demo_stats_renderer());
    if (times.stats && sounding) {
        fprintf(stderr, "quiet-harbor: sound through %s, heard %.1f ms after the device takes it\n", driver, heard_ms);
    }
    demo_stats_destroy(times.stats);
    demo_unload();
    window_close();
    return EXIT_DONE;
}
