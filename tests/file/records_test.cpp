// Object records read from hand-made files: unknown and forbidden classes, rebuilt
// display geometry, style references by name, defaults, mesh grids, tracks, and
// counts that do not fit the file.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/file/save_context.h"
#include "model/geom/regen.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"
#include "model/mesh/mesh_block.h"

namespace {

Bytes chunk(uint32_t tag, const Bytes& content) {
    return ByteWriter().chunk(tag, content).b;
}
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes str_chunk(uint32_t tag, const std::string& s) {
    return chunk(tag, ByteWriter().str(s).b);
}
// An object record: chunk tag { chunk 127 { class name }, content }.
Bytes record(uint32_t tag, const std::string& cls, const Bytes& content) {
    return chunk(tag, cat({str_chunk(127, cls), content}));
}
// A whole current drawing file around the model's records.
Bytes drawing(const Bytes& records) {
    return ByteWriter().i32(1).i32(112).i32(0).chunk(1024, cat({chunk(125, {}), records})).b;
}
Bytes layer(const std::string& name, const Bytes& children) {
    return record(17, "LAYER", cat({str_chunk(1024, name), children}));
}
// `count` group records nested around `inner`, in one pass (nesting by calls would
// copy the bytes once per level). `current` gives current-layout records (class-name
// chunk), else the older layout's bare kind 16 records.
Bytes nest_groups(int count, const Bytes& inner, bool current) {
    const Bytes name = current ? str_chunk(127, "CONTAINER") : Bytes{};
    std::vector<uint32_t> content(count);  // of each level's group chunk, outermost first
    size_t size = inner.size();
    for (int i = count - 1; i >= 0; --i) {
        content[i] = static_cast<uint32_t>(size);
        size = 5 + name.size() + 5 + size;
    }
    ByteWriter w;
    for (int i = 0; i < count; ++i) {
        w.varint(16).i32(static_cast<int32_t>(name.size() + 5 + content[i])).raw(name);
        w.varint(16).i32(static_cast<int32_t>(content[i]));
    }
    return w.raw(inner).b;
}
Bytes points(std::initializer_list<Vec3> pts) {
    ByteWriter w;
    for (const Vec3& p : pts) w.point(p.x, p.y, p.z);
    return w.b;
}
Bytes polyline(const std::string& name, std::initializer_list<Vec3> pts) {
    return record(0, "XPLINE", cat({str_chunk(119, name), chunk(0, points(pts))}));
}

}  // namespace

class RecordTest : public FileTest {
  protected:
    void TearDown() override {
        model.reset();
        FileTest::TearDown();
    }
    // Writes the bytes and imports them into a fresh model; returns the code.
    int load(const Bytes& bytes) {
        write_bytes(path("in.qvm"), bytes);
        model = new_model();
        return drawing_file_import(path("in.qvm").c_str(), model.get());
    }
    // A mesh named `name` on a new layer of m.
    static MESH3* mesh_on_new_layer(MODEL* m, const char* name) {
        auto* l = rtc_make<LAYER>().release();
        EXPECT_EQ(container_insert(m, l), 0);
        auto* mesh = rtc_make<MESH3>().release();
        mesh->set_string(0, name);
        EXPECT_EQ(container_insert(l, mesh), 0);
        return mesh;
    }
    // Saves m into memory, reads that into `model` and saves it again: both saves must
    // give the same bytes.
    void expect_saved_the_same_twice(MODEL* m) {
        Bytes once, twice;
        ASSERT_EQ(drawing_file_save_memory(&once, m), 0);
        model = bare_model();
        ASSERT_EQ(drawing_file_import_memory(once.data(), once.size(), model.get()), 0);
        ASSERT_EQ(drawing_file_save_memory(&twice, model.get()), 0);
        EXPECT_EQ(once, twice);
    }
    std::unique_ptr<MODEL> model;
};

TEST_F(RecordTest, UnknownAndForbiddenClassesAreSkipped) {
    // Classes a file must not make (buffers, iterators, streams, a second model), and
    // one nobody knows, stand between two polylines.
    Bytes children;
    children = cat({polyline("first", {{0, 0, 0}, {1, 0, 0}})});
    for (const char* cls :
         {"NOPE", "buffer", "CLIPITER", "IOrecStd", "IOrecLzw", "MODEL", "ZSVIEW"}) {
        children = cat({children, record(126, cls, str_chunk(119, "junk"))});
    }
    children = cat({children, polyline("second", {{0, 0, 0}, {0, 1, 0}})});
    ASSERT_EQ(load(drawing(layer("L", children))), 0);
    auto* l = rtc_cast<LAYER>(find_named(model.get(), "L", &LAYER::rtc_class));
    ASSERT_NE(l, nullptr);
    ASSERT_NE(find_named(model.get(), "first", &XPLINE::rtc_class), nullptr);
    ASSERT_NE(find_named(model.get(), "second", &XPLINE::rtc_class), nullptr);
    int count = 0;
    for (ZOBJ* z = l->first_child(); z;
         z = z->next == l->children ? nullptr : static_cast<ZOBJ*>(z->next))
        ++count;
    EXPECT_EQ(count, 2);
    EXPECT_EQ(model->views, nullptr);
}

