// The preview notifier: which steps of the history reach a drawing's listeners, and
// that listeners can come and go, even from inside a report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/db/glimpse_notify.h"
#include "model/db/solid.h"
#include "model/math/result.h"
#include "tests/model/undo_support.h"

namespace {

// Records reports as "+name", "-name" and "cameras".
struct Recorder {
    std::vector<std::string> heard;
    static void hear(void* user, MODEL*, GlimpseEvent event, ZOBJ* obj) {
        auto* r = static_cast<Recorder*>(user);
        switch (event) {
            case GlimpseEvent::kObjectAdded:
                r->heard.push_back(std::string("+") + obj->name());
                break;
            case GlimpseEvent::kObjectRemoved:
                r->heard.push_back(std::string("-") + obj->name());
                break;
            case GlimpseEvent::kDrawingChanged:
                r->heard.push_back("cameras");
                break;
            case GlimpseEvent::kCameraChanged:
                r->heard.push_back(std::string("camera ") + obj->name());
                break;
            default:
                break;
        }
    }
};

class UndoPreview : public UndoTest {
  protected:
    void TearDown() override {
        glimpse_unsubscribe_model(model_);
        UndoTest::TearDown();
    }
    ZOBJ* add(const char* name, RtcClass* cls) {
        auto obj = rtc_new(name, cls);
        EXPECT_EQ(model_add_object(layer_, static_cast<ZOBJ*>(obj.get()), -1, 1), 0);
        named_[name] = static_cast<ZOBJ*>(obj.get());
        return static_cast<ZOBJ*>(obj.release());
    }
};

TEST_F(UndoPreview, MeshesGroupsAndCamerasAreReported) {
    Recorder rec;
    ASSERT_EQ(glimpse_subscribe(model_, &Recorder::hear, &rec), 0);
    ASSERT_EQ(glimpse_subscribe(model_, &Recorder::hear, &rec), 0);  // once only
    EXPECT_EQ(glimpse_listener_count(model_), 1);
    add("mesh", &MESH3::rtc_class);
    add("line", &XPLINE::rtc_class);
    add("cam", &CAMERA::rtc_class);
    add("group", &CONTAINER::rtc_class);
    EXPECT_EQ(model_delete_object(get<ZOBJ>("mesh"), -1, 1), 0);
    model_undo(model_);
    model_redo(model_);
    model_undo(model_);
    model_rollback(model_);  // group is destroyed: the preview must drop it
    EXPECT_EQ(rec.heard, (std::vector<std::string>{"+mesh", "cameras", "+group", "-mesh", "+mesh",
                                                   "-mesh", "+mesh", "-group"}));
    rec.heard.clear();
    glimpse_notify_camera(model_, get<ZOBJ>("cam"));
    glimpse_notify_camera(model_, nullptr);
    EXPECT_EQ(rec.heard, (std::vector<std::string>{"camera cam"}));
}

TEST_F(UndoPreview, OnlyTheDrawingsOwnListenersHear) {
    Recorder mine, theirs;
    auto other = rtc_make<MODEL>();
    (void)glimpse_subscribe(model_, &Recorder::hear, &mine);
    (void)glimpse_subscribe(other.get(), &Recorder::hear, &theirs);
    add("mesh", &MESH3::rtc_class);
    glimpse_unsubscribe(model_, &Recorder::hear, &mine);
    add("mesh2", &MESH3::rtc_class);
    EXPECT_EQ(mine.heard, std::vector<std::string>{"+mesh"});
    EXPECT_TRUE(theirs.heard.empty());
    glimpse_unsubscribe_model(other.get());
    EXPECT_EQ(glimpse_listener_count(other.get()), 0);
    EXPECT_EQ(glimpse_subscribe(nullptr, &Recorder::hear, &mine), kBadArgument);
    EXPECT_EQ(glimpse_subscribe(model_, nullptr, &mine), kBadArgument);
}

// A listener that leaves on its first report and lets a second one in: the leaver is
// not called again, the newcomer hears the next report only.
struct Leaver {
    Recorder* newcomer;
    int calls = 0;
    static void hear(void* user, MODEL* model, GlimpseEvent, ZOBJ*) {
        auto* l = static_cast<Leaver*>(user);
        ++l->calls;
        glimpse_unsubscribe(model, &Leaver::hear, l);
        (void)glimpse_subscribe(model, &Recorder::hear, l->newcomer);
    }
};

TEST_F(UndoPreview, ListenersMayComeAndGoDuringAReport) {
    Recorder newcomer;
    Leaver leaver{&newcomer};
    (void)glimpse_subscribe(model_, &Leaver::hear, &leaver);
    add("m1", &MESH3::rtc_class);
    add("m2", &MESH3::rtc_class);
    EXPECT_EQ(leaver.calls, 1);
    EXPECT_EQ(newcomer.heard, std::vector<std::string>{"+m2"});
    EXPECT_EQ(glimpse_notify_object_added(nullptr, nullptr), 0);
}

}  // namespace
