// Camera and transforms: CPU matrix composition and GL matrix-stack wrappers.
#include "render/transform.h"

#include <GL/gl.h>
#include <cmath>
#include <cstring>

// Single-precision pi used for every degree-to-radian conversion here.
static const float PI_F = 3.1415927f;
static const float OVERLAY_WIDTH = 800.0f;
static const float OVERLAY_HEIGHT = 600.0f;

const float VIEW_BASE_MATRIX[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};

void mat_identity(float* m)
{
    static const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(m, IDENTITY, sizeof IDENTITY);
}

void mat_multiply(float* a, const float* b)
{
    float t[16];
    memcpy(t, a, sizeof t);
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++) sum += b[4 * i + k] * t[4 * k + j];
            a[4 * i + j] = sum;
        }
    }
}

void mat_translate(float* m, float x, float y, float z)
{
    float t[16];
    mat_identity(t);
    t[12] = x;
    t[13] = y;
    t[14] = z;
    mat_multiply(m, t);
}

void mat_scale(float* m, float x, float y, float z)
{
    float s[16];
    mat_identity(s);
    s[0] = x;
    s[5] = y;
    s[10] = z;
    mat_multiply(m, s);
}

// Cosine and sine of a degree angle: radians rounded to float, then the
// double-precision functions, stored as floats.
static void degrees_cos_sin(float degrees, float* c, float* s)
{
    const float r = degrees / 180.0f * PI_F;
    *c = (float)cos((double)r);
    *s = (float)sin((double)r);
}

void mat_rotate_xyz(float* m, float ax, float ay, float az)
{
    float r[16], c, s;

    degrees_cos_sin(ax, &c, &s);
    mat_identity(r);
    r[5] = c;
    r[9] = -s;
    r[6] = s;
    r[10] = c;
    mat_multiply(m, r);

    degrees_cos_sin(ay, &c, &s);
    mat_identity(r);
    r[0] = c;
    r[8] = s;
    r[2] = -s;
    r[10] = c;
    mat_multiply(m, r);

    degrees_cos_sin(az, &c, &s);
    mat_identity(r);
    r[0] = c;
    r[4] = -s;
    r[1] = s;
    r[5] = c;
    mat_multiply(m, r);
}

void gl_select_modelview() { glMatrixMode(GL_MODELVIEW); }
void view_reset() { glLoadMatrixf(VIEW_BASE_MATRIX); }
void gl_mult(const float* m) { glMultMatrixf(m); }
void gl_push() { glPushMatrix(); }
void gl_pop() { glPopMatrix(); }
void gl_translate(float x, float y, float z) { glTranslatef(x, y, z); }
void gl_scale(float x, float y, float z) { glScalef(x, y, z); }

void gl_rotate_xyz(float ax, float ay, float az)
{
    glRotatef(ax, 1, 0, 0);
    glRotatef(ay, 0, 1, 0);
    glRotatef(az, 0, 0, 1);
}

void overlay_begin()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, OVERLAY_WIDTH, OVERLAY_HEIGHT, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void overlay_end()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
