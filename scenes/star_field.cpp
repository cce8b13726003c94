// Star field: random directions scaled onto a sphere, pale random colours, one display list.
#include "scenes/star_field.h"

#include <GL/gl.h>
#include <cstdlib>

#include "render/render.h"

// Coordinates before normalising: (r mod 2001) - 1000, -1000..1000.
static const int STAR_COORD_SPAN = 2001;
static const int STAR_COORD_OFFSET = 1000;
static const float STAR_RADIUS = 1000.0f;
// Channel = trunc((r mod 381 + 600) / 1000 x 255): 153..249, never dark.
static const int STAR_SHADE_SPAN = 381;
static const int STAR_SHADE_BASE = 600;
static const float STAR_SHADE_SCALE = 1000.0f;
static const uint32_t STAR_ALPHA = 0xFF000000;

static float star_coordinate() { return (float)(rand() % STAR_COORD_SPAN - STAR_COORD_OFFSET); }

static uint32_t star_channel()
{
    const float level = (float)(rand() % STAR_SHADE_SPAN + STAR_SHADE_BASE) / STAR_SHADE_SCALE;
    return (uint32_t)(level * 255.0f);
}

StarField* star_field_build(uint32_t count)
{
    StarField* field = new StarField;
    field->stars = new StarPoint[count];
    field->count = count;
    field->display_list = 0;
    for (uint32_t i = 0; i < count; i++) {
        StarPoint& star = field->stars[i];
        star.position.x = star_coordinate();
        star.position.y = star_coordinate();
        star.position.z = star_coordinate();
        vec3_normalize(&star.position);
        vec3_scale(&star.position, STAR_RADIUS);
        const uint32_t red = star_channel();
        const uint32_t green = star_channel();
        const uint32_t blue = star_channel();
        star.colour = STAR_ALPHA | red << 16 | green << 8 | blue;
    }
    return field;
}

void star_field_free(StarField* field)
{
    delete[] field->stars;
    delete field;
}

void star_field_compile(StarField* field)
{
    if (field->display_list != 0) return;
    field->display_list = list_begin();
    glPushAttrib(GL_ENABLE_BIT);
    state_disable(RS_DEPTH_TEST);
    state_disable(RS_LIGHTING);
    state_disable(RS_TEXTURE);
    glBegin(GL_POINTS);
    for (uint32_t i = 0; i < field->count; i++) {
        const StarPoint& star = field->stars[i];
        const uint32_t c = star.colour;
        glColor4ub((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, c >> 24);
        glVertex3f(star.position.x, star.position.y, star.position.z);
    }
    glEnd();
    glPopAttrib();
    list_end();
}

void star_field_draw(StarField* field)
{
    if (field->display_list == 0) star_field_compile(field);
    list_call(field->display_list);
}
