// Object system: class set-up and lookup, the kind test, making objects with
// failing levels, cloning and copying.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "model/db/buffer.h"
#include "model/db/iter.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"

namespace {

// ---- A small chain of test classes whose init can be told to fail at one level.

struct Trace {
    std::vector<std::string> events;
    int fail_level = -1;
    int fail_code = 8;
};
Trace g_trace;

int trace_init(RTC*, int level) {
    g_trace.events.push_back("init" + std::to_string(level));
    return level == g_trace.fail_level ? g_trace.fail_code : 0;
}

class TLevel1 : public RTC {
  public:
    static RtcClass rtc_class;
    TLevel1() { set_klass(&rtc_class); }
    ~TLevel1() override {
        delete owned1;
        g_trace.events.push_back("destroy1");
    }
    static int init(RTC* o) {
        auto* self = static_cast<TLevel1*>(o);
        self->owned1 = new int(1);
        return trace_init(o, 1);
    }
    int* owned1 = nullptr;
};
class TLevel2 : public TLevel1 {
  public:
    static RtcClass rtc_class;
    TLevel2() { set_klass(&rtc_class); }
    ~TLevel2() override {
        delete owned2;
        g_trace.events.push_back("destroy2");
    }
    static int init(RTC* o) {
        static_cast<TLevel2*>(o)->owned2 = new std::string("level two owns this");
        return trace_init(o, 2);
    }
    std::string* owned2 = nullptr;
};
class TLevel3 : public TLevel2 {
  public:
    static RtcClass rtc_class;
    TLevel3() { set_klass(&rtc_class); }
    ~TLevel3() override {
        delete[] owned3;
        g_trace.events.push_back("destroy3");
    }
    static int init(RTC* o) {
        static_cast<TLevel3*>(o)->owned3 = new char[64];
        return trace_init(o, 3);
    }
    char* owned3 = nullptr;
};
class TLevel4 : public TLevel3 {
  public:
    static RtcClass rtc_class;
    TLevel4() { set_klass(&rtc_class); }
    ~TLevel4() override {
        delete[] owned4;
        g_trace.events.push_back("destroy4");
    }
    static int init(RTC* o) {
        static_cast<TLevel4*>(o)->owned4 = new double[8];
        return trace_init(o, 4);
    }
    double* owned4 = nullptr;
};

}  // namespace

RTC_CLASS_RECORD(TLevel1, "TLevel1", &RTC::rtc_class, 1, &TLevel1::init, nullptr, nullptr, false,
                 false);
RTC_CLASS_RECORD(TLevel2, "TLevel2", &TLevel1::rtc_class, 2, &TLevel2::init, nullptr, nullptr,
                 false, false);
RTC_CLASS_RECORD(TLevel3, "TLevel3", &TLevel2::rtc_class, 3, &TLevel3::init, nullptr, nullptr,
                 false, false);
RTC_CLASS_RECORD(TLevel4, "TLevel4", &TLevel3::rtc_class, 4, &TLevel4::init, nullptr, nullptr,
                 false, false);

namespace {

// A named thing whose init fails while the trace asks for level 9.
class TFragile : public ZOBJ {
  public:
    static RtcClass rtc_class;
    TFragile() { set_klass(&rtc_class); }
    static int init(RTC*) { return g_trace.fail_level == 9 ? 8 : 0; }
};

// Never set up by anything but the concurrency test.
class TRace : public ZOBJ {
  public:
    static RtcClass rtc_class;
    TRace() { set_klass(&rtc_class); }
};

}  // namespace

RTC_CLASS_RECORD(TFragile, "TFragile", &ZOBJ::rtc_class, 3, &TFragile::init, &rtc_copy_slot<ZOBJ>,
                 nullptr, false, false);
RTC_CLASS_RECORD(TRace, "TRace", &ZOBJ::rtc_class, 3, nullptr, &rtc_copy_slot<ZOBJ>, nullptr, false,
                 false);

