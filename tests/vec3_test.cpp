// Vector and plane math: rotation order, tolerances and strict comparisons.
#include "geometry/vec3.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const float HALF_PI = 1.5707964f;
const float ROUNDING = 1e-6f;

void expect_vec3_near(const Vec3& got, const Vec3& want, const char* what)
{
    EXPECT_NEAR(got.x, want.x, ROUNDING) << what;
    EXPECT_NEAR(got.y, want.y, ROUNDING) << what;
    EXPECT_NEAR(got.z, want.z, ROUNDING) << what;
}

TEST(Vec3Test, CrossFollowsRightHandRule)
{
    Vec3 a = {1, 2, 3}, b = {4, 5, 6}, out;
    vec3_cross(&a, &b, &out);
    expect_vec3_near(out, {-3, 6, -3}, "cross of (1,2,3) and (4,5,6)");
    Vec3 x = {1, 0, 0}, y = {0, 1, 0};
    vec3_cross(&x, &y, &out);
    expect_vec3_near(out, {0, 0, 1}, "x cross y");
}

struct RotateCase {
    Vec3 v;
    float a, b, c;
    Vec3 want;
    const char* what;
};

TEST(Vec3Test, RotateAppliesXThenYThenZ)
{
    const RotateCase cases[] = {
        {{0, 1, 0}, HALF_PI, 0, 0, {0, 0, 1}, "quarter turn about X"},
        {{1, 0, 0}, 0, HALF_PI, 0, {0, 0, -1}, "quarter turn about Y"},
        {{1, 0, 0}, 0, 0, HALF_PI, {0, 1, 0}, "quarter turn about Z"},
        // Y before X would give (1, 0, 0) here.
        {{0, 0, 1}, HALF_PI, HALF_PI, 0, {0, -1, 0}, "X then Y"},
        // Z before Y would give (0, 0, -1) here.
        {{0, 1, 0}, 0, HALF_PI, HALF_PI, {-1, 0, 0}, "Y then Z"},
        {{0.3f, -0.7f, 2}, 0, 0, 0, {0.3f, -0.7f, 2}, "zero angles"},
    };
    for (const RotateCase& c : cases) {
        Vec3 v = c.v;
        vec3_rotate(&v, c.a, c.b, c.c);
        expect_vec3_near(v, c.want, c.what);
    }
}

TEST(Vec3Test, RotateDegreesConvertsInSinglePrecision)
{
    const float angles[][3] = {{90, 0, 0}, {0, 90, 0}, {0, 0, 90}, {33, -71, 180}};
    for (const auto& a : angles) {
        Vec3 by_degrees = {0.25f, -1.5f, 3};
        Vec3 by_radians = by_degrees;
        vec3_rotate_degrees(&by_degrees, a[0], a[1], a[2]);
        vec3_rotate(&by_radians, a[0] / 180.0f * 3.1415927f, a[1] / 180.0f * 3.1415927f,
                    a[2] / 180.0f * 3.1415927f);
        EXPECT_EQ(by_degrees.x, by_radians.x) << a[0] << " " << a[1] << " " << a[2];
        EXPECT_EQ(by_degrees.y, by_radians.y) << a[0] << " " << a[1] << " " << a[2];
        EXPECT_EQ(by_degrees.z, by_radians.z) << a[0] << " " << a[1] << " " << a[2];
    }
}

TEST(Vec3Test, VertexNearIsStrictOnEveryAxis)
{
    const Vec3 q = {1, -2, 3};
    const struct {
        float offset;
        bool near;
    } cases[] = {{0, true}, {0.0009f, true}, {-0.0009f, true}, {0.001f, false}, {-0.001f, false}, {0.002f, false}};
    for (int axis = 0; axis < 3; axis++) {
        for (const auto& c : cases) {
            Vec3 p = q;
            float* component = axis == 0 ? &p.x : axis == 1 ? &p.y : &p.z;
            // Offsets measured from 0 so the distance is exactly the float given.
            *component = c.offset;
            Vec3 base = q;
            float* base_component = axis == 0 ? &base.x : axis == 1 ? &base.y : &base.z;
            *base_component = 0;
            EXPECT_EQ(vertex_near(&p, &base, 0.001f), c.near) << "axis " << axis << " offset " << c.offset;
            EXPECT_EQ(vertex_near(&base, &p, 0.001f), c.near) << "swapped, axis " << axis;
        }
    }
}

