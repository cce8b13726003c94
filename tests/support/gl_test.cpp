// Shared offscreen GL context for the test programs.
#include "support/gl_test.h"

#include "offscreen/offscreen.h"
#include "runtime/gl_setup.h"

#include <GL/gl.h>
#include <cstdlib>
#include <string>

void gl_test_context()
{
    static bool opened = false;
    static std::string error;
    if (!opened) {
        if (!offscreen_open(WINDOW_WIDTH, WINDOW_HEIGHT, &error)) FAIL() << "offscreen GL: " << error;
        gl_setup_fixed_state(WINDOW_WIDTH, WINDOW_HEIGHT);
        // Closed at exit, so the driver releases what it holds for the context
        // and a leak check sees only the program's own leaks.
        atexit(offscreen_close);
        opened = true;
    }
}

Rgb gl_read_pixel(int x, int y_from_top)
{
    uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, WINDOW_HEIGHT - 1 - y_from_top, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return Rgb{rgb[0], rgb[1], rgb[2]};
}

void GlTest::SetUp()
{
    gl_test_context();
    glViewport(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
