// Fixed GL state after the context opens, and the frame presentation hook.
#include "runtime/gl_setup.h"

#include <GL/gl.h>
#include <GL/glu.h>

static const double FIELD_OF_VIEW = 30.0; // degrees, vertical
static const double NEAR_PLANE = 1.0;
static const double FAR_PLANE = 10000.0;
static const float MATERIAL_SHININESS = 128.0f;

static void (*s_swap_hook)() = nullptr;

void gl_setup_fixed_state(int width, int height)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FIELD_OF_VIEW, (double)width / (double)height, NEAR_PLANE, FAR_PLANE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_TEXTURE_2D);
    glDepthFunc(GL_LESS);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_FOG_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);

    // Material colours far above 1 saturate every lit face that does not turn
    // almost exactly away from the light.
    const float specular[4] = {100, 100, 100, 1};
    const float ambient[4] = {0, 0, 0, 1};
    const float diffuse[4] = {500, 500, 500, 1};
    glMaterialf(GL_FRONT, GL_SHININESS, MATERIAL_SHININESS);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);

    glCullFace(GL_BACK);
    glFrontFace(GL_CW);
}

void swap_buffers()
{
    if (s_swap_hook) s_swap_hook();
}

void swap_buffers_set_hook(void (*hook)()) { s_swap_hook = hook; }
