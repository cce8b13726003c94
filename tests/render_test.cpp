// Render-state switches, light, fog and display lists against a real GL context.
#include "render/render.h"
#include "support/gl_test.h"

#include <GL/gl.h>

namespace {

class RenderStateTest : public GlTest {};

struct CapCase {
    uint32_t code;
    GLenum caps[3];
};

TEST_F(RenderStateTest, EachSimpleCodeSwitchesItsCapabilities)
{
    const CapCase cases[] = {
        {RS_TEXTURE, {GL_TEXTURE_2D, 0, 0}},
        {RS_BLEND, {GL_BLEND, 0, 0}},
        {RS_FOG, {GL_FOG, 0, 0}},
        {RS_DEPTH_TEST, {GL_DEPTH_TEST, 0, 0}},
        {RS_LIGHTING, {GL_LIGHTING, 0, 0}},
        {RS_POLYGON_OFFSET, {GL_POLYGON_OFFSET_FILL, GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT}},
    };
    for (const CapCase& c : cases) {
        state_enable(c.code);
        for (GLenum cap : c.caps)
            if (cap) { EXPECT_TRUE(glIsEnabled(cap)) << "code " << c.code << " cap 0x" << std::hex << cap; }
        state_disable(c.code);
        for (GLenum cap : c.caps)
            if (cap) { EXPECT_FALSE(glIsEnabled(cap)) << "code " << c.code << " cap 0x" << std::hex << cap; }
    }
}

TEST_F(RenderStateTest, FogEnableSetsLinearModeAndDisableKeepsIt)
{
    glFogi(GL_FOG_MODE, GL_EXP);
    state_enable(RS_FOG);
    GLint mode = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    EXPECT_EQ(mode, GL_LINEAR);
    glFogi(GL_FOG_MODE, GL_EXP2);
    state_disable(RS_FOG);
    glGetIntegerv(GL_FOG_MODE, &mode);
    EXPECT_EQ(mode, GL_EXP2);
    glFogi(GL_FOG_MODE, GL_LINEAR);
}

TEST_F(RenderStateTest, DepthWriteSwitchesTheDepthMask)
{
    GLboolean mask = GL_TRUE;
    state_disable(RS_DEPTH_WRITE);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_FALSE);
    state_enable(RS_DEPTH_WRITE);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_TRUE);
}

TEST_F(RenderStateTest, SphereMapOnThenOffLeavesModulateAndNoTexgen)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    state_enable(RS_SPHERE_MAP);
    GLint value = 0;
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &value);
    EXPECT_EQ(value, GL_SPHERE_MAP);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &value);
    EXPECT_EQ(value, GL_SPHERE_MAP);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT);

    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    state_disable(RS_SPHERE_MAP);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &name);
}

TEST_F(RenderStateTest, UnknownCodesAndModesChangeNothing)
{
    const GLenum caps[] = {GL_TEXTURE_2D, GL_BLEND, GL_FOG, GL_DEPTH_TEST, GL_LIGHTING,
                           GL_POLYGON_OFFSET_FILL, GL_TEXTURE_GEN_S};
    bool before[7];
    for (int i = 0; i < 7; i++) before[i] = glIsEnabled(caps[i]);
    state_enable(8);
    state_disable(8);
    state_enable(0xFFFFFFFF);
    for (int i = 0; i < 7; i++) EXPECT_EQ(glIsEnabled(caps[i]), before[i]) << i;

    GLint modes[2] = {0, 0};
    polygon_mode(POLY_FILL);
    polygon_mode(3);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
}

TEST_F(RenderStateTest, PolygonModesSetWidthAndSize)
{
    GLint modes[2] = {0, 0};
    GLfloat size = 0;
    polygon_mode(POLY_POINT);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(modes[0], GL_POINT);
    EXPECT_EQ(modes[1], GL_POINT);
    EXPECT_FLOAT_EQ(size, 3.0f);

    glLineWidth(4);
    polygon_mode(POLY_LINE);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    glGetFloatv(GL_LINE_WIDTH, &size);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_FLOAT_EQ(size, 1.0f);
    polygon_mode(POLY_FILL);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
}

