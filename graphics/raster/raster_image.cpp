// Raster records: image geometry and the segment list, images, palettes and
// contexts (creation, checks, release), rectangles and colour conversions.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "graphics/raster/raster.h"
#include "graphics/raster/raster_device.h"
#include "model/math/result.h"

namespace {

// Largest pixel buffer accepted: far beyond any real image, small enough that
// every byte offset and product of the routines fits in 64 bits.
constexpr int64_t kMaxImageBytes = int64_t{1} << 40;

bool image_ok(const RasterImage* image) {
    return image && image->magic == kRasterImageMagic;
}

RasterSegment* new_entry(RasterImage* image, RasterRect rect, size_t offset, int number) {
    RasterSegment* e = new (std::nothrow) RasterSegment{};
    if (!e) return nullptr;
    e->rect = rect;
    e->offset = offset;
    e->number = number;
    e->stride = image->stride;
    e->buffer = image->pixels;
    return e;
}

void free_segments(RasterSegment* head) {
    RasterSegment* e = head;
    while (e) {
        RasterSegment* next = e->next;
        delete e;
        e = next;
    }
}

// Builds the whole-image entry and one entry per run of whole rows of each
// buffer segment, plus one entry for each part of a row cut by a segment
// boundary. Planar images are cut along the rows of one plane.
bool build_segments(RasterImage* image, size_t segment_bytes) {
    const int d = image->bits == 15 ? 16 : image->bits;
    const int64_t stride = image->stride;
    const int64_t total = stride * image->height;
    auto column = [&](int64_t byte_in_row) {
        return static_cast<int32_t>(std::min<int64_t>(byte_in_row * 8 / d, image->width));
    };
    std::vector<RasterSegment*> body;
    RasterSegment* head = new_entry(image, {0, 0, image->width - 1, image->height - 1}, 0, 0);
    if (!head) return false;
    bool ok = true;
    auto add = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1, int64_t offset, int number) {
        if (!ok || x0 > x1 || y0 > y1) return;
        RasterSegment* e = new_entry(image, {x0, y0, x1, y1}, static_cast<size_t>(offset), number);
        if (!e) {
            ok = false;
            return;
        }
        try {
            body.push_back(e);
        } catch (const std::bad_alloc&) {
            delete e;
            ok = false;
        }
    };
    int number = 0;
    for (int64_t offset = 0; offset < total && ok; offset += static_cast<int64_t>(segment_bytes), ++number) {
        const int64_t end = std::min<int64_t>(total, offset + static_cast<int64_t>(segment_bytes));
        const int64_t first_row = offset / stride, first_off = offset % stride;
        const int64_t last_row = (end - 1) / stride, end_off = end % stride;
        if (first_row == last_row && (first_off != 0 || end_off != 0)) {
            // The segment lies within one row.
            add(column(first_off), static_cast<int32_t>(first_row),
                (end_off ? column(end_off) : image->width) - 1, static_cast<int32_t>(first_row),
                offset, number);
            continue;
        }
        int64_t full_first = first_row, full_last = last_row;
        if (first_off != 0) {
            add(column(first_off), static_cast<int32_t>(first_row), image->width - 1,
                static_cast<int32_t>(first_row), offset, number);
            ++full_first;
        }
        if (end_off != 0) --full_last;
        if (full_first <= full_last)
            add(0, static_cast<int32_t>(full_first), image->width - 1, static_cast<int32_t>(full_last),
                offset, number);
        if (end_off != 0)
            add(0, static_cast<int32_t>(last_row), column(end_off) - 1, static_cast<int32_t>(last_row),
                offset, number);
    }
    // Bands of entries sharing a top row, in creation order.
    std::vector<std::pair<size_t, size_t>> bands;
    try {
        for (size_t i = 0; i < body.size() && ok; ++i) {
            if (bands.empty() || body[bands.back().first]->rect.y0 != body[i]->rect.y0)
                bands.push_back({i, i});
            bands.back().second = i;
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        for (RasterSegment* e : body) delete e;
        delete head;
        return false;
    }
    // Forward links (creation order) and the reverse walk.
    RasterSegment* prev = head;
    for (RasterSegment* e : body) {
        prev->next = e;
        e->prev = prev;
        prev = e;
    }
    head->prev = body.empty() ? head : body.back();
    // Right to left: bands forward, entries of a band reversed.
    RasterSegment** link = &head->next_rev_x;
    for (auto [a, b] : bands)
        for (size_t i = b + 1; i-- > a;) {
            *link = body[i];
            link = &body[i]->next_rev_x;
        }
    // Bottom to top: bands reversed, entries of a band forward.
    link = &head->next_rev_y;
    for (size_t k = bands.size(); k-- > 0;)
        for (size_t i = bands[k].first; i <= bands[k].second; ++i) {
            *link = body[i];
            link = &body[i]->next_rev_y;
        }
    image->segments = head;
    return true;
}

RasterImage* create(int width, int height, int planes, int bits, const void* initial, void* buffer,
                    size_t segment_bytes) {
    int32_t stride = 0;
    int64_t rows = 0;
    if (segment_bytes == 0 || image_geometry(width, height, planes, bits, &stride, &rows) != 0)
        return nullptr;
    const size_t bytes = static_cast<size_t>(int64_t{stride} * rows);
    RasterImage* image = new (std::nothrow) RasterImage{};
    if (!image) return nullptr;
    image->colour = bits == 1 ? 0 : 1;
    image->width = width;
    image->height = height;
    image->planes = planes;
    image->bits = bits;
    image->stride = stride;
    image->row_scratch = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(width), 4));
    image->pixels = buffer ? static_cast<uint8_t*>(buffer) : static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (!image->row_scratch || !image->pixels || !build_segments(image, segment_bytes)) {
        std::free(image->row_scratch);
        if (!buffer) std::free(image->pixels);
        delete image;
        return nullptr;
    }
    if (initial && !buffer) std::memcpy(image->pixels, initial, bytes);
    image->magic = kRasterImageMagic;
    return image;
}

}  // namespace