TEST_F(RecordTest, RecordWithoutClassChunkFailsWithoutLeaving) {
    const Bytes bad = chunk(0, str_chunk(119, "no class"));
    EXPECT_EQ(load(drawing(cat({layer("L", {}), bad}))), kIoNoClassChunk);
    // The layer read before the error stays in the drawing.
    EXPECT_NE(find_named(model.get(), "L", &LAYER::rtc_class), nullptr);
}

TEST_F(RecordTest, PolylineGeometryIsRebuiltNotRead) {
    // A bogus run in chunk 1025 must not become the display geometry.
    const Bytes runs =
        chunk(1025, ByteWriter().varint(1).varint(2).point(50, 50, 50).point(60, 60, 60).b);
    const Bytes rec = record(
        1, "XPLINE",
        cat({str_chunk(119, "s"), runs, chunk(1, points({{0, 0, 0}, {2, 3, 0}, {5, -1, 0}}))}));
    ASSERT_EQ(load(drawing(layer("L", rec))), 0);
    auto* x = rtc_cast<XPLINE>(find_named(model.get(), "s", &XPLINE::rtc_class));
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->kind, 1);
    EXPECT_EQ(plist_count(x->control), 3);

    auto fresh = rtc_make<XPLINE>();
    fresh->kind = 1;
    fresh->control = make_points({{0, 0, 0}, {2, 3, 0}, {5, -1, 0}});
    ASSERT_EQ(regen_object(fresh.get()), 0);
    EXPECT_EQ(plist_count(x->points), plist_count(fresh->points));
    for (const PtrNode* l = x->strokes; l; l = l->next) {
        for (const PointNode* n = static_cast<const PointNode*>(l->value); n; n = n->next)
            EXPECT_NE(n->x, 50.0f);
    }
}

// A text chunk read again replaces what the first one gave, an empty one included;
// an empty one read onto an empty text leaves it empty.
TEST_F(RecordTest, RepeatedTextChunksKeepTheLastValue) {
    const struct {
        const char* name;
        Bytes texts;
        const char* want_name;
        const char* want_text1;
    } cases[] = {
        {"empty onto a name", cat({str_chunk(119, "a"), str_chunk(119, "")}), "", ""},
        {"empty onto empty", cat({str_chunk(119, ""), str_chunk(119, "")}), "", ""},
        {"a name onto empty", cat({str_chunk(119, ""), str_chunk(119, "b")}), "b", ""},
        {"a name onto a name", cat({str_chunk(119, "a"), str_chunk(119, "b")}), "b", ""},
        {"empty onto a text", cat({str_chunk(1032, "t"), str_chunk(1032, "")}), "", ""},
        {"empty text beside a name", cat({str_chunk(119, "a"), str_chunk(1032, "")}), "a", ""},
        {"a text onto empty", cat({str_chunk(1032, ""), str_chunk(1032, "u")}), "", "u"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes rec =
            record(1, "XPLINE", cat({c.texts, chunk(1, points({{0, 0, 0}, {2, 3, 0}}))}));
        ASSERT_EQ(load(drawing(layer("L", rec))), 0);
        auto* l = rtc_cast<LAYER>(find_named(model.get(), "L", &LAYER::rtc_class));
        ASSERT_NE(l, nullptr);
        auto* x = rtc_cast<XPLINE>(l->first_child());
        ASSERT_NE(x, nullptr);
        EXPECT_STREQ(x->name(), c.want_name);
        EXPECT_STREQ(x->str(1), c.want_text1);
    }
}

TEST_F(RecordTest, ReferencesByNameResolveInTheLoadingDrawing) {
    const Bytes text = record(
        5, "TEXT2",
        cat({str_chunk(119, "t"),
             chunk(5, cat({points({{1, 2, 0}}),
                           ByteWriter().f64(1).f64(1).f64(0).f64(0).f64(0).f64(0).varint(0).b,
                           str_chunk(0, "hello"), str_chunk(1, "No Such Font")}))}));
    const Bytes line = record(0, "XPLINE",
                              cat({str_chunk(119, "p"), str_chunk(1026, "No Such Style"),
                                   chunk(0, points({{0, 0, 0}, {1, 1, 0}}))}));
    ASSERT_EQ(load(drawing(layer("L", cat({text, line})))), 0);
    auto* t = rtc_cast<TEXT2>(find_named(model.get(), "t", &TEXT2::rtc_class));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->text, "hello");
    EXPECT_EQ(t->font, model_find_patt(model.get(), "DEFAULT", &FONTPATT::rtc_class));
    auto* p = rtc_cast<XPLINE>(find_named(model.get(), "p", &XPLINE::rtc_class));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->line_style, nullptr);
}

