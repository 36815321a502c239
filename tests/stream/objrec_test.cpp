// Object records: the class-name chunk and level data on the wire, the class-level
// chains (base levels first, a level without a method ending the chain), and the
// reader's refusals: no class chunk, unknown or non-drawing classes, failing loads and
// inits, all without leaving an object behind.
#include "model/db/zobj.h"
#include "tests/stream/stream_support.h"

namespace {

int g_init_result = 0;
int failing_init(RTC*) {
    return g_init_result;
}

class TSTBASE : public ZOBJ {
  public:
    static RtcClass rtc_class;
    TSTBASE() { set_klass(&rtc_class); }
    int32_t a = 0;
};
class TSTLEAF : public TSTBASE {
  public:
    static RtcClass rtc_class;
    TSTLEAF() { set_klass(&rtc_class); }
    int32_t b = 0;
};
// A level without methods of its own: the base's method serves it.
class TSTQUIET : public TSTBASE {
  public:
    static RtcClass rtc_class;
    TSTQUIET() { set_klass(&rtc_class); }
};
// A level with a method whose base (TSTQUIET) has none: the chain ends there.
class TSTGAP : public TSTQUIET {
  public:
    static RtcClass rtc_class;
    TSTGAP() { set_klass(&rtc_class); }
    int32_t c = 0;
};
class TSTINIT : public TSTBASE {
  public:
    static RtcClass rtc_class;
    TSTINIT() { set_klass(&rtc_class); }
};
// Never set up: its objects have no chain at all.
class TSTLONELY : public ZOBJ {
  public:
    static RtcClass rtc_class;
    TSTLONELY() { set_klass(&rtc_class); }
};

RTC_CLASS_RECORD(TSTBASE, "TSTBASE", &ZOBJ::rtc_class, 3, nullptr, nullptr, nullptr, true, true);
RTC_CLASS_RECORD(TSTLEAF, "TSTLEAF", &TSTBASE::rtc_class, 4, nullptr, nullptr, nullptr, true, true);
RTC_CLASS_RECORD(TSTQUIET, "TSTQUIET", &TSTBASE::rtc_class, 4, nullptr, nullptr, nullptr, false,
                 false);
RTC_CLASS_RECORD(TSTGAP, "TSTGAP", &TSTQUIET::rtc_class, 5, nullptr, nullptr, nullptr, true, true);
RTC_CLASS_RECORD(TSTINIT, "TSTINIT", &TSTBASE::rtc_class, 4, &failing_init, nullptr, nullptr, false,
                 false);
RTC_CLASS_RECORD(TSTLONELY, "TSTLONELY", &ZOBJ::rtc_class, 3, nullptr, nullptr, nullptr, true,
                 true);

int base_save(IOstream* s, RTC* o) {
    rtc_save_base(s, o, &TSTBASE::rtc_class);
    io_put_long(s, static_cast<TSTBASE*>(o)->a);
    return 0;
}
int base_load(IOstream* s, RTC* o) {
    rtc_load_base(s, o, &TSTBASE::rtc_class);
    auto* t = static_cast<TSTBASE*>(o);
    t->a = io_get_long(s);
    if (t->a == 666) io_raise(s, kBadArgument);
    return 0;
}
int leaf_save(IOstream* s, RTC* o) {
    rtc_save_base(s, o, &TSTLEAF::rtc_class);
    io_put_long(s, static_cast<TSTLEAF*>(o)->b);
    return 0;
}
int leaf_load(IOstream* s, RTC* o) {
    rtc_load_base(s, o, &TSTLEAF::rtc_class);
    static_cast<TSTLEAF*>(o)->b = io_get_long(s);
    return 0;
}
int gap_save(IOstream* s, RTC* o) {
    EXPECT_EQ(rtc_save_base(s, o, &TSTGAP::rtc_class), 1);  // base without a method
    io_put_long(s, static_cast<TSTGAP*>(o)->c);
    return 7;
}
int gap_load(IOstream* s, RTC* o) {
    rtc_load_base(s, o, &TSTGAP::rtc_class);
    static_cast<TSTGAP*>(o)->c = io_get_long(s);
    return 0;
}
int lonely_save(IOstream* s, RTC*) {
    io_put_long(s, 99);
    return 0;
}

class ObjectRecords : public StreamTest {
  protected:
    void SetUp() override {
        StreamTest::SetUp();
        for (RtcClass* c : {&TSTBASE::rtc_class, &TSTLEAF::rtc_class, &TSTQUIET::rtc_class,
                            &TSTGAP::rtc_class, &TSTINIT::rtc_class})
            rtc_class_setup(c);
        io_set_class_methods(&TSTBASE::rtc_class, &base_save, &base_load);
        io_set_class_methods(&TSTLEAF::rtc_class, &leaf_save, &leaf_load);
        io_set_class_methods(&TSTGAP::rtc_class, &gap_save, &gap_load);
        io_set_class_methods(&TSTLONELY::rtc_class, &lonely_save, nullptr);
        g_init_result = 0;
    }

    // Reads one record inside its outer chunk; returns the guard's code.
    int read_record(const Bytes& b, std::unique_ptr<RTC>& out) {
        return read_bytes(b, [&](IOrec* s) {
            IoChunkReader rec(s);
            io_get_object(s, out);
        });
    }

