// Scene test support: loading once, frame drawing and band statistics.
#include "support/scene_image.h"

#include "offscreen/offscreen.h"
#include "render/render.h"
#include "runtime/gl_setup.h"
#include "runtime/sync.h"

#include <GL/gl.h>

static const double BAND_PIXELS = (double)WINDOW_WIDTH * PICTURE_HEIGHT;

void SceneTest::SetUp()
{
    GlTest::SetUp();
    static bool loaded = false;
    if (!loaded) {
        demo_load();
        loaded = true;
    }
    sync_reset();
    light_reset();
}

void SceneTest::TearDown()
{
    sync_reset();
    light_reset();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

Image draw_frame(float time)
{
    DemoLoop loop;
    demo_loop_init(&loop);
    demo_draw_frame(&loop, time);
    return offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
}

Image draw_frame_in(DemoLoop* loop, float time)
{
    demo_draw_frame(loop, time);
    return offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
}

Image draw_unfaded(RenderStep step, float t)
{
    demo_picture_begin();
    step(t, 1);
    demo_picture_end();
    return offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
}

BandStats band_stats(const Image& im)
{
    BandStats s = {0, 0, 0, 0, 0, 0};
    long lit = 0;
    for (int y = 0; y < WINDOW_HEIGHT; y++) {
        for (int x = 0; x < WINDOW_WIDTH; x++) {
            const uint8_t* p = pixel(im, x, y);
            if (y < BAND_TOP || y >= BAND_BOTTOM) {
                s.outside_lit += (p[0] | p[1] | p[2]) != 0;
                continue;
            }
            s.r += p[0];
            s.g += p[1];
            s.b += p[2];
            lit += p[0] > 8 || p[1] > 8 || p[2] > 8;
            s.warm += p[0] > 60 && p[0] >= p[2] + 30;
        }
    }
    s.r /= BAND_PIXELS;
    s.g /= BAND_PIXELS;
    s.b /= BAND_PIXELS;
    s.lit = lit / BAND_PIXELS;
    return s;
}
