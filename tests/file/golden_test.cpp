// Exact bytes: the empty layer record, the empty drawing, and the LZW-packed body
// against the plain file.
#include <cstring>

#include "file_support.h"
#include "model/db/tree.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/lzw/lzw.h"
#include "model/stream/iorec.h"
#include "rich_drawing.h"
#include "tests/lzw/lzw_decode.h"

namespace {

// The bytes io_put_object writes for `obj` with `tag`.
Bytes record_bytes(const std::string& path, RTC* obj, uint32_t tag) {
    std::unique_ptr<RTC> made;
    EXPECT_EQ(rtc_init(made, &IOrecStd::rtc_class), 0);
    std::unique_ptr<IOrec> s(static_cast<IOrec*>(made.release()));
    const int r = io_guarded([&] {
        iorec_open(s.get(), path.c_str(), 1);
        io_put_object(s.get(), obj, tag);
        iorec_commit(s.get());
    });
    EXPECT_EQ(r, 0);
    return read_bytes(path);
}

}  // namespace

using GoldenTest = FileTest;

TEST_F(GoldenTest, EmptyLayerRecordIs47Bytes) {
    std::unique_ptr<RTC> made;
    ASSERT_EQ(rtc_init(made, &LAYER::rtc_class), 0);
    auto* layer = static_cast<LAYER*>(made.get());
    layer->set_string(0, "A");
    layer->file_id = 1;
    layer->colour = 7;
    const Bytes want = {0x11, 0x2A, 0, 0, 0,                              // record 17
                        0x7F, 6,    0, 0, 0, 5, 'L', 'A', 'Y', 'E', 'R',  // class name
                        0x80, 0x08, 2, 0, 0, 0, 1,   'A',                 // name 1024
                        0x88, 0x08, 1, 0, 0, 0, 0,                        // text 1032
                        0x8A, 0x08, 1, 0, 0, 0, 0,                        // text 1034
                        0x86, 0x08, 3, 0, 0, 0, 1,   0,   7};             // header 1030
    EXPECT_EQ(record_bytes(path("layer.bin"), layer, 17), want);
}

TEST_F(GoldenTest, FloatAttributeIsStoredInSixteenThousandths) {
    std::unique_ptr<RTC> made;
    ASSERT_EQ(rtc_init(made, &CONTAINER::rtc_class), 0);
    auto* group = static_cast<CONTAINER*>(made.get());
    group->width = 0.5f;
    const Bytes bytes = record_bytes(path("group.bin"), group, 16);
    // Header chunk 1030: id 0, width 8192 (80 40), colour 0.
    const Bytes header = {0x86, 0x08, 4, 0, 0, 0, 0, 0x80, 0x40, 0};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), header.begin(), header.end()), bytes.end());
}

TEST_F(GoldenTest, EmptyModelDrawingFile) {
    auto model = bare_model();
    while (model->patterns) rtc_destroy(static_cast<ZOBJ*>(model->patterns));
    ASSERT_EQ(drawing_file_save(path("empty.qvm").c_str(), model.get(), 0), 0);
    const Bytes want = {1,    0,    0, 0, 0x70, 0, 0, 0, 0, 0, 0, 0,  // header: 1, 112, plain
                        0x80, 0x08, 5, 0, 0,    0,                    // chunk 1024, length 5
                        0x7D, 0,    0, 0, 0};                         // empty chunk 125
    EXPECT_EQ(read_bytes(path("empty.qvm")), want);
}

TEST_F(GoldenTest, PackedBodyDecodesToThePlainBytes) {
    auto model = new_model();
    ASSERT_EQ(build_rich_drawing(model.get()), 0);
    ASSERT_EQ(drawing_file_save(path("plain.qvm").c_str(), model.get(), 0), 0);
    ASSERT_EQ(drawing_file_save(path("packed.qvm").c_str(), model.get(), 1), 0);
    const Bytes plain = read_bytes(path("plain.qvm"));
    const Bytes packed = read_bytes(path("packed.qvm"));
    ASSERT_GT(plain.size(), 12u);
    const Bytes header = {1, 0, 0, 0, 0x70, 0, 0, 0, 1, 0, 0, 0};
    ASSERT_GE(packed.size(), 12u);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), packed.begin()));
    EXPECT_LT(packed.size(), plain.size());
    const Bytes body(packed.begin() + 12, packed.end());
    EXPECT_EQ(lzw_decode_all(body), Bytes(plain.begin() + 12, plain.end()));
}
