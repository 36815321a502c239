// Stroke font binary format: round trips, hand-made files, truncated and
// hostile input, file loading, copying and freeing.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "font_test_util.h"
#include "model/font/strokefont.h"
#include "model/math/result.h"

namespace {

// Font file with design units dw x dh, glyph 0 as given, the rest empty.
FontFile file_with_glyph0(int32_t dw, int32_t dh, int32_t last, int stroke_bytes) {
    FontFile f;
    f.i32(dw).i32(dh).i32(last);
    for (int i = 0; i < stroke_bytes; ++i) f.raw({i & 0x7F});
    f.empty_glyphs(255).advances(5);
    return f;
}

int read_bytes(StrokeFont** font, const std::vector<uint8_t>& bytes, size_t* consumed = nullptr) {
    MemSource src{&bytes};
    int rc = font_read(font, &src, MemSource::read);
    if (consumed) *consumed = src.pos;
    return rc;
}

TEST(StrokeFontIo, BuiltinFontsRoundTripByteIdentical) {
    for (int index : {0, 1}) {
        std::vector<uint8_t> first = font_bytes(font_builtin(index));
        ASSERT_FALSE(first.empty());
        StrokeFont* font = nullptr;
        ASSERT_EQ(read_bytes(&font, first), 0);
        EXPECT_EQ(font_bytes(font), first);
        // Reading resets size, direction and slant to the neutral values.
        EXPECT_EQ(settings_of(font), (FontSettings{16, 24, 1024, 0, 0, 1024}));
        font_free(&font);
    }
}

TEST(StrokeFontIo, WrittenLayoutIsLittleEndianFieldByField) {
    StrokeFont* font = small_font();
    std::vector<uint8_t> b = font_bytes(font);
    // 8 header bytes, 256 glyph records (two with strokes), 256 advances.
    ASSERT_EQ(b.size(), 8u + 256 * 4 + 3 * 4 + 256 * 4);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 8),
              (std::vector<uint8_t>{16, 0, 0, 0, 24, 0, 0, 0}));
    size_t a = 8 + 'A' * 4;  // glyph 'A': last index 1, then the strokes
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + a, b.begin() + a + 12),
              (std::vector<uint8_t>{1, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
    size_t bb = a + 12;  // glyph 'B': last 0, stroke (-1, -2, 0, 12)
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + bb, b.begin() + bb + 8),
              (std::vector<uint8_t>{0, 0, 0, 0, 0xFF, 0xFE, 0, 12}));
    EXPECT_EQ(b[8], 0xFF);  // glyph 0 empty: -1
    font_free(&font);
}

TEST(StrokeFontIo, LastIndexZeroReadsExactlyOneStroke) {
    FontFile f = file_with_glyph0(16, 24, 0, 4);
    f.raw({1, 2, 3});  // trailing bytes are not part of the font
    StrokeFont* font = nullptr;
    size_t consumed = 0;
    ASSERT_EQ(read_bytes(&font, f.bytes, &consumed), 0);
    EXPECT_EQ(consumed, f.bytes.size() - 3);
    EXPECT_EQ(font->glyphs[0].last, 0);
    EXPECT_EQ(font->glyphs[1].last, -1);
    EXPECT_EQ(font->glyphs[1].strokes, nullptr);
    EXPECT_EQ(font->advance[255], 5);
    font_free(&font);
}

TEST(StrokeFontIo, NegativeLastIndexIsEmptyAndWrittenAsMinusOne) {
    FontFile f = file_with_glyph0(16, 24, INT_MIN, 0);
    StrokeFont* font = nullptr;
    ASSERT_EQ(read_bytes(&font, f.bytes), 0);
    EXPECT_EQ(font->glyphs[0].last, -1);
    std::vector<uint8_t> out = font_bytes(font);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 8, out.begin() + 12),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    font_free(&font);
}

TEST(StrokeFontIo, LargestGlyphIsAccepted) {
    FontFile f = file_with_glyph0(16, 24, kFontMaxStrokes - 1, kFontMaxStrokes * 4);
    StrokeFont* font = nullptr;
    ASSERT_EQ(read_bytes(&font, f.bytes), 0);
    EXPECT_EQ(font->glyphs[0].last, kFontMaxStrokes - 1);
    EXPECT_EQ(font_bytes(font), f.bytes);
    font_free(&font);
}

