// Files of versions 100 to 111, made by the test-only writer of the older layouts,
// load to the expected objects; damaged ones give their codes.
#include <cmath>
#include <cstring>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/file/drawing_file.h"
#include "model/stream/iostream.h"
#include "old_writer.h"
#include "model/material/material.h"

class OldFormatTest : public FileTest {
  protected:
    void TearDown() override {
        model.reset();
        FileTest::TearDown();
    }
    int load(const OldSample& s) {
        write_bytes(path("old.qvm"), old_sample_file(s));
        model = new_model();
        return drawing_file_import(path("old.qvm").c_str(), model.get());
    }
    template <class T>
    T* find(const char* name) {
        return rtc_cast<T>(find_named(model.get(), name, &T::rtc_class));
    }
    template <class T>
    int count() {
        int n = 0;
        for (ZOBJ* z = model.get(); z; z = tree_next(z, model.get()))
            n += z->klass() == &T::rtc_class;
        return n;
    }
    std::unique_ptr<MODEL> model;
};

TEST_F(OldFormatTest, EveryVersionLoadsItsObjects) {
    for (int v : {100, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111}) {
        SCOPED_TRACE(testing::Message() << "version " << v);
        OldSample s;
        s.version = v;
        ASSERT_EQ(load(s), 0);
        // Lines: one per layer and one in the group; circle, arc, ellipse; from 103 an arc.
        EXPECT_EQ(count<XPLINE>(), 4);  // 3 lines and the polyline
        EXPECT_EQ(count<ELARC>(), v >= 103 ? 4 : 3);
        EXPECT_EQ(count<TEXT2>(), 1);
        EXPECT_EQ(count<MESH3>(), v >= 104 ? 1 : 0);
        EXPECT_EQ(count<HATCH>(), v >= 104 ? 1 : 0);
        EXPECT_EQ(count<CONTAINER>(), 1);
        // One "default" layer: the file's objects went into the drawing's own.
        int defaults = 0;
        for (ZDLIST* z = model->children; z; z = z->next == model->children ? nullptr : z->next)
            defaults += std::strcmp(static_cast<ZOBJ*>(z)->name(), "default") == 0;
        EXPECT_EQ(defaults, 1);
        // The full 16-byte name came back terminated.
        EXPECT_NE(find<LAYER>("LayerNameFull16!"), nullptr);

        // The circle of centre (1, 2, 0) and radius 2.
        ELARC* circle = nullptr;
        for (ZOBJ* z = model.get(); z; z = tree_next(z, model.get())) {
            auto* a = rtc_cast<ELARC>(z);
            if (a && a->flags == 3) circle = a;
        }
        ASSERT_NE(circle, nullptr);
        EXPECT_EQ(circle->centre.x, 1.0f);
        EXPECT_EQ(circle->axis1.x, 3.0f);
        EXPECT_EQ(circle->axis2.y, 4.0f);
        EXPECT_EQ(circle->start, 0.0);
        EXPECT_NE(circle->points, nullptr);  // rebuilt

        auto* text = rtc_cast<TEXT2>([&]() -> ZOBJ* {
            for (ZOBJ* z = model.get(); z; z = tree_next(z, model.get()))
                if (rtc_is<TEXT2>(z)) return z;
            return nullptr;
        }());
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->text, "Hello");
        EXPECT_STREQ(text->font->name(), v >= 103 ? "Mono" : "DEFAULT");
        // The stored box is not taken for the text's plane.
        const Vec3d normal = text2_normal(*text);
        EXPECT_EQ(normal.x, 0.0);
        EXPECT_EQ(normal.y, 0.0);
        EXPECT_EQ(normal.z, 1.0);

        if (v >= 103) {
            EXPECT_NE(model_find_patt(model.get(), "Dash", &LINEPATT::rtc_class), nullptr);
            EXPECT_NE(model_find_patt(model.get(), "Img", &MATRPATT::rtc_class), nullptr);
        }
        if (v >= 104) {
            auto* mesh = rtc_cast<MESH3>([&]() -> ZOBJ* {
                for (ZOBJ* z = model.get(); z; z = tree_next(z, model.get()))
                    if (rtc_is<MESH3>(z)) return z;
                return nullptr;
            }());
            ASSERT_NE(mesh, nullptr);
            const MeshFaceBlock* square = mesh->blocks;
            ASSERT_NE(square, nullptr);
            EXPECT_EQ(square->faces.size(), 2u);  // the four-sided face became two triangles
            EXPECT_EQ(square->edges.size(), 5u);
            EXPECT_EQ(square->edges[4].flags, kEdgeHidden);
            if (v >= 105) {
                ASSERT_NE(square->next, nullptr);
                EXPECT_EQ(square->next->rows, 1);
                EXPECT_EQ(square->next->columns, 2);
                EXPECT_EQ(square->next->faces.size(), 4u);
            }
            const TextureSlot& slot = mesh->material->slots[kSlotTexture];
            if (v >= 106) {
                EXPECT_EQ(slot.kind, kTextureImage);
                EXPECT_EQ(slot.mapping.image,
                          model_find_patt(model.get(), "Img", &MATRPATT::rtc_class));
                EXPECT_EQ(slot.mapping.angle, 90.0f);
                EXPECT_EQ(mesh->material->specular_exponent, v < 108 ? 2000.0f : 40.0f);
            }
        }
    }
}

