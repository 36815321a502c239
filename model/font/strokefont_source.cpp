// Compiler of stroke-font text sources: line and value scanning, the pen
// commands of a glyph definition (vectors, moves, scale, stack, octant and
// bulge arcs, subshapes), normalisation into signed 4-byte strokes and the
// font-wide advance widths and sizes.
#include "model/font/strokefont_source.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/safe_file.h"

namespace {

constexpr int kMaxStack = 7;
// Every glyph on a chain of subshapes being defined is in progress, so a
// chain without a cycle is at most as deep as there are glyph codes.
constexpr int kMaxSubshapeDepth = 255;
constexpr int64_t kMaxCoordinate = 255;  // an end beyond this is too large
constexpr int64_t kMaxExtent = 127;      // the largest signed stroke byte
constexpr int kMaxArcStepsPerOctant = 64;
constexpr int kMaxBulgeSteps = 1024;

struct FontFree {
    void operator()(StrokeFont* f) const { font_free(&f); }
};
using FontOwner = std::unique_ptr<StrokeFont, FontFree>;

struct Stroke {
    int64_t x1, y1, x2, y2;
};

// Vertices of the ring outlines of small full circles, counter-clockwise.
struct Ring {
    int squares[4];
    int count;
    int v[16][2];
};
constexpr Ring kRings[10] = {
    {{1}, 4, {{1, 0}, {0, 1}, {-1, 0}, {0, -1}}},
    {{2}, 4, {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}}},
    {{4, 5}, 8, {{2, 1}, {1, 2}, {-1, 2}, {-2, 1}, {-2, -1}, {-1, -2}, {1, -2}, {2, -1}}},
    {{8, 9}, 8, {{3, 0}, {2, 2}, {0, 3}, {-2, 2}, {-3, 0}, {-2, -2}, {0, -3}, {2, -2}}},
    {{10}, 8, {{3, 1}, {1, 3}, {-1, 3}, {-3, 1}, {-3, -1}, {-1, -3}, {1, -3}, {3, -1}}},
    {{13, 16, 17, 18},
     12,
     {{4, 1}, {3, 3}, {1, 4}, {-1, 4}, {-3, 3}, {-4, 1}, {-4, -1}, {-3, -3}, {-1, -4}, {1, -4}, {3, -3}, {4, -1}}},
    {{20}, 8, {{4, 2}, {2, 4}, {-2, 4}, {-4, 2}, {-4, -2}, {-2, -4}, {2, -4}, {4, -2}}},
    {{25, 26, 29},
     16,
     {{5, 1}, {4, 3}, {3, 4}, {1, 5}, {-1, 5}, {-3, 4}, {-4, 3}, {-5, 1}, {-5, -1}, {-4, -3}, {-3, -4}, {-1, -5},
      {1, -5}, {3, -4}, {4, -3}, {5, -1}}},
    {{34, 36, 37},
     16,
     {{6, 1}, {5, 3}, {3, 5}, {1, 6}, {-1, 6}, {-3, 5}, {-5, 3}, {-6, 1}, {-6, -1}, {-5, -3}, {-3, -5}, {-1, -6},
      {1, -6}, {3, -5}, {5, -3}, {6, -1}}},
    {{40, 41},
     16,
     {{6, 2}, {5, 4}, {4, 5}, {2, 6}, {-2, 6}, {-4, 5}, {-5, 4}, {-6, 2}, {-6, -2}, {-5, -4}, {-4, -5}, {-2, -6},
      {2, -6}, {4, -5}, {5, -4}, {6, -2}}},
};

const Ring* ring_for(int64_t square) {
    for (const Ring& r : kRings)
        for (int s : r.squares)
            if (s != 0 && s == square) return &r;
    return nullptr;
}

// The sixteen standard directions, x and y in half units.
constexpr int kDirections[16][2] = {{2, 0},  {2, 1},   {2, 2},   {1, 2},  {0, 2},  {-1, 2}, {-2, 2}, {-2, 1},
                                    {-2, 0}, {-2, -1}, {-2, -2}, {-1, -2}, {0, -2}, {1, -2}, {2, -2}, {2, -1}};

