// Test-only writer of the older unchunked layouts (see old_writer.h).
#include "old_writer.h"

#include <cstring>

#include "model/font/strokefont.h"
#include "model/lzw/lzw.h"

namespace {

class Writer {
  public:
    Writer(const OldSample& s) : s_(s), v_(s.version) {}

    Bytes file() {
        w_.i32(1).i32(v_);
        body_start_ = w_.b.size();
        if (s_.as_block) {
            if (v_ < 103) w_.i32(0).i32(0).i32(0).i32(0);
            styles();
            w_.f32(1).f32(2).f32(3);  // base point
            groups(true, true);
        } else {
            styles();
            w_.i32(2);
            layer_name("default");
            groups(true, true);
            layer_name("LayerNameFull16!");
            // A layer with one line only.
            w_.i32(1);
            line(7);
            for (int k : {3, 4, 7, 1, 5}) (void)k, w_.i32(0);
            if (v_ >= 103) w_.i32(0);
            if (v_ >= 104) w_.i32(0).i32(0);
            if (v_ < 103) w_.i32(0);
            w_.i32(0);
        }
        return w_.b;
    }
    size_t body_start() const { return body_start_; }

  private:
    void str(const std::string& t) { w_.old_str(t); }
    void real(double d) {
        if (v_ >= 110)
            w_.f64(d);
        else
            w_.f32(static_cast<float>(d));
    }
    void layer_name(const char* name) {
        char field[16] = {};
        std::memcpy(field, name, std::min<size_t>(16, std::strlen(name)));
        for (char c : field) w_.u8(static_cast<uint8_t>(c));
    }

    void styles() {
        if (v_ < 103) return;
        w_.i32(4);
        w_.i32(s_.first_style_kind);
        str("Dash");
        w_.i32(2);
        real(0.5);
        real(0.25);
        w_.i32(1);
        str("Hat");
        w_.i32(1).f64(0.5).f64(0).f64(0).f64(0).f64(0.5).i32(0);
        w_.i32(3);
        str("Img");
        w_.i32(1).i32(1).u8(10).u8(20).u8(30);
        w_.i32(2);
        str("Mono");
        (void)font_write(font_builtin(1), &w_, [](void* h, const void* buf, size_t n) {
            auto* out = static_cast<ByteWriter*>(h);
            const auto* p = static_cast<const uint8_t*>(buf);
            out->b.insert(out->b.end(), p, p + n);
            return 0;
        });
    }

    void common(int32_t kind, int32_t colour, bool mesh = false) {
        if (v_ < 103) return;
        w_.i32(kind);
        if (v_ >= 104) {  // the box, two float corners and a third pair
            for (float f : {1.0f, 2.0f, 0.0f, 11.0f, 4.0f, 0.0f}) {
                int32_t bits;
                std::memcpy(&bits, &f, sizeof bits);
                w_.i32(bits);
            }
        }
        w_.i32(8192);  // width 0.5
        w_.i32(colour);
        real(0.125);  // resolution
        str(kind == 0 ? "Dash" : "");
        w_.i32(100 + kind);  // file id
        w_.i32(0);           // no display strokes
        if (v_ >= 106) {
            if (mesh)
                material();
            else
                w_.i32(0);
        }
    }
    void material() {
        w_.i32(1);
        w_.f32(2).f32(3);
        w_.i32(1 | 4);  // a quarter turn, mirrored in u
        w_.i32(40);
        w_.i32(50);
        if (v_ >= 109) w_.i32(10).i32(20).i32(30).i32(40).i32(50);
        str("Img");
    }
    void end(bool long_end = false) {
        if (v_ < 103) return;
        if (long_end) {
            w_.i32(0).i32(0).i32(153);
            for (int i = 0; i < 6; ++i) w_.i32(i);
        } else {
            w_.i32(0).i32(0).i32(0);
        }
    }
    void tail(int32_t colour) {
        w_.i32(4);  // width flag
        w_.i32(colour);
    }