int image_geometry(int width, int height, int planes, int bits, int32_t* stride, int64_t* stored_rows) {
    if (width < 1 || height < 1 || planes < 1) return kBadArgument;
    int64_t s;
    if (planes > 1) {
        // One bit per plane; at most 8 planes so an index fits in a byte.
        if (bits != 1 || planes > 8) return kBadArgument;
        s = (int64_t{width} + 7) >> 3;
    } else {
        switch (bits) {
        case 1: s = (int64_t{width} + 7) >> 3; break;
        case 2: s = (int64_t{width} + 3) >> 2; break;
        case 4: s = (int64_t{width} + 1) >> 1; break;
        case 8: s = width; break;
        case 15:
        case 16: s = 2 * int64_t{width}; break;
        case 24: s = 3 * int64_t{width}; break;
        default: return kBadArgument;
        }
    }
    const int64_t rows = int64_t{planes} * height;
    if (s > INT32_MAX || s * rows > kMaxImageBytes) return kBadArgument;
    if (stride) *stride = static_cast<int32_t>(s);
    if (stored_rows) *stored_rows = rows;
    return 0;
}

int rect_overlap(const RasterRect* a, const RasterRect* b) {
    return a->x1 >= b->x0 && b->x1 >= a->x0 && b->y0 <= a->y1 && a->y0 <= b->y1;
}

int rect_intersect(RasterRect* out, const RasterRect* a, const RasterRect* b) {
    RasterRect r{std::max(a->x0, b->x0), std::max(a->y0, b->y0), std::min(a->x1, b->x1),
                 std::min(a->y1, b->y1)};
    *out = r;
    return r.x0 <= r.x1 && r.y0 <= r.y1;
}

void rect_from_xywh(RasterRect* out, int x, int y, int w, int h) {
    // An edge beyond the 32-bit range stops at its end instead of wrapping.
    out->x0 = x;
    out->y0 = y;
    out->x1 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x} + w - 1, INT32_MIN, INT32_MAX));
    out->y1 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{y} + h - 1, INT32_MIN, INT32_MAX));
}

