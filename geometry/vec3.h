// Vector and plane math: the small set of 3D operations every mesh operation
// rests on. Vectors are passed by pointer and changed in place; every stored
// value is a 32-bit float. Tolerances are fixed here because they decide how
// coplanar and coincident geometry is treated downstream.
#pragma once

#include <cstdint>

struct Vec3 {
    float x, y, z;
};

// A plane through point with unit normal; the side the normal points to is
// the front. Heap record made by plane_from_points, released by plane_free.
struct Plane {
    Vec3 point;
    Vec3 normal;
};

// Classification of a point (plane_side) or a polygon against a plane.
enum PlaneSide : uint32_t {
    PLANE_FRONT = 0,
    PLANE_BACK = 1,
    PLANE_SPANNING = 2, // polygons only: vertices on both sides
    PLANE_ON = 3,
};

// Tolerances in object-space units.
const float PLANE_SIDE_TOLERANCE = 0.001f;   // plane_side: |distance| up to this is on the plane
const float VERTEX_NEAR_TOLERANCE = 0.001f;  // what every caller passes to vertex_near
const float SEGMENT_PARALLEL_LIMIT = 0.0001f; // segment_plane_intersect: |dir . normal| below this fails

// Construction and plain arithmetic (results by value, inputs untouched)
Vec3 vec3_make(float x, float y, float z);
Vec3 vec3_add(const Vec3* a, const Vec3* b); // a + b
Vec3 vec3_sub(const Vec3* a, const Vec3* b); // a - b

// Products and length
float vec3_dot(const Vec3* a, const Vec3* b);
void vec3_cross(const Vec3* a, const Vec3* b, Vec3* out); // out = a x b; out distinct from a and b
float vec3_length(const Vec3* v);                          // sqrtf(x^2 + y^2 + z^2)

// In-place changes
// Multiplies by 1 / length; a zero vector becomes non-finite (no guard).
void vec3_normalize(Vec3* v);
void vec3_scale(Vec3* v, float s);
// Rotates about X by a, then Y by b, then Z by c (radians, single-precision
// sine and cosine). Undo with three calls of negated angles, Z then Y then X.
void vec3_rotate(Vec3* v, float a, float b, float c);
// Same with degrees, converted as angle / 180 * 3.1415927 in single precision.
void vec3_rotate_degrees(Vec3* v, float a, float b, float c);

// Comparison: true when on every axis p > q - tol and q + tol > p (strict).
bool vertex_near(const Vec3* p, const Vec3* q, float tol);

// Planes
// Plane through a with normal normalize((c - b) x (a - b)): counter-clockwise
// a, b, c seen from the front face the viewer. Null when the cross product has
// length exactly 0 (collinear or coincident points). Release with plane_free.
Plane* plane_from_points(const Vec3* a, const Vec3* b, const Vec3* c);
void plane_free(Plane* plane);
// PLANE_FRONT when p lies more than 0.001 in front, PLANE_BACK when more than
// 0.001 behind, else PLANE_ON.
uint32_t plane_side(const Plane* plane, const Vec3* p);
// Intersection of segment a..b with the plane through point with normal.
// Fails (false) when |(b - a) . normal| < 0.0001 or the crossing parameter t
// lies outside 0..1; on success writes the point a + (b - a) t and t.
bool segment_plane_intersect(const Vec3* a, const Vec3* b, const Vec3* point, const Vec3* normal,
                             Vec3* hit, float* t);
