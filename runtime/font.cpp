// Text layer: fonts found by name through fontconfig, their printable ASCII
// glyphs rasterised once by FreeType into one alpha texture, and strings drawn
// from it as textured quads. Off unless captions are asked for: then
// font_create returns 0 and text_draw leaves every pixel and GL state alone.
#include "runtime/text.h"

#include "runtime/gl_setup.h"

#include <GL/gl.h>
#include <cmath>
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

// Glyphs are measured in frame pixels: they are rasterised at the size they
// cover on screen and drawn on whole pixels, so they stay sharp at any size.
struct Glyph {
    int left, top;         // bitmap offset from the pen (top up from the baseline)
    int width, height;     // bitmap size
    int advance;           // pen step
    float u0, v0, u1, v1;  // texture coordinates
};

struct Font {
    bool used;
    GLuint texture;  // GL_ALPHA atlas
    int cap_height;  // baseline below the top of the capitals
    int descender;   // lowest point below the baseline
    Glyph glyphs[CHAR_COUNT];
};

static bool s_captions = false;
static bool s_failure_told = false;
static Font s_fonts[MAX_FONTS];

void text_enable_captions(bool on) { s_captions = on; }

bool text_captions_enabled() { return s_captions; }

// Captions pushed back inside a frame the overlay reaches past keep this
// margin from its edge, in design pixels.
static const int FRAME_MARGIN = 8;

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
    // A configuration of our own, released after the lookup: nothing of
    // fontconfig stays allocated once the fonts are made.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return false;
    FcPattern* pattern = FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, (const FcChar8*)face, FC_PIXEL_SIZE,
                                        FcTypeDouble, (double)size, (char*)nullptr);
    if (!pattern) {
        FcConfigDestroy(config);
        return false;
    }
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* file = nullptr;
    const bool found = match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                       FcPatternGetInteger(match, FC_INDEX, 0, index) == FcResultMatch;
    if (found) snprintf(path, path_size, "%s", (const char*)file);
    if (match) FcPatternDestroy(match);
    FcConfigDestroy(config);
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
static void glyph_place(FT_GlyphSlot slot, uint8_t* atlas, int atlas_w, int atlas_h, int x0, int y0, Glyph* glyph)
{
    const FT_Bitmap& bitmap = slot->bitmap;
    for (unsigned row = 0; row < bitmap.rows; row++) {
        memcpy(atlas + (size_t)(y0 + row) * atlas_w + x0, bitmap.buffer + (size_t)row * bitmap.pitch,
               bitmap.width);
    }
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    glyph->width = (int)bitmap.width;
    glyph->height = (int)bitmap.rows;
    glyph->advance = (int)lroundf((float)slot->advance.x / FIXED_ONE);
    glyph->u0 = (float)x0 / (float)atlas_w;
    glyph->v0 = (float)y0 / (float)atlas_h;
    glyph->u1 = (float)(x0 + (int)bitmap.width) / (float)atlas_w;
    glyph->v1 = (float)(y0 + (int)bitmap.rows) / (float)atlas_h;
}

// Renders the printable glyphs into one alpha texture, 16 cells a row.
static bool atlas_build(FT_Face face, Font* font)
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
        glyph_place(face->glyph, atlas, atlas_w, atlas_h, x0, y0, glyph);
    }
    font->cap_height = font->glyphs['H' - FIRST_CHAR].top;
    font->descender = 0;
    for (const Glyph& g : font->glyphs) {
        if (g.height - g.top > font->descender) font->descender = g.height - g.top;
    }
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
    if (!s_captions) return 0;
    return font_load(face_name, size, false);
}

int32_t font_load(const char* face_name, int size, bool quiet)
{
    if (size <= 0) return 0;
    int slot = 0;
    while (slot < MAX_FONTS && s_fonts[slot].used) slot++;
    if (slot == MAX_FONTS) return quiet ? 0 : font_failed(face_name, "too many fonts");
    char path[4096];
    int index = 0;
    if (!font_file_find(face_name, size, path, sizeof path, &index)) return quiet ? 0 : font_failed(face_name, "no font found");
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    // Glyphs are rasterised at the size they cover in the frame.
    const FT_UInt pixels = (FT_UInt)lroundf((float)size * g_frame.scale);
    bool ok = FT_Init_FreeType(&library) == 0 && FT_New_Face(library, path, index, &face) == 0 &&
              FT_Set_Pixel_Sizes(face, 0, pixels > 0 ? pixels : 1) == 0;
    if (ok) ok = atlas_build(face, &s_fonts[slot]);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
    if (!ok) return quiet ? 0 : font_failed(face_name, "the font could not be rasterised");
    s_fonts[slot].used = true;
    return slot + 1;
}

void font_free(int32_t font)
{
    if (font < 1 || font > MAX_FONTS || !s_fonts[font - 1].used) return;
    glDeleteTextures(1, &s_fonts[font - 1].texture);
    s_fonts[font - 1].used = false;
}

// Text state: the whole frame in pixels, top row first, unclipped,
// alpha-blended on top.
static void text_state_begin(const Font& font, uint32_t colour)
{
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_VIEWPORT_BIT |
                 GL_SCISSOR_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT | GL_TRANSFORM_BIT);
    glViewport(0, 0, g_frame.width, g_frame.height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, g_frame.width, g_frame.height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
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

static void text_state_end()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// Frame pixel (from the top row) of the overlay point (x, y), and of the
// capitals' top of a line there: moved back inside a frame that the
// overlay reaches past (a wide frame's overlay extends above and below it).
static void text_origin(const Font& f, int x, int y, int* px, int* top)
{
    const FrameGeometry& g = g_frame;
    const int overlay_top = g.height - (g.overlay_y + g.overlay_height);
    *px = g.overlay_x + (int)lround((double)x * g.overlay_width / WINDOW_WIDTH);
    *top = overlay_top + (int)lround((double)y * g.overlay_height / WINDOW_HEIGHT);
    const int margin = (int)lroundf(FRAME_MARGIN * g.scale);
    const int bottom = *top + f.cap_height + f.descender;
    if (bottom > g.height) *top -= bottom - g.height + margin;
    if (*top < 0) *top = margin;
}

void text_draw(int x, int y, uint32_t colour, int32_t font, const char* text)
{
    if (font < 1 || font > MAX_FONTS || !s_fonts[font - 1].used || !text) return;
    const Font& f = s_fonts[font - 1];
    text_state_begin(f, colour);
    // (x, y) is the top left of the text: capitals hang from y, so the
    // baseline lies one cap height below it.
    int pen = 0, top = 0;
    text_origin(f, x, y, &pen, &top);
    const int baseline = top + f.cap_height;
    glBegin(GL_QUADS);
    for (const char* c = text; *c; c++) {
        const int code = (unsigned char)*c - FIRST_CHAR;
        if (code < 0 || code >= CHAR_COUNT) continue;
        const Glyph& g = f.glyphs[code];
        const int left = pen + g.left, glyph_top = baseline - g.top;
        glTexCoord2f(g.u0, g.v0);
        glVertex2i(left, glyph_top);
        glTexCoord2f(g.u1, g.v0);
        glVertex2i(left + g.width, glyph_top);
        glTexCoord2f(g.u1, g.v1);
        glVertex2i(left + g.width, glyph_top + g.height);
        glTexCoord2f(g.u0, g.v1);
        glVertex2i(left, glyph_top + g.height);
        pen += g.advance;
    }
    glEnd();
    text_state_end();
}