    Bytes class_chunk(const std::string& name) {
        Bytes b = bytes(
            {0x7F, static_cast<int>(name.size() + 1), 0, 0, 0, static_cast<int>(name.size())});
        b.insert(b.end(), name.begin(), name.end());
        return b;
    }
};

TEST_F(ObjectRecords, RecordBytesAndRoundTrip) {
    TSTLEAF leaf;
    leaf.a = 1;
    leaf.b = 2;
    const Bytes b = written([&](IOrec* s) { EXPECT_EQ(io_put_object(s, &leaf, 126), 0); });
    EXPECT_EQ(b, concat({bytes({0x7E, 21, 0, 0, 0}), class_chunk("TSTLEAF"), bytes({1, 0, 0, 0}),
                         bytes({2, 0, 0, 0})}));
    std::unique_ptr<RTC> out;
    ASSERT_EQ(read_record(b, out), 0);
    auto* back = rtc_cast<TSTLEAF>(out.get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->a, 1);
    EXPECT_EQ(back->b, 2);
}

TEST_F(ObjectRecords, ChainsRunBaseLevelsFirstAndStopAtAGap) {
    TSTQUIET quiet;
    quiet.a = 5;
    TSTGAP gap;
    gap.a = 6;
    gap.c = 7;
    int gap_result = 0;
    const Bytes b = written([&](IOrec* s) {
        EXPECT_EQ(rtc_save(s, &quiet), 0);  // the base's method serves the quiet level
        gap_result = rtc_save(s, &gap);     // TSTBASE's data is not written
        // Not of the given class: nothing written, 0. The root: 1.
        EXPECT_EQ(rtc_save_base(s, &quiet, &TSTLEAF::rtc_class), 0);
        EXPECT_EQ(rtc_save_base(s, &quiet, &RTC::rtc_class), 1);
        EXPECT_EQ(rtc_save_base(s, nullptr, &TSTBASE::rtc_class), 0);
        // A class never set up, and an object none of whose levels has a method.
        TSTLONELY lonely;
        EXPECT_EQ(rtc_save(s, &lonely), 0);
        ZOBJ plain;
        EXPECT_EQ(rtc_save(s, &plain), 0);
    });
    EXPECT_EQ(gap_result, 7);
    EXPECT_EQ(b, bytes({5, 0, 0, 0, 7, 0, 0, 0}));
}

TEST_F(ObjectRecords, ExtraTrailingDataIsSkippedByTheCallersClose) {
    TSTBASE first;
    first.a = 3;
    TSTBASE second;
    second.a = 4;
    const Bytes b = written([&](IOrec* s) {
        {
            IoChunkWriter rec(s, 126);
            {
                IoChunkWriter name(s, kIoClassNameTag);
                io_put_string(s, "TSTBASE");
            }
            io_put_long(s, 3);
            IoChunkWriter later(s, 4000);  // data of a newer writer
            io_put_string(s, "unknown to this reader");
        }
        io_put_object(s, &second, 126);
    });
    std::vector<int32_t> got;
    EXPECT_EQ(read_bytes(b,
                         [&](IOrec* s) {
                             for (int i = 0; i < 2; ++i) {
                                 IoChunkReader rec(s);
                                 std::unique_ptr<RTC> o;
                                 io_get_object(s, o);
                                 got.push_back(static_cast<TSTBASE*>(o.get())->a);
                             }
                         }),
              0);
    EXPECT_EQ(got, (std::vector<int32_t>{3, 4}));
}

TEST_F(ObjectRecords, RefusedRecordsLeaveNoObject) {
    const long before = rtc_live_objects();
    const struct {
        Bytes record;
        int code;
    } cases[] = {
        // First inner chunk not the class name.
        {concat({bytes({0x7E, 9, 0, 0, 0}), bytes({0x10, 4, 0, 0, 0, 1, 2, 3, 4})}),
         kIoNoClassChunk},
        // No class of that name; classes that are not drawing classes.
        {concat({bytes({0x7E, 12, 0, 0, 0}), class_chunk("NOSUCH")}), kIoUnknownClass},
        {concat({bytes({0x7E, 14, 0, 0, 0}), class_chunk("IOrecStd")}), kIoUnknownClass},
        {concat({bytes({0x7E, 12, 0, 0, 0}), class_chunk("buffer")}), kIoUnknownClass},
        {concat({bytes({0x7E, 11, 0, 0, 0}), class_chunk("MODEL")}), kIoUnknownClass},
        {concat({bytes({0x7E, 9, 0, 0, 0}), class_chunk("RTC")}), kIoUnknownClass},
        {concat({bytes({0x7E, 11, 0, 0, 0}), class_chunk("ZITER")}), kIoUnknownClass},
        // A load that raises half-way: the code goes out, the object is destroyed.
        {concat({bytes({0x7E, 17, 0, 0, 0}), class_chunk("TSTBASE"), bytes({0x9A, 2, 0, 0})}),
         kBadArgument},
        // Data ending inside the record: the transport's code.
        {concat({bytes({0x7E, 15, 0, 0, 0}), class_chunk("TSTBASE"), bytes({1, 2})}), 1},
    };
    for (const auto& c : cases) {
        std::unique_ptr<RTC> out = rtc_make<ZOBJ>();
        const int r = read_record(c.record, out);
        EXPECT_EQ(r, c.code);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(rtc_live_objects(), before);
    }
    // An init that fails: its code, and nothing made.
    g_init_result = kOutOfMemory;
    std::unique_ptr<RTC> out;
    EXPECT_EQ(
        read_record(
            concat({bytes({0x7E, 17, 0, 0, 0}), class_chunk("TSTINIT"), bytes({1, 0, 0, 0})}), out),
        kOutOfMemory);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(rtc_live_objects(), before);
}

TEST_F(ObjectRecords, ViewObjectsAreMade) {
    std::unique_ptr<RTC> out;
    ASSERT_EQ(read_record(concat({bytes({0x7E, 12, 0, 0, 0}), class_chunk("ZSVIEW")}), out), 0);
    EXPECT_TRUE(rtc_is<ZSVIEW>(out.get()));
}

}  // namespace
