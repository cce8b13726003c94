// The loading screen's discs and the end credits step.
#include "runtime/text.h"

#include "render/render.h"
#include "render/transform.h"
#include "runtime/gl_setup.h"

#include <GL/gl.h>
#include <cmath>

// Degrees per radian, as the disc's angle step divides it.
static const double DEGREES_PER_RADIAN = 57.29577957795135;
// Rim points 0..360 degrees: 361 triangles, the first one degenerate.
static const int DISC_STEPS = 361;

// Loading screen: one disc of radius 8 every 20 pixels, centred on x = 400,
// 310 pixels up from the bottom of the window.
static const int LOADING_DISC_RADIUS = 8;
static const int LOADING_DISC_SPACING = 20;
static const int LOADING_DISC_Y = 310;
static const int LOADING_ROW_CENTRE_X = 400;
static const uint32_t LOADING_DONE_COLOUR = 0xFFFFFFFF;
static const uint32_t LOADING_PENDING_COLOUR = 0xFF808080;
static const int LOADING_TEXT_X = 360;
static const int LOADING_TEXT_Y = 270;

// Credits captions, in overlay pixels.
static const int CREDITS_CODE_X = 260, CREDITS_CODE_Y = 250;
static const int CREDITS_MUSIC_X = 260, CREDITS_MUSIC_Y = 310;
static const int CREDITS_WEB_X = 240, CREDITS_WEB_Y = 380;
static const uint32_t CREDITS_COLOUR = 0xFFFFFFFF;

int32_t g_font_large = 0;
int32_t g_font_small = 0;

void disc_draw(int cx, int cy, int radius, uint32_t colour)
{
    glColor3f((float)((colour >> 16) & 0xFF) / 255.0f, (float)((colour >> 8) & 0xFF) / 255.0f,
              (float)(colour & 0xFF) / 255.0f);
    // Overlay y runs downwards; cy is measured upwards from the bottom.
    const float centre_x = (float)cx;
    const float centre_y = (float)(WINDOW_HEIGHT - cy);
    float px = centre_x, py = centre_y;
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < DISC_STEPS; i++) {
        const float theta = (float)(i / DEGREES_PER_RADIAN);
        const float qx = centre_x + (float)radius * sinf(theta);
        const float qy = centre_y + (float)radius * cosf(theta);
        // Integer vertices, truncated toward zero.
        glVertex2i((int)centre_x, (int)centre_y);
        glVertex2i((int)px, (int)py);
        glVertex2i((int)qx, (int)qy);
        px = qx;
        py = qy;
    }
    glEnd();
}

void loading_screen(int done, int total)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The overlay's 800 x 600 units at the band's scale and centre: the row
    // of discs keeps its place on the picture at every frame size.
    const FrameGeometry& f = g_frame;
    viewport(f.overlay_x, f.overlay_y, f.overlay_width, f.overlay_height);
    state_disable(RS_TEXTURE);
    overlay_begin();
    text_draw(LOADING_TEXT_X, LOADING_TEXT_Y, LOADING_DONE_COLOUR, g_font_small, "Loading...");
    const int first_x = LOADING_ROW_CENTRE_X - LOADING_DISC_SPACING / 2 * total;
    for (int i = 0; i < total; i++) {
        const uint32_t colour = i < done ? LOADING_DONE_COLOUR : LOADING_PENDING_COLOUR;
        disc_draw(first_x + LOADING_DISC_SPACING * i, LOADING_DISC_Y, LOADING_DISC_RADIUS, colour);
    }
    overlay_end();
    state_enable(RS_TEXTURE);
    swap_buffers();
}

void credits_render(int, int)
{
    state_disable(RS_TEXTURE);
    state_disable(RS_LIGHTING);
    overlay_begin();
    text_draw(CREDITS_CODE_X, CREDITS_CODE_Y, CREDITS_COLOUR, g_font_large, "Code : Tovk & zel");
    text_draw(CREDITS_MUSIC_X, CREDITS_MUSIC_Y, CREDITS_COLOUR, g_font_large, "Music : Marlowind");
    text_draw(CREDITS_WEB_X, CREDITS_WEB_Y, CREDITS_COLOUR, g_font_large, "quiet harbor, made in code");
    overlay_end();
    state_enable(RS_TEXTURE);
}