TEST_F(RenderStateTest, FogColourBytesAndRange)
{
    fog_colour(0xFF406040);
    GLfloat colour[4];
    glGetFloatv(GL_FOG_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 64 / 255.0f);
    EXPECT_FLOAT_EQ(colour[1], 96 / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], 64 / 255.0f);
    EXPECT_FLOAT_EQ(colour[3], 1.0f);

    // Red and blue must not be swapped, nor alpha taken from the wrong byte.
    fog_colour(0x80FF0010);
    glGetFloatv(GL_FOG_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 0.0f);
    EXPECT_FLOAT_EQ(colour[2], 16 / 255.0f);
    EXPECT_NEAR(colour[3], 128 / 255.0f, 1e-6);

    fog_start(10);
    fog_end(80);
    GLfloat start = 0, end = 0;
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    EXPECT_FLOAT_EQ(start, 10);
    EXPECT_FLOAT_EQ(end, 80);
}

TEST_F(RenderStateTest, BlendOffsetAndViewportPassThrough)
{
    blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);

    polygon_offset(1, 2);
    GLfloat factor = 0, units = 0;
    glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &factor);
    glGetFloatv(GL_POLYGON_OFFSET_UNITS, &units);
    EXPECT_FLOAT_EQ(factor, 1);
    EXPECT_FLOAT_EQ(units, 2);

    viewport(0, 75, 800, 450);
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    EXPECT_EQ(box[1], 75);
    EXPECT_EQ(box[3], 450);
}

// The cache flag is module state: this test walks it through its whole cycle.
TEST_F(RenderStateTest, LightsEnableCachesItsFlag)
{
    // At start-up nothing is on, and switching off does nothing.
    ASSERT_FALSE(lights_are_on());
    glEnable(GL_LIGHT3);
    lights_enable(0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT3)) << "off while already off must not touch GL";
    glDisable(GL_LIGHT3);

    // Light 0 goes on; lights 1..7 still have GL's black defaults, which
    // light nothing, so they stay out of the driver's work.
    lights_enable(1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    for (int i = 1; i < 8; i++) EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + i)) << i;
    EXPECT_TRUE(lights_are_on());
    // A light given parameters joins at once, and on every later switch-on.
    light_apply(g_light, 5);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT5));

    // A second enable is skipped by the cache, even if GL changed meanwhile.
    glDisable(GL_LIGHT5);
    lights_enable(1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT5));

    lights_enable(0);
    for (int i = 0; i < 8; i++) EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + i)) << i;
    EXPECT_FALSE(lights_are_on());
    lights_enable(1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT5));
    lights_enable(0);
    const float black[4] = {0, 0, 0, 1};
    for (GLenum pname : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR}) glLightfv(GL_LIGHT5, pname, black);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

TEST_F(RenderStateTest, LightApplyUploadsPositionalLightInEyeSpace)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(100, 0, 0);
    glMatrixMode(GL_PROJECTION);

    Light light = {{1, 2500, 2400, 2300}, {0.5f, 1, 2, 3}, {3, 10, 14}};
    light_apply(light, 0);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 0.0f) << "model-view must be identity before the position";

    GLfloat v[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, v);
    EXPECT_FLOAT_EQ(v[0], 2500);
    EXPECT_FLOAT_EQ(v[1], 2400);
    EXPECT_FLOAT_EQ(v[2], 2300);
    EXPECT_FLOAT_EQ(v[3], 1);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, v);
    EXPECT_FLOAT_EQ(v[0], 1);
    EXPECT_FLOAT_EQ(v[2], 3);
    EXPECT_FLOAT_EQ(v[3], 0.5f);
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, v);
    EXPECT_FLOAT_EQ(v[1], 2);
    glGetLightfv(GL_LIGHT0, GL_POSITION, v);
    EXPECT_FLOAT_EQ(v[0], 3);
    EXPECT_FLOAT_EQ(v[1], 10);
    EXPECT_FLOAT_EQ(v[2], 14);
    EXPECT_FLOAT_EQ(v[3], 1);
    GLfloat a = -1;
    glGetLightfv(GL_LIGHT0, GL_CONSTANT_ATTENUATION, &a);
    EXPECT_FLOAT_EQ(a, 0);
    glGetLightfv(GL_LIGHT0, GL_LINEAR_ATTENUATION, &a);
    EXPECT_FLOAT_EQ(a, 0);
    glGetLightfv(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, &a);
    EXPECT_FLOAT_EQ(a, 100);
}

