// Glyph outlines through FreeType: opening a face, reading one glyph as polygons of
// on- and off-curve points in em units.
#include "model/font_outline/glyph_outline.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "model/math/result.h"
#include "model/services/safe_file.h"

struct GlyphFontState {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    double scale = 1.0;  // em units per font unit
    void* mapped = nullptr;  // the font file, mapped for the face
    size_t mapped_size = 0;

    ~GlyphFontState() {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
        if (mapped) munmap(mapped, mapped_size);
    }
};

GlyphFont::GlyphFont() = default;
GlyphFont::~GlyphFont() = default;
GlyphFont::GlyphFont(GlyphFont&&) noexcept = default;
GlyphFont& GlyphFont::operator=(GlyphFont&&) noexcept = default;

namespace {

int open_code(FT_Error e) {
    switch (e) {
        case FT_Err_Cannot_Open_Resource:
        case FT_Err_Cannot_Open_Stream:
            return kBadArgument;
        case FT_Err_Unknown_File_Format:
            return kGlyphUnknownFormat;
        case FT_Err_Out_Of_Memory:
            return kOutOfMemory;
        default:
            return kWrongKind;
    }
}

// Common part of both opens once FT_New_*Face has run.
int finish_open(GlyphFont* font, GlyphFontState* st, FT_Error e) {
    if (e) {
        glyph_font_close(font);
        return open_code(e);
    }
    FT_Face face = st->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        glyph_font_close(font);
        return kWrongKind;
    }
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) && FT_Select_Charmap(face, FT_ENCODING_APPLE_ROMAN)) {
        glyph_font_close(font);
        return kGlyphNoCharMap;
    }
    st->scale = 1.0 / face->units_per_EM;
    return 0;
}

GlyphFontState* new_state(GlyphFont* font, int* code) {
    glyph_font_close(font);
    try {
        font->state = std::make_unique<GlyphFontState>();
    } catch (const std::bad_alloc&) {
        *code = kOutOfMemory;
        return nullptr;
    }
    if (FT_Init_FreeType(&font->state->lib)) {
        font->state.reset();
        *code = kOutOfMemory;
        return nullptr;
    }
    return font->state.get();
}

}  // namespace

int glyph_font_open(GlyphFont* font, const TextFontRecord& record) {
    TextFontRecord r = record;
    if (r.file.empty() && !text_font_resolve(&r)) return kBadArgument;
    int code = 0;
    GlyphFontState* st = new_state(font, &code);
    if (!st) return code;
    // The file is opened here, where a name that is no regular file is refused, and
    // mapped for the face.
    uint64_t size = 0;
    const int fd = safe_open_read(r.file.c_str(), &code, &size);
    if (fd < 0 || size == 0 || size > 0x7fffffff) {
        if (fd >= 0) close(fd);
        glyph_font_close(font);
        return fd < 0 ? kBadArgument : kGlyphUnknownFormat;  // an empty file is no font
    }
    void* map = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED) {
        glyph_font_close(font);
        return kBadArgument;
    }
    st->mapped = map;
    st->mapped_size = static_cast<size_t>(size);
    return finish_open(font, st,
                       FT_New_Memory_Face(st->lib, static_cast<const FT_Byte*>(map),
                                          static_cast<FT_Long>(size), r.index, &st->face));
}

int glyph_font_open_memory(GlyphFont* font, const unsigned char* data, size_t size, int index) {
    int code = 0;
    GlyphFontState* st = new_state(font, &code);
    if (!st) return code;
    if (!data || size == 0 || size > 0x7fffffff) {
        glyph_font_close(font);
        return kGlyphUnknownFormat;
    }
    return finish_open(font, st,
                       FT_New_Memory_Face(st->lib, data, static_cast<FT_Long>(size), index, &st->face));
}

void glyph_font_close(GlyphFont* font) {
    if (font) font->state.reset();
}

bool glyph_font_is_open(const GlyphFont& font) { return font.state && font.state->face; }

int glyph_outline_read(GlyphOutline* out, GlyphFont* font, uint32_t code) {
    *out = GlyphOutline{};
    if (!font || !glyph_font_is_open(*font)) return kWrongKind;
    GlyphFontState* st = font->state.get();
    FT_Face face = st->face;
    const FT_UInt gi = FT_Get_Char_Index(face, code);
    if (gi == 0) return kGlyphBlank;
    const FT_Error e = FT_Load_Glyph(face, gi, FT_LOAD_NO_SCALE);
    if (e) return e == FT_Err_Out_Of_Memory ? kOutOfMemory : kWrongKind;
    FT_GlyphSlot g = face->glyph;
    const double s = st->scale;
    out->left = g->metrics.horiBearingX * s;
    out->top = g->metrics.horiBearingY * s;
    out->right = out->left + g->metrics.width * s;
    out->bottom = out->top - g->metrics.height * s;
    out->advance_x = g->metrics.horiAdvance * s;
    out->advance_y = g->metrics.vertAdvance * s;
    if (g->format != FT_GLYPH_FORMAT_OUTLINE) return kWrongKind;
    const FT_Outline& o = g->outline;
    if (o.n_contours <= 0 || o.n_points <= 0) return kGlyphBlank;
    const bool reverse = (o.flags & FT_OUTLINE_REVERSE_FILL) != 0;
    try {
        out->points.reserve(static_cast<size_t>(o.n_points) + o.n_contours);
        out->ends.reserve(static_cast<size_t>(o.n_contours));
        int start = 0;
        for (int c = 0; c < o.n_contours; ++c) {
            const int end = o.contours[c];
            if (end < start || end >= o.n_points) return kWrongKind;
            std::vector<OutlinePoint> poly;
            for (int i = start; i <= end; ++i) {
                const int tag = FT_CURVE_TAG(o.tags[i]);
                if (tag == FT_CURVE_TAG_CUBIC) return kWrongKind;
                poly.push_back({tag == FT_CURVE_TAG_ON ? 1 : 0, o.points[i].x * s, o.points[i].y * s});
            }
            start = end + 1;
            // A last point repeating the first closes the polygon.
            if (poly.size() > 1 && poly.back().x == poly.front().x && poly.back().y == poly.front().y &&
                poly.back().on == poly.front().on)
                poly.pop_back();
            if (reverse) std::reverse(poly.begin(), poly.end());
            // Without any on-curve point the polygon starts at the implied midpoint of
            // its last and first points.
            if (std::none_of(poly.begin(), poly.end(), [](const OutlinePoint& p) { return p.on; })) {
                const OutlinePoint& a = poly.back();
                const OutlinePoint& b = poly.front();
                poly.insert(poly.begin(), OutlinePoint{1, (a.x + b.x) / 2, (a.y + b.y) / 2});
            }
            out->points.insert(out->points.end(), poly.begin(), poly.end());
            out->ends.push_back(static_cast<int32_t>(out->points.size()) - 1);
        }
        glyph_points_clean(out, 0.003);
        // Polygons of fewer than three points have no area: dropped.
        std::vector<OutlinePoint> kept;
        std::vector<int32_t> ends;
        int32_t first = 0;
        for (int32_t end : out->ends) {
            if (end - first + 1 >= 3) {
                kept.insert(kept.end(), out->points.begin() + first, out->points.begin() + end + 1);
                ends.push_back(static_cast<int32_t>(kept.size()) - 1);
            }
            first = end + 1;
        }
        out->points.swap(kept);
        out->ends.swap(ends);
    } catch (const std::bad_alloc&) {
        out->points.clear();
        out->ends.clear();
        return kOutOfMemory;
    }
    return out->ends.empty() ? kGlyphBlank : 0;
}

