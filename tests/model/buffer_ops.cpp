// Buffers: references kept once and cleared when their object dies, copies, colours,
// boxes, moving a buffer's objects into a container (dissolving plain groups only),
// and destroying a buffer's objects without freeing any twice.
#include <gtest/gtest.h>

#include <vector>

#include "model/db/patt.h"
#include "model/math/result.h"
#include "tests/model/undo_support.h"

namespace {

class BufferOps : public UndoTest {
  protected:
    // Puts new objects into a container without the history.
    ZOBJ* put(const std::string& name, const std::string& where = "default") {
        ZOBJ* obj = make(name);
        EXPECT_EQ(container_insert(get<CONTAINER>(where), obj), 0);
        return obj;
    }
};

std::vector<ZOBJ*> refs(const buffer* b) {
    std::vector<ZOBJ*> out;
    for (const RefNode* n = b->refs; n; n = n->next) out.push_back(n->ref);
    return out;
}

TEST_F(BufferOps, ReferencesAreKeptOnceAndNodesReused) {
    ZOBJ* a = put("a");
    ZOBJ* b = put("b");
    buffer* sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, a), 0);
    EXPECT_EQ(buffer_add(sel, a), 0);
    EXPECT_EQ(refs(sel), std::vector<ZOBJ*>{a});
    EXPECT_EQ(buffer_add(sel, nullptr), 0);
    EXPECT_EQ(buffer_add(nullptr, b), kWrongKind);
    rtc_destroy(a);
    EXPECT_EQ(refs(sel), std::vector<ZOBJ*>{nullptr});
    EXPECT_EQ(buffer_has_objects(sel), 0);
    EXPECT_EQ(buffer_add(sel, b), 0);
    EXPECT_EQ(refs(sel), std::vector<ZOBJ*>{b});  // the cleared node took it
    buffer_free(&sel);
    EXPECT_EQ(sel, nullptr);
}

TEST_F(BufferOps, CopyHoldsTheLiveReferencesReversedAndIsPurged) {
    ZOBJ* a = put("a");
    ZOBJ* b = put("b");
    ZOBJ* c = put("c");
    buffer* undo_side = buffer_create();  // outside the ring: keeps dead-object references
    for (ZOBJ* o : {a, b, c}) EXPECT_EQ(buffer_add(undo_side, o), 0);
    buffer* copy = buffer_copy(undo_side);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(refs(copy), (std::vector<ZOBJ*>{a, b, c}));
    rtc_destroy(b);
    EXPECT_EQ(refs(copy), (std::vector<ZOBJ*>{a, nullptr, c}));
    EXPECT_EQ(refs(undo_side), (std::vector<ZOBJ*>{c, b, a}));  // not purged
    EXPECT_EQ(buffer_copy(nullptr), nullptr);
    buffer_free(&copy);
    buffer_free(&undo_side);
}

TEST_F(BufferOps, ColoursAndInvertingTwice) {
    ZOBJ* a = put("a");
    ZOBJ* g = put("G");
    ZOBJ* x = put("x", "G");
    ZOBJ* y = put("y", "G");
    const std::vector<object*> objs{static_cast<object*>(a), static_cast<object*>(g),
                                    static_cast<object*>(x), static_cast<object*>(y)};
    for (size_t i = 0; i < objs.size(); ++i) objs[i]->colour = static_cast<int32_t>(i + 3);
    buffer* sel = buffer_new();
    for (ZOBJ* o : {x, a, g}) EXPECT_EQ(buffer_add(sel, o), 0);  // x also sits inside G
    buffer_invert_color(sel);
    for (size_t i = 0; i < objs.size(); ++i) {
        EXPECT_EQ(objs[i]->colour, ~static_cast<int32_t>(i + 3)) << objs[i]->name();
    }
    buffer_invert_color(sel);
    for (size_t i = 0; i < objs.size(); ++i)
        EXPECT_EQ(objs[i]->colour, static_cast<int32_t>(i + 3));
    buffer_clear(sel);
    EXPECT_EQ(buffer_add(sel, g), 0);
    buffer_set_color(sel, 7);
    EXPECT_EQ(static_cast<object*>(a)->colour, 3);
    for (ZOBJ* o : {g, x, y}) EXPECT_EQ(static_cast<object*>(o)->colour, 7);
    buffer_free(&sel);
}