TEST_F(RecordTest, ValuesSurviveWithTheirStoredPrecision) {
    auto m = bare_model();
    auto* l = rtc_make<LAYER>().release();
    l->set_string(0, "L");
    EXPECT_EQ(container_insert(m.get(), l), 0);
    auto* x = rtc_make<XPLINE>().release();
    x->control = make_points({{0, 0, 0}, {1, 0, 0}});
    x->width = 0.5f;
    EXPECT_EQ(container_insert(l, x), 0);
    auto* y = rtc_make<XPLINE>().release();
    y->control = make_points({{0, 0, 0}, {1, 0, 0}});
    y->width = 1.0f / 3.0f;  // only 1/16384 steps survive
    y->set_string(0, "y");
    EXPECT_EQ(container_insert(l, y), 0);
    ASSERT_EQ(drawing_file_save(path("v.qvm").c_str(), m.get(), 0), 0);
    model = new_model();
    ASSERT_EQ(drawing_file_import(path("v.qvm").c_str(), model.get()), 0);
    auto* back = rtc_cast<XPLINE>(find_named(model.get(), "", &XPLINE::rtc_class));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, 0.5f);
    EXPECT_STREQ(back->str(1), "");
    auto* third = rtc_cast<XPLINE>(find_named(model.get(), "y", &XPLINE::rtc_class));
    ASSERT_NE(third, nullptr);
    EXPECT_FLOAT_EQ(third->width, 5461.0f / 16384.0f);
}

TEST_F(RecordTest, CameraWithoutValueChunkGetsDefaults) {
    const Bytes cam =
        record(13, "CAMERA",
               cat({str_chunk(119, "c"),
                    chunk(13, chunk(1, cat({points({{1, 2, 3}, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}}),
                                            ByteWriter().f64(2.0).b})))}));
    ASSERT_EQ(load(drawing(layer("L", cam))), 0);
    auto* c = rtc_cast<CAMERA>(find_named(model.get(), "c", &CAMERA::rtc_class));
    ASSERT_NE(c, nullptr);
    float w0, w1;
    std::memcpy(&w0, &c->words[0], 4);
    std::memcpy(&w1, &c->words[1], 4);
    EXPECT_EQ(w0, 500.0f);
    EXPECT_EQ(w1, 0.25f);
    EXPECT_EQ(c->lens, 2.0);
    EXPECT_EQ(c->position.z, 3.0f);
}

// The focal-blur aperture is chunk 2's third value: a file without it (or without the
// chunk) reads 0, one with it reads it exactly, and a camera saved with it reads it
// back and saves the same bytes again.
TEST_F(RecordTest, CameraApertureIsTheThirdValueOfItsValueChunk) {
    struct Case {
        const char* name;
        bool values;
        double aperture;
    } cases[] = {{"no value chunk", false, 0}, {"written today", true, 0}, {"with aperture", true, 0.375}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes values = chunk(2, ByteWriter().f64(500).f64(0.25).f64(c.aperture).f64(0).b);
        const Bytes body = cat({chunk(1, cat({points({{0, 0, 9}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}}),
                                              ByteWriter().f64(1.0).b})),
                                c.values ? values : Bytes{}});
        ASSERT_EQ(load(drawing(layer("L", record(13, "CAMERA", cat({str_chunk(119, "c"), chunk(13, body)}))))), 0);
        auto* cam = rtc_cast<CAMERA>(find_named(model.get(), "c", &CAMERA::rtc_class));
        ASSERT_NE(cam, nullptr);
        EXPECT_EQ(cam->aperture(), float(c.aperture));
    }
    auto* cam = rtc_cast<CAMERA>(find_named(model.get(), "c", &CAMERA::rtc_class));
    ASSERT_NE(cam, nullptr);
    cam->set_aperture(0.3f);
    ASSERT_EQ(drawing_file_save(path("a.qvm").c_str(), model.get(), 0), 0);
    ASSERT_EQ(load(read_bytes(path("a.qvm"))), 0);
    cam = rtc_cast<CAMERA>(find_named(model.get(), "c", &CAMERA::rtc_class));
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->aperture(), 0.3f);
    ASSERT_EQ(drawing_file_save(path("b.qvm").c_str(), model.get(), 0), 0);
    EXPECT_EQ(read_bytes(path("a.qvm")), read_bytes(path("b.qvm")));
}

