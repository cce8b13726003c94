// Text layer: fonts found by name through fontconfig, their printable ASCII
// glyphs rasterised once by FreeType into one alpha texture, and strings drawn
// from it as textured quads. Off unless captions are asked for: then
// font_create returns 0 and text_draw leaves every pixel and GL state alone.
#include "runtime/text.h"

#include "runtime/gl_setup.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

// Printable ASCII, the only characters the captions use.
static const int FIRST_CHAR = 32;
static const int CHAR_COUNT = 95;
// Fonts alive at once: the large and the small one.
static const int MAX_FONTS = 4;
// Empty texels around every glyph, so linear filtering never reaches a neighbour.
static const int GLYPH_PADDING = 1;
// FreeType's 26.6 fixed point.
static const float FIXED_ONE = 64.0f;

struct Glyph {
    float left, top;       // bitmap offset from the pen, overlay units (top up from the baseline)
    float width, height;   // bitmap size, overlay units
    float advance;         // pen step, overlay units
    float u0, v0, u1, v1;  // texture coordinates
};

struct Font {
    bool used;
    GLuint texture;  // GL_ALPHA atlas
    float cap_height; // baseline below the top of the capitals, overlay units
    Glyph glyphs[CHAR_COUNT];
};

static bool s_captions = false;
static bool s_failure_told = false;
static Font s_fonts[MAX_FONTS];

void text_enable_captions(bool on) { s_captions = on; }

bool text_captions_enabled() { return s_captions; }

// Frame pixels per overlay unit: one, the overlay covering the 800 x 600 frame.
static float overlay_scale() { return 1.0f; }

// The viewport that maps the overlay's 800 x 600 units onto the frame.
static void overlay_viewport() { glViewport(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT); }

// One line on stderr for the first failure; the show plays without captions.
static int32_t font_failed(const char* face, const char* why)
{
    if (!s_failure_told) fprintf(stderr, "quiet-harbor: no captions: %s for \"%s\"\n", why, face);
    s_failure_told = true;
    return 0;
}

// The file fontconfig picks for the face at `size` pixels, or false.
static bool font_file_find(const char* face, int size, char* path, size_t path_size, int* index)
{
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, (const FcChar8*)face, FC_PIXEL_SIZE,
                                        FcTypeDouble, (double)size, (char*)nullptr);
    if (!pattern) return false;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* file = nullptr;
    const bool found = match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                       FcPatternGetInteger(match, FC_INDEX, 0, index) == FcResultMatch;
    if (found) snprintf(path, path_size, "%s", (const char*)file);
    if (match) FcPatternDestroy(match);
    return found;
}

// Atlas cell size for the face: the largest glyph box plus padding.
static void atlas_cell(FT_Face face, int* cell_w, int* cell_h)
{
    *cell_w = 1;
    *cell_h = 1;
    for (int c = 0; c < CHAR_COUNT; c++) {
        if (FT_Load_Char(face, (FT_ULong)(FIRST_CHAR + c), FT_LOAD_DEFAULT)) continue;
        const int w = (int)(face->glyph->metrics.width / FIXED_ONE) + 2;
        const int h = (int)(face->glyph->metrics.height / FIXED_ONE) + 2;
        if (w > *cell_w) *cell_w = w;
        if (h > *cell_h) *cell_h = h;
    }
    *cell_w += 2 * GLYPH_PADDING;
    *cell_h += 2 * GLYPH_PADDING;
}

// Copies one rendered glyph into its atlas cell and records its metrics.
static void glyph_place(FT_GlyphSlot slot, uint8_t* atlas, int atlas_w, int atlas_h, int x0, int y0, float scale,
                        Glyph* glyph)
{
    const FT_Bitmap& bitmap = slot->bitmap;
    for (unsigned row = 0; row < bitmap.rows; row++) {
        memcpy(atlas + (size_t)(y0 + row) * atlas_w + x0, bitmap.buffer + (size_t)row * bitmap.pitch,
               bitmap.width);
    }
    glyph->left = (float)slot->bitmap_left / scale;
    glyph->top = (float)slot->bitmap_top / scale;
    glyph->width = (float)bitmap.width / scale;
    glyph->height = (float)bitmap.rows / scale;
    glyph->advance = (float)slot->advance.x / FIXED_ONE / scale;
    glyph->u0 = (float)x0 / (float)atlas_w;
    glyph->v0 = (float)y0 / (float)atlas_h;
    glyph->u1 = (float)(x0 + (int)bitmap.width) / (float)atlas_w;
    glyph->v1 = (float)(y0 + (int)bitmap.rows) / (float)atlas_h;
}

