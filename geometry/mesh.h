// Mesh record: groups of convex planar polygons, each owning its vertices and
// a triangle fan, with the mesh's model matrix, blend settings and display
// list. Also the polygon-level geometry, the temporary polygon chains, the
// three generators and the load-time mesh operations. Main thread only;
// compiling and drawing need a GL context.
#pragma once

#include <cstdint>

#include "geometry/vec3.h"

struct Texture;

struct Vertex {
    Vec3 position;   // object space
    Vec3 normal;     // unit normal for lighting
    uint32_t colour; // 0xAARRGGBB
    float u;         // texture coordinate s
    float v;         // texture coordinate t
};

// Indices into the owning polygon's vertex array.
struct Triangle {
    uint16_t a, b, c;
};

// Convex planar polygon, counter-clockwise seen from the side its normals face.
// After polygon_make_fan its triangles are (0, k+1, k+2).
struct Polygon {
    Vertex* vertices;        // owned, vertex_count entries
    uint8_t vertex_count;    // at most 255
    Triangle* triangles;     // owned, triangle_count entries
    uint8_t triangle_count;
    const Texture* texture;  // not owned; null draws untextured (binds name 0)
    Polygon* next;           // link of a temporary chain; meaningless inside a group
    uint8_t hidden;          // 1 = kept but neither drawn nor extruded
};

// The unit that solid subtraction treats as one convex solid.
struct PolygonGroup {
    Polygon** polygons;      // owned array of owned polygons; null when empty
    uint16_t polygon_count;
    PolygonGroup* next;      // next group in the list
    PolygonGroup* prev;      // previous group; null for the first
};

struct Mesh {
    PolygonGroup* groups;    // owned doubly linked list, or null
    uint16_t group_count;    // number of groups in the list
    float* matrix;           // owned, 16 floats column-major; identity when created
    uint8_t blend;           // 1 = blended, without depth writes
    uint32_t blend_src;      // glBlendFunc source factor; GL_ONE by default
    uint32_t blend_dst;      // glBlendFunc destination factor; GL_ONE by default
    uint32_t display_list;   // compiled list name, 0 = not compiled; never deleted here
};

// Mesh level
// No groups when count is 0, else one group of count polygons of the given sizes.
Mesh* mesh_new(uint16_t count, uint8_t vertices, uint8_t triangles);
// Deep copy of the groups; blend settings and display_list taken over (a copy
// of a compiled mesh draws the source's list); matrix reset to identity.
Mesh* mesh_copy(const Mesh* src);
void mesh_append_copy(Mesh* dst, const Mesh* src); // group copies of src appended in order
void mesh_free(Mesh* mesh);
void mesh_add_group(Mesh* mesh, PolygonGroup* group); // appended last; takes ownership
PolygonGroup* mesh_group_at(const Mesh* mesh, uint16_t index); // null past the end
// Records every polygon into a new display list; nothing when already compiled.
void mesh_compile(Mesh* mesh);
// Called, when set, with every mesh about to be compiled (the data hashes test).
extern void (*mesh_compile_observer)(const Mesh* mesh);
// Applies blend settings and matrix, compiles on first use, calls the list.
// The caller sets light, texturing and the model-view matrix mode.
void mesh_draw(Mesh* mesh);

// Group level
PolygonGroup* group_new(uint16_t count, uint8_t vertices, uint8_t triangles);
PolygonGroup* group_copy(const PolygonGroup* group); // links null
void group_free(PolygonGroup* group);
// Takes over the chain's polygons in chain order (their next cleared).
PolygonGroup* group_from_chain(Polygon* chain);
void group_list_free(PolygonGroup* first);
// Appends group (links cleared first) to list; returns the list's first group.
PolygonGroup* group_list_append(PolygonGroup* group, PolygonGroup* list);
PolygonGroup* group_list_concat(PolygonGroup* list1, PolygonGroup* list2);

// Polygon level
// Arrays of the given sizes, contents unset; no texture, not hidden.
Polygon* polygon_new(uint8_t vertices, uint8_t triangles);
Polygon* polygon_copy(const Polygon* p);
void polygon_free(Polygon* p);
void polygon_set_position(Polygon* p, uint8_t index, float x, float y, float z);
void polygon_set_texcoord(Polygon* p, uint8_t index, float u, float v);
void polygon_set_colour(Polygon* p, uint32_t colour); // every vertex, 0xAARRGGBB
void polygon_set_texture(Polygon* p, const Texture* texture);
// Triangles (0, k+1, k+2) for k = 0 .. vertex_count - 3.
void polygon_make_fan(Polygon* p);
// One GL_TRIANGLE_FAN: colour, normal, texcoord, position per vertex.
void polygon_draw(const Polygon* p);
Vec3 polygon_centroid(const Polygon* p);
void polygon_texcoord_centre(const Polygon* p, float* u, float* v);
// normalize((P0 - P1) x (P0 - P2)); (0, 0, 0) below three vertices.
Vec3 polygon_normal(const Polygon* p);
Vec3 polygon_average_normal(const Polygon* p); // normalised sum of vertex normals
void polygon_flat_normal(Polygon* p);          // every normal := polygon_normal
void polygon_reverse(Polygon* p);              // vertex order reversed, triangles kept
// Orders the vertices of a planar convex polygon counter-clockwise about its
// average normal. Leaves the order unchanged when some vertex gives no plane.
// Triangles untouched: run polygon_make_fan afterwards.
void polygon_sort_convex(Polygon* p);

