// The window's render scale, fixed or chosen frame by frame.
#include "app/window_scale.h"

#include "base/base.h"
#include "presentation/render_scale.h"
#include "presentation/scale_control.h"

#include <GL/gl.h>

struct WindowScale {
    bool automatic;
    ScaleControl control;
    DemoStats* stats;
    double period_ms; // the display's refresh period
};

static WindowScale s_scale = {};

void window_scale_start(const SharedOptions& shared, DemoStats* stats)
{
    s_scale.automatic = shared.render_scale_auto;
    scale_control_init(&s_scale.control);
    s_scale.stats = stats;
    // SDL does not tell the display's refresh rate: the common 60 Hz.
    s_scale.period_ms = SCALE_PERIOD_DEFAULT_MS;
    render_scale_set(shared.render_scale);
}

void window_scale_draw_frame(DemoLoop* loop, float time)
{
    WindowScale& w = s_scale;
    if (!w.automatic) {
        demo_draw_frame(loop, time);
        const float scale = render_scale_get();
        if (w.stats && scale < 1.0f && !loop->stop) demo_stats_add_scale(w.stats, loop->last_scene, scale);
        return;
    }
    const double begin = clock_seconds();
    const float scale = SCALE_STEPS[w.control.step];
    render_scale_set(scale);
    demo_draw_frame(loop, time);
    if (loop->stop) return;
    // The frame's own cost, whatever the swap then waits for: with the
    // display's refresh pacing the swaps, only this shows the time to spare.
    glFinish();
    const double now = clock_seconds();
    if (w.stats) demo_stats_add_scale(w.stats, loop->last_scene, scale);
    scale_control_frame(&w.control, loop->last_scene, loop->t, now, (now - begin) * MS_PER_SECOND, w.period_ms);
}