// Renders the printable glyphs into one alpha texture, 16 cells a row.
static bool atlas_build(FT_Face face, float scale, Font* font)
{
    int cell_w = 0, cell_h = 0;
    atlas_cell(face, &cell_w, &cell_h);
    const int columns = 16, rows = (CHAR_COUNT + columns - 1) / columns;
    const int atlas_w = cell_w * columns, atlas_h = cell_h * rows;
    uint8_t* atlas = (uint8_t*)calloc((size_t)atlas_w * atlas_h, 1);
    if (!atlas) return false;
    for (int c = 0; c < CHAR_COUNT; c++) {
        Glyph* glyph = &font->glyphs[c];
        memset(glyph, 0, sizeof *glyph);
        if (FT_Load_Char(face, (FT_ULong)(FIRST_CHAR + c), FT_LOAD_RENDER)) continue;
        const int x0 = (c % columns) * cell_w + GLYPH_PADDING, y0 = (c / columns) * cell_h + GLYPH_PADDING;
        glyph_place(face->glyph, atlas, atlas_w, atlas_h, x0, y0, scale, glyph);
    }
    font->cap_height = font->glyphs['H' - FIRST_CHAR].top;
    glGenTextures(1, &font->texture);
    glBindTexture(GL_TEXTURE_2D, font->texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, atlas_w, atlas_h, 0, GL_ALPHA, GL_UNSIGNED_BYTE, atlas);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    free(atlas);
    return true;
}

int32_t font_create(const char* face_name, int size, uint8_t, uint8_t, uint8_t, uint8_t)
{
    if (!s_captions || size <= 0) return 0;
    int slot = 0;
    while (slot < MAX_FONTS && s_fonts[slot].used) slot++;
    if (slot == MAX_FONTS) return font_failed(face_name, "too many fonts");
    char path[4096];
    int index = 0;
    if (!font_file_find(face_name, size, path, sizeof path, &index)) return font_failed(face_name, "no font found");
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    // Glyphs are rasterised at the size they cover on screen.
    const float scale = overlay_scale();
    bool ok = FT_Init_FreeType(&library) == 0 && FT_New_Face(library, path, index, &face) == 0 &&
              FT_Set_Pixel_Sizes(face, 0, (FT_UInt)(size * scale + 0.5f)) == 0;
    if (ok) ok = atlas_build(face, scale, &s_fonts[slot]);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
    if (!ok) return font_failed(face_name, "the font could not be rasterised");
    s_fonts[slot].used = true;
    return slot + 1;
}

void font_free(int32_t font)
{
    if (font < 1 || font > MAX_FONTS || !s_fonts[font - 1].used) return;
    glDeleteTextures(1, &s_fonts[font - 1].texture);
    s_fonts[font - 1].used = false;
}

// Text state: the frame's whole overlay area, unclipped, alpha-blended on top.
static void text_state_begin(const Font& font, uint32_t colour)
{
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_VIEWPORT_BIT |
                 GL_SCISSOR_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    overlay_viewport();
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font.texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4ub((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF, (colour >> 24) & 0xFF);
}

void text_draw(int x, int y, uint32_t colour, int32_t font, const char* text)
{
    if (font < 1 || font > MAX_FONTS || !s_fonts[font - 1].used || !text) return;
    const Font& f = s_fonts[font - 1];
    text_state_begin(f, colour);
    // (x, y) is the top left of the text: capitals hang from y, so the
    // baseline lies one cap height below it.
    float pen = (float)x;
    const float baseline = (float)y + f.cap_height;
    glBegin(GL_QUADS);
    for (const char* c = text; *c; c++) {
        const int code = (unsigned char)*c - FIRST_CHAR;
        if (code < 0 || code >= CHAR_COUNT) continue;
        const Glyph& g = f.glyphs[code];
        const float left = pen + g.left, top = baseline - g.top;
        glTexCoord2f(g.u0, g.v0);
        glVertex2f(left, top);
        glTexCoord2f(g.u1, g.v0);
        glVertex2f(left + g.width, top);
        glTexCoord2f(g.u1, g.v1);
        glVertex2f(left + g.width, top + g.height);
        glTexCoord2f(g.u0, g.v1);
        glVertex2f(left, top + g.height);
        pen += g.advance;
    }
    glEnd();
    glPopAttrib();
}