TEST(Vec3Test, PlaneFromPointsFacesCounterClockwiseViewer)
{
    Vec3 a = {0, 0, 5}, b = {2, 0, 5}, c = {2, 3, 5};
    Plane* plane = plane_from_points(&a, &b, &c);
    ASSERT_NE(plane, nullptr);
    expect_vec3_near(plane->normal, {0, 0, 1}, "counter-clockwise seen from +Z");
    expect_vec3_near(plane->point, a, "point is the first argument");
    plane_free(plane);

    plane = plane_from_points(&c, &b, &a);
    ASSERT_NE(plane, nullptr);
    expect_vec3_near(plane->normal, {0, 0, -1}, "clockwise faces away");
    plane_free(plane);

    Vec3 d = {4, 0, 5};
    EXPECT_EQ(plane_from_points(&a, &b, &d), nullptr) << "collinear";
    EXPECT_EQ(plane_from_points(&a, &a, &c), nullptr) << "coincident";
}

TEST(Vec3Test, PlaneSideUsesTolerance)
{
    Vec3 a = {0, 0, 0}, b = {1, 0, 0}, c = {1, 1, 0};
    Plane* plane = plane_from_points(&a, &b, &c);
    ASSERT_NE(plane, nullptr);
    const struct {
        float z;
        uint32_t side;
    } cases[] = {
        {0, PLANE_ON},      {0.0005f, PLANE_ON}, {-0.0005f, PLANE_ON},  {0.001f, PLANE_ON},
        {-0.001f, PLANE_ON}, {0.002f, PLANE_FRONT}, {-0.002f, PLANE_BACK}, {7, PLANE_FRONT},
    };
    for (const auto& c : cases) {
        Vec3 p = {0.5f, -3, c.z};
        EXPECT_EQ(plane_side(plane, &p), c.side) << "z " << c.z;
    }
    plane_free(plane);
}

TEST(Vec3Test, SegmentPlaneIntersect)
{
    const Vec3 point = {0, 0, 1}, normal = {0, 0, 1};
    const struct {
        Vec3 a, b;
        bool hit;
        float t;
        Vec3 at;
        const char* what;
    } cases[] = {
        {{0, 0, 0}, {2, 4, 4}, true, 0.25f, {0.5f, 1, 1}, "crossing a quarter along"},
        {{1, 1, 0}, {1, 1, 1}, true, 1, {1, 1, 1}, "end on the plane"},
        {{1, 1, 1}, {1, 1, 3}, true, 0, {1, 1, 1}, "start on the plane"},
        {{0, 0, 2}, {0, 0, 3}, false, 0, {0, 0, 0}, "crossing beyond the end"},
        {{0, 0, 0}, {5, 0, 0}, false, 0, {0, 0, 0}, "parallel"},
        {{0, 0, 1}, {5, 0, 1}, false, 0, {0, 0, 0}, "lying in the plane"},
        // Rises of 2^-14 (0.000061) and 2^-13 (0.000122) across the plane.
        {{0, 0, 1 - 0x1p-15f}, {1, 0, 1 + 0x1p-15f}, false, 0, {0, 0, 0}, "nearly parallel"},
        {{0, 0, 1 - 0x1p-14f}, {1, 0, 1 + 0x1p-14f}, true, 0.5f, {0.5f, 0, 1}, "steep enough"},
    };
    for (const auto& c : cases) {
        Vec3 hit = {-9, -9, -9};
        float t = -9;
        bool ok = segment_plane_intersect(&c.a, &c.b, &point, &normal, &hit, &t);
        EXPECT_EQ(ok, c.hit) << c.what;
        if (ok && c.hit) {
            EXPECT_FLOAT_EQ(t, c.t) << c.what;
            expect_vec3_near(hit, c.at, c.what);
        }
    }
}

} // namespace
