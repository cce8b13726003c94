// CPU matrix composition against an independent product, rotation senses and
// order, the view base matrix, the GL wrappers and the overlay projection.
#include "render/render.h"
#include "render/transform.h"
#include "support/gl_test.h"

#include <GL/gl.h>
#include <cmath>
#include <cstring>

namespace {

// Element (row r, column c) of a column-major matrix.
float at(const float* m, int r, int c) { return m[4 * c + r]; }

// Independent 4 x 4 product: rows times columns, float sums in increasing k.
void reference_product(const float* a, const float* b, float* out)
{
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            float sum = 0;
            for (int k = 0; k < 4; k++) sum += at(a, r, k) * at(b, k, c);
            out[4 * c + r] = sum;
        }
}

struct Point {
    float x, y, z;
};

Point transform(const float* m, Point p)
{
    return {at(m, 0, 0) * p.x + at(m, 0, 1) * p.y + at(m, 0, 2) * p.z + at(m, 0, 3),
            at(m, 1, 0) * p.x + at(m, 1, 1) * p.y + at(m, 1, 2) * p.z + at(m, 1, 3),
            at(m, 2, 0) * p.x + at(m, 2, 1) * p.y + at(m, 2, 2) * p.z + at(m, 2, 3)};
}

void expect_point_near(Point got, Point want, double tolerance, const char* what)
{
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

TEST(Transform, MultiplyEqualsIndependentProductBitForBit)
{
    float a[16], b[16], want[16];
    for (int i = 0; i < 16; i++) {
        a[i] = 0.1f * (float)(i * i) - 1.7f + (float)i / 3.0f;
        b[i] = 2.3f - 0.37f * (float)i + (i % 3 == 0 ? 1e-3f : 0.0f);
    }
    reference_product(a, b, want);
    mat_multiply(a, b);
    for (int i = 0; i < 16; i++) EXPECT_EQ(a[i], want[i]) << "index " << i;
}

TEST(Transform, MultiplyAppliesTheRightHandMatrixFirst)
{
    float m[16];
    mat_identity(m);
    mat_translate(m, 1, 2, 3);
    mat_scale(m, 2, 2, 2);
    // Scale first, then translate.
    expect_point_near(transform(m, {1, 1, 1}), {3, 4, 5}, 0, "translate then scale");
    EXPECT_EQ(m[12], 1);
    EXPECT_EQ(m[13], 2);
    EXPECT_EQ(m[14], 3);

    mat_identity(m);
    mat_scale(m, 2, 2, 2);
    mat_translate(m, 1, 2, 3);
    expect_point_near(transform(m, {1, 1, 1}), {4, 6, 8}, 0, "scale then translate");
}

TEST(Transform, RotationsTurnCounterClockwiseAboutEachAxis)
{
    const struct {
        float ax, ay, az;
        Point from, to;
    } cases[] = {
        {90, 0, 0, {0, 1, 0}, {0, 0, 1}},
        {0, 90, 0, {0, 0, 1}, {1, 0, 0}},
        {0, 0, 90, {1, 0, 0}, {0, 1, 0}},
        {180, 0, 0, {0, 1, 0}, {0, -1, 0}},
        {0, 0, -90, {1, 0, 0}, {0, -1, 0}},
        {0, 0, 45, {1, 0, 0}, {0.70710678f, 0.70710678f, 0}},
        // Z first, then Y, then X.
        {90, 90, 0, {1, 0, 0}, {0, 1, 0}},
        {90, 0, 90, {1, 0, 0}, {0, 0, 1}},
        {0, 90, 90, {0, 1, 0}, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        float m[16];
        mat_identity(m);
        mat_rotate_xyz(m, c.ax, c.ay, c.az);
        expect_point_near(transform(m, c.from), c.to, 1e-6, "rotation");
    }
}

TEST(Transform, NinetyDegreesUsesSinglePrecisionPi)
{
    float m[16];
    mat_identity(m);
    mat_rotate_xyz(m, 90, 0, 0);
    // cos(float(pi / 2)) is about -4.37e-8, not 0; sin rounds to exactly 1.
    EXPECT_NEAR(m[5], -4.371139e-8, 1e-13);
    EXPECT_NEAR(m[10], -4.371139e-8, 1e-13);
    EXPECT_EQ(m[6], 1.0f);
    EXPECT_EQ(m[9], -1.0f);
}

TEST(Transform, ViewBaseMatrixMirrorsZ)
{
    expect_point_near(transform(VIEW_BASE_MATRIX, {1, 2, 100}), {1, 2, -100}, 0, "view base");
    EXPECT_EQ(VIEW_BASE_MATRIX[15], 1);
}

class TransformGlTest : public GlTest {};

void modelview(float* m) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }

TEST_F(TransformGlTest, GlWrappersMatchTheCpuOperations)
{
    const float angles[][3] = {{30, 0, 0}, {10, 20, 30}, {-45, 135, 270}, {90, 90, 90}};
    for (const auto& a : angles) {
        gl_select_modelview();
        view_reset();
        gl_push();
        gl_translate(5, -6, 7);
        gl_rotate_xyz(a[0], a[1], a[2]);
        gl_scale(2, 3, 4);
        float got[16], want[16];
        modelview(got);
        memcpy(want, VIEW_BASE_MATRIX, sizeof want);
        mat_translate(want, 5, -6, 7);
        mat_rotate_xyz(want, a[0], a[1], a[2]);
        mat_scale(want, 2, 3, 4);
        for (int i = 0; i < 16; i++) EXPECT_NEAR(got[i], want[i], 1e-5) << "index " << i;

        // gl_mult post-multiplies, gl_pop returns to the view base matrix.
        view_reset();
        gl_mult(want);
        modelview(got);
        float twice[16];
        memcpy(twice, VIEW_BASE_MATRIX, sizeof twice);
        mat_multiply(twice, want);
        for (int i = 0; i < 16; i++) EXPECT_NEAR(got[i], twice[i], 1e-5) << "index " << i;
        gl_pop();
        modelview(got);
        for (int i = 0; i < 16; i++) EXPECT_EQ(got[i], VIEW_BASE_MATRIX[i]) << "index " << i;
    }
    glLoadIdentity();
}

TEST_F(TransformGlTest, OverlayPutsOriginAtTopLeftAndRestoresMatrices)
{
    float projection_before[16], projection_after[16], model_after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection_before);
    glMatrixMode(GL_PROJECTION); // overlay_end leaves model-view selected regardless
    state_disable(RS_TEXTURE);
    overlay_begin();
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS); // exactly pixel (0, 0) and pixel (799, 599)
    glVertex2i(0, 0), glVertex2i(1, 0), glVertex2i(1, 1), glVertex2i(0, 1);
    glVertex2i(799, 599), glVertex2i(800, 599), glVertex2i(800, 600), glVertex2i(799, 600);
    glEnd();
    overlay_end();
    state_enable(RS_TEXTURE);

    EXPECT_EQ(gl_read_pixel(0, 0).r, 255) << "top-left pixel";
    EXPECT_EQ(gl_read_pixel(1, 0).r, 0);
    EXPECT_EQ(gl_read_pixel(0, 1).r, 0);
    EXPECT_EQ(gl_read_pixel(799, 599).r, 255) << "bottom-right pixel";
    EXPECT_EQ(gl_read_pixel(0, 599).r, 0);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetFloatv(GL_PROJECTION_MATRIX, projection_after);
    modelview(model_after);
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(projection_after[i], projection_before[i]) << "index " << i;
        EXPECT_EQ(model_after[i], i % 5 == 0 ? 1.0f : 0.0f) << "index " << i;
    }
}

} // namespace
