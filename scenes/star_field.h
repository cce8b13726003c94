// Star field: coloured points on a sphere of radius 1000 about the origin,
// drawn from one display list that leaves the caller's switches unchanged.
#pragma once

#include <cstdint>

#include "geometry/vec3.h"

struct StarPoint {
    Vec3 position;   // length 1000 within float rounding
    uint32_t colour; // 0xAARRGGBB, red, green and blue 153..249, alpha 255
};

struct StarField {
    StarPoint* stars;      // owned, count entries
    uint32_t count;
    uint32_t display_list; // 0 = not compiled
};

// Six rand() draws per star: x, y, z of its direction, then red, green, blue.
StarField* star_field_build(uint32_t count);
void star_field_free(StarField* field); // the display list is not deleted

// Drawing (GL context required). The list turns depth test, lighting and
// texturing off around its points and restores them; points take the point
// size in effect.
void star_field_compile(StarField* field); // nothing when already compiled
void star_field_draw(StarField* field);    // compiles on first use, then calls the list