TEST_F(RecordTest, MeshGridsAreStoredByTheirCells) {
    auto m = bare_model();
    MESH3* mesh = mesh_on_new_layer(m.get(), "m");
    auto* empty = rtc_make<MESH3>().release();
    empty->set_string(0, "empty");
    EXPECT_EQ(container_insert(mesh->parent, empty), 0);
    std::vector<Vec3d> twelve, nine;
    for (int i = 0; i < 12; ++i) twelve.push_back({double(i % 4), double(i / 4), 0});
    for (int i = 0; i < 9; ++i) nine.push_back({double(i % 3), double(i / 3) * 2, double(i)});
    ASSERT_EQ(mesh_add_grid(mesh, nine, 3, 3, true, true), 0);      // closed: 3 x 3 cells, code 3
    ASSERT_EQ(mesh_add_grid(mesh, twelve, 4, 3, false, false), 0);  // open: 3 x 2 cells, code 0
    ASSERT_EQ(drawing_file_save(path("g.qvm").c_str(), m.get(), 0), 0);
    const Bytes bytes = read_bytes(path("g.qvm"));
    // The two grid sets: tag 52, length, columns, rows, wrap code, vertex chunk 0.
    auto has_set = [&](uint8_t columns, uint8_t rows, uint8_t wrap) {
        for (size_t i = 0; i + 9 < bytes.size(); ++i) {
            if (bytes[i] == 52 && bytes[i + 5] == columns && bytes[i + 6] == rows &&
                bytes[i + 7] == wrap && bytes[i + 8] == 0)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(has_set(3, 2, 0));
    EXPECT_TRUE(has_set(3, 3, 3));

    model = new_model();
    ASSERT_EQ(drawing_file_import(path("g.qvm").c_str(), model.get()), 0);
    auto* back = rtc_cast<MESH3>(find_named(model.get(), "m", &MESH3::rtc_class));
    ASSERT_NE(back, nullptr);
    const MeshFaceBlock* b = back->blocks;
    ASSERT_TRUE(b && b->next && !b->next->next);
    EXPECT_EQ(b->rows, 2);
    EXPECT_EQ(b->columns, 3);
    EXPECT_EQ(b->vertices.size(), 12u);
    EXPECT_EQ(b->faces.size(), 12u);
    EXPECT_EQ(b->next->vertices.size(), 9u);
    EXPECT_EQ(b->next->rows, 3);
    EXPECT_EQ(b->next->faces.size(), mesh->blocks->next->faces.size());
    auto* none = rtc_cast<MESH3>(find_named(model.get(), "empty", &MESH3::rtc_class));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->blocks, nullptr);
}

TEST_F(RecordTest, FacesWithARepeatedCornerAreDropped) {
    // Two triangles of a free set; the second is then given a repeated corner in the
    // file. Such a face has no corner order its edges keep: read, it would be written
    // turned, so the drawing did not save the same twice. It is dropped on reading.
    auto m = bare_model();
    MESH3* mesh = mesh_on_new_layer(m.get(), "m");
    MeshFaceBlock* b = mesh_face_block(mesh, 0);
    for (int i = 0; i < 4; ++i)
        b->vertices.push_back(MeshVertex{float(i % 2), float(i / 2), 0, {}});
    ASSERT_EQ(mesh_add_triangle(b, 0, 1, 3), 0);
    ASSERT_EQ(mesh_add_triangle(b, 0, 3, 2), 0);
    Bytes bytes;
    ASSERT_EQ(drawing_file_save_memory(&bytes, m.get()), 0);
    // The face chunk: tag 4, length 11, count 2, then per face three corners, word, flags.
    const Bytes head = {4, 11, 0, 0, 0, 2};
    auto at = std::search(bytes.begin(), bytes.end(), head.begin(), head.end());
    ASSERT_NE(at, bytes.end());
    const size_t second = static_cast<size_t>(at - bytes.begin()) + head.size() + 5;
    bytes[second + 2] = bytes[second];  // corners (a, b, a)
    model = new_model();
    ASSERT_EQ(drawing_file_import_memory(bytes.data(), bytes.size(), model.get()), 0);
    auto* back = rtc_cast<MESH3>(find_named(model.get(), "m", &MESH3::rtc_class));
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back->blocks, nullptr);
    EXPECT_EQ(back->blocks->faces.size(), 1u);
    Bytes once, twice;
    ASSERT_EQ(drawing_file_save_memory(&once, model.get()), 0);
    auto again = new_model();
    ASSERT_EQ(drawing_file_import_memory(once.data(), once.size(), again.get()), 0);
    ASSERT_EQ(drawing_file_save_memory(&twice, again.get()), 0);
    EXPECT_EQ(once, twice);
}

TEST_F(RecordTest, MeshEdgeFlagsAreTheSameInEveryFaceOfAPair) {
    // A free set read back has one edge per pair of vertices, shared by every face that
    // names the pair. An older file lists its edges itself: two of them can join the
    // same vertices with different flags, and a four-sided face whose edges do not run
    // round gives a triangle whose third edge joins other vertices. Each face wrote the
    // flags of its own edges, so a pair came back with the flags of the last face read
    // and the drawing did not save the same twice.
    auto m = bare_model();
    MESH3* mesh = mesh_on_new_layer(m.get(), "m");
    auto square = [](MeshFaceBlock* b) {
        for (int i = 0; i < 4; ++i)
            b->vertices.push_back(MeshVertex{float(i == 1 || i == 2), float(i >= 2), 0, {}});
    };
    // As the four-sided face of edges 0-1, 1-2, 2-3, 1-0 of an older file reads: the
    // hidden diagonal 0-2 closes (0, 1, 2); edges 2-3 and 1-0 give the corners (2, 3, 1),
    // whose third edge is that diagonal again.
    MeshFaceBlock* odd = mesh_face_block(mesh, 0);
    square(odd);
    odd->edges = {MeshEdge{{0, 1}, 0}, MeshEdge{{1, 2}, 0}, MeshEdge{{2, 3}, 0},
                  MeshEdge{{1, 0}, 0}, MeshEdge{{0, 2}, kEdgeHidden}};
    odd->faces = {MeshFace{{0, 1, 4}, 0}, MeshFace{{2, 3, 4}, 0}};
    // Two triangles on 0-2, a drawn edge in the first and a hidden one in the second.
    MeshFaceBlock* twice_joined = mesh_face_block(mesh, 0);
    square(twice_joined);
    twice_joined->edges = {MeshEdge{{0, 1}, 0}, MeshEdge{{1, 2}, 0}, MeshEdge{{2, 0}, 0},
                           MeshEdge{{0, 2}, kEdgeHidden}, MeshEdge{{2, 3}, 0},
                           MeshEdge{{3, 0}, 0}};
    twice_joined->faces = {MeshFace{{0, 1, 2}, 0}, MeshFace{{3, 4, 5}, 0}};

    expect_saved_the_same_twice(m.get());

    // An edge drawn before is drawn after.
    auto* back = rtc_cast<MESH3>(find_named(model.get(), "m", &MESH3::rtc_class));
    ASSERT_NE(back, nullptr);
    auto flags = [](const MeshFaceBlock* b, int32_t p, int32_t q) {
        for (const MeshEdge& e : b->edges) {
            if ((e.v[0] == p && e.v[1] == q) || (e.v[0] == q && e.v[1] == p)) return int(e.flags);
        }
        return -1;
    };
    const MeshFaceBlock* b = back->blocks;
    ASSERT_TRUE(b && b->next && !b->next->next);
    EXPECT_EQ(b->edges.size(), 5u);
    EXPECT_EQ(flags(b, 0, 2), 0);  // the pair the two triangles share
    b = b->next;
    ASSERT_EQ(b->faces.size(), 2u);
    EXPECT_EQ(flags(b, 0, 1), 0);
    EXPECT_EQ(flags(b, 1, 2), 0);
    EXPECT_EQ(flags(b, 2, 3), 0);
    EXPECT_EQ(flags(b, 0, 2), kEdgeHidden);
    EXPECT_EQ(flags(b, 3, 1), kEdgeHidden);  // no edge joined them: nothing was drawn there
}