namespace {

class RtcEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { rtc_register_all(); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new RtcEnvironment);

std::vector<std::string> class_list() {
    std::vector<std::string> names;
    for (const RtcClass* c = &RTC::rtc_class; c; c = c->next) names.emplace_back(c->name);
    return names;
}

const char* const kRegistrationOrder[] = {
    "ZDLIST",   "buffer", "ZOBJ",      "VPORT",  "PATT",  "LINEPATT", "HATCHPATT", "FONTPATT",
    "MATRPATT", "object", "CONTAINER", "LAYER",  "MODEL", "WIRE",     "ELARC",     "HATCH",
    "TEXT2",    "XPLINE", "MESH3",     "CAMERA", "LIGHT", "SPOTLITE", "ZSVIEW"};

TEST(RtcRegistry, ClassListHoldsEveryClassNewestFirstAfterTheRoot) {
    const auto names = class_list();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "RTC");
    // The registered classes appear in the reverse of their set-up order.
    std::vector<size_t> positions;
    for (const char* n : kRegistrationOrder) {
        auto it = std::find(names.begin(), names.end(), n);
        ASSERT_NE(it, names.end()) << n;
        positions.push_back(static_cast<size_t>(it - names.begin()));
    }
    for (size_t i = 1; i < positions.size(); ++i) {
        EXPECT_LT(positions[i], positions[i - 1]) << kRegistrationOrder[i];
    }
}

TEST(RtcRegistry, DepthsAndAncestorTables) {
    struct Row {
        const char* name;
        int depth;
        const char* ancestors;  // root first
    };
    const Row rows[] = {
        {"RTC", 0, "RTC"},
        {"ZDLIST", 1, "RTC ZDLIST"},
        {"buffer", 2, "RTC ZDLIST buffer"},
        {"ZSVIEW", 2, "RTC ZDLIST ZSVIEW"},
        {"ZOBJ", 2, "RTC ZDLIST ZOBJ"},
        {"VPORT", 3, "RTC ZDLIST ZOBJ VPORT"},
        {"MATRPATT", 4, "RTC ZDLIST ZOBJ PATT MATRPATT"},
        {"LAYER", 5, "RTC ZDLIST ZOBJ object CONTAINER LAYER"},
        {"MODEL", 5, "RTC ZDLIST ZOBJ object CONTAINER MODEL"},
        {"TEXT2", 5, "RTC ZDLIST ZOBJ object WIRE TEXT2"},
        {"SPOTLITE", 5, "RTC ZDLIST ZOBJ object LIGHT SPOTLITE"},
        {"MESH3", 4, "RTC ZDLIST ZOBJ object MESH3"},
    };
    for (const Row& r : rows) {
        const RtcClass* c = rtc_find_class(r.name);
        ASSERT_NE(c, nullptr) << r.name;
        EXPECT_EQ(c->depth.load(), r.depth) << r.name;
        std::string chain;
        for (int i = 0; i <= r.depth; ++i)
            chain += std::string(i ? " " : "") + c->ancestors[i]->name;
        EXPECT_EQ(chain, r.ancestors);
    }
}

TEST(RtcRegistry, LookupIsExactAndCaseSensitive) {
    EXPECT_EQ(rtc_find_class("RTC"), &RTC::rtc_class);
    EXPECT_EQ(rtc_find_class("MODEL"), &MODEL::rtc_class);
    EXPECT_EQ(rtc_find_class("object"), &object::rtc_class);
    for (const char* miss : {"rtc", "Model", "OBJECT", "MODEL ", "", "XPLINE2"}) {
        EXPECT_EQ(rtc_find_class(miss), nullptr) << '"' << miss << '"';
    }
    EXPECT_EQ(rtc_find_class(nullptr), nullptr);
}

TEST(RtcRegistry, ClassNeverSetUpIsSetUpWithItsChainOnFirstInit) {
    // ZITER and CLIPITER are not registered at start-up.
    std::unique_ptr<RTC> it;
    ASSERT_EQ(rtc_init(it, &CLIPITER::rtc_class), 0);
    EXPECT_EQ(rtc_find_class("CLIPITER"), &CLIPITER::rtc_class);
    EXPECT_EQ(rtc_find_class("ZITER"), &ZITER::rtc_class);
    EXPECT_EQ(CLIPITER::rtc_class.depth.load(), 2);
    EXPECT_TRUE(rtc_is<ZITER>(it.get()));
}

TEST(RtcRegistry, ConcurrentSetUpOfOneClassIsSafe) {
    ASSERT_LT(TRace::rtc_class.depth.load(), 0);
    std::atomic<int> go{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            while (!go.load()) {
            }
            rtc_class_setup(&TRace::rtc_class);
        });
    }
    go = 1;
    for (auto& t : threads) t.join();
    EXPECT_EQ(TRace::rtc_class.depth.load(), 3);
    const auto names = class_list();
    EXPECT_EQ(std::count(names.begin(), names.end(), "TRace"), 1);
}

