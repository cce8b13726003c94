// The Texture record: creation, the dot sprite, upload with mipmaps, binding.
#include "texture/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cassert>
#include <cstdlib>
#include <cstring>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

// Four internal components for every uploaded image.
static const GLint UPLOAD_COMPONENTS = 4;

// The 4 x 4 dot sprite, rows top to bottom: dim rim, opaque white centre,
// transparent corners.
static const uint32_t DOT_SPRITE[16] = {
    0x00000000, 0x49494949, 0x49494949, 0x00000000,
    0x49494949, 0xFFFFFFFF, 0xFFFFFFFF, 0x49494949,
    0x49494949, 0xFFFFFFFF, 0xFFFFFFFF, 0x49494949,
    0x00000000, 0x49494949, 0x49494949, 0x00000000,
};

void (*texture_upload_observer)(const Texture* texture) = nullptr;

Texture* texture_create(uint16_t width, uint16_t height)
{
    Texture* t = (Texture*)malloc(sizeof(Texture));
    t->width = width;
    t->height = height;
    t->pixels = (uint32_t*)calloc((size_t)width * height, sizeof(uint32_t));
    t->gl_name = 0;
    t->uploaded = 0;
    t->mag_filter = GL_LINEAR;
    return t;
}

Texture* texture_create_dot()
{
    Texture* t = texture_create(4, 4);
    memcpy(t->pixels, DOT_SPRITE, sizeof DOT_SPRITE);
    return t;
}

void texture_destroy(Texture* texture)
{
    if (texture->uploaded) texture_release(texture);
    free(texture->pixels);
    free(texture);
}

void texture_upload(Texture* texture)
{
    if (texture_upload_observer) texture_upload_observer(texture);
    if (texture->uploaded) texture_release(texture);
    glGenTextures(1, &texture->gl_name);
    glBindTexture(GL_TEXTURE_2D, texture->gl_name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, texture->mag_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    const GLint result = gluBuild2DMipmaps(GL_TEXTURE_2D, UPLOAD_COMPONENTS, texture->width,
                                           texture->height, GL_BGRA, GL_UNSIGNED_BYTE, texture->pixels);
    assert(result == 0);
    (void)result;
    texture->uploaded = 1;
}

void texture_release(Texture* texture)
{
    if (!texture->uploaded) return;
    texture_bind(nullptr);
    glDeleteTextures(1, &texture->gl_name);
    texture->uploaded = 0;
}

void texture_bind(const Texture* texture)
{
    glBindTexture(GL_TEXTURE_2D, texture ? texture->gl_name : 0);
}