TEST_F(RecordTest, FacesWithoutThreeCornersAreNotWritten) {
    // A face of an older file names its edges: its first two can be one edge, so its
    // corners repeat. Such a face has no area and is dropped on reading; it was
    // written all the same, so the drawing read back saved without it and not as
    // before.
    auto m = bare_model();
    MESH3* mesh = mesh_on_new_layer(m.get(), "m");
    MeshFaceBlock* b = mesh_face_block(mesh, 0);
    for (int i = 0; i < 3; ++i) b->vertices.push_back(MeshVertex{float(i), float(i % 2), 0, {}});
    b->edges = {MeshEdge{{0, 1}, 0}, MeshEdge{{1, 2}, 0}, MeshEdge{{2, 0}, 0}};
    b->faces = {MeshFace{{0, 1, 2}, 0}, MeshFace{{0, 0, 1}, 0}};
    expect_saved_the_same_twice(m.get());
    auto* back = rtc_cast<MESH3>(find_named(model.get(), "m", &MESH3::rtc_class));
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back->blocks, nullptr);
    EXPECT_EQ(back->blocks->faces.size(), 1u);
}

TEST_F(RecordTest, TracksKeepTheirOrder) {
    auto m = bare_model();
    auto* l = rtc_make<LAYER>().release();
    EXPECT_EQ(container_insert(m.get(), l), 0);
    auto* x = rtc_make<XPLINE>().release();
    x->control = make_points({{0, 0, 0}, {1, 0, 0}});
    EXPECT_EQ(container_insert(l, x), 0);
    KeyframeTrack* a = track_new("A", x);
    KeyframeTrack* b = track_new("B", x);
    x->tracks = a;
    a->next_track = b;
    ASSERT_EQ(drawing_file_save(path("t.qvm").c_str(), m.get(), 0), 0);
    model = new_model();
    ASSERT_EQ(drawing_file_import(path("t.qvm").c_str(), model.get()), 0);
    auto* back = rtc_cast<XPLINE>(find_named(model.get(), "", &XPLINE::rtc_class));
    ASSERT_TRUE(back && back->tracks && back->tracks->next_track);
    EXPECT_STREQ(back->tracks->name, "A");
    EXPECT_STREQ(back->tracks->next_track->name, "B");
}

// Counts and sizes that do not fit: refused with 13, nothing allocated for them.
TEST_F(RecordTest, CountsBeyondTheFileAreRefused) {
    struct Case {
        const char* what;
        Bytes rec;
    };
    const Bytes huge = ByteWriter().varint(0xFFFFFFF0u).b;
    const std::vector<Case> cases = {
        {"point runs", record(8, "HATCH",
                              chunk(8, cat({ByteWriter().f64(1).f64(0).b,
                                            chunk(1, cat({ByteWriter().varint(1).b, huge}))})))},
        {"run count", record(8, "HATCH", chunk(1025, huge))},
        {"string", record(0, "XPLINE", chunk(119, huge))},
        {"mesh vertices", record(6, "MESH3", chunk(6, chunk(51, chunk(0, huge))))},
        {"mesh faces",
         record(6, "MESH3",
                chunk(6, chunk(51, cat({chunk(0, cat({ByteWriter().varint(3).b,
                                                      points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})})),
                                        chunk(4, huge)}))))},
        {"face index",
         record(6, "MESH3",
                chunk(6, chunk(51, cat({chunk(0, cat({ByteWriter().varint(3).b,
                                                      points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})})),
                                        chunk(4, ByteWriter()
                                                     .varint(1)
                                                     .varint(0)
                                                     .varint(1)
                                                     .varint(3)
                                                     .varint(0)
                                                     .varint(0)
                                                     .b)}))))},
        {"texture coordinates",
         record(6, "MESH3",
                chunk(
                    6,
                    chunk(51,
                          cat({chunk(0, cat({ByteWriter().varint(1).b, points({{0, 0, 0}})})),
                               chunk(3, ByteWriter().varint(2).f32(0).f32(0).f32(0).f32(0).b)}))))},
        {"grid size",
         record(6, "MESH3",
                chunk(6, chunk(52, cat({ByteWriter().varint(1000).varint(1000).varint(0).b,
                                        chunk(0, cat({ByteWriter().varint(1).b,
                                                      points({{0, 0, 0}})}))}))))},
        {"face in a grid set",
         record(6, "MESH3",
                chunk(6, chunk(52, cat({ByteWriter().varint(1).varint(1).varint(0).b,
                                        chunk(4, ByteWriter().varint(0).b)}))))},
        {"camera keys",
         record(13, "CAMERA", chunk(13, chunk(1031, cat({huge, ByteWriter().varint(0).b}))))},
        {"light key before count",
         record(12, "LIGHT", chunk(12, chunk(1034, ByteWriter().varint(0).varint(0).b)))},
        {"arc angle", record(9, "ELARC",
                             chunk(9, cat({points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                                           ByteWriter().f64(INFINITY).f64(0).varint(1).b})))},
        {"track keys",
         record(0, "XPLINE", chunk(1031, chunk(1027, cat({huge, ByteWriter().varint(0).b}))))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load(drawing(layer("L", c.rec))), kBadArgument);
    }
}