TEST(StrokeFontIo, HostileValuesRefusedWith13) {
    struct {
        const char* what;
        int32_t dw, dh, last;
    } cases[] = {
        {"zero design width", 0, 24, -1},
        {"negative design width", -16, 24, -1},
        {"zero design height", 16, 0, -1},
        {"negative design height", 16, INT_MIN, -1},
        {"one stroke too many", 16, 24, kFontMaxStrokes},
        {"huge stroke count", 16, 24, INT_MAX},
    };
    StrokeFont* kept = small_font();
    StrokeFont* font = kept;
    for (const auto& c : cases) {
        FontFile f = file_with_glyph0(c.dw, c.dh, c.last, 64);
        EXPECT_EQ(read_bytes(&font, f.bytes), kBadArgument) << c.what;
        EXPECT_EQ(font_last_error(), kBadArgument) << c.what;
        EXPECT_EQ(font_ok(), 0);
        EXPECT_EQ(font, kept) << c.what;
    }
    font_free(&font);
}

TEST(StrokeFontIo, TruncatedFileRefusedAtEveryCut) {
    StrokeFont* kept = small_font();
    const std::vector<uint8_t> whole = font_bytes(kept);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
        StrokeFont* font = kept;
        ASSERT_EQ(read_bytes(&font, part), MemSource::kShortRead) << "cut " << cut;
        ASSERT_EQ(font, kept);
    }
    EXPECT_EQ(font_last_error(), MemSource::kShortRead);
    EXPECT_EQ(font_bytes(kept), whole);  // the caller's font is untouched
    font_free(&kept);
}

TEST(StrokeFontIo, ReadReplacesAndFreesTheOldFont) {
    StrokeFont* font = small_font();
    StrokeFont* old = font;
    std::vector<uint8_t> bytes = font_bytes(font_builtin(1));
    ASSERT_EQ(read_bytes(&font, bytes), 0);
    EXPECT_NE(font, old);
    EXPECT_EQ(font_bytes(font), bytes);
    // A built-in font in the caller's pointer is replaced but not freed.
    StrokeFont* builtin = font_builtin(0);
    StrokeFont* target = builtin;
    ASSERT_EQ(read_bytes(&target, bytes), 0);
    EXPECT_EQ(builtin->magic, kStrokeFontMagic);
    font_free(&target);
    font_free(&font);
}

TEST(StrokeFontIo, BadArguments) {
    std::vector<uint8_t> bytes = font_bytes(font_builtin(0));
    MemSource src{&bytes};
    EXPECT_EQ(font_read(nullptr, &src, MemSource::read), kBadArgument);
    EXPECT_EQ(font_last_error(), kWrongKind);
    StrokeFont* font = nullptr;
    EXPECT_EQ(font_read(&font, &src, nullptr), kBadArgument);
    EXPECT_EQ(font, nullptr);

    int calls = 0;
    auto counting = [](void* h, const void*, size_t) {
        ++*static_cast<int*>(h);
        return 0;
    };
    EXPECT_EQ(font_write(nullptr, &calls, counting), kWrongKind);
    StrokeFont bogus{};
    EXPECT_EQ(font_write(&bogus, &calls, counting), kWrongKind);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(font_write(font_builtin(0), &calls, nullptr), kBadArgument);

    // A font that could not be read back is not written.
    StrokeFont* broken = small_font();
    broken->design_height = 0;
    EXPECT_EQ(font_write(broken, &calls, counting), kBadArgument);
    EXPECT_EQ(calls, 0);
    font_free(&broken);
}

TEST(StrokeFontIo, WriterAndReaderErrorsArePassedOn) {
    auto failing_writer = [](void*, const void*, size_t) { return 42; };
    EXPECT_EQ(font_write(font_builtin(0), nullptr, failing_writer), 42);
    EXPECT_EQ(font_last_error(), 42);

    // A reader that fails after some good reads.
    struct Limited {
        MemSource src;
        int reads_left;
        static int read(void* h, void* buf, size_t n) {
            Limited* l = static_cast<Limited*>(h);
            if (l->reads_left-- <= 0) return 77;
            return MemSource::read(&l->src, buf, n);
        }
    };
    std::vector<uint8_t> bytes = font_bytes(font_builtin(0));
    for (int reads : {0, 1, 2, 40, 300}) {
        Limited lim{{&bytes}, reads};
        StrokeFont* font = nullptr;
        EXPECT_EQ(font_read(&font, &lim, Limited::read), 77);
        EXPECT_EQ(font, nullptr);
    }
}

class StrokeFontFile : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                ("zelo_font_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin");
    }
    void TearDown() override { std::filesystem::remove(path_); }
    void write_file(const std::vector<uint8_t>& bytes) {
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    std::filesystem::path path_;
};

TEST_F(StrokeFontFile, LoadsWrittenFont) {
    std::vector<uint8_t> bytes = font_bytes(font_builtin(1));
    write_file(bytes);
    StrokeFont* font = nullptr;
    ASSERT_EQ(font_load_binary(&font, path_.c_str()), 0);
    EXPECT_EQ(font_ok(), 1);
    EXPECT_EQ(font_bytes(font), bytes);
    font_free(&font);
}