int rect_clip_pair64(int64_t r1[4], const RasterRect* b1, int64_t r2[4], const RasterRect* b2) {
    // Edges 0..3 are x0, y0, x1, y1; every move is taken in 64 bits and
    // applied to both rectangles, so they stay the same size.
    const int64_t lo1[2] = {b1->x0, b1->y0}, hi1[2] = {b1->x1, b1->y1};
    const int64_t lo2[2] = {b2->x0, b2->y0}, hi2[2] = {b2->x1, b2->y1};
    for (int k = 0; k < 2; ++k)
        if (r1[k] < lo1[k]) r2[k] += lo1[k] - r1[k], r1[k] = lo1[k];
    for (int k = 0; k < 2; ++k)
        if (r2[k] < lo2[k]) r1[k] += lo2[k] - r2[k], r2[k] = lo2[k];
    for (int k = 0; k < 2; ++k)
        if (r1[k + 2] > hi1[k]) r2[k + 2] -= r1[k + 2] - hi1[k], r1[k + 2] = hi1[k];
    for (int k = 0; k < 2; ++k)
        if (r2[k + 2] > hi2[k]) r1[k + 2] -= r2[k + 2] - hi2[k], r2[k + 2] = hi2[k];
    return r1[0] <= r1[2] && r1[1] <= r1[3];
}

void rect_store64(RasterRect* out, const int64_t r[4]) {
    auto c = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    *out = {c(r[0]), c(r[1]), c(r[2]), c(r[3])};
}

int rect_clip_pair(RasterRect* r1, const RasterRect* b1, RasterRect* r2, const RasterRect* b2) {
    int64_t a[4] = {r1->x0, r1->y0, r1->x1, r1->y1}, b[4] = {r2->x0, r2->y0, r2->x1, r2->y1};
    const int visible = rect_clip_pair64(a, b1, b, b2);
    rect_store64(r1, a);
    rect_store64(r2, b);
    return visible;
}

uint32_t pixel_to_colour(const ImageDC* dc, uint32_t pixel) {
    if (!dc_ok(dc)) return 0;
    switch (dc->colours) {
    case 32768:
        return ((pixel >> 10) & 31) << 3 | (((pixel >> 5) & 31) << 3) << 8 | ((pixel & 31) << 3) << 16;
    case 65536:
        return ((pixel >> 11) & 31) << 3 | (((pixel >> 5) & 63) << 2) << 8 | ((pixel & 31) << 3) << 16;
    case 0x1000000u:
        return (pixel & 0xFF) << 16 | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
    default: {
        const RasterPalette* pal = dc->palette;
        if (palette_ok(pal) && pixel < static_cast<uint32_t>(pal->count)) return pal->entries[pixel];
        return pixel;
    }
    }
}