TEST_F(RecordTest, StyleRecordsCheckTheirContent) {
    struct Case {
        const char* what;
        Bytes rec;
        int code;
    };
    const std::vector<Case> cases = {
        {"dash chunk",
         record(10, "LINEPATT",
                cat({str_chunk(1024, "D"), chunk(0, chunk(2053, ByteWriter().varint(0).b))})),
         kBadArgument},
        {"dash count",
         record(10, "LINEPATT",
                cat({str_chunk(1024, "D"),
                     chunk(0, chunk(2052, ByteWriter().varint(1000).f64(1).b))})),
         kBadArgument},
        {"hatch lines",
         record(10, "HATCHPATT",
                cat({str_chunk(1024, "H"), chunk(1, ByteWriter().varint(0x7FFFFFFF).b)})),
         kBadArgument},
        {"image size",
         record(10, "MATRPATT",
                cat({str_chunk(1024, "I"), chunk(3, cat({ByteWriter().varint(2).varint(2).b,
                                                         chunk(24, Bytes(11, 0))}))})),
         kBadArgument},
        {"image missing",
         record(10, "MATRPATT",
                cat({str_chunk(1024, "I"), chunk(3, ByteWriter().varint(2).varint(2).b)})),
         kBadArgument},
        {"palette without indices",
         record(10, "MATRPATT",
                cat({str_chunk(1024, "I"),
                     chunk(3, cat({ByteWriter().varint(1).varint(1).b, chunk(24, Bytes(3, 0)),
                                   chunk(1024, Bytes(768, 0))}))})),
         kBadArgument},
        {"font", record(10, "FONTPATT", cat({str_chunk(1024, "F"), chunk(2, Bytes(7, 0xFF))})),
         kBadArgument},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load(drawing(c.rec)), c.code);
    }
    // An indexed image goes through its palette.
    Bytes palette(768, 0);
    palette[3 * 5] = 10, palette[3 * 5 + 1] = 20, palette[3 * 5 + 2] = 30;
    const Bytes indexed = record(
        10, "MATRPATT",
        cat({str_chunk(1024, "Ix"), chunk(3, cat({ByteWriter().varint(2).varint(1).b,
                                                  chunk(8, Bytes{5, 0}), chunk(1024, palette)}))}));
    ASSERT_EQ(load(drawing(indexed)), 0);
    auto* img = rtc_cast<MATRPATT>(model_find_patt(model.get(), "Ix", &MATRPATT::rtc_class));
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(img->width, 2);
    EXPECT_EQ(img->pixels[0], 10);
    EXPECT_EQ(img->pixels[2], 30);
    EXPECT_EQ(img->pixels[3], 0);
}