TEST_F(StrokeFontFile, TruncatedFileGives13AndKeepsFont) {
    std::vector<uint8_t> bytes = font_bytes(font_builtin(0));
    StrokeFont* kept = small_font();
    for (size_t cut : {size_t{0}, size_t{3}, size_t{8}, bytes.size() / 2, bytes.size() - 1}) {
        write_file(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
        StrokeFont* font = kept;
        EXPECT_EQ(font_load_binary(&font, path_.c_str()), kBadArgument) << cut;
        EXPECT_EQ(font_last_error(), kBadArgument);
        EXPECT_EQ(font, kept);
    }
    font_free(&kept);
}

TEST_F(StrokeFontFile, EarlierFailureDoesNotPoisonTheNextLoad) {
    write_file({1, 2});
    StrokeFont* font = nullptr;
    EXPECT_NE(font_load_binary(&font, path_.c_str()), 0);
    EXPECT_EQ(font_ok(), 0);
    write_file(font_bytes(font_builtin(0)));
    ASSERT_EQ(font_load_binary(&font, path_.c_str()), 0);
    EXPECT_EQ(font_bytes(font), font_bytes(font_builtin(0)));
    font_free(&font);
}

TEST_F(StrokeFontFile, MissingFileAndBadArguments) {
    StrokeFont* font = nullptr;
    EXPECT_EQ(font_load_binary(&font, (path_.string() + ".missing").c_str()), ENOENT);
    EXPECT_EQ(font_last_error(), ENOENT);
    EXPECT_EQ(font_load_binary(nullptr, path_.c_str()), kWrongKind);
    EXPECT_EQ(font_load_binary(&font, nullptr), kBadArgument);
    EXPECT_EQ(font, nullptr);
}

TEST(StrokeFontLifetime, CopyIsDeepAndIndependent) {
    StrokeFont* copy = font_copy(font_builtin(0));
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(font_is_builtin(copy));
    EXPECT_EQ(font_bytes(copy), font_bytes(font_builtin(0)));
    EXPECT_EQ(copy->dir_cos, font_builtin(0)->dir_cos);
    EXPECT_EQ(copy->char_height, font_builtin(0)->char_height);
    EXPECT_NE(copy->glyphs[kA].strokes, font_builtin(0)->glyphs[kA].strokes);
    copy->glyphs[kA].strokes[0].x1 = 99;
    EXPECT_NE(font_builtin(0)->glyphs[kA].strokes[0].x1, 99);
    font_free(&copy);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(font_copy(nullptr), nullptr);
    EXPECT_EQ(font_last_error(), kWrongKind);
}

TEST(StrokeFontLifetime, FreeLeavesBuiltinsAndBadFontsAlone) {
    StrokeFont* builtin = font_builtin(1);
    StrokeFont* p = builtin;
    font_free(&p);
    EXPECT_EQ(p, builtin);
    EXPECT_EQ(builtin->magic, kStrokeFontMagic);

    StrokeFont bogus{};
    StrokeFont* q = &bogus;
    font_free(&q);
    EXPECT_EQ(q, &bogus);
    EXPECT_EQ(font_last_error(), kWrongKind);

    StrokeFont* none = nullptr;
    font_free(&none);
    font_free(nullptr);

    StrokeFont* fresh = font_new();
    EXPECT_EQ(fresh->design_width, 1);
    EXPECT_EQ(fresh->glyphs[65].last, -1);
    font_free(&fresh);
    EXPECT_EQ(fresh, nullptr);
}

TEST(StrokeFontLifetime, GlyphAlloc) {
    struct {
        int count;
        int rc;
        int32_t last;
    } cases[] = {
        {-1, 13, -1},
        {0, 0, -1},
        {1, 0, 0},
        {kFontMaxStrokes, 0, kFontMaxStrokes - 1},
        {kFontMaxStrokes + 1, 13, -1},
    };
    for (const auto& c : cases) {
        FontGlyph g{nullptr, -1};
        EXPECT_EQ(glyph_alloc(&g, c.count), c.rc) << c.count;
        EXPECT_EQ(g.last, c.last) << c.count;
        EXPECT_EQ(g.strokes != nullptr, c.last >= 0);
        // Reallocating a filled slot replaces its array (ASan checks the old one is freed).
        EXPECT_EQ(glyph_alloc(&g, 2), 0);
        EXPECT_EQ(g.last, 1);
        EXPECT_EQ(glyph_alloc(&g, 0), 0);
        EXPECT_EQ(g.strokes, nullptr);
    }
    EXPECT_EQ(glyph_alloc(nullptr, 1), kBadArgument);
}

}  // namespace