    void line(int32_t colour) {
        common(0, colour);
        w_.point(0, 0, 0).point(4, 0, 0);
        w_.i32(1).point(0, 0, 0).point(4, 0, 0);
        tail(colour);
        end();
    }
    void circle() {
        common(3, 1);
        w_.point(1, 2, 0).f32(2);
        if (v_ < 103) {
            w_.i32(0);
            tail(1);
        }
        end(true);
    }
    void arc3() {
        common(4, 1);
        w_.point(1, 0, 0).point(0, 1, 0).point(-1, 0, 0);
        if (v_ < 103) {
            w_.i32(0);
            tail(1);
        }
        end();
    }
    void ellipse() {
        common(7, 1);
        w_.point(10, 0, 0).point(14, 0, 0).point(10, 1, 0);
        end();
    }
    void polyline() {
        common(v_ >= 103 ? s_.polyline_kind : 1, 2);
        w_.i32(3).point(0, 0, 0).point(0, 3, 0).point(3, 3, 0);
        if (v_ < 103) {
            w_.i32(0);
            w_.i32(2);  // kind word
            tail(2);
        }
        end();
    }
    void text() {
        common(5, 5);
        if (s_.text_length == -2)
            str("Hello");
        else
            w_.i32(s_.text_length);
        if (v_ < 103) w_.i32(0);
        w_.point(1, 1, 0);
        real(1);
        real(1);
        real(0);
        real(0);
        if (v_ >= 103) {
            real(0);
            real(0);
            w_.i32(0);
            str("Mono");
        } else {
            w_.i32(5);
        }
        end();
    }
    void arc9() {
        common(9, 1);
        w_.point(0, 0, 0).point(2, 0, 0).point(0, 2, 0).f64(0).f64(1.5).varint(1);
        end();
    }
    void mesh() {
        common(6, 6, true);
        if (v_ >= 105) w_.i32(2).i32(0).i32(0);
        // The square: four vertices, four edges, one four-sided face.
        w_.i32(4).point(0, 0, 0).point(1, 0, 0).point(1, 1, 0).point(0, 1, 0);
        w_.i32(4);
        const int32_t ends[4][2] = {{s_.first_edge_vertex, 1}, {1, 2}, {2, 3}, {3, 0}};
        for (const auto& e : ends) {
            w_.i32(e[0]).i32(e[1]);
            if (v_ >= 111) w_.i32(0);
        }
        w_.i32(1).i32(4).i32(0).i32(1).i32(2).i32(3);
        if (v_ >= 105) {
            // A grid of 2 x 1 cells, open both ways: 3 x 2 points.
            w_.i32(2).i32(1);
            w_.i32(6);
            for (int r = 0; r < 2; ++r)
                for (int c = 0; c < 3; ++c) w_.point(float(c), float(r), 0);
            w_.i32(0);                       // no edges
            w_.i32(1).i32(2).i32(7).i32(8);  // the list that is skipped
        }
        end();
    }
    void hatch() {
        common(8, 8);
        str("Hat");
        w_.i32(1).i32(4).point(0, 0, 0).point(5, 0, 0).point(5, 5, 0).point(0, 5, 0);
        w_.i32(0).i32(0).i32(0);
        w_.f64(1).f64(0);
        end();
    }
    void group() {
        common(16, 9);
        groups(false, false);
        end();
    }

    void groups(bool with_groups, bool full) {
        w_.i32(full ? 1 : 1);
        line(3);
        w_.i32(full ? 1 : 0);
        if (full) circle();
        w_.i32(full ? 1 : 0);
        if (full) arc3();
        w_.i32(full ? 1 : 0);
        if (full) ellipse();
        w_.i32(full ? 1 : 0);
        if (full) polyline();
        w_.i32(full ? 1 : 0);
        if (full) text();
        if (v_ >= 103) {
            w_.i32(full ? 1 : 0);
            if (full) arc9();
        }
        if (v_ >= 104) {
            w_.i32(full ? 1 : 0);
            if (full) mesh();
            w_.i32(full ? s_.hatch_word : 0);
            if (full && s_.hatch_word == 1) {
                w_.i32(1);
                hatch();
            }
        }
        if (with_groups) {
            if (v_ < 103) w_.i32(0);
            w_.i32(1);
            group();
        }
    }

    const OldSample& s_;
    int v_;
    ByteWriter w_;
    size_t body_start_ = 0;
};

int collect(uint8_t* buffer, int count, int, void* context) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), buffer, buffer + count);
    return count;
}

}  // namespace

Bytes lzw_encode(const Bytes& plain) {
    Bytes out;
    LzwCoder* c = lzw_create(&collect, &out, 9, 12, kLzwEncode, 0, 0);
    if (!plain.empty()) lzw_write(c, plain.data(), plain.size());
    lzw_close(c);
    return out;
}

Bytes old_sample_file(const OldSample& sample) {
    Writer w(sample);
    Bytes bytes = w.file();
    if (sample.version < 107) return bytes;
    const Bytes body(bytes.begin() + 8, bytes.end());
    Bytes coded(bytes.begin(), bytes.begin() + 8);
    const Bytes packed = lzw_encode(body);
    coded.insert(coded.end(), packed.begin(), packed.end());
    return coded;
}
