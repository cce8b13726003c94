// Entry point: open the window, load behind the loading screen, then run the
// frame loop until the timeline ends, Escape is pressed or the window closes.
#include "runtime/demo.h"
#include "runtime/demo_audio.h"
#include "runtime/gl_setup.h"
#include "runtime/window.h"

#include <SDL/SDL.h>
#include <ctime>

// The loop's only pause: 10 microseconds per pass.
static const long FRAME_SLEEP_NS = 10000;

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

int main()
{
    window_open(WINDOW_WIDTH, WINDOW_HEIGHT, "Quiet harbor", 1);
    demo_load();
    // Without a sound device there is no player and the pictures run silently
    // on the clock alone.
    DemoAudio audio;
    demo_audio_start(&audio, true);

    DemoLoop loop;
    demo_loop_init(&loop);
    const uint32_t start_ms = clock_ms();

    bool stop = false;
    while (!stop) {
        // Events: Escape or a close request end the loop; any key skips a frame.
        SDL_Event event;
        bool skip_frame = false;
        if (SDL_PollEvent(&event)) skip_frame = handle_event(event, &stop);

        if (!skip_frame) {
            // Time
            const float time = (float)(clock_ms() - start_ms) / 1000.0f;
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
