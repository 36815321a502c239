// In-memory byte streams and small font builders shared by the stroke font tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "model/font/strokefont.h"

// Character codes used as table indices (unsigned, as the engine indexes).
inline constexpr unsigned char kA = 'A', kB = 'B', kI = 'I', kSpace = ' ';

// Reader over a byte vector; a short read fails with kShortRead.
struct MemSource {
    static constexpr int kShortRead = 99;
    const std::vector<uint8_t>* bytes;
    size_t pos = 0;

    static int read(void* handle, void* buffer, size_t count) {
        MemSource* src = static_cast<MemSource*>(handle);
        if (count > src->bytes->size() - src->pos) return kShortRead;
        std::memcpy(buffer, src->bytes->data() + src->pos, count);
        src->pos += count;
        return 0;
    }
};

struct MemSink {
    std::vector<uint8_t> bytes;

    static int write(void* handle, const void* buffer, size_t count) {
        MemSink* sink = static_cast<MemSink*>(handle);
        const uint8_t* p = static_cast<const uint8_t*>(buffer);
        sink->bytes.insert(sink->bytes.end(), p, p + count);
        return 0;
    }
};

inline std::vector<uint8_t> font_bytes(const StrokeFont* font) {
    MemSink sink;
    if (font_write(font, &sink, MemSink::write) != 0) return {};
    return sink.bytes;
}

// Little-endian builder of hand-made font files.
struct FontFile {
    std::vector<uint8_t> bytes;

    FontFile& i32(int32_t v) {
        uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(u >> (8 * i)));
        return *this;
    }
    FontFile& raw(std::initializer_list<int> values) {
        for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    FontFile& empty_glyphs(int count) {
        for (int i = 0; i < count; ++i) i32(-1);
        return *this;
    }
    FontFile& advances(int32_t value) {
        for (int i = 0; i < 256; ++i) i32(value);
        return *this;
    }
};

// A small font: design units 16 x 24, glyph 'A' with two strokes, glyph 'B'
// with one, 'A' advance 10, 'B' advance 12, space advance 8.
inline StrokeFont* small_font() {
    StrokeFont* font = font_new();
    font->design_width = 16;
    font->design_height = 24;
    font_set_size(font, 16, 24);
    font_set_direction(font, 1, 0);
    font_set_slant(font, 0, 1);
    EXPECT_EQ(glyph_alloc(&font->glyphs[kA], 2), 0);
    font->glyphs[kA].strokes[0] = {1, 2, 3, 4};
    font->glyphs[kA].strokes[1] = {5, 6, 7, 8};
    EXPECT_EQ(glyph_alloc(&font->glyphs[kB], 1), 0);
    font->glyphs[kB].strokes[0] = {-1, -2, 0, 12};
    font->advance[kA] = 10;
    font->advance[kB] = 12;
    font->advance[kSpace] = 8;
    return font;
}

// Size, direction and slant settings of a font, compared as one value.
struct FontSettings {
    int32_t char_width, char_height, dir_cos, dir_sin, slant_x, slant_y;
    bool operator==(const FontSettings&) const = default;
};
inline FontSettings settings_of(const StrokeFont* f) {
    return {f->char_width, f->char_height, f->dir_cos, f->dir_sin, f->slant_x, f->slant_y};
}
inline void PrintTo(const FontSettings& s, std::ostream* os) {
    *os << "size " << s.char_width << 'x' << s.char_height << ", direction " << s.dir_cos << '/'
        << s.dir_sin << ", slant " << s.slant_x << '/' << s.slant_y;
}
