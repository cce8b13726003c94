// Text layer, loading screen and credits (stand-ins until the loading screen lands).
#include "runtime/text.h"

#include "runtime/gl_setup.h"

#include <GL/gl.h>

int32_t g_font_large = 0;
int32_t g_font_small = 0;

int32_t font_create(const char*, int, uint8_t, uint8_t, uint8_t, uint8_t) { return 0; }
void font_free(int32_t) {}
void text_draw(int, int, uint32_t, int32_t, const char*) {}

void disc_draw(int, int, int, uint32_t) {}

void loading_screen(int, int)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    swap_buffers();
}

void credits_render(int, int) {}
