// Raster records: geometry, creation and release, rectangles, colour
// conversions, the nearest palette colour, and blits between formats.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "graphics/raster/raster.h"
#include "tests/raster/raster_test_util.h"

namespace {

TEST(RasterImage, GeometryByDepth) {
    struct Case {
        int width, height, planes, bits;
        int result;
        int32_t stride;
        int64_t rows;
    };
    const Case cases[] = {
        {10, 3, 1, 4, 0, 5, 3},    {10, 3, 1, 24, 0, 30, 3},  {10, 3, 1, 2, 0, 3, 3},
        {10, 3, 1, 1, 0, 2, 3},    {10, 3, 4, 1, 0, 2, 12},   {10, 3, 1, 15, 0, 20, 3},
        {10, 3, 1, 8, 0, 10, 3},   {10, 3, 3, 8, 13, 0, 0},   {10, 3, 1, 32, 13, 0, 0},
        {0, 3, 1, 8, 13, 0, 0},    {10, 0, 1, 8, 13, 0, 0},   {10, 3, 0, 8, 13, 0, 0},
        {10, 3, 1, 0, 13, 0, 0},   {10, 3, 1, 12, 13, 0, 0},  {10, 3, 9, 1, 13, 0, 0},
        // Stride times rows beyond any memory: refused, not wrapped.
        {0x7FFFFFFF, 0x7FFFFFFF, 1, 24, 13, 0, 0}, {0x7FFFFFFF, 1, 1, 24, 13, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t stride = 0;
        int64_t rows = 0;
        EXPECT_EQ(image_geometry(c.width, c.height, c.planes, c.bits, &stride, &rows), c.result)
            << c.width << 'x' << c.height << ' ' << c.planes << ' ' << c.bits;
        if (c.result == 0) {
            EXPECT_EQ(stride, c.stride);
            EXPECT_EQ(rows, c.rows);
        }
    }
    EXPECT_EQ(image_create_ex(0x7FFFFFFF, 0x7FFFFFFF, 1, 24, nullptr), nullptr);
}

TEST(RasterImage, ContextsGetTheirDepthRoutinesAndColourCounts) {
    struct Case {
        int planes, bits;
        uint32_t colours;
        bool lines;
    };
    for (const Case& c : {Case{4, 1, 16, false}, Case{1, 1, 2, false}, Case{1, 4, 16, true},
                          Case{1, 8, 256, true}, Case{1, 15, 32768, true}, Case{1, 16, 65536, true},
                          Case{1, 24, 0x1000000, true}}) {
        ImagePtr img(image_create_ex(9, 4, c.planes, c.bits, nullptr));
        ASSERT_TRUE(img);
        EXPECT_EQ(img->magic, kRasterImageMagic);
        EXPECT_EQ(img->colour, c.bits == 1 ? 0 : 1);
        EXPECT_EQ(img->palette, nullptr);
        DCPtr dc(image_dc_create(img.get()));
        ASSERT_TRUE(dc);
        EXPECT_EQ(dc->colours, c.colours);
        EXPECT_TRUE(dc->blit && dc->read_row && dc->write_row && dc->put_pixels);
        EXPECT_EQ(dc->segment != nullptr, c.lines);
        EXPECT_EQ(dc->mask != nullptr, c.lines);
        // The whole-image entry, then one segment for all rows.
        ASSERT_TRUE(img->segments && img->segments->next);
        EXPECT_EQ(img->segments->next->next, nullptr);
        EXPECT_EQ(img->segments->rect.x1, 8);
        EXPECT_EQ(img->segments->next->rect.y1, 3);
    }
}

TEST(RasterImage, BadRecordsAreIgnored) {
    image_free(nullptr);
    image_dc_free(nullptr);
    palette_free(nullptr);
    RasterImage fake{};
    EXPECT_EQ(image_dc_create(&fake), nullptr);
    image_free(&fake);  // wrong magic: left alone
    ImageDC bad{};
    image_dc_blit(&bad, 0, 0, 1, 1, &bad, 0, 0, 3);
    EXPECT_EQ(pixel_to_colour(&bad, 5), 0u);
    EXPECT_EQ(palette_create(0, nullptr), nullptr);
    EXPECT_EQ(palette_create(257, nullptr), nullptr);
}

TEST(RasterImage, InitialBytesAndCallerBuffers) {
    const uint8_t initial[6] = {1, 2, 3, 4, 5, 6};
    ImagePtr img(image_create_ex(2, 1, 1, 24, initial));
    ASSERT_TRUE(img);
    size_t n = 0;
    const uint8_t* px = image_pixels(img.get(), &n);
    ASSERT_EQ(n, 6u);
    EXPECT_EQ(0, std::memcmp(px, initial, 6));
    // A caller's buffer becomes the image's; freeing the image frees it.
    void* buffer = std::malloc(8);
    ImagePtr on(image_create_on_buffer(4, 2, 1, 8, buffer));
    ASSERT_TRUE(on);
    EXPECT_EQ(image_pixels(on.get(), nullptr), buffer);
    // On failure the buffer stays the caller's.
    void* kept = std::malloc(8);
    EXPECT_EQ(image_create_on_buffer(4, 2, 3, 8, kept), nullptr);
    std::free(kept);
}

TEST(RasterImage, Rectangles) {
    RasterRect a{0, 0, 9, 9}, b{9, 9, 20, 20}, c{10, 0, 20, 5}, out;
    EXPECT_EQ(rect_overlap(&a, &b), 1);
    EXPECT_EQ(rect_overlap(&a, &c), 0);
    EXPECT_EQ(rect_intersect(&out, &a, &b), 1);
    EXPECT_EQ(out.x0, 9);
    EXPECT_EQ(rect_intersect(&out, &a, &c), 0);
    rect_from_xywh(&out, 3, 4, 5, 6);
    EXPECT_EQ(out.x1, 7);
    EXPECT_EQ(out.y1, 9);
    // A source starting at x = -5 moves both left edges by 5.
    RasterRect dst{10, 10, 29, 19}, src{-5, 0, 14, 9};
    const RasterRect db{0, 0, 99, 99}, sb{0, 0, 99, 99};
    EXPECT_EQ(rect_clip_pair(&dst, &db, &src, &sb), 1);
    EXPECT_EQ(dst.x0, 15);
    EXPECT_EQ(src.x0, 0);
    RasterRect far{200, 0, 210, 5}, other{0, 0, 10, 5};
    EXPECT_EQ(rect_clip_pair(&far, &db, &other, &sb), 0);
}

TEST(RasterImage, ColourConversions) {
    ImagePtr i16(image_create_ex(1, 1, 1, 16, nullptr)), i15(image_create_ex(1, 1, 1, 15, nullptr)),
        i24(image_create_ex(1, 1, 1, 24, nullptr)), i8(image_create_ex(1, 1, 1, 8, nullptr));
    DCPtr d16(image_dc_create(i16.get())), d15(image_dc_create(i15.get())), d24(image_dc_create(i24.get())),
        d8(image_dc_create(i8.get()));
    EXPECT_EQ(colour_to_pixel(d16.get(), 0x00FFFFFF), 0xFFFFu);
    EXPECT_EQ(pixel_to_colour(d16.get(), 0xFFFF), 0x00F8FCF8u);
    EXPECT_EQ(colour_to_pixel(d15.get(), 0x000000FF), 0x7C00u);  // red in bits 10-14
    EXPECT_EQ(pixel_to_colour(d15.get(), 0x7C00), 0x000000F8u);
    EXPECT_EQ(colour_to_pixel(d16.get(), 0x00070707), 0x0020u);  // truncated, not rounded
    EXPECT_EQ(colour_to_pixel(d24.get(), 0x00112233), 0x00332211u);
    EXPECT_EQ(pixel_to_colour(d24.get(), 0x00332211), 0x00112233u);
    EXPECT_EQ(colour_to_pixel(d8.get(), 0x00ABCDEF), 0x0Fu);  // no palette: low 4 bits
    EXPECT_EQ(pixel_to_colour(d8.get(), 77), 77u);
}

TEST(RasterImage, NearestPaletteIndex) {
    const uint32_t entries[4] = {0x000000, 0x0000FF, 0x0000FF, 0xFFFFFF};
    EXPECT_EQ(palette_nearest_index(entries, 4, 0x0000FF), 1);  // exact: the first of two
    EXPECT_EQ(palette_nearest_index(entries, 4, 0x0000F0), 1);  // equal distances: lower index
    EXPECT_EQ(palette_nearest_index(entries, 4, 0xEEEEEE), 3);
    EXPECT_EQ(palette_nearest_index(entries, 0, 0xEEEEEE), 0);
    // Hue counts twice: a strong red is nearer to red than to a grey.
    const uint32_t hues[3] = {0x000000, 0x0000FF, 0x404040};
    EXPECT_EQ(palette_nearest_index(hues, 3, 0x0000C0), 1);
    EXPECT_EQ(palette_nearest_index(hues, 3, 0x000080), 2);
}

TEST(RasterImage, FillWithAColourWordStoresTheNearestIndex) {
    ImagePtr img(image_create_ex(4, 2, 1, 8, nullptr));
    const uint32_t colours[3] = {0x000000, 0x00FF00, 0xFF0000};
    PalettePtr pal(palette_create(3, colours));
    img->palette = pal.get();
    DCPtr dc(image_dc_create(img.get()));
    RasterFill fill{0, 0x10E010, 0, 0, 0, 0, 0, nullptr};
    image_dc_blit(dc.get(), 1, 0, 2, 2, &fill, 0, 0, 0xC0000003u);
    EXPECT_EQ(decode_pixel(img.get(), 0, 0), 0u);
    EXPECT_EQ(decode_pixel(img.get(), 1, 1), 1u);
    EXPECT_EQ(decode_pixel(img.get(), 2, 0), 1u);
    EXPECT_EQ(decode_pixel(img.get(), 3, 1), 0u);
}

TEST(RasterImage, ConvertingBlitsBetweenFormats) {
    // 8-bit with a palette into 24-bit: palette colours as blue, green, red.
    ImagePtr i8(image_create_ex(3, 1, 1, 8, nullptr)), i24(image_create_ex(3, 1, 1, 24, nullptr));
    const uint32_t colours[3] = {0x112233, 0x445566, 0x778899};
    PalettePtr pal(palette_create(3, colours));
    i8->palette = pal.get();
    DCPtr d8(image_dc_create(i8.get())), d24(image_dc_create(i24.get()));
    const uint8_t idx[3] = {2, 0, 1};
    d8->write_row(d8.get(), 0, 0, 3, idx, 3, kRopBytes | 3);
    image_dc_blit(d24.get(), 0, 0, 3, 1, d8.get(), 0, 0, 3);
    EXPECT_EQ(decode_pixel(i24.get(), 0, 0), 0x998877u);
    EXPECT_EQ(decode_pixel(i24.get(), 1, 0), 0x332211u);
    // And back: the nearest palette index of each colour.
    std::memset(i8->pixels, 0, 3);
    image_dc_blit(d8.get(), 0, 0, 3, 1, d24.get(), 0, 0, 3);
    EXPECT_EQ(decode_pixel(i8.get(), 0, 0), 2u);
    EXPECT_EQ(decode_pixel(i8.get(), 2, 0), 1u);
}

TEST(RasterImage, PaletteTranslationStaysInsideAShortPalette) {
    // An 8-bit source whose palette has 2 entries translated into a 4-bit
    // image: the index map is written for 2 entries only (the sanitizer build
    // catches more), and indices beyond the palette come out as black.
    ImagePtr src(image_create_ex(3, 1, 1, 8, nullptr)), dst(image_create_ex(3, 1, 1, 4, nullptr));
    const uint32_t two[2] = {0x0000FF, 0x00FF00};
    const uint32_t sixteen[16] = {0x000000, 0x00FF00, 0x0000FF};
    PalettePtr sp(palette_create(2, two)), dp(palette_create(16, sixteen));
    src->palette = sp.get();
    dst->palette = dp.get();
    DCPtr ds(image_dc_create(src.get())), dd(image_dc_create(dst.get()));
    const uint8_t idx[3] = {0, 1, 200};
    ds->write_row(ds.get(), 0, 0, 3, idx, 3, kRopBytes | 3);
    image_dc_blit(dd.get(), 0, 0, 3, 1, ds.get(), 0, 0, kRopColourWords | 3);
    EXPECT_EQ(decode_pixel(dst.get(), 0, 0), 2u);
    EXPECT_EQ(decode_pixel(dst.get(), 1, 0), 1u);
    EXPECT_EQ(decode_pixel(dst.get(), 2, 0), 0u);
    EXPECT_EQ(sp->index_map[0], 2);
    EXPECT_EQ(sp->index_map[1], 1);
}

TEST(RasterImage, EmptyBlitsDrawNothing) {
    ImagePtr a(image_create_ex(4, 4, 1, 8, nullptr)), b(image_create_ex(4, 4, 1, 8, nullptr));
    std::memset(b->pixels, 9, 16);
    DCPtr da(image_dc_create(a.get())), db(image_dc_create(b.get()));
    image_dc_blit(da.get(), 0, 0, 0, 4, db.get(), 0, 0, 3);
    image_dc_blit(da.get(), 10, 0, 4, 4, db.get(), 0, 0, 3);
    image_dc_blit(da.get(), 0, 0, 4, 4, db.get(), -4, 0, 3);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(a->pixels[i], 0);
}

}  // namespace

namespace {

TEST(RasterImage, SizesPastThe32BitRangeClipWithoutWrapping) {
    // A pair whose moves leave the 32-bit range is empty, not a wrapped
    // rectangle of the right size in the wrong place.
    RasterRect d{0, 0, INT32_MAX - 1, 0}, s{INT32_MIN, 0, -2, 0};
    const RasterRect bounds{0, 0, 99, 3};
    EXPECT_EQ(rect_clip_pair(&d, &bounds, &s, &bounds), 0);
    RasterRect r;
    rect_from_xywh(&r, 5, -3, INT32_MAX, INT32_MAX);
    EXPECT_EQ(r.x1, INT32_MAX);
    EXPECT_EQ(r.y1, INT32_MAX - 4);

    ImagePtr i8(image_create_ex(8, 2, 1, 8, nullptr)), i24(image_create_ex(8, 2, 1, 24, nullptr));
    DCPtr d8(image_dc_create(i8.get())), d24(image_dc_create(i24.get()));
    for (int x = 0; x < 8; ++x) i8->pixels[x] = static_cast<uint8_t>(x + 1);
    std::memset(i24->pixels, 0x33, 48);
    // Source wholly left of the image, reached only through a wrapped size.
    image_dc_blit(d8.get(), 0, 1, INT32_MAX, 1, d24.get(), INT32_MIN, 0, 3);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(decode_pixel(i8.get(), x, 1), 0u) << x;
    // A size reaching past the range copies and fills the visible part.
    image_dc_blit(d8.get(), 3, 1, INT32_MAX, 1, d8.get(), 0, 0, 3);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(decode_pixel(i8.get(), x, 1), x < 3 ? 0u : uint32_t(x - 2)) << x;
    RasterFill fill{0, 9, 0, 0, 0, 0, 0, nullptr};
    image_dc_blit(d8.get(), 6, 0, INT32_MAX, INT32_MAX, &fill, 0, 0, kRopFill | 3);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(decode_pixel(i8.get(), x, 0), x < 6 ? uint32_t(x + 1) : 9u) << x;
}

TEST(RasterImage, TwoContextsOnOneImageBlitLikeOne) {
    // Shifting rows down through a second context on the same image, also
    // with colour words, must not copy the rows it has already moved.
    for (uint32_t op : {3u, kRopColourWords | 3u}) {
        ImagePtr img(image_create_ex(4, 4, 1, 8, nullptr));
        for (int i = 0; i < 16; ++i) img->pixels[i] = static_cast<uint8_t>(i);
        DCPtr a(image_dc_create(img.get())), b(image_dc_create(img.get()));
        image_dc_blit(a.get(), 1, 1, 4, 3, b.get(), 0, 0, op);
        const uint8_t want[16] = {0, 1, 2, 3, 4, 0, 1, 2, 8, 4, 5, 6, 12, 8, 9, 10};
        EXPECT_EQ(0, std::memcmp(img->pixels, want, 16)) << op;
    }
}

}  // namespace