uint32_t colour_to_pixel(const ImageDC* dc, uint32_t colour) {
    if (!dc_ok(dc)) return 0;
    const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    switch (dc->colours) {
    case 32768: return (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    case 65536: return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    case 0x1000000u: return b | g << 8 | r << 16;
    default:
        if (palette_ok(dc->palette))
            return static_cast<uint32_t>(
                palette_nearest_index(dc->palette->entries, dc->palette->count, colour));
        return colour & 15;
    }
}

int palette_nearest_index(const uint32_t* entries, int count, uint32_t colour) {
    if (count < 1 || !entries) return 0;
    const int c0 = colour & 0xFF, c1 = (colour >> 8) & 0xFF, c2 = (colour >> 16) & 0xFF;
    const int m = std::min({c0, c1, c2});
    int best = 0;
    uint32_t best_distance = UINT32_MAX;
    for (int i = 0; i < count; ++i) {
        const uint32_t e = entries[i];
        const int e0 = e & 0xFF, e1 = (e >> 8) & 0xFF, e2 = (e >> 16) & 0xFF;
        const int me = std::min({e0, e1, e2});
        auto sq = [](int v) { return static_cast<uint32_t>(v * v); };
        const uint32_t distance = sq(e0 - me - (c0 - m)) + sq(e1 - me - (c1 - m)) +
                                  sq(e2 - me - (c2 - m)) + sq(e0 - c0) + sq(e1 - c1) + sq(e2 - c2);
        if (distance == 0) return i;
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return best;
}

RasterImage* image_create_ex(int width, int height, int planes, int bits, const void* initial) {
    return create(width, height, planes, bits, initial, nullptr, kRasterSegmentBytes);
}

RasterImage* image_create(int width, int height, int planes, int bits, const void* initial, int, int) {
    return create(width, height, planes, bits, initial, nullptr, kRasterSegmentBytes);
}

RasterImage* image_create_on_buffer(int width, int height, int planes, int bits, void* buffer) {
    if (!buffer) return nullptr;
    return create(width, height, planes, bits, nullptr, buffer, kRasterSegmentBytes);
}

RasterImage* image_create_segmented(int width, int height, int planes, int bits, const void* initial,
                                    size_t segment_bytes) {
    return create(width, height, planes, bits, initial, nullptr, segment_bytes);
}

void image_free(RasterImage* image) {
    if (!image_ok(image)) return;
    image->magic = 0;
    std::free(image->row_scratch);
    free_segments(image->segments);
    std::free(image->pixels);
    std::memset(static_cast<void*>(image), 0, sizeof *image);
    delete image;
}

uint8_t* image_pixels(const RasterImage* image, size_t* bytes) {
    if (!image_ok(image)) {
        if (bytes) *bytes = 0;
        return nullptr;
    }
    if (bytes) *bytes = static_cast<size_t>(int64_t{image->stride} * image->planes * image->height);
    return image->pixels;
}

ImageDC* image_dc_create(RasterImage* image) {
    if (!image_ok(image)) return nullptr;
    ImageDC* dc = new (std::nothrow) ImageDC{};
    if (!dc) return nullptr;
    dc->width = image->width;
    dc->height = image->height;
    dc->palette = image->palette;
    dc->colours = image->bits == 1 ? 1u << image->planes : 1u << image->bits;
    dc->row_scratch = image->row_scratch;
    dc->planes = image->planes;
    dc->bits = image->bits;
    dc->image = image;
    dc->segments = image->segments;
    switch (image->bits) {
    case 1: install_planar(dc); break;
    case 2:
    case 4: install_subbyte(dc); break;
    default: install_packed(dc); break;
    }
    dc->magic = kImageDCMagic;
    return dc;
}

void image_dc_free(ImageDC* dc) {
    if (!dc_ok(dc)) return;
    dc->magic = 0;
    std::memset(static_cast<void*>(dc), 0, sizeof *dc);
    delete dc;
}

RasterPalette* palette_create(int count, const uint32_t* colours) {
    if (count < 1 || count > 256) return nullptr;
    RasterPalette* pal = new (std::nothrow) RasterPalette{};
    if (!pal) return nullptr;
    pal->count = count;
    pal->entries = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(count), 4));
    pal->index_map = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(count), 1));
    if (!pal->entries || !pal->index_map) {
        std::free(pal->entries);
        std::free(pal->index_map);
        delete pal;
        return nullptr;
    }
    if (colours) std::memcpy(pal->entries, colours, static_cast<size_t>(count) * 4);
    pal->magic = kRasterPaletteMagic;
    return pal;
}

void palette_free(RasterPalette* pal) {
    if (!palette_ok(pal)) return;
    pal->magic = 0;
    std::memset(pal->entries, 0, static_cast<size_t>(pal->count) * 4);
    std::memset(pal->index_map, 0, static_cast<size_t>(pal->count));
    std::free(pal->entries);
    std::free(pal->index_map);
    std::memset(static_cast<void*>(pal), 0, sizeof *pal);
    delete pal;
}
