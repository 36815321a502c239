// Rules of the application that need no window: file-type matching, proposed save
// names, scroll bars over the extents, new window sizes, snap toggles, the menu
// resource, version text and palette size.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <thread>

#include "app_env.h"
#include "commands/input/snap.h"
#include "exchange/file_type.h"
#include "menus_text.h"
#include "shell/app_view_host.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/menu_resource.h"
#include "shell/view_paint.h"
#include "shell/view_rules.h"
#include "graphics/view/view.h"
#include "graphics/raster/raster.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/file/drawing_file.h"
#include "model/geom/regen.h"
#include "model/math/plist.h"
#include "model/services/msgbox.h"

namespace {

TEST(DocTemplate, MatchDocTypeByOpenPathThenExtension) {
    CDocTemplate t(129, {".qvm", ".dxf"}, [](CDocTemplate* tp) { return std::unique_ptr<CDocument>(new CDoc(tp)); });
    CDocument* doc = t.CreateNewDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->title(), "Zelo1");
    doc->SetPathName(AppTestEnvironment::file("open.qvm"), false);
    CDocument* open = nullptr;
    EXPECT_EQ(t.MatchDocType(AppTestEnvironment::file("open.qvm"), &open), CDocTemplate::yesAlreadyOpen);
    EXPECT_EQ(open, doc);
    // The same file named another way is the same document.
    EXPECT_EQ(t.MatchDocType(AppTestEnvironment::dir() + "/files/../files/open.qvm", &open),
              CDocTemplate::yesAlreadyOpen);
    struct Row {
        const char* path;
        CDocTemplate::Confidence want;
    } rows[] = {
        {"/x/other.QVM", CDocTemplate::yesAttemptNative}, {"/x/part.dxf", CDocTemplate::yesAttemptNative},
        {"/x/photo.bmp", CDocTemplate::yesAttemptForeign}, {"/x/noext", CDocTemplate::yesAttemptForeign},
        {"/x/a.qvm.bak", CDocTemplate::yesAttemptForeign},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(t.MatchDocType(r.path, &open), r.want) << r.path;
        EXPECT_EQ(open, nullptr);
    }
    // Without extensions the filter extension of the document string decides.
    CDocTemplate bare(129, {}, nullptr);
    EXPECT_EQ(bare.MatchDocType("/x/a.qvm", nullptr), CDocTemplate::yesAttemptNative);
    EXPECT_EQ(bare.doc_string(6), "Zelo Document");
}

TEST(DrawingDocument, ProposedSaveNames) {
    EXPECT_EQ(propose_save_name("Drawing 3"), "Drawing.qvm");
    EXPECT_EQ(propose_save_name("Abcdefghijkl"), "Abcdefgh.qvm");
    EXPECT_EQ(propose_save_name("A;bc"), "A.qvm");
    EXPECT_EQ(propose_save_name("Zelo1"), "Zelo1.qvm");
    EXPECT_EQ(propose_save_name("ab#cd/ef"), "ab.qvm");
    EXPECT_TRUE(is_drawing_path("/a/b.QvM"));
    EXPECT_FALSE(is_drawing_path("/a.qvm/b"));
    EXPECT_FALSE(is_drawing_path("/a/b.dxf"));
}

// A drawing holding one spline that cannot be rebuilt (a NaN control point, as older
// writers stored it) opens without it, and the drafter is told once how many objects
// were left out.
TEST(DrawingDocument, OpensWithoutObjectsThatCannotBeRebuiltAndSaysHowMany) {
    const float marker = 12345.5f, nan = std::numeric_limits<float>::quiet_NaN();
    std::unique_ptr<RTC> made;
    ASSERT_EQ(rtc_init(made, &MODEL::rtc_class), 0);
    std::unique_ptr<MODEL> m(static_cast<MODEL*>(made.release()));
    auto* layer = static_cast<CONTAINER*>(static_cast<ZOBJ*>(m->children));
    auto* spline = rtc_make<XPLINE>().release();
    spline->kind = 1;
    for (const Vec3& p : {Vec3{10, 0, 0}, Vec3{5, marker, 0}, Vec3{0, 0, 0}})
        EXPECT_EQ(plist_add(&spline->control, p), 0);
    ASSERT_EQ(regen_object(spline), 0);
    ASSERT_EQ(container_insert(layer, spline), 0);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(drawing_file_save_memory(&bytes, m.get()), 0);
    size_t patched = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], &marker, 4) == 0) std::memcpy(&bytes[i], &nan, 4), ++patched;
    ASSERT_GT(patched, 0u);
    const std::string path = AppTestEnvironment::file("one_bad_spline.qvm");
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    std::vector<std::string> boxes;
    const MsgBoxHook old = msgbox_set_hook([&](const MsgBoxRequest& b) {
        boxes.push_back(b.text);
        return kIdOk;
    });
    CDoc doc(nullptr);
    const bool opened = doc.OnOpenDocument(path.c_str());
    msgbox_set_hook(old);
    EXPECT_TRUE(opened);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "1 objects of this drawing could not be rebuilt and were left out.");
    ASSERT_NE(doc.drawing(), nullptr);
    for (ZOBJ* z = doc.drawing(); z; z = tree_next(z, doc.drawing())) EXPECT_FALSE(rtc_is<XPLINE>(z));
}

