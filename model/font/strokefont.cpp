// Stroke font engine: font records, output geometry (size, direction, slant,
// advance), glyph drawing, the binary font format and the start-up choice of
// the default font. All arithmetic is integer; intermediate products are taken
// in 64 bits and every stored or returned coordinate is clamped to 32 bits, so
// hostile factors cannot overflow.
#include "model/font/strokefont.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/safe_file.h"

namespace {

int g_ok = 1;
int g_error = 0;
StrokeFont* g_default = nullptr;

void record_ok() {
    g_ok = 1;
}

int record_error(int code) {
    g_ok = 0;
    g_error = code;
    return code;
}

bool font_valid(const StrokeFont* font) {
    return font && font->magic == kStrokeFontMagic;
}

// Checks the pointer and the magic; records error 6 on failure.
bool check_font(const StrokeFont* font) {
    if (font_valid(font)) return true;
    record_error(kWrongKind);
    return false;
}

int32_t clamp32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int32_t clamp32_wide(__int128 v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// v * num / den, truncating toward zero; den must not be 0.
int32_t muldiv(int64_t v, int64_t num, int64_t den) {
    return clamp32(v * num / den);
}

// Unit vector (a, b) * 1024 by integer square root. The inputs are halved
// until their squares fit comfortably in 64 bits; (0, 0) is the caller's case.
void unit_vector(int64_t a, int64_t b, int32_t* ua, int32_t* ub) {
    constexpr int64_t kLimit = int64_t{1} << 30;
    while (a > kLimit || a < -kLimit || b > kLimit || b < -kLimit) {
        a /= 2;
        b /= 2;
    }
    int64_t n = isqrt(a * a + b * b);
    if (n <= 0) n = 1;
    *ua = clamp32(a * 1024 / n);
    *ub = clamp32(b * 1024 / n);
}

void rotate(const StrokeFont* font, int32_t* x, int32_t* y) {
    int64_t c = font->dir_cos, s = font->dir_sin;
    int64_t x0 = *x, y0 = *y;
    *x = clamp32(c * x0 / 1024 - s * y0 / 1024);
    *y = clamp32(c * y0 / 1024 + s * x0 / 1024);
}

// Frees the stroke arrays and the record of a font made by this module.
void destroy_font(StrokeFont* font) {
    if (!font) return;
    font->magic = 0;
    for (FontGlyph& g : font->glyphs) {
        delete[] g.strokes;
        g.strokes = nullptr;
        g.last = -1;
    }
    delete font;
}

struct FontDeleter {
    void operator()(StrokeFont* font) const { destroy_font(font); }
};
using FontPtr = std::unique_ptr<StrokeFont, FontDeleter>;

// A zeroed font record with empty glyphs and a valid magic, or null.
StrokeFont* alloc_font() {
    StrokeFont* font = new (std::nothrow) StrokeFont{};
    if (!font) return nullptr;
    for (FontGlyph& g : font->glyphs) {
        g.strokes = nullptr;
        g.last = -1;
    }
    font->magic = kStrokeFontMagic;
    return font;
}

// ---- binary format helpers ----

int read_i32(void* handle, FontReadFn reader, int32_t* out) {
    uint8_t b[4];
    int rc = reader(handle, b, sizeof b);
    if (rc != 0) return rc;
    uint32_t u = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    *out = static_cast<int32_t>(u);
    return 0;
}

void put_i32(uint8_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
}

int write_i32(void* handle, FontWriteFn writer, int32_t v) {
    uint8_t b[4];
    put_i32(b, v);
    return writer(handle, b, sizeof b);
}

// Reads a whole font; returns 0 and the font, or an error code.
int read_font(void* handle, FontReadFn reader, FontPtr* out) {
    FontPtr font(alloc_font());
    if (!font) return kOutOfMemory;

    int rc = read_i32(handle, reader, &font->design_width);
    if (rc == 0) rc = read_i32(handle, reader, &font->design_height);
    if (rc != 0) return rc;
    // The design units divide every scaled coordinate.
    if (font->design_width <= 0 || font->design_height <= 0) return kBadArgument;

    uint8_t bytes[kFontMaxStrokes * 4];
    for (FontGlyph& glyph : font->glyphs) {
        int32_t last = 0;
        rc = read_i32(handle, reader, &last);
        if (rc != 0) return rc;
        if (last < 0) continue;  // empty glyph
        if (last >= kFontMaxStrokes) return kBadArgument;
        int count = last + 1;
        rc = reader(handle, bytes, static_cast<size_t>(count) * 4);
        if (rc != 0) return rc;
        rc = glyph_alloc(&glyph, count);
        if (rc != 0) return rc;
        for (int i = 0; i < count; ++i) {
            const uint8_t* p = bytes + 4 * i;
            glyph.strokes[i] = {static_cast<int8_t>(p[0]), static_cast<int8_t>(p[1]),
                                static_cast<int8_t>(p[2]), static_cast<int8_t>(p[3])};
        }
    }
    for (int32_t& adv : font->advance) {
        rc = read_i32(handle, reader, &adv);
        if (rc != 0) return rc;
    }

    font_reset_layout(font.get());
    *out = std::move(font);
    return 0;
}

// File reader of font_load_binary: reads exactly the bytes asked for. After
// the first failure every further read fails with the same code.
struct FileSource {
    std::FILE* file;
    int error;
};

int file_reader(void* handle, void* buffer, size_t count) {
    FileSource* src = static_cast<FileSource*>(handle);
    if (src->error != 0) return src->error;
    errno = 0;
    size_t got = std::fread(buffer, 1, count, src->file);
    if (got == count) return 0;
    if (std::ferror(src->file)) {
        src->error = errno != 0 ? errno : EIO;
    } else {
        src->error = kBadArgument;  // the file ends early
    }
    return src->error;
}

}  // namespace

int font_ok() {
    return g_ok;
}
int font_last_error() {
    return g_error;
}

StrokeFont* font_new() {
    StrokeFont* font = alloc_font();
    if (!font) {
        record_error(kOutOfMemory);
        return nullptr;
    }
    font->design_width = 1;
    font->design_height = 1;
    font->char_width = 1;
    font->char_height = 1;
    record_ok();
    return font;
}

void font_free(StrokeFont** font) {
    if (!font || !check_font(*font)) return;
    record_ok();
    if (font_is_builtin(*font)) return;
    destroy_font(*font);
    *font = nullptr;
}

int glyph_alloc(FontGlyph* glyph, int count) {
    if (!glyph || count < 0 || count > kFontMaxStrokes) return record_error(kBadArgument);
    delete[] glyph->strokes;
    glyph->strokes = nullptr;
    glyph->last = -1;
    if (count == 0) return 0;
    glyph->strokes = new (std::nothrow) FontStroke[count]{};
    if (!glyph->strokes) return record_error(kOutOfMemory);
    glyph->last = count - 1;
    return 0;
}

StrokeFont* font_copy(const StrokeFont* font) {
    if (!check_font(font)) return nullptr;
    FontPtr copy(alloc_font());
    if (!copy) {
        record_error(kOutOfMemory);
        return nullptr;
    }
    for (int c = 0; c < 256; ++c) {
        const FontGlyph& src = font->glyphs[c];
        if (src.last < 0 || !src.strokes) continue;
        int count = src.last + 1;
        if (count > kFontMaxStrokes) {
            record_error(kBadArgument);
            return nullptr;
        }
        if (glyph_alloc(&copy->glyphs[c], count) != 0) return nullptr;
        std::memcpy(copy->glyphs[c].strokes, src.strokes, sizeof(FontStroke) * count);
    }
    std::memcpy(copy->advance, font->advance, sizeof copy->advance);
    copy->design_width = font->design_width;
    copy->design_height = font->design_height;
    copy->char_width = font->char_width;
    copy->char_height = font->char_height;
    copy->dir_sin = font->dir_sin;
    copy->dir_cos = font->dir_cos;
    copy->slant_y = font->slant_y;
    copy->slant_x = font->slant_x;
    record_ok();
    return copy.release();
}

void font_reset_layout(StrokeFont* font) {
    font->char_width = font->design_width;
    font->char_height = font->design_height;
    font->dir_cos = 1024;
    font->dir_sin = 0;
    font->slant_x = 0;
    font->slant_y = 1024;
}

void font_set_size(StrokeFont* font, int width, int height) {
    record_ok();
    if (!check_font(font)) return;
    font->char_width = width;
    font->char_height = height;
}

void font_set_direction(StrokeFont* font, int dx, int dy) {
    record_ok();
    if (!check_font(font)) return;
    if (dx == 0 && dy == 0) {
        font->dir_cos = 1024;
        font->dir_sin = 0;
        return;
    }
    unit_vector(dx, dy, &font->dir_cos, &font->dir_sin);
}

void font_set_slant(StrokeFont* font, int a, int b) {
    record_ok();
    if (!check_font(font)) return;
    if (a == 0 && b == 0) b = 1;
    unit_vector(a, b, &font->slant_x, &font->slant_y);
}

void font_rotate(const StrokeFont* font, int* x, int* y) {
    if (!check_font(font)) return;
    if (!x || !y) {
        record_error(kBadArgument);
        return;
    }
    int32_t rx = *x, ry = *y;
    rotate(font, &rx, &ry);
    *x = rx;
    *y = ry;
    record_ok();
}

int font_text_width(const StrokeFont* font, const char* text) {
    if (!check_font(font)) return 0;
    if (!text || font->design_width == 0) {
        record_error(kBadArgument);
        return 0;
    }
    __int128 sum = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        sum += font->advance[*p];
    }
    record_ok();
    return clamp32_wide(sum * font->char_width / font->design_width);
}

