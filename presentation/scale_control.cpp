// The render scale chosen from the frames' times.
#include "presentation/scale_control.h"

#include <algorithm>

const float SCALE_STEPS[SCALE_STEP_COUNT] = {1.0f, 0.85f, 0.7f, 0.6f, 0.5f};

void scale_control_init(ScaleControl* control)
{
    *control = ScaleControl{};
    control->spare_since = -1.0;
}

// The window starts afresh: its frames were of another scale or scene.
static void window_restart(ScaleControl* c)
{
    c->count = 0;
    c->next = 0;
    c->spare_since = -1.0;
}

static double window_median(const ScaleControl& c)
{
    double sorted[SCALE_WINDOW_FRAMES];
    std::copy(c.frames_ms, c.frames_ms + c.count, sorted);
    std::sort(sorted, sorted + c.count);
    const int half = c.count / 2;
    return c.count % 2 ? sorted[half] : (sorted[half - 1] + sorted[half]) / 2.0;
}

static int step_to(ScaleControl* c, int step, double now)
{
    c->step = step;
    c->held_until = now + SCALE_HOLD_SECONDS;
    window_restart(c);
    return step;
}

int scale_control_frame(ScaleControl* c, int scene, double scene_t, double now, double ms, double period_ms)
{
    if (scene != c->scene) {
        c->scene = scene;
        window_restart(c);
    }
    c->frames_ms[c->next] = ms;
    c->next = (c->next + 1) % SCALE_WINDOW_FRAMES;
    if (c->count < SCALE_WINDOW_FRAMES) c->count++;
    if (scene_t < SCALE_HOLD_SECONDS || now < c->held_until || c->count < SCALE_WINDOW_LEAST) return c->step;

    const double median = window_median(*c);
    if (median > period_ms) {
        c->spare_since = -1.0;
        return c->step + 1 < SCALE_STEP_COUNT ? step_to(c, c->step + 1, now) : c->step;
    }
    if (median > (1.0 - SCALE_SPARE_SHARE) * period_ms) {
        c->spare_since = -1.0;
        return c->step;
    }
    if (c->spare_since < 0.0) c->spare_since = now;
    if (now - c->spare_since >= SCALE_SPARE_SECONDS && c->step > 0) return step_to(c, c->step - 1, now);
    return c->step;
}
