// Vector and plane math in single precision with fixed tolerances.
#include "geometry/vec3.h"

#include <cmath>

// Half turn in radians as a single-precision constant, and degrees per half turn.
static const float HALF_TURN_RADIANS = 3.1415927f;
static const float HALF_TURN_DEGREES = 180.0f;

Vec3 vec3_make(float x, float y, float z)
{
    Vec3 v = {x, y, z};
    return v;
}

Vec3 vec3_add(const Vec3* a, const Vec3* b) { return vec3_make(a->x + b->x, a->y + b->y, a->z + b->z); }

Vec3 vec3_sub(const Vec3* a, const Vec3* b) { return vec3_make(a->x - b->x, a->y - b->y, a->z - b->z); }

float vec3_dot(const Vec3* a, const Vec3* b) { return a->x * b->x + a->y * b->y + a->z * b->z; }

void vec3_cross(const Vec3* a, const Vec3* b, Vec3* out)
{
    out->x = a->y * b->z - a->z * b->y;
    out->y = a->z * b->x - a->x * b->z;
    out->z = a->x * b->y - a->y * b->x;
}

float vec3_length(const Vec3* v) { return sqrtf(v->x * v->x + v->y * v->y + v->z * v->z); }

void vec3_normalize(Vec3* v)
{
    float inverse = 1.0f / sqrtf(v->x * v->x + v->y * v->y + v->z * v->z);
    vec3_scale(v, inverse);
}

void vec3_scale(Vec3* v, float s)
{
    v->x *= s;
    v->y *= s;
    v->z *= s;
}

void vec3_rotate(Vec3* v, float a, float b, float c)
{
    float sa = sinf(a), ca = cosf(a);
    float y = ca * v->y - sa * v->z;
    float z = sa * v->y + ca * v->z;
    v->y = y;
    v->z = z;

    float sb = sinf(b), cb = cosf(b);
    float x = cb * v->x + sb * v->z;
    z = cb * v->z - sb * v->x;
    v->x = x;
    v->z = z;

    float sc = sinf(c), cc = cosf(c);
    x = cc * v->x - sc * v->y;
    y = sc * v->x + cc * v->y;
    v->x = x;
    v->y = y;
}

static float degrees_to_radians(float degrees) { return degrees / HALF_TURN_DEGREES * HALF_TURN_RADIANS; }

void vec3_rotate_degrees(Vec3* v, float a, float b, float c)
{
    vec3_rotate(v, degrees_to_radians(a), degrees_to_radians(b), degrees_to_radians(c));
}

static bool within(float p, float q, float tol) { return p > q - tol && q + tol > p; }

bool vertex_near(const Vec3* p, const Vec3* q, float tol)
{
    return within(p->x, q->x, tol) && within(p->y, q->y, tol) && within(p->z, q->z, tol);
}

Plane* plane_from_points(const Vec3* a, const Vec3* b, const Vec3* c)
{
    Vec3 cb = vec3_sub(c, b);
    Vec3 ab = vec3_sub(a, b);
    Vec3 normal;
    vec3_cross(&cb, &ab, &normal);
    if (vec3_length(&normal) == 0.0f) return nullptr;
    vec3_normalize(&normal);
    Plane* plane = new Plane;
    plane->point = *a;
    plane->normal = normal;
    return plane;
}

void plane_free(Plane* plane) { delete plane; }

uint32_t plane_side(const Plane* plane, const Vec3* p)
{
    Vec3 offset = vec3_sub(&plane->point, p);
    float d = vec3_dot(&offset, &plane->normal);
    if (d < -PLANE_SIDE_TOLERANCE) return PLANE_FRONT;
    if (d > PLANE_SIDE_TOLERANCE) return PLANE_BACK;
    return PLANE_ON;
}

bool segment_plane_intersect(const Vec3* a, const Vec3* b, const Vec3* point, const Vec3* normal,
                             Vec3* hit, float* t)
{
    Vec3 dir = vec3_sub(b, a);
    float denom = vec3_dot(&dir, normal);
    if (fabsf(denom) < SEGMENT_PARALLEL_LIMIT) return false;
    Vec3 to_plane = vec3_sub(point, a);
    float param = vec3_dot(&to_plane, normal) / denom;
    if (param < 0.0f || param > 1.0f) return false;
    vec3_scale(&dir, param);
    *hit = vec3_add(a, &dir);
    *t = param;
    return true;
}