int font_draw_char(void* context, int* x, int* y, const StrokeFont* font, unsigned char ch,
                   FontSegmentFn segment) {
    if (!check_font(font)) return kWrongKind;
    if (!x || !y || !segment || font->design_width == 0 || font->design_height == 0) {
        return record_error(kBadArgument);
    }
    record_ok();
    const int64_t cw = font->char_width, ch_h = font->char_height;
    const int64_t dw = font->design_width, dh = font->design_height;

    int32_t ax = muldiv(font->advance[ch], cw, dw), ay = 0;
    rotate(font, &ax, &ay);

    const FontGlyph& glyph = font->glyphs[ch];
    if (glyph.last >= 0 && glyph.strokes) {
        const int64_t ox = *x, oy = *y;
        for (int32_t i = 0; i <= glyph.last; ++i) {
            const FontStroke& s = glyph.strokes[i];
            int32_t ex[2] = {muldiv(s.x1, cw, dw), muldiv(s.x2, cw, dw)};
            int32_t ey[2] = {muldiv(s.y1, ch_h, dh), muldiv(s.y2, ch_h, dh)};
            for (int e = 0; e < 2; ++e) {
                ex[e] = clamp32(ex[e] + int64_t{ey[e]} * font->slant_x / 1024);
                ey[e] = clamp32(int64_t{ey[e]} * font->slant_y / 1024);
                rotate(font, &ex[e], &ey[e]);
            }
            // The stroke's second end first.
            int rc = segment(context, clamp32(ox + ex[1]), clamp32(oy + ey[1]), clamp32(ox + ex[0]),
                             clamp32(oy + ey[0]));
            if (rc != 0) return rc;
        }
    }
    *x = clamp32(int64_t{*x} + ax);
    *y = clamp32(int64_t{*y} + ay);
    return 0;
}