TEST_F(OldFormatTest, ArcThroughThreePoints) {
    OldSample s;
    s.version = 110;
    ASSERT_EQ(load(s), 0);
    ELARC* arc = nullptr;
    for (ZOBJ* z = model.get(); z; z = tree_next(z, model.get())) {
        auto* a = rtc_cast<ELARC>(z);
        if (a && a->flags == 1 && a->axis1.x < 1.5f) arc = a;
    }
    ASSERT_NE(arc, nullptr);
    EXPECT_NEAR(arc->centre.x, 0, 1e-6);
    EXPECT_NEAR(arc->centre.y, 0, 1e-6);
    EXPECT_NEAR(std::hypot(arc->axis1.x, arc->axis1.y), 1, 1e-6);
    EXPECT_NEAR(arc->start, 0, 1e-6);
    EXPECT_NEAR(arc->end, M_PI, 1e-6);
}

TEST_F(OldFormatTest, DamagedFilesGiveTheirCodes) {
    struct Case {
        const char* what;
        OldSample s;
        int code;
    };
    std::vector<Case> cases;
    OldSample s;
    s.version = 111;
    s.hatch_word = 2;
    cases.push_back({"hatch word 2", s, kIoWrongTopChunk});
    s = OldSample{};
    s.version = 103;
    s.polyline_kind = 3;
    cases.push_back({"kind 3 in the polyline group", s, kBadArgument});
    s = OldSample{};
    s.version = 111;
    s.first_edge_vertex = 4;
    cases.push_back({"edge index", s, kBadArgument});
    s.first_edge_vertex = -1;
    cases.push_back({"negative edge index", s, kBadArgument});
    s = OldSample{};
    s.version = 108;
    s.first_style_kind = 7;
    cases.push_back({"style kind", s, kBadArgument});
    s = OldSample{};
    s.version = 106;
    s.text_length = -5;
    cases.push_back({"negative string length", s, kBadArgument});
    s.text_length = 0x7FFFFFF0;
    cases.push_back({"string longer than the file", s, kBadArgument});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load(c.s), c.code);
    }
}

TEST_F(OldFormatTest, TruncatedFilesFailCleanly) {
    OldSample s;
    for (int v : {102, 106, 111}) {
        s.version = v;
        const Bytes full = old_sample_file(s);
        // The last byte of a coded file may hold only the end code's padding.
        const size_t last = v >= 107 ? full.size() - 8 : full.size() - 1;
        for (size_t cut : {size_t{8}, size_t{20}, full.size() / 3, full.size() / 2, last}) {
            SCOPED_TRACE(testing::Message() << "version " << v << " cut " << cut);
            write_bytes(path("cut.qvm"),
                        Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
            model = new_model();
            EXPECT_NE(drawing_file_import(path("cut.qvm").c_str(), model.get()), 0);
        }
    }
}

TEST_F(OldFormatTest, OlderBlocks) {
    for (int v : {102, 106, 111}) {
        SCOPED_TRACE(testing::Message() << "version " << v);
        OldSample s;
        s.version = v;
        s.as_block = true;
        write_bytes(path("old.mcr"), old_sample_file(s));
        model = new_model();
        buffer* sel = buffer_new();
        char label[16] = "x";
        Vec3 base{};
        ASSERT_EQ(block_file_load(path("old.mcr").c_str(), label, sizeof label, model.get(), sel,
                                  &base, nullptr, 0),
                  0);
        EXPECT_EQ(base.y, 2.0f);
        EXPECT_STREQ(label, "");
        int objects = 0;
        for (RefNode* n = sel->refs; n; n = n->next) {
            if (!n->ref) continue;
            ++objects;
            EXPECT_EQ(n->ref->parent, nullptr);
        }
        EXPECT_EQ(objects, v >= 104 ? 10 : v >= 103 ? 8 : 7);
        buffer_delete_objects(sel);
        buffer_free(&sel);
        // Label-only: the base point, nothing else.
        const long before = rtc_live_objects();
        ASSERT_EQ(block_file_load(path("old.mcr").c_str(), label, sizeof label, nullptr, nullptr,
                                  &base, nullptr, 0),
                  0);
        EXPECT_EQ(base.z, 3.0f);
        EXPECT_EQ(rtc_live_objects(), before);
    }
}