TEST_F(RecordTest, DeepNestingIsRefused) {
    // The layer is level 1, each group one more, the polyline the last: kMaxRecordNesting
    // - 2 groups are the deepest a file holds, in either layout; one more is refused.
    struct Case {
        bool current;
        int groups;
        int result;
    } cases[] = {
        {true, 50, 0},
        {true, kMaxRecordNesting - 2, 0},
        {true, kMaxRecordNesting - 1, kBadArgument},
        {false, kMaxRecordNesting - 2, 0},
        {false, kMaxRecordNesting - 1, kBadArgument},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.current << " " << c.groups);
        const Bytes inner =
            nest_groups(c.groups, polyline("deep", {{0, 0, 0}, {1, 0, 0}}), c.current);
        const Bytes file = c.current
                               ? drawing(layer("L", inner))
                               : ByteWriter()
                                     .i32(1)
                                     .i32(112)
                                     .i32(0)
                                     .chunk(1024, chunk(17, cat({str_chunk(1024, "L"), inner})))
                                     .b;
        EXPECT_EQ(load(file), c.result);
        ZOBJ* deep = find_named(model.get(), "deep", &XPLINE::rtc_class);
        EXPECT_EQ(deep != nullptr, c.result == 0);
        int depth = 0;
        for (ZOBJ* z = deep; z && z->parent; z = z->parent) ++depth;
        if (deep) {
            EXPECT_EQ(depth, c.groups + 2);
        }
    }
    // In a block the top group is level 1: kMaxRecordNesting - 1 groups read, one more
    // is refused.
    for (int groups : {kMaxRecordNesting - 1, kMaxRecordNesting}) {
        SCOPED_TRACE(groups);
        const Bytes body =
            cat({ByteWriter().point(0, 0, 0).b, chunk(125, {}), str_chunk(1033, "deep"),
                 nest_groups(groups, polyline("deep", {{0, 0, 0}, {1, 0, 0}}), true)});
        write_bytes(path("in.mcr"), ByteWriter().i32(1).i32(112).i32(0).chunk(1025, body).b);
        auto into = new_model();
        buffer* sel = buffer_new();
        char label[16];
        Vec3 base{};
        EXPECT_EQ(block_file_load(path("in.mcr").c_str(), label, sizeof label, into.get(), sel,
                                  &base, nullptr, 0),
                  groups < kMaxRecordNesting ? 0 : kBadArgument);
        EXPECT_EQ(sel->refs != nullptr, groups < kMaxRecordNesting);
        buffer_delete_objects_unlinked(sel);
        buffer_free(&sel);
    }
}

TEST_F(RecordTest, ClassesWithoutKindUseTheWrappedLayout) {
    // A polyline of an unusual subtype has no kind code: tag 126, each shared level in
    // a chunk 0 of its own. Every field comes back, whatever the subtype's value.
    for (int32_t subtype : {3, 1023, 1024, 2000, 70000, -1, INT32_MIN}) {
        SCOPED_TRACE(subtype);
        auto m = bare_model();
        auto* l = rtc_make<LAYER>().release();
        EXPECT_EQ(container_insert(m.get(), l), 0);
        auto* style = rtc_make<LINEPATT>().release();
        style->set_string(0, "Dots");
        style->dashes = {0.1, 0.1};
        EXPECT_EQ(container_insert(m.get(), style), 0);
        auto* x = rtc_make<XPLINE>().release();
        x->set_string(0, "odd");
        x->set_string(2, "three");
        x->kind = subtype;
        x->control = make_points({{0, 0, 0}, {1, 2, 3}});
        x->width = 0.25f;
        x->colour = 9;
        x->curve_step = 0.5;
        x->second = 4.0;
        x->line_style = style;
        x->tracks = track_new("w", x);
        x->tracks->position.keys = {PositionKey{2, {0, 0, 0, 0, 0}, {1, 1, 1}}};
        EXPECT_EQ(container_insert(l, x), 0);
        ASSERT_EQ(drawing_file_save(path("w.qvm").c_str(), m.get(), 0), 0);
        model = bare_model();
        ASSERT_EQ(drawing_file_import(path("w.qvm").c_str(), model.get()), 0);
        auto* back = rtc_cast<XPLINE>(find_named(model.get(), "odd", &XPLINE::rtc_class));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->kind, subtype);
        EXPECT_STREQ(back->str(2), "three");
        EXPECT_EQ(back->width, 0.25f);
        EXPECT_EQ(back->colour, 9);
        EXPECT_EQ(back->curve_step, 0.5);
        EXPECT_EQ(back->second, 4.0);
        EXPECT_EQ(back->line_style, model_find_patt(model.get(), "Dots", &LINEPATT::rtc_class));
        EXPECT_EQ(plist_count(back->control), 2);
        ASSERT_NE(back->tracks, nullptr);
        EXPECT_STREQ(back->tracks->name, "w");
        ASSERT_EQ(drawing_file_save(path("w2.qvm").c_str(), model.get(), 0), 0);
        EXPECT_EQ(read_bytes(path("w.qvm")), read_bytes(path("w2.qvm")));
    }
}

TEST_F(RecordTest, ImageMapPatternKeepsItsFileBytes) {
    auto m = bare_model();
    auto* p = rtc_make<MATRPMMF>().release();
    p->set_string(0, "scan");
    Bytes raw(1000);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 7);
    (void)p->set_data(kImageKindJpeg, "scan.jpg", raw.data(), static_cast<uint32_t>(raw.size()));
    EXPECT_EQ(container_insert(m.get(), p), 0);
    ASSERT_EQ(drawing_file_save(path("i.qvm").c_str(), m.get(), 1), 0);
    model = new_model();
    ASSERT_EQ(drawing_file_import(path("i.qvm").c_str(), model.get()), 0);
    // Not dropped for lack of decoded pixels: the bytes are its image.
    auto* back = rtc_cast<MATRPMMF>(model_find_patt(model.get(), "scan", &MATRPATT::rtc_class));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, kImageKindJpeg);
    EXPECT_STREQ(back->file_name, "scan.jpg");
    ASSERT_EQ(back->size, raw.size());
    EXPECT_EQ(Bytes(back->data, back->data + back->size), raw);
    EXPECT_FALSE(back->has_own_pixels());

    // A size that is negative or beyond its chunk: 13.
    for (int32_t size : {-1, 5000}) {
        const Bytes rec =
            record(126, "MATRPMMF",
                   cat({chunk(0, cat({ByteWriter().varint(0).b, str_chunk(1024, "bad")})),
                        chunk(3, ByteWriter().varint(0).varint(0).b),
                        chunk(0, ByteWriter().i32(1).str("x.gif").i32(size).u8(1).b)}));
        EXPECT_EQ(load(drawing(rec)), kBadArgument) << size;
    }
}