TEST(FileType, KindsByExtension) {
    EXPECT_EQ(file_kind_of("/a/b.MCR"), FileKind::block);
    EXPECT_EQ(file_kind_of("/a.b/c"), FileKind::unknown);
    EXPECT_EQ(file_kind_of("x.3ds"), FileKind::studio3ds);
    EXPECT_STREQ(file_extension("/dir.x/file"), "");
    EXPECT_STREQ(file_extension("/dir/file.tar.qvm"), ".qvm");
}

TEST(ScrollBars, EmptyPerspectiveAndSpan) {
    const ScrollBarState persp = scroll_bar_for(true, 0, 100, 0, 10);
    EXPECT_FALSE(persp.active);
    EXPECT_EQ(persp.minimum, 1);
    EXPECT_EQ(persp.maximum, 2);
    EXPECT_EQ(persp.page, 3);
    const ScrollBarState empty = scroll_bar_for(false, 5, 5, 0, 10);
    EXPECT_EQ(empty.minimum, 0);
    EXPECT_EQ(empty.maximum, 32767);
    EXPECT_EQ(empty.page, 32766);
    EXPECT_EQ(empty.position, 1);
    // The window shows the left half of a drawing 0..100: the page is half the span.
    const ScrollBarState half = scroll_bar_for(false, 0, 100, 0, 50);
    EXPECT_EQ(half.minimum, -1);
    EXPECT_EQ(half.maximum, 536870912);
    EXPECT_EQ(half.position, 0);
    EXPECT_EQ(half.page, 268435455);
    const ScrollBarState right = scroll_bar_for(false, 0, 100, 50, 50);
    EXPECT_EQ(right.position, 268435455);
    // Non-finite input never reaches a bar.
    EXPECT_EQ(scroll_bar_for(false, 0, 100, NAN, 10).maximum, 32767);
}

TEST(ScrollBars, AmountsInDrawingUnits) {
    EXPECT_DOUBLE_EQ(scroll_amount_to_units(100, 2.0, 1000, 400), 20.0);
    // An empty window or a zero page gives no scroll at all, never a non-finite one.
    EXPECT_EQ(scroll_amount_to_units(100, 2.0, 0, 400), 0.0);
    EXPECT_EQ(scroll_amount_to_units(100, 0.0, 1000, 0), 0.0);
}

TEST(NewView, ClientSizeFromArea) {
    int w, h;
    new_view_client_size(1000, 800, &w, &h);
    EXPECT_EQ(h, 690);  // (3000 - 240) / 4, within 800 - 48
    EXPECT_EQ(w, 920);
    new_view_client_size(1000, 300, &w, &h);
    EXPECT_EQ(h, 252);
    new_view_client_size(50, 50, &w, &h);
    EXPECT_EQ(h, 64);
    EXPECT_EQ(w, 85);
}

TEST(Snaps, ExclusionsAndTheLastBit) {
    // The view's input flags after one toggle of the snap command `id`.
    auto snap_flags_toggle = [](int32_t flags, int id) {
        VIEW v;
        v.input_flags = flags;
        view_toggle_snap(&v, uint32_t(id));
        return v.input_flags;
    };
    // Midpoint on while end-of-line is on turns end-of-line off.
    int32_t f = snap_flags_toggle(0x002, 15826);
    EXPECT_EQ(f, 0x004);
    f = snap_flags_toggle(0x008 | 0x001, 15830);
    EXPECT_EQ(f, 0x201);
    // Turning off the last bit turns on "to node position".
    EXPECT_EQ(snap_flags_toggle(0x040, 15822), 0x001);
    EXPECT_EQ(snap_flags_toggle(0x001, 15821), 0x001);
    // Bits outside the snap set survive.
    EXPECT_EQ(snap_flags_toggle(0x4000 | 0x010, 15828), 0x4000 | 0x020);
    EXPECT_EQ(snap_flags_toggle(0x010, 15999), 0x010);
    VIEW v;
    v.input_flags = 0x008;
    EXPECT_TRUE(view_snap_checked(&v, 15829));
    EXPECT_FALSE(view_snap_checked(&v, 15830));
}