TEST_F(BufferOps, BoxIsTheUnionOfTheObjectsBoxes) {
    auto* a = static_cast<object*>(put("a"));
    auto* b = static_cast<object*>(put("b"));
    a->box = {{0, 0, 0}, {1, 2, 3}};
    b->box = {{-1, 1, 1}, {0.5f, 5, 2}};
    buffer* sel = buffer_new();
    BBox box;
    buffer_get_bbox(sel, &box);
    EXPECT_TRUE(bbox_is_empty(box));
    EXPECT_EQ(buffer_add(sel, a), 0);
    EXPECT_EQ(buffer_add(sel, b), 0);
    EXPECT_EQ(buffer_add(sel, model_find_patt(model_, "Solid", &LINEPATT::rtc_class)), 0);  // not drawable
    buffer_get_bbox(sel, &box);
    EXPECT_EQ(box.min.x, -1);
    EXPECT_EQ(box.min.y, 0);
    EXPECT_EQ(box.min.z, 0);
    EXPECT_EQ(box.max.x, 1);
    EXPECT_EQ(box.max.y, 5);
    EXPECT_EQ(box.max.z, 3);
    buffer_free(&sel);
}

TEST_F(BufferOps, InsertIntoKeepsTheReferences) {
    ZOBJ* a = put("a");
    ZOBJ* g = put("G");
    buffer* sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, a), 0);
    EXPECT_EQ(buffer_add(sel, g), 0);
    EXPECT_EQ(buffer_insert_into(sel, get<CONTAINER>("G")), 0);  // G cannot hold itself
    EXPECT_EQ(drawing(), "default[G[a]] M[]");
    EXPECT_EQ(refs(sel), (std::vector<ZOBJ*>{g, a}));
    EXPECT_EQ(buffer_insert_into(sel, nullptr), kBadArgument);
    buffer_free(&sel);
}

// Moving a buffer into a container: what is dissolved, moved, left alone or dropped.
TEST_F(BufferOps, MovingDissolvesOnlyPlainGroups) {
    const struct {
        const char* what;
        std::vector<const char*> selected;
        const char* target;
        const char* want;
    } rows[] = {
        {"a group is dissolved", {"a", "G"}, "M", "default[b L[l]] M[a x H[h]]"},
        {"a layer is moved whole", {"L"}, "M", "default[a G[x H[h]] b] M[L[l]]"},
        {"a group holding the target stays", {"G", "b"}, "H", "default[a G[x H[h b]] L[l]] M[]"},
        {"the model and styles are dropped",
         {"model", "style", "b"},
         "M",
         "default[a G[x H[h]] L[l]] M[b]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        end_drawing();
        new_drawing();
        const char* const start[][2] = {{"a", "default"}, {"G", "default"}, {"x", "G"},
                                        {"H", "G"},       {"h", "H"},       {"b", "default"}};
        for (const auto& [name, where] : start) put(name, where);
        auto layer = rtc_new("L", &LAYER::rtc_class);
        EXPECT_EQ(container_insert(layer_, static_cast<ZOBJ*>(layer.get())), 0);
        named_["L"] = static_cast<ZOBJ*>(layer.release());
        put("l", "L");
        named_["model"] = model_;
        named_["style"] = model_find_patt(model_, "Solid", &LINEPATT::rtc_class);
        buffer* sel = buffer_new();
        // Listed newest first: add in reverse so the buffer runs in the row's order.
        for (auto it = row.selected.rbegin(); it != row.selected.rend(); ++it) {
            EXPECT_EQ(buffer_add(sel, get<ZOBJ>(*it)), 0);
        }
        EXPECT_EQ(container_insert_buffer(get<CONTAINER>(row.target), sel), 0);
        EXPECT_EQ(sel->refs, nullptr);
        EXPECT_EQ(drawing(), row.want);
        buffer_free(&sel);
    }
    EXPECT_EQ(container_insert_buffer(nullptr, nullptr), kBadArgument);
}

TEST_F(BufferOps, DeletingObjectsFreesEachOnce) {
    ZOBJ* g = put("G");
    ZOBJ* x = put("x", "G");
    ZOBJ* a = put("a");
    put("b");
    // Outside the ring nothing purges the child when its group dies first.
    buffer* doomed = buffer_create();
    for (ZOBJ* o : {x, g, a}) EXPECT_EQ(buffer_add(doomed, o), 0);
    buffer* sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, x), 0);
    const long live = rtc_live_objects();
    buffer_delete_objects(doomed);
    EXPECT_EQ(rtc_live_objects(), live - 3);
    EXPECT_EQ(doomed->refs, nullptr);
    EXPECT_EQ(buffer_has_objects(sel), 0);
    EXPECT_EQ(drawing(), "default[b] M[]");
    buffer_free(&doomed);
    buffer_free(&sel);
}

}  // namespace
