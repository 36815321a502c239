// Default names of new objects (unique per class within a model) and heap texts.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/result.h"

namespace {

class NamingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        model = rtc_make<MODEL>();
        layer = static_cast<CONTAINER*>(model->first_child());
    }

    // Names a new object of class T with `text`, inserts it into `into` (the layer
    // by default) and returns its name.
    template <class T>
    std::string name_new(const char* text, CONTAINER* into = nullptr) {
        T* o = rtc_make<T>().release();
        EXPECT_EQ(obj_default_name(model.get(), o, 0, text), 0);
        EXPECT_EQ(container_insert(into ? into : layer, o), 0);
        return o->name();
    }

    std::unique_ptr<MODEL> model;
    CONTAINER* layer = nullptr;
};

TEST_F(NamingTest, DefaultTextsByClass) {
    EXPECT_EQ(name_new<VPORT>(nullptr), "Viewpoint01");
    EXPECT_EQ(name_new<LIGHT>(""), "Light01");
    EXPECT_EQ(name_new<CAMERA>(nullptr), "Camera01");
    EXPECT_EQ(name_new<XPLINE>(nullptr), "Object01");
    EXPECT_EQ(name_new<CONTAINER>(nullptr), "Object01");  // another class: no clash
    EXPECT_EQ(name_new<XPLINE>("Wall"), "Wall");
}

TEST_F(NamingTest, NumberingTable) {
    EXPECT_EQ(name_new<CAMERA>(nullptr), "Camera01");
    EXPECT_EQ(name_new<CAMERA>(nullptr), "Camera02");
    EXPECT_EQ(name_new<CAMERA>(nullptr), "Camera03");
    EXPECT_EQ(name_new<CAMERA>("<Viewport>"), "<Viewport>01");  // always numbered
    EXPECT_EQ(name_new<CAMERA>("<Viewport>"), "<Viewport>02");
    EXPECT_EQ(name_new<XPLINE>("<Viewport>"), "<Viewport>");  // only cameras
    EXPECT_EQ(name_new<XPLINE>("12"), "12");
    EXPECT_EQ(name_new<XPLINE>("12"), "01");  // digits only: empty stem
    for (const char* taken : {"Wall07", "Wall01", "Wall02", "Wall04"}) name_new<XPLINE>(taken);
    EXPECT_EQ(name_new<XPLINE>("Wall07"), "Wall03");
    EXPECT_EQ(name_new<XPLINE>("Wall07"), "Wall05");
    EXPECT_EQ(name_new<XPLINE>("Wall"), "Wall");
    EXPECT_EQ(name_new<XPLINE>("Wall"), "Wall06");

    auto loose = rtc_make<CAMERA>();  // no model: only "<Viewport>" is numbered
    EXPECT_EQ(obj_default_name(nullptr, loose.get(), 0, "<Viewport>"), 0);
    EXPECT_STREQ(loose->name(), "<Viewport>01");
    EXPECT_EQ(obj_default_name(nullptr, loose.get(), 0, "Camera01"), 0);
    EXPECT_STREQ(loose->name(), "Camera01");
    EXPECT_EQ(obj_default_name(model.get(), nullptr, 0, "x"), kBadArgument);
}

TEST_F(NamingTest, SubclassesCountAsTheirClass) {
    name_new<SPOTLITE>("Light01");
    EXPECT_EQ(name_new<LIGHT>("Light01"), "Light02");     // clashes with the spot
    // Lights of either kind share their names: the plain Light02 counts for a spot too.
    EXPECT_EQ(name_new<SPOTLITE>("Light02"), "Light03");

    // Patterns are checked against the pattern ring, by class.
    auto line = rtc_make<LINEPATT>();
    EXPECT_EQ(obj_default_name(model.get(), line.get(), 0, "Solid"), 0);
    EXPECT_STREQ(line->name(), "Solid01");
    auto font = rtc_make<FONTPATT>();
    EXPECT_EQ(obj_default_name(model.get(), font.get(), 0, "Solid"), 0);
    EXPECT_STREQ(font->name(), "Solid");
}