class SourceParser {
public:
    SourceParser(const char* text, size_t size) : text_(text), size_(size) {}

    int run(StrokeFont** out) {
        if (size_ == 0) return kBadArgument;
        font_.reset(font_new());
        if (!font_) return kOutOfMemory;
        try {
            for (;;) {
                int rc = next_header();
                if (rc == 1) break;
                if (rc == 0) rc = definition();
                if (rc != 0) return rc;
            }
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        finish();
        *out = font_.release();
        return 0;
    }

private:
    // ---- lines and values ----

    // Reads the next line; false at the end of the text. A line ends at a
    // line feed, a carriage return (with the line feed after it) or a zero byte.
    bool next_line() {
        if (pos_ >= size_) return false;
        line_start_ = pos_;
        size_t end = pos_;
        while (end < size_ && text_[end] != '\n' && text_[end] != '\r' && text_[end] != '\0') ++end;
        line_.assign(text_ + pos_, end - pos_);
        pos_ = end;
        if (pos_ < size_) {
            const char term = text_[pos_++];
            if (term == '\r' && pos_ < size_ && text_[pos_] == '\n') ++pos_;
        }
        col_ = 0;
        return true;
    }

    static int64_t token_value(std::string_view t) {
        if (t == "Degree_Sign") return 127;
        if (t == "Plus_Or_Minus_Sign") return 128;
        if (t == "Diameter_Symbol") return 129;
        size_t i = 0;
        bool negative = false;
        if (i < t.size() && t[i] == '-') {
            negative = true;
            ++i;
        }
        const int64_t base = (i < t.size() && t[i] == '0') ? 16 : 10;
        int64_t v = 0;
        for (; i < t.size(); ++i) {
            const char c = t[i];
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else break;
            v = std::min<int64_t>(v * base + d, int64_t{1} << 40);  // far beyond every valid value
        }
        return negative ? -v : v;
    }

    // Scans one value, reading further lines as needed. 0 or 13.
    int value(int64_t* out) {
        for (;;) {
            while (col_ < line_.size() && static_cast<unsigned char>(line_[col_]) < '0' && line_[col_] != '-') ++col_;
            if (col_ < line_.size()) break;
            if (!next_line()) return kBadArgument;
        }
        const size_t start = col_;
        if (line_[col_] == '-') ++col_;
        while (col_ < line_.size() && static_cast<unsigned char>(line_[col_]) >= '0') ++col_;
        const std::string_view token(line_.data() + start, col_ - start);
        while (col_ < line_.size() && static_cast<unsigned char>(line_[col_]) < '-') ++col_;
        if (token.empty() || token == "-") return kBadArgument;
        *out = token_value(token);
        ++g_.values_read;
        return 0;
    }

    // Reads the next header line, skipping blank lines: 0 found, 1 end of
    // text, 13 a line that is not a header.
    int next_header() {
        for (;;) {
            if (!next_line()) return 1;
            if (line_.find_first_not_of(" \t\x1a") == std::string::npos) continue;
            return line_[0] == '*' ? 0 : kBadArgument;
        }
    }

    // ---- definitions ----

    struct GlyphState {
        int code = 0;
        int64_t count = 0, values_read = 0;
        int64_t x = 0, y = 0;
        bool down = true;
        double scale = 1.0;
        std::vector<Stroke> strokes;
        int64_t min_x = 0, min_y = 0, max_x = 0, max_y = 0;
        int64_t stack[kMaxStack][2] = {};
        int depth = 0;
    };

    struct Shape {
        bool defined = false;
        bool in_progress = false;
        std::vector<Stroke> strokes;  // in design units, before normalising
        int64_t end_x = 0, end_y = 0;
    };

    // Parses the definition whose header line is the current line.
    int definition() {
        g_ = GlyphState{};
        col_ = 1;
        int64_t code = 0, count = 0;
        int rc = value(&code);
        if (rc == 0) rc = value(&count);
        if (rc != 0) return rc;
        if (code < 0 || code > 255 || count < 0 || count > 1000) return kBadArgument;
        col_ = line_.size();  // the rest of the header line (a name) is ignored
        g_.code = static_cast<int>(code);
        g_.count = count;
        g_.values_read = 0;
        g_.x = start_x_;
        g_.y = start_y_;
        if (code == 0) return font_header();
        Shape& shape = shapes_[g_.code];
        shape.in_progress = true;
        rc = commands();
        shape.in_progress = false;
        if (rc != 0) return rc;
        return store();
    }

    int font_header() {
        if (g_.count < 3) return kBadArgument;
        int64_t above = 0, below = 0, mode = 0;
        int rc = value(&above);
        if (rc == 0) rc = value(&below);
        if (rc == 0) rc = value(&mode);
        if (rc != 0) return rc;
        start_y_ = mode == 1 ? above + below : below;
        const int64_t units = std::clamp<int64_t>(above + below, 1, 255);
        font_->design_width = static_cast<int32_t>(units);
        font_->design_height = static_cast<int32_t>(units);
        // Values beyond the three, up to the count or a 0, are ignored.
        while (g_.values_read < g_.count) {
            int64_t v = 0;
            if ((rc = value(&v)) != 0) return rc;
            if (v == 0) break;
        }
        shapes_[0].defined = true;
        return 0;
    }

    int commands() {
        while (g_.values_read < g_.count) {
            int64_t v = 0;
            int rc = value(&v);
            if (rc != 0) return rc;
            if (v == 0) break;
            if ((rc = command(v)) != 0) return rc;
        }
        return 0;
    }

    int operand(int64_t* v) {
        return value(v);
    }

    int command(int64_t v) {
        int rc = 0;
        int64_t a = 0, b = 0, c = 0;
        switch (v) {
        case 1: g_.down = true; return 0;
        case 2: g_.down = false; return 0;
        case 3:
        case 4:
            if ((rc = operand(&a)) != 0) return rc;
            if (a < 1) return kBadArgument;
            g_.scale = v == 3 ? g_.scale / static_cast<double>(a) : g_.scale * static_cast<double>(a);
            return 0;
        case 5:
            if (g_.depth >= kMaxStack) return kBadArgument;
            g_.stack[g_.depth][0] = g_.x;
            g_.stack[g_.depth][1] = g_.y;
            ++g_.depth;
            return 0;
        case 6:
            if (g_.depth == 0) {
                g_.x = g_.y = 0;
            } else {
                --g_.depth;
                g_.x = g_.stack[g_.depth][0];
                g_.y = g_.stack[g_.depth][1];
            }
            return 0;
        case 7:
            if ((rc = operand(&a)) != 0) return rc;
            if (a < 1 || a > 255) return kBadArgument;
            return subshape(static_cast<int>(a));
        case 8:
            if ((rc = operand(&a)) != 0 || (rc = operand(&b)) != 0) return rc;
            return move_by(scaled(a), scaled(b));
        case 9:
            for (;;) {
                if ((rc = operand(&a)) != 0 || (rc = operand(&b)) != 0) return rc;
                if (a == 0 && b == 0) return 0;
                if ((rc = move_by(scaled(a), scaled(b))) != 0) return rc;
            }
        case 10:
            if ((rc = operand(&a)) != 0 || (rc = operand(&b)) != 0) return rc;
            return octant_arc(a, b);
        case 11: return kBadArgument;
        case 12:
            if ((rc = operand(&a)) != 0 || (rc = operand(&b)) != 0 || (rc = operand(&c)) != 0) return rc;
            return bulge_arc(a, b, c);
        case 13:
            for (;;) {
                if ((rc = operand(&a)) != 0 || (rc = operand(&b)) != 0) return rc;
                if (a == 0 && b == 0) return 0;
                if ((rc = operand(&c)) != 0) return rc;
                if ((rc = bulge_arc(a, b, c)) != 0) return rc;
            }
        case 14: return skip_command();
        default: return vector(v);
        }
    }

    // Code 14: the next command is read and skipped with its operands.
    int skip_command() {
        int64_t v = 0, a = 0, b = 0;
        int rc = value(&v);
        if (rc != 0) return rc;
        switch (v) {
        case 0:
        case 1:
        case 2:
        case 7:
        case 9:
        case 11: return kBadArgument;
        case 3:
        case 4: return value(&a);
        case 8:
        case 10:
            if ((rc = value(&a)) != 0) return rc;
            return value(&b);
        case 12:
            for (int i = 0; i < 3 && rc == 0; ++i) rc = value(&a);
            return rc;
        case 13:
            for (;;) {
                if ((rc = value(&a)) != 0 || (rc = value(&b)) != 0) return rc;
                if (a == 0 && b == 0) return 0;
                if ((rc = value(&v)) != 0) return rc;
            }
        default:
            return v < 0 ? kBadArgument : 0;
        }
    }

    int64_t scaled(int64_t v) const {
        return round_int(static_cast<double>(v) * g_.scale);
    }

    int vector(int64_t v) {
        if (v < 0) return kBadArgument;
        const double length = static_cast<double>(v >> 4) * g_.scale / 2;
        const int* d = kDirections[v & 15];
        return move_to(round_int(static_cast<double>(g_.x) + d[0] * length),
                       round_int(static_cast<double>(g_.y) + d[1] * length));
    }

    int move_by(int64_t dx, int64_t dy) {
        return move_to(g_.x + dx, g_.y + dy);
    }

    int move_to(int64_t x, int64_t y) {
        if (g_.down) {
            const int rc = add_stroke({g_.x, g_.y, x, y});
            if (rc != 0) return rc;
        }
        g_.x = x;
        g_.y = y;
        return 0;
    }

    int add_stroke(const Stroke& s) {
        for (int64_t px : {s.x1, s.x2}) {
            if (px > kMaxCoordinate) return kFontSourceTooLarge;
            g_.min_x = std::min(g_.min_x, px);
            g_.max_x = std::max(g_.max_x, px);
        }
        for (int64_t py : {s.y1, s.y2}) {
            if (py > kMaxCoordinate) return kFontSourceTooLarge;
            g_.min_y = std::min(g_.min_y, py);
            g_.max_y = std::max(g_.max_y, py);
        }
        if (g_.max_x - g_.min_x > kMaxExtent || g_.max_y - g_.min_y > kMaxExtent) return kFontSourceTooLarge;
        if (g_.strokes.size() >= static_cast<size_t>(kFontMaxStrokes)) return kBadArgument;
        g_.strokes.push_back(s);
        return 0;
    }

    // Arc steps: a move of less than 2 in both x and y is skipped, except a
    // diagonal move of exactly one pixel.
    int arc_step(double x, double y) {
        const int64_t tx = round_int(x), ty = round_int(y);
        const int64_t dx = tx - g_.x, dy = ty - g_.y;
        if (dx > -2 && dx < 2 && dy > -2 && dy < 2 && !(std::llabs(dx) == 1 && std::llabs(dy) == 1)) return 0;
        return move_to(tx, ty);
    }

    int octant_arc(int64_t radius, int64_t v) {
        if (radius < 1 || radius > 255) return kBadArgument;
        const bool clockwise = v < 0;
        const int64_t m = std::llabs(v);
        const int64_t start = m / 16, octants = m % 16;
        if (start > 7 || octants > 7) return kBadArgument;
        const int64_t count = octants == 0 ? 8 : octants;
        const double r = static_cast<double>(radius) * g_.scale;
        const double a0 = static_cast<double>(start) * kPi / 4;
        const double cx = static_cast<double>(g_.x) - r * std::cos(a0);
        const double cy = static_cast<double>(g_.y) - r * std::sin(a0);
        if (count == 8) {
            if (const Ring* ring = ring_for(round_int(r * r))) {
                if (!g_.down) return 0;
                const int64_t rx = round_int(cx), ry = round_int(cy);
                for (int i = 0; i < ring->count; ++i) {
                    const int* p = ring->v[i];
                    const int* q = ring->v[(i + 1) % ring->count];
                    const int rc = add_stroke({rx + p[0], ry + p[1], rx + q[0], ry + q[1]});
                    if (rc != 0) return rc;
                }
                return 0;
            }
        }
        const int64_t n = std::clamp<int64_t>(round_int(std::sqrt(r)), 1, kMaxArcStepsPerOctant);
        const double step = (clockwise ? -1 : 1) * (kPi / 4) / static_cast<double>(n);
        for (int64_t i = 1; i <= count * n; ++i) {
            const double a = a0 + step * static_cast<double>(i);
            const int rc = arc_step(cx + r * std::cos(a), cy + r * std::sin(a));
            if (rc != 0) return rc;
        }
        return 0;
    }

    int bulge_arc(int64_t dx_in, int64_t dy_in, int64_t degrees) {
        const int64_t dx = scaled(dx_in), dy = scaled(dy_in);
        const int64_t ex = g_.x + dx, ey = g_.y + dy;
        if (degrees == 0) return move_to(ex, ey);
        if (degrees <= -360 || degrees >= 360) return kBadArgument;
        const double angle = static_cast<double>(degrees) * kPi / 180;
        const double chord = std::hypot(static_cast<double>(dx), static_cast<double>(dy));
        const double r = std::fabs(chord / 2 / std::sin(angle / 2));
        const double t = std::tan(kPi / 2 - angle / 2);
        const double cx = static_cast<double>(g_.x) + (static_cast<double>(dx) - static_cast<double>(dy) * t) / 2;
        const double cy = static_cast<double>(g_.y) + (t * static_cast<double>(dx) + static_cast<double>(dy)) / 2;
        const double a0 = std::atan2(static_cast<double>(g_.y) - cy, static_cast<double>(g_.x) - cx);
        const int64_t steps = std::clamp<int64_t>(std::llabs(round_int(std::sqrt(r) / (kPi / 4) * angle)), 1,
                                                  kMaxBulgeSteps);
        if (steps == 1) return move_to(ex, ey);
        for (int64_t i = 1; i < steps; ++i) {
            const double a = a0 + angle * static_cast<double>(i) / static_cast<double>(steps);
            const int rc = arc_step(cx + r * std::cos(a), cy + r * std::sin(a));
            if (rc != 0) return rc;
        }
        return move_to(ex, ey);
    }

    // Finds the header of glyph code at or after the current position and
    // parses it; the parser's place and glyph are restored afterwards.
    int define_ahead(int code) {
        if (searched_from_[code] != 0 && pos_ >= searched_from_[code] - 1) return 0;  // known absent
        const size_t saved_pos = pos_, saved_start = line_start_, saved_col = col_;
        const std::string saved_line = line_;
        const GlyphState saved_glyph = g_;
        int rc = 0;
        bool found = false;
        while (next_line()) {
            if (line_.empty() || line_[0] != '*') continue;
            // The code is the first value of the header line.
            size_t i = 1;
            while (i < line_.size() && static_cast<unsigned char>(line_[i]) < '0' && line_[i] != '-') ++i;
            size_t j = i;
            if (j < line_.size() && line_[j] == '-') ++j;
            while (j < line_.size() && static_cast<unsigned char>(line_[j]) >= '0') ++j;
            if (j == i || token_value(std::string_view(line_.data() + i, j - i)) != code) continue;
            found = true;
            rc = definition();
            break;
        }
        if (!found) searched_from_[code] = saved_pos + 1;
        pos_ = saved_pos;
        line_start_ = saved_start;
        line_ = saved_line;
        col_ = saved_col;
        g_ = saved_glyph;
        return rc;
    }

    int subshape(int code) {
        Shape& shape = shapes_[code];
        if (shape.in_progress) return kBadArgument;  // a glyph that calls itself
        if (!shape.defined) {
            if (++nesting_ > kMaxSubshapeDepth) return kBadArgument;
            const int rc = define_ahead(code);
            --nesting_;
            if (rc != 0) return rc;
            if (!shape.defined) return 0;  // never found: draws nothing
        }
        const int64_t sx = g_.x - start_x_, sy = g_.y - start_y_;
        for (const Stroke& s : shape.strokes) {
            const int rc = add_stroke({s.x1 + sx, s.y1 + sy, s.x2 + sx, s.y2 + sy});
            if (rc != 0) return rc;
        }
        g_.x += shape.end_x;
        g_.y += shape.end_y;
        return 0;
    }

    int store() {
        Shape& shape = shapes_[g_.code];
        shape.defined = true;
        shape.strokes = g_.strokes;
        shape.end_x = g_.x - start_x_;
        shape.end_y = g_.y - start_y_;
        FontGlyph& glyph = font_->glyphs[g_.code];
        if (g_.strokes.empty()) {
            (void)glyph_alloc(&glyph, 0);  // emptying a slot cannot fail
            font_->advance[g_.code] = 0;
            return 0;
        }
        const int rc = glyph_alloc(&glyph, static_cast<int>(g_.strokes.size()));
        if (rc != 0) return rc == kOutOfMemory ? kOutOfMemory : kBadArgument;
        for (size_t i = 0; i < g_.strokes.size(); ++i) {
            const Stroke& s = g_.strokes[i];
            glyph.strokes[i] = {static_cast<int8_t>(s.x1 - g_.min_x), static_cast<int8_t>(s.y1 - g_.min_y),
                                static_cast<int8_t>(s.x2 - g_.min_x), static_cast<int8_t>(s.y2 - g_.min_y)};
        }
        const int64_t w = g_.max_x - g_.min_x, h = g_.max_y - g_.min_y;
        const int32_t advance = static_cast<int32_t>(w + w / 10 + 1);
        font_->advance[g_.code] = advance;
        max_advance_ = std::max(max_advance_, advance);
        max_height_ = std::max(max_height_, static_cast<int32_t>(h));
        return 0;
    }

    void finish() {
        font_->advance[32] = font_->advance[65] * 3 / 4;
        // The units divide every scaled coordinate: a font without strokes
        // keeps those of its header (at least 1).
        if (max_advance_ > 0) font_->design_width = max_advance_;
        if (max_height_ > 0) font_->design_height = max_height_;
        font_reset_layout(font_.get());
    }

    const char* text_;
    size_t size_;
    size_t pos_ = 0, line_start_ = 0, col_ = 0;
    std::string line_;
    FontOwner font_;
    int64_t start_x_ = 0, start_y_ = 0;
    int32_t max_advance_ = 0, max_height_ = 0;
    int nesting_ = 0;
    GlyphState g_;
    Shape shapes_[256];
    size_t searched_from_[256] = {};
};

}  // namespace

int font_parse_text(const char* text, size_t size, StrokeFont** font) {
    if (!font || (!text && size)) return kBadArgument;
    if (size > kFontSourceMaxBytes) return kBadArgument;
    StrokeFont* made = nullptr;
    int rc;
    try {
        SourceParser parser(text, size);
        rc = parser.run(&made);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (rc != 0) return rc;
    font_free(font);
    *font = made;
    return 0;
}

int font_load_text(const char* path, StrokeFont** font) {
    if (!path || !font) return kBadArgument;
    int open_error = 0;
    std::FILE* file = safe_fopen_read(path, &open_error);
    if (!file) return open_error;
    std::vector<char> text;
    int rc = 0;
    try {
        char buffer[8192];
        for (;;) {
            const size_t got = std::fread(buffer, 1, sizeof buffer, file);
            text.insert(text.end(), buffer, buffer + got);
            if (text.size() > kFontSourceMaxBytes) {
                rc = kBadArgument;
                break;
            }
            if (got < sizeof buffer) {
                if (std::ferror(file)) rc = errno != 0 ? errno : EIO;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        rc = kOutOfMemory;
    }
    std::fclose(file);
    if (rc != 0) return rc;
    return font_parse_text(text.data(), text.size(), font);
}
