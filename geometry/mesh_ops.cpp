// Load-time mesh operations: affine changes, flipping, extrusion and bevel.
#include "geometry/mesh.h"

void mesh_scale(Mesh*, float, float, float) {}
void mesh_translate(Mesh*, float, float, float) {}
void mesh_rotate(Mesh*, float, float, float) {}
void mesh_scale_texcoords(Mesh*, float, float) {}
void mesh_mirror(Mesh*) {}
void mesh_flip(Mesh*) {}
void mesh_flat_normals(Mesh*) {}
void mesh_set_texture(Mesh*, const Texture*) {}
void mesh_extrude(Mesh*, float, float, float, float, float, unsigned) {}
PolygonGroup* group_extrude(const PolygonGroup*, float, float, float, float, float, unsigned) { return nullptr; }
void mesh_bevel(Mesh*, float) {}
void group_bevel(PolygonGroup*, float) {}