TEST(MenuResource, BarsItemsAndAccelerators) {
    MenuResource r;
    int line = -1;
    ASSERT_TRUE(menu_resource_parse(kMenusText, &r, &line)) << line;
    const MenuBar* b128 = r.bar(128);
    const MenuBar* b129 = r.bar(129);
    ASSERT_TRUE(b128 && b129);
    // The third item is the toolbars menu in both bars.
    EXPECT_EQ(b128->popups.at(2).text, "&View");
    EXPECT_EQ(b129->popups.at(2).text, "&View");
    const std::vector<int> ids = menu_item_ids(*b129);
    const std::set<int> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), ids.size());
    for (int id : {57600, 57603, 57604, 15000, 15515, 15211, 15830, 6015, 32792}) EXPECT_TRUE(unique.count(id)) << id;
    // F2 to F12 follow the key-help line; the settings key is on F10 and Ctrl+C.
    std::map<std::string, int> keys;
    for (const Accelerator& a : r.accelerators) keys[a.key] = a.id;
    EXPECT_EQ(keys["F2"], 15306);
    EXPECT_EQ(keys["F4"], 15308);
    EXPECT_EQ(keys["F7"], 15309);
    EXPECT_EQ(keys["F8"], 15909);
    EXPECT_EQ(keys["F10"], 2013);
    EXPECT_EQ(keys["Ctrl+C"], 2013);
    EXPECT_EQ(keys["F12"], 15304);
    EXPECT_EQ(keys["Ctrl+F4"], 32792);
}

TEST(MenuResource, BadTextIsRefusedWithItsLine) {
    struct Row {
        const char* text;
        int line;
    } rows[] = {
        {"MENU 1\nPOPUP \"a\"\nITEM x \"b\"\nEND\nEND\n", 3},
        {"MENU 1\nPOPUP \"a\nEND\n", 2},
        {"END\n", 1},
        {"MENU 1\nITEM 5 \"b\"\nEND\n", 2},
        {"MENU 1\nPOPUP \"a\"\nEND\n", 3},
        {"ACCEL 0 \"F1\"\n", 1},
        {"BOGUS\n", 1},
    };
    for (const Row& row : rows) {
        MenuResource r;
        int line = 0;
        EXPECT_FALSE(menu_resource_parse(row.text, &r, &line)) << row.text;
        EXPECT_EQ(line, row.line) << row.text;
    }
}

TEST(Startup, VersionTextAndPaletteClamp) {
    EXPECT_EQ(version_text_of(0x00030000u, 0x00200000u), "3.0.20");
    EXPECT_EQ(version_text_of(0x0004000Bu, 0x0ABC1234u), "4.11.ABC");
    std::array<uint32_t, 256> pal{};
    std::vector<uint32_t> table(300, 0x123456u);
    EXPECT_EQ(app_palette_create(pal, table.data(), 256), 256);
    // A count with its top bits set is masked, then held to the palette's 256 entries.
    EXPECT_EQ(app_palette_create(pal, table.data(), 0xFFFFFFFFu), 256);
    EXPECT_EQ(app_palette_create(pal, table.data(), 0xC0000010u), 16);
    EXPECT_EQ(app_palette_create(pal, nullptr, 10), 0);
}

TEST(Grid, DrawnFromTenPixelsAndNeverForABrokenStep) {
    rtc_register_all();
    std::unique_ptr<VIEW> view = rtc_make<VIEW>();
    ASSERT_TRUE(view);
    RasterImage* img = image_create_ex(64, 48, 1, 24, nullptr);
    ASSERT_NE(img, nullptr);
    auto drawn = [&](double step) {
        CanvasPainter p(img);
        const RasterRect all{0, 0, 63, 47};
        p.fill(all, display_background_word());
        view->grid_steps[0] = view->grid_steps[1] = step;
        view_paint_grid(view.get(), p, all);
        int n = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint8_t* px = img->pixels + y * img->stride + 3 * x;
                n += (uint32_t(px[2]) | px[1] << 8 | px[0] << 16) != display_background_word();
            }
        return n;
    };
    view->projection.scale = 1.0;
    EXPECT_EQ(drawn(9.0), 0);
    EXPECT_EQ(drawn(10.0), 7 * 5);  // dots at 0, 10, ... 60 across, rows 47, 37, ... 7
    EXPECT_EQ(drawn(NAN), 0);
    EXPECT_EQ(drawn(INFINITY), 0);
    EXPECT_EQ(drawn(-10.0), 0);
    view->projection.scale = 2.0;
    EXPECT_EQ(drawn(5.0), 7 * 5);
    image_free(img);
}

}  // namespace

namespace {

// The application's host answers a long feedback draw from the views' input reports:
// input seen during the draw stops it, input handled before it does not, and a draw
// that outlasts its frame is overtaken without any input.
TEST(AppViewHost, LongFeedbackDrawsYieldToNewInput) {
    AppViewHost host(nullptr);
    InputGate& gate = app_input_gate();
    const int64_t frame = gate.frame_us();
    gate.set_frame_us(0);  // no frame limit: only input counts
    gate.input_seen();
    host.feedback_started(nullptr);
    EXPECT_FALSE(host.input_pending());
    gate.input_seen();
    EXPECT_TRUE(host.input_pending());
    host.feedback_started(nullptr);
    EXPECT_FALSE(host.input_pending());
    gate.set_frame_us(1);
    host.feedback_started(nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(host.input_pending());
    gate.set_frame_us(frame);
}

}  // namespace