TEST_F(RecordTest, FailingInitOfARecordedObjectIsReported) {
    // The mesh's material cannot be made: the record fails with 8, nothing is read
    // into the object that was given up, and nothing leaks.
    const Bytes mesh = record(6, "MESH3", cat({str_chunk(119, "m"), chunk(6, {})}));
    write_bytes(path("in.qvm"), drawing(layer("L", mesh)));
    model = new_model();
    material_fail_allocation_after(1);
    const int r = drawing_file_import(path("in.qvm").c_str(), model.get());
    material_fail_allocation_after(0);
    EXPECT_EQ(r, kOutOfMemory);
    EXPECT_EQ(find_named(model.get(), "m", &MESH3::rtc_class), nullptr);
}

TEST_F(RecordTest, RecordsWrittenBeforeTheLayoutSign) {
    // A version 112 file without chunk 125: records carry no class chunk, the class
    // comes from the record's kind; lights and styles have records of their own form.
    const Bytes line =
        chunk(0, cat({str_chunk(119, "old line"), chunk(0, points({{0, 0, 0}, {2, 0, 0}}))}));
    const Bytes spot =
        chunk(12, cat({chunk(12, cat({chunk(1, cat({points({{1, 2, 3}}),
                                                    ByteWriter().f64(1).f64(0.5).f64(0.25).f64(0).b,
                                                    points({{0, 0, 0}}),
                                                    ByteWriter().f64(4).f64(0.9).f64(0.8).b})),
                                      str_chunk(1024, "old spot")})),
                       chunk(1030, ByteWriter().varint(7).varint(0).varint(5).b)}));
    const Bytes style =
        chunk(10, cat({str_chunk(1024, "Old dash"),
                       chunk(0, chunk(2052, ByteWriter().varint(2).f64(0.5).f64(0.5).b))}));
    const Bytes no_light = chunk(12, chunk(1030, ByteWriter().varint(1).varint(0).varint(0).b));
    const Bytes l = chunk(17, cat({str_chunk(1024, "L"), line, spot}));
    const Bytes file = ByteWriter().i32(1).i32(112).i32(0).chunk(1024, cat({style, l})).b;
    write_bytes(path("in.qvm"), file);
    model = new_model();
    ASSERT_EQ(drawing_file_import(path("in.qvm").c_str(), model.get()), 0);
    auto* x = rtc_cast<XPLINE>(find_named(model.get(), "old line", &XPLINE::rtc_class));
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(plist_count(x->control), 2);
    auto* s = rtc_cast<SPOTLITE>(find_named(model.get(), "old spot", &SPOTLITE::rtc_class));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->position.z, 3.0f);
    EXPECT_EQ(s->word, 4);
    EXPECT_EQ(s->colour, 5);
    EXPECT_EQ(s->file_id, 7);
    auto* d = rtc_cast<LINEPATT>(model_find_patt(model.get(), "Old dash", &LINEPATT::rtc_class));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->dashes.size(), 2u);
    // A light record that makes no light is refused.
    write_bytes(path("in.qvm"), ByteWriter()
                                    .i32(1)
                                    .i32(112)
                                    .i32(0)
                                    .chunk(1024, chunk(17, cat({str_chunk(1024, "L"), no_light})))
                                    .b);
    model = new_model();
    EXPECT_EQ(drawing_file_import(path("in.qvm").c_str(), model.get()), kBadArgument);
}

TEST_F(RecordTest, HatchWhosePatternDrawsNothingStillShowsItsFill) {
    // The fill takes the place of a pattern that cannot be drawn; a loaded hatch,
    // whose strokes come from the file, must know it as well as the one saved.
    struct Case {
        double scale;
        bool degenerate;
    } cases[] = {{0.0, true}, {1.0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scale);
        auto m = bare_model();
        auto* l = rtc_make<LAYER>().release();
        EXPECT_EQ(container_insert(m.get(), l), 0);
        auto* p = rtc_make<HATCHPATT>().release();
        p->set_string(0, "Lines");
        HatchLine line;
        line.offset_y = 0.5;
        p->lines = {line};
        EXPECT_EQ(container_insert(m.get(), p), 0);
        auto* h = rtc_make<HATCH>().release();
        h->set_string(0, "h");
        h->pattern = p;
        h->values[0] = c.scale;
        auto* outline = new PtrNode{nullptr, make_points({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}}, true)};
        h->contours[0] = outline;
        EXPECT_EQ(container_insert(l, h), 0);
        ASSERT_EQ(regen_object(h), 0);
        ASSERT_EQ(h->pattern_degenerate, c.degenerate);
        ASSERT_EQ(drawing_file_save(path("h.qvm").c_str(), m.get(), 0), 0);
        model = bare_model();
        ASSERT_EQ(drawing_file_import(path("h.qvm").c_str(), model.get()), 0);
        auto* back = rtc_cast<HATCH>(find_named(model.get(), "h", &HATCH::rtc_class));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->pattern_degenerate, c.degenerate);
    }
}