// ---- Kind test

TEST(RtcKind, Matrix) {
    std::unique_ptr<RTC> layer, container, model, spot, text, buf;
    ASSERT_EQ(rtc_init(layer, &LAYER::rtc_class), 0);
    ASSERT_EQ(rtc_init(container, &CONTAINER::rtc_class), 0);
    ASSERT_EQ(rtc_init(model, &MODEL::rtc_class), 0);
    ASSERT_EQ(rtc_init(spot, &SPOTLITE::rtc_class), 0);
    ASSERT_EQ(rtc_init(text, &TEXT2::rtc_class), 0);
    ASSERT_EQ(rtc_init(buf, &buffer::rtc_class), 0);

    struct Row {
        const RTC* obj;
        const RtcClass* cls;
        bool expected;
    };
    const Row rows[] = {
        {nullptr, &RTC::rtc_class, false},          {nullptr, &LAYER::rtc_class, false},
        {layer.get(), &CONTAINER::rtc_class, true}, {container.get(), &LAYER::rtc_class, false},
        {model.get(), &LAYER::rtc_class, false},    {model.get(), &CONTAINER::rtc_class, true},
        {layer.get(), &MODEL::rtc_class, false},    {spot.get(), &LIGHT::rtc_class, true},
        {spot.get(), &CAMERA::rtc_class, false},    {text.get(), &WIRE::rtc_class, true},
        {text.get(), &XPLINE::rtc_class, false},    {text.get(), &object::rtc_class, true},
        {buf.get(), &ZOBJ::rtc_class, false},       {buf.get(), &ZDLIST::rtc_class, true},
        {layer.get(), &buffer::rtc_class, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(rtc_is_a(r.obj, r.cls), r.expected)
            << (r.obj ? r.obj->klass()->name : "null") << " vs " << r.cls->name;
    }
    for (const RTC* o :
         {layer.get(), container.get(), model.get(), spot.get(), text.get(), buf.get()}) {
        EXPECT_TRUE(rtc_is_a(o, &RTC::rtc_class)) << o->klass()->name;
        EXPECT_TRUE(rtc_is_a(o, o->klass())) << o->klass()->name;
    }
}

TEST(RtcKind, EveryRegisteredClassMakesAnObjectOfItself) {
    for (const char* name : kRegistrationOrder) {
        RtcClass* c = rtc_find_class(name);
        ASSERT_NE(c, nullptr);
        std::unique_ptr<RTC> o;
        ASSERT_EQ(rtc_init(o, c), 0) << name;
        EXPECT_EQ(o->klass(), c) << name;
        EXPECT_EQ(c->instance_size > 0, true);
    }
}

// ---- Making objects

struct InitCase {
    int fail_level;
    int code;
    std::vector<std::string> events;
};

TEST(RtcInit, FailingLevelStopsTheChainAndEverythingMadeIsFreed) {
    const InitCase cases[] = {
        {-1, 0, {"init1", "init2", "init3", "init4"}},
        {1, 8, {"init1", "destroy4", "destroy3", "destroy2", "destroy1"}},
        {3, 8, {"init1", "init2", "init3", "destroy4", "destroy3", "destroy2", "destroy1"}},
        {3, 13, {"init1", "init2", "init3", "destroy4", "destroy3", "destroy2", "destroy1"}},
        {4,
         22,
         {"init1", "init2", "init3", "init4", "destroy4", "destroy3", "destroy2", "destroy1"}},
    };
    for (const InitCase& c : cases) {
        g_trace = {};
        g_trace.fail_level = c.fail_level;
        g_trace.fail_code = c.code ? c.code : 8;
        std::unique_ptr<RTC> out;
        EXPECT_EQ(rtc_init(out, &TLevel4::rtc_class), c.code) << "fail at " << c.fail_level;
        EXPECT_EQ(out == nullptr, c.code != 0);
        out.reset();
        if (c.code == 0) {
            g_trace.events.erase(g_trace.events.end() - 4, g_trace.events.end());
        }
        EXPECT_EQ(g_trace.events, c.events) << "fail at " << c.fail_level;
    }
}

TEST(RtcInit, RtcNewNamesTheObjectAndMakeReturnsTyped) {
    auto cam = rtc_new("Cam", &CAMERA::rtc_class);
    ASSERT_NE(cam, nullptr);
    EXPECT_STREQ(static_cast<ZOBJ*>(cam.get())->name(), "Cam");
    auto unnamed = rtc_new(nullptr, &VPORT::rtc_class);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_STREQ(static_cast<ZOBJ*>(unnamed.get())->name(), "");
    // A class without a set-string slot is made without a name.
    auto buf = rtc_new("ignored", &buffer::rtc_class);
    EXPECT_NE(buf, nullptr);

    g_trace = {};
    g_trace.fail_level = 2;
    EXPECT_EQ(rtc_new("x", &TLevel3::rtc_class), nullptr);
    std::unique_ptr<RTC> none;
    EXPECT_EQ(rtc_init(none, nullptr), kBadArgument);
}

// ---- Cloning and copying

TEST(RtcClone, ResultCodes) {
    std::unique_ptr<RTC> out;
    auto src = rtc_new("Wall07", &XPLINE::rtc_class);
    EXPECT_EQ(rtc_clone(nullptr, src.get()), kBadArgument);

    out = rtc_new("stale", &LAYER::rtc_class);
    EXPECT_EQ(rtc_clone(&out, nullptr), 0);
    EXPECT_EQ(out, nullptr);

    ASSERT_EQ(rtc_clone(&out, src.get()), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->klass(), &XPLINE::rtc_class);
    EXPECT_STREQ(static_cast<ZOBJ*>(out.get())->name(), "Wall07");
    EXPECT_NE(out.get(), src.get());

    // A class without a copy method cannot be cloned.
    auto buf = rtc_new(nullptr, &buffer::rtc_class);
    EXPECT_EQ(rtc_clone(&out, buf.get()), kBadArgument);
    EXPECT_EQ(out, nullptr);

    // The clone's own init failing gives 8 and nothing.
    g_trace = {};
    std::unique_ptr<RTC> fragile;
    ASSERT_EQ(rtc_init(fragile, &TFragile::rtc_class), 0);
    g_trace.fail_level = 9;
    out = rtc_new("stale", &LAYER::rtc_class);
    EXPECT_EQ(rtc_clone(&out, fragile.get()), kOutOfMemory);
    EXPECT_EQ(out, nullptr);
    g_trace.fail_level = -1;
    EXPECT_EQ(rtc_clone(&out, fragile.get()), 0);
    EXPECT_NE(out, nullptr);
}

TEST(RtcClone, CopyBaseAtZobjDepthCallsNothing) {
    auto a = rtc_new("a", &ZOBJ::rtc_class);
    auto b = rtc_new("b", &ZOBJ::rtc_class);
    EXPECT_EQ(rtc_copy_base(a.get(), b.get(), &ZOBJ::rtc_class), 0);
    EXPECT_STREQ(static_cast<ZOBJ*>(b.get())->name(), "b");
    // One level down, the ZOBJ copy runs and brings the strings.
    auto v1 = rtc_new("view one", &VPORT::rtc_class);
    auto v2 = rtc_new("view two", &VPORT::rtc_class);
    EXPECT_EQ(rtc_copy_base(v1.get(), v2.get(), &VPORT::rtc_class), 0);
    EXPECT_STREQ(static_cast<ZOBJ*>(v2.get())->name(), "view one");
}

TEST(RtcClone, CopyBodyMovesOnlyTheSharedLevels) {
    auto z = rtc_make<ZOBJ>();
    z->set_string(0, "name");
    z->set_string(2, "third");
    z->file_id = 42;
    auto o = rtc_make<object>();
    o->colour = 5;
    o->width = 2.5f;
    rtc_copy_body(o.get(), z.get());
    EXPECT_STREQ(o->name(), "name");
    EXPECT_STREQ(o->str(2), "third");
    EXPECT_EQ(o->file_id, 42);
    EXPECT_EQ(o->colour, 5);
    EXPECT_EQ(o->width, 2.5f);
    EXPECT_EQ(o->parent, nullptr);
}

TEST(RtcStartup, StartedFlagIsSetOnce) {
    rtc_startup(1, 2);
    EXPECT_TRUE(rtc_started());
    rtc_startup(0, 0);
    EXPECT_TRUE(rtc_started());
}

}  // namespace

namespace {

TEST(RtcKind, IteratorMadeOnTheStackIsOfItsClass) {
    CLIPITER clip;
    EXPECT_TRUE(rtc_is<ZITER>(&clip));
    EXPECT_TRUE(rtc_is<CLIPITER>(&clip));
    EXPECT_EQ(rtc_find_class("CLIPITER"), &CLIPITER::rtc_class);
}

}  // namespace