TEST_F(RenderStateTest, LightApplyWithIndex8LoadsIdentityAndChangesNoLight)
{
    GLfloat before[8][4];
    for (int i = 0; i < 8; i++) glGetLightfv(GL_LIGHT0 + i, GL_DIFFUSE, before[i]);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(5, 6, 7);
    Light light = {{1, 9, 9, 9}, {1, 9, 9, 9}, {1, 1, 1}};
    light_apply(light, 8);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; i++) EXPECT_FLOAT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
    for (int i = 0; i < 8; i++) {
        GLfloat after[4];
        glGetLightfv(GL_LIGHT0 + i, GL_DIFFUSE, after);
        for (int k = 0; k < 4; k++) EXPECT_EQ(after[k], before[i][k]);
    }
}

TEST_F(RenderStateTest, LightResetRestoresTheDefaultLight)
{
    g_light.diffuse[1] = 7;
    g_light.position[2] = 9;
    light_reset();
    const Light expected = {{1, 500, 500, 500}, {1, 1, 1, 1}, {0, 0, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(g_light.diffuse[i], expected.diffuse[i]);
        EXPECT_EQ(g_light.ambient[i], expected.ambient[i]);
    }
    for (int i = 0; i < 3; i++) EXPECT_EQ(g_light.position[i], 0.0f);
}

// A steep quad far back, where float depth is coarsest, in flat colour.
void far_tilted_quad(float r, float g, float depth_shift)
{
    glColor3f(r, g, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3f(-0.5f, -0.5f, 0.90f + depth_shift);
    glVertex3f(0.5f, -0.5f, 0.99f + depth_shift);
    glVertex3f(0.5f, 0.5f, 0.99f + depth_shift);
    glVertex3f(-0.5f, 0.5f, 0.90f + depth_shift);
    glEnd();
}

// Every pixel of the quad's middle row (x 220..579) has the given red and green.
void expect_middle_row(int r, int g, const char* what)
{
    for (int x = 220; x < 580; x++) {
        const Rgb got = gl_read_pixel(x, 300);
        ASSERT_EQ(got.r, r) << what << " at x " << x;
        ASSERT_EQ(got.g, g) << what << " at x " << x;
    }
}

TEST_F(RenderStateTest, DepthPrepassKeepsTheRealDrawAndRejectsWhatItHides)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);

    depth_prepass_begin();
    far_tilted_quad(1, 0, 0);
    depth_prepass_end();
    expect_middle_row(0, 0, "prepass wrote colour");
    GLboolean mask[4] = {GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]) << "colour writes back on";
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL)) << "polygon offset restored";

    far_tilted_quad(0, 1, 0.001f); // just behind: hidden, so rejected
    expect_middle_row(0, 0, "hidden quad");
    far_tilted_quad(1, 0, 0); // the real draw passes at every pixel
    expect_middle_row(255, 0, "real draw");

    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(RenderStateTest, DisplayListReplaysWhatItRecorded)
{
    const uint32_t list = list_begin();
    glColor3f(1, 0, 0);
    glBegin(GL_TRIANGLES);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(0, 1);
    glEnd();
    list_end();
    ASSERT_NE(list, 0u);
    EXPECT_TRUE(glIsList(list));

    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl_read_pixel(400, 300).r, 0) << "compiling must not draw";
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    list_call(list);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(gl_read_pixel(400, 300).r, 255);
}

} // namespace
