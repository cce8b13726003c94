// Terrain grid: height-field vertices, the strip through them, its normals and its display list.
#include "scenes/terrain.h"

#include <GL/gl.h>

#include "geometry/vec3.h"
#include "render/render.h"
#include "texture/texture.h"

static const uint32_t TERRAIN_VERTEX_COLOUR = 0xFFFFFFFF;
static const float CHANNEL_MAX = 255.0f;

// Grid point i at column i mod W, row i div W; u, v from 0 up to one cell short of 1.
static void terrain_fill_vertices(Terrain* terrain, const Texture* map, float height, float size_x,
                                  float size_z)
{
    const uint32_t w = map->width;
    for (uint32_t i = 0; i < terrain->vertex_count; i++) {
        const uint32_t pixel = map->pixels[i];
        const int sum = (int)((pixel >> 16) & 0xFF) + (int)((pixel >> 8) & 0xFF) + (int)(pixel & 0xFF);
        Vertex* v = &terrain->vertices[i];
        v->u = (float)(i % w) / (float)w;
        v->v = (float)(i / w) / (float)map->height;
        v->position = vec3_make(v->u * size_x, (float)sum / 3.0f / CHANNEL_MAX * height, v->v * size_z);
        v->normal = vec3_make(0, 0, 0);
        v->colour = TERRAIN_VERTEX_COLOUR;
    }
}

// Row pairs left to right, joined by repeating the last index of one pair and
// the first of the next: the degenerate triangles carry the strip across.
static void terrain_fill_indices(Terrain* terrain, uint32_t w, uint32_t h)
{
    uint32_t n = 0;
    for (uint32_t j = 0; j + 1 < h; j++) {
        for (uint32_t k = 0; k < w; k++) {
            terrain->indices[n++] = j * w + k;
            terrain->indices[n++] = (j + 1) * w + k;
        }
        if (j + 2 < h) {
            terrain->indices[n] = terrain->indices[n - 1];
            n++;
            terrain->indices[n++] = (j + 1) * w;
        }
    }
}

// Every proper strip triangle adds its unit face normal to its three corners;
// odd triangles swap b and c so all faces wind the same way.
static void terrain_fill_normals(Terrain* terrain)
{
    const uint32_t* idx = terrain->indices;
    Vertex* vx = terrain->vertices;
    for (uint32_t i = 0; i + 2 < terrain->index_count; i++) {
        const uint32_t a = idx[i];
        const uint32_t b = (i & 1) ? idx[i + 2] : idx[i + 1];
        const uint32_t c = (i & 1) ? idx[i + 1] : idx[i + 2];
        if (a == b || b == c || a == c) continue;
        const Vec3 ab = vec3_sub(&vx[b].position, &vx[a].position);
        const Vec3 bc = vec3_sub(&vx[c].position, &vx[b].position);
        Vec3 n;
        vec3_cross(&ab, &bc, &n);
        vec3_normalize(&n);
        vx[a].normal = vec3_add(&vx[a].normal, &n);
        vx[b].normal = vec3_add(&vx[b].normal, &n);
        vx[c].normal = vec3_add(&vx[c].normal, &n);
    }
    // A vertex that no proper triangle touches (a one-column map) keeps (0, 0, 0).
    for (uint32_t i = 0; i < terrain->vertex_count; i++) {
        if (vec3_length(&vx[i].normal) > 0.0f) vec3_normalize(&vx[i].normal);
    }
}

Terrain* terrain_new(const Texture* height_map, float height, float size_x, float size_z)
{
    const uint32_t w = height_map->width;
    const uint32_t h = height_map->height;
    Terrain* terrain = new Terrain;
    terrain->vertex_count = w * h;
    terrain->vertices = new Vertex[terrain->vertex_count];
    // Fewer than two rows give no row pair and so no strip at all.
    terrain->index_count = h >= 2 ? 2 * w * (h - 1) + 2 * (h - 2) : 0;
    terrain->indices = new uint32_t[terrain->index_count];
    terrain->texture = nullptr;
    terrain->display_list = 0;
    terrain_fill_vertices(terrain, height_map, height, size_x, size_z);
    terrain_fill_indices(terrain, w, h);
    terrain_fill_normals(terrain);
    return terrain;
}

void terrain_free(Terrain* terrain)
{
    delete[] terrain->vertices;
    delete[] terrain->indices;
    delete terrain;
}

void terrain_compile(Terrain* terrain)
{
    if (terrain->display_list != 0) return;
    terrain->display_list = list_begin();
    const bool textured = terrain->texture != nullptr;
    if (textured) {
        state_enable(RS_TEXTURE);
        texture_bind(terrain->texture);
    } else {
        state_disable(RS_TEXTURE);
    }
    glBegin(GL_TRIANGLE_STRIP);
    for (uint32_t i = 0; i < terrain->index_count; i++) {
        const Vertex& v = terrain->vertices[terrain->indices[i]];
        glNormal3f(v.normal.x, v.normal.y, v.normal.z);
        if (textured) glTexCoord2f(v.u, v.v);
        glVertex3f(v.position.x, v.position.y, v.position.z);
    }
    glEnd();
    list_end();
}

void terrain_draw(Terrain* terrain)
{
    terrain_compile(terrain);
    list_call(terrain->display_list);
}