TEST_F(NamingTest, NestedContainersAndTheObjectItself) {
    auto* outer = rtc_make<CONTAINER>().release();
    EXPECT_EQ(container_insert(layer, outer), 0);
    auto* inner = rtc_make<CONTAINER>().release();
    EXPECT_EQ(container_insert(outer, inner), 0);
    EXPECT_EQ(name_new<CAMERA>(nullptr, inner), "Camera01");
    EXPECT_EQ(name_new<CAMERA>(nullptr), "Camera02");  // sees the nested one
    EXPECT_EQ(name_new<CAMERA>(nullptr, outer), "Camera03");

    // Renaming an object to the name it already has keeps it; to the name of
    // another object, even one later in the tree, does not.
    auto* first = static_cast<ZOBJ*>(inner->children);
    EXPECT_EQ(obj_default_name(model.get(), first, 0, "Camera01"), 0);
    EXPECT_STREQ(first->name(), "Camera01");
    EXPECT_EQ(obj_default_name(model.get(), first, 0, "Camera03"), 0);
    EXPECT_STREQ(first->name(), "Camera01");  // 01 is its own again
    first->set_string(0, "Camera02");         // now a duplicate of a later camera
    EXPECT_EQ(obj_default_name(model.get(), first, 0, "Camera02"), 0);
    EXPECT_STREQ(first->name(), "Camera01");
}

TEST_F(NamingTest, NamesStayUniquePerClassAcrossManyObjects) {
    std::mt19937 rng(7);
    std::vector<CONTAINER*> groups{layer};
    const char* texts[] = {nullptr, "", "Box", "Box3", "7", "<Viewport>"};
    for (int i = 0; i < 400; ++i) {
        CONTAINER* into = groups[rng() % groups.size()];
        const char* text = texts[rng() % 6];
        switch (rng() % 4) {
            case 0:
                name_new<CAMERA>(text, into);
                break;
            case 1:
                name_new<LIGHT>(text, into);
                break;
            case 2:
                name_new<XPLINE>(text, into);
                break;
            default: {
                auto* g = rtc_make<CONTAINER>().release();
                (void)obj_default_name(model.get(), g, 0, text);
                EXPECT_EQ(container_insert(into, g), 0);
                groups.push_back(g);
            }
        }
    }
    std::map<const RtcClass*, std::set<std::string>> seen;
    int count = 0;
    for (ZOBJ* z = tree_next(model.get(), model.get()); z; z = tree_next(z, model.get())) {
        if (z == layer) continue;
        ++count;
        EXPECT_TRUE(seen[z->klass()].insert(z->name()).second) << z->name();
    }
    EXPECT_EQ(count, 400);
}

TEST_F(NamingTest, NumbersGoPastTwoDigits) {
    for (int i = 1; i < 100; ++i) name_new<CAMERA>(nullptr);
    EXPECT_EQ(name_new<CAMERA>(nullptr), "Camera100");
}

TEST(HeapTextTest, AppendAndDuplicate) {
    char* s = nullptr;
    EXPECT_EQ(str_append_char(&s, 'a'), 0);
    EXPECT_EQ(str_append_char(&s, 'b'), 0);
    EXPECT_STREQ(s, "ab");
    char* copy = nullptr;
    EXPECT_EQ(str_dup_into(&copy, s), 0);
    EXPECT_NE(copy, s);
    EXPECT_STREQ(copy, "ab");
    str_free(&copy);
    EXPECT_EQ(str_dup_into(&copy, nullptr), 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "");
    EXPECT_EQ(str_append_char(nullptr, 'x'), kBadArgument);
    EXPECT_EQ(str_dup_into(nullptr, "x"), kBadArgument);
    str_free(&copy);
    str_free(&s);
    EXPECT_EQ(s, nullptr);
}

}  // namespace
