// Terrain grid: a height-field mesh made from a texture's brightness, drawn
// as one triangle strip from a display list compiled once.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"

struct Texture;

struct Terrain {
    Vertex* vertices;       // owned, vertex_count grid points row by row
    uint32_t vertex_count;  // width x height of the height map
    uint32_t* indices;      // owned, one triangle strip through all rows
    uint32_t index_count;   // 2 W (H - 1) + 2 (H - 2); 0 for maps of fewer than 2 rows
    const Texture* texture; // surface image, shared; null draws untextured
    uint32_t display_list;  // compiled list, 0 = not compiled
};

// Creation
// Grid over x 0..size_x and z 0..size_z (ending one cell short of both),
// y = mean of R, G, B / 255 x height. Smooth normals from the strip's
// triangles, white vertices, no texture. The map stays the caller's.
Terrain* terrain_new(const Texture* height_map, float height, float size_x, float size_z);
void terrain_free(Terrain* terrain); // the display list is not deleted

// Drawing (GL context required)
// Records texture switch, bind and the strip (normal, texcoord, position per
// index); nothing when already compiled.
void terrain_compile(Terrain* terrain);
void terrain_draw(Terrain* terrain); // compiles on first use, then calls the list