int font_read(StrokeFont** font, void* handle, FontReadFn reader) {
    if (!font) {
        record_error(kWrongKind);
        return kBadArgument;
    }
    if (!reader) return record_error(kBadArgument);
    FontPtr fresh;
    int rc = read_font(handle, reader, &fresh);
    if (rc != 0) return record_error(rc);
    StrokeFont* old = *font;
    *font = fresh.release();
    if (font_valid(old)) font_free(&old);
    record_ok();
    return 0;
}

int font_write(const StrokeFont* font, void* handle, FontWriteFn writer) {
    if (!check_font(font)) return kWrongKind;
    if (!writer) return record_error(kBadArgument);
    // Refuse up front what font_read would refuse, so nothing half-written is
    // left behind for a font that could never be read back.
    if (font->design_width <= 0 || font->design_height <= 0) return record_error(kBadArgument);
    for (const FontGlyph& g : font->glyphs) {
        if (g.last >= kFontMaxStrokes || (g.last >= 0 && !g.strokes)) {
            return record_error(kBadArgument);
        }
    }

    int rc = write_i32(handle, writer, font->design_width);
    if (rc == 0) rc = write_i32(handle, writer, font->design_height);
    if (rc != 0) return record_error(rc);

    uint8_t bytes[4 + kFontMaxStrokes * 4];
    for (const FontGlyph& g : font->glyphs) {
        int32_t last = g.last < 0 ? -1 : g.last;
        put_i32(bytes, last);
        size_t n = 4;
        for (int32_t i = 0; i <= last; ++i) {
            const FontStroke& s = g.strokes[i];
            bytes[n++] = static_cast<uint8_t>(s.x1);
            bytes[n++] = static_cast<uint8_t>(s.y1);
            bytes[n++] = static_cast<uint8_t>(s.x2);
            bytes[n++] = static_cast<uint8_t>(s.y2);
        }
        rc = writer(handle, bytes, n);
        if (rc != 0) return record_error(rc);
    }
    for (int32_t adv : font->advance) {
        rc = write_i32(handle, writer, adv);
        if (rc != 0) return record_error(rc);
    }
    record_ok();
    return 0;
}

int font_load_binary(StrokeFont** font, const char* path) {
    if (!font) return record_error(kWrongKind);
    if (!path) return record_error(kBadArgument);
    int open_error = 0;
    std::FILE* file = safe_fopen_read(path, &open_error);
    if (!file) return record_error(open_error);
    FileSource src{file, 0};
    int rc = font_read(font, &src, file_reader);
    std::fclose(file);
    if (rc != 0) return record_error(rc);
    record_ok();
    return 0;
}

StrokeFont* font_default() {
    return g_default ? g_default : font_builtin(0);
}

int font_builtin_for_locale(const char* locale_name) {
    if (!locale_name) return 0;
    if (std::strncmp(locale_name, "Russian", 7) == 0) return 1;
    // POSIX names carry the language code first: "ru", "ru_RU.UTF-8", "ru_UA.KOI8-U".
    if (std::strncmp(locale_name, "ru", 2) == 0) {
        const char next = locale_name[2];
        if (next == '\0' || next == '_' || next == '.' || next == '@') return 1;
    }
    return 0;
}

void fonts_init() {
    // setlocale's result is overwritten by the next call: decide before resetting.
    int index = font_builtin_for_locale(std::setlocale(LC_ALL, ""));
    std::setlocale(LC_ALL, "C");
    g_default = font_builtin(index);
    font_set_direction(g_default, 100, 0);
    font_set_slant(g_default, 0, 100);
    font_set_size(g_default, 10, 10);
}