// Chains: temporary singly linked lists through Polygon::next; null is empty.
Polygon* chain_append(Polygon* p, Polygon* chain); // returns the chain's first polygon
Polygon* chain_concat(Polygon* a, Polygon* b);
unsigned chain_length(const Polygon* chain);
void chain_hide(Polygon* chain);

// Generators: one group, one colour (0xAARRGGBB) on every vertex, texture
// referenced (may be null).
// Six quads spanning +-sx, +-sy, +-sz in the order +Y, -Y, +X, -X, +Z, -Z.
Mesh* mesh_box(float sx, float sy, float sz, const Texture* texture, uint32_t colour);
// Axis along Z, centred: bands x sides smooth-shaded side quads, then the top
// cap (z = +height/2) and the bottom cap; sides 3..255, bands x sides + 2
// at most 65535 (checked: larger counts would overflow the records).
Mesh* mesh_cylinder(float radius, float height, unsigned bands, unsigned sides, uint32_t colour,
                    const Texture* texture);
// 4 n^2 triangle polygons, poles on Y, smooth normals; n 1..127 (checked).
Mesh* mesh_sphere(float radius, unsigned n, uint32_t colour, const Texture* texture);

// Mesh operations: in place on every polygon, hidden ones included (except
// extrusion); none touches display_list.
void mesh_scale(Mesh* mesh, float sx, float sy, float sz); // positions only
void mesh_translate(Mesh* mesh, float dx, float dy, float dz);
void mesh_rotate(Mesh* mesh, float a, float b, float c);   // degrees; positions and normals
void mesh_scale_texcoords(Mesh* mesh, float su, float sv);
void mesh_mirror(Mesh* mesh); // positions and normals negated, order kept
void mesh_flip(Mesh* mesh);   // normals negated and vertex order reversed
void mesh_flat_normals(Mesh* mesh);
void mesh_set_texture(Mesh* mesh, const Texture* texture);
// Replaces every visible polygon by steps groups of side quads, the last one
// led by the moved polygon; each step scales the ring about its centre, moves
// it distance along its normal and turns it by rx, ry, rz degrees about the
// normal's frame. Hidden polygons are dropped; steps 0 removes everything.
void mesh_extrude(Mesh* mesh, float scale, float distance, float rx, float ry, float rz,
                  unsigned steps);
// The group list that extruding one group's polygons yields; group untouched.
PolygonGroup* group_extrude(const PolygonGroup* group, float scale, float distance, float rx,
                            float ry, float rz, unsigned steps);
// Shrinks every polygon about its centroid by factor (0..1) and fills the gaps
// with edge quads and corner polygons, group by group.
void mesh_bevel(Mesh* mesh, float factor);
void group_bevel(PolygonGroup* group, float factor);

// Solid subtraction: every group of the cutting mesh is one convex solid whose
// polygons, in array order, are its splitting planes. Pieces that must not be
// seen are kept with hidden = 1, so a result holds every piece of both
// operands. A cutting polygon without a plane (fewer than three vertices or
// zero area) bounds nothing and is left out; a group of nothing else cuts
// nothing.

// A with B cut out: A's groups (visible outside B), then B's groups turned
// inside out (visible inside A). Both operands stay unchanged.
Mesh* mesh_subtract(const Mesh* A, const Mesh* B);
// Consumes G: its pieces outside the convex group K stay as they are, those
// inside are hidden. keep_coplanar 0 counts a polygon lying in a face of K and
// facing the same way as outside K.
PolygonGroup* group_clip_outside(PolygonGroup* G, const PolygonGroup* K, uint8_t keep_coplanar);
// Consumes G: its pieces inside K stay as they are, those outside are hidden.
PolygonGroup* group_clip_inside(PolygonGroup* G, const PolygonGroup* K, uint8_t keep_coplanar);
// Consumes p. Returns the chain of its pieces outside the solid bounded by
// planes[depth .. count - 1] and appends the piece inside to *inside. A piece
// lying in the last plane is released, unless it faces the same way with
// keep_coplanar 0 (then it counts as outside). A polygon of planes without a
// plane counts as one p lies behind.
Polygon* polygon_clip_outside(Polygon* p, Polygon* const* planes, unsigned depth, unsigned count,
                              uint8_t keep_coplanar, Polygon** inside);
// Consumes p. Returns the piece inside that solid (at most one polygon) and
// appends the pieces outside to *outside; the last plane releases a piece
// lying in it as above.
Polygon* polygon_clip_inside(Polygon* p, Polygon* const* planes, unsigned depth, unsigned count,
                             uint8_t keep_coplanar, Polygon** outside);
// Plane through vertex a of the first triangle; its normal is the winding
// normal, or the averaged vertex normal of that triangle where their dot
// product lies more than 0.1 from 1. Null without three vertices, without
// triangles or with zero area. Release with plane_free.
Plane* polygon_plane(const Polygon* p);
// PLANE_FRONT, PLANE_BACK, PLANE_SPANNING or PLANE_ON; a vertex within 0.0001
// of the plane counts as on it and on both sides.
uint32_t polygon_classify(const Polygon* p, const Plane* plane);
// Fills the caller's records front and back (old arrays released) with the
// pieces of p on either side of the plane (plane_side's 0.001): visible, p's
// texture, fan triangles (none below three vertices). A vertex on the plane
// goes to both. Returns false, leaving both pieces empty, when a piece would
// exceed the 255 vertices a polygon holds.
bool polygon_split(const Polygon* p, const Plane* plane, Polygon* front, Polygon* back);
