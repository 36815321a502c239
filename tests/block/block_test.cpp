// Save Block, Load Block and Import Text through the scripted-input harness: a
// selection saved as a block and loaded into another drawing at a point as one undo
// level, a text file placed line by line, the text decoding of hostile files, and a
// named pipe given to every reader of a named file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <thread>

#include "../platform/qt_test_env.h"
#include "commands/block/block_commands.h"
#include "exchange/file_type.h"
#include "model/math/result.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/undo.h"
#include "model/file/drawing_file.h"
#include "imaging/texture/texture_image.h"
#include "model/font/strokefont.h"
#include "model/font/strokefont_source.h"
#include "model/font_outline/glyph_outline.h"
#include "model/geom/patterns.h"
#include "model/geom/regen.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/safe_file.h"
#include "scene.h"

namespace {

struct BlockTest : ::testing::Test {
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("zelo_block_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        saved = g_prefs;
        g_prefs.undo_mode = -1;
        msgbox_set_hook([this](const MsgBoxRequest& box) {
            boxes.push_back(box.text);
            return kIdOk;
        });
    }
    void TearDown() override {
        msgbox_set_hook(nullptr);
        block_file_hooks() = {};
        g_prefs = saved;
        std::filesystem::remove_all(dir);
    }
    // The file dialogs answer `path` (empty: cancelled).
    void answer_files(const std::string& path) {
        block_file_hooks().choose_file = [path, this](std::string* name, const char* pattern, bool save) {
            asked.push_back(std::string(pattern) + (save ? " save" : " open"));
            *name = path;
            return !path.empty();
        };
    }
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    std::filesystem::path dir;
    Preferences saved;
    std::vector<std::string> boxes, asked;
};

TEST_F(BlockTest, SelectionSavedAsBlockLoadsIntoAnotherDrawingAtAPointAsOneUndoLevel) {
    const std::string path = (dir / "part.mcr").string();
    {
        Harness h;
        h.define(32777, &cmd_save_block);
        XPLINE* a = scene_line(scene_layer(h.model()), {{0, 0, 0}, {10, 0, 0}});
        XPLINE* b = scene_line(scene_layer(h.model()), {{0, 5, 0}, {10, 5, 0}});
        EXPECT_EQ(buffer_add(h.view()->selection, a), 0);
        EXPECT_EQ(buffer_add(h.view()->selection, b), 0);
        answer_files(path);
        h.click({10, 0, 0});  // the base point
        EXPECT_EQ(h.run(32777), 0);
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(scene_objects_of<XPLINE>(h.model()).size(), 2u);  // the drawing keeps its objects
        EXPECT_EQ(h.model()->undo_levels, 0);
    }
    Harness h;
    h.define(32776, &cmd_load_block_ask);
    answer_files(path);
    h.click({50, 40, 0});  // the insertion point
    EXPECT_EQ(h.run(32776), 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"*.mcr save", "*.mcr open"}));
    const auto lines = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(lines.size(), 2u);
    // The base point (10, 0) lands on (50, 40): everything moved by (40, 40).
    float min_x = 1e9f, min_y = 1e9f;
    for (XPLINE* l : lines)
        for (PointNode* n = l->control; n; n = n->next) min_x = std::min(min_x, n->x), min_y = std::min(min_y, n->y);
    EXPECT_FLOAT_EQ(min_x, 40);
    EXPECT_FLOAT_EQ(min_y, 40);
    EXPECT_EQ(h.model()->undo_levels, 1);
    model_undo(h.model());
    EXPECT_TRUE(scene_objects_of<XPLINE>(h.model()).empty());
}

TEST_F(BlockTest, BlockFileWithANonFiniteBasePointInsertsFromTheOrigin) {
    const std::string path = (dir / "odd.mcr").string();
    const float base_x = 1234.5f;
    {
        Harness h;
        buffer* sel = buffer_create();
        EXPECT_EQ(buffer_add(sel, scene_line(scene_layer(h.model()), {{0, 0, 0}, {10, 0, 0}})), 0);
        ASSERT_EQ(block_file_save(path.c_str(), "odd", h.model(), 0, sel, Vec3{base_x, 0, 0}), 0);
        buffer_free(&sel);
    }
    // The stored base point's x made NaN.
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string from(reinterpret_cast<const char*>(&base_x), 4);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, std::string(reinterpret_cast<const char*>(&nan), 4));
    write("odd.mcr", bytes);

    Harness h;
    h.define(32776, &cmd_load_block_ask);
    answer_files(path);
    h.click({50, 40, 0});
    EXPECT_EQ(h.run(32776), 0);
    const auto lines = scene_objects_of<XPLINE>(h.model());
    ASSERT_EQ(lines.size(), 1u);
    for (PointNode* n = lines[0]->control; n; n = n->next) {
        EXPECT_TRUE(std::isfinite(n->x) && std::isfinite(n->y) && std::isfinite(n->z));
        EXPECT_FLOAT_EQ(n->y, 40);
    }
    EXPECT_FLOAT_EQ(lines[0]->control->x, 50);
}

// A place that would carry the block beyond the float range (its base point far on
// one side, the place far on the other) is refused and asked again, changing nothing;
// the next usable place inserts the block there. Load Block given such a place
// directly refuses it the same way.
TEST_F(BlockTest, InsertionBeyondTheFloatRangeIsAskedAgainAndChangesNothing) {
    struct Case {
        Vec3 base;
        const char* far;
        const char* near;
    };
    const Case cases[] = {{{-3e38f, 0, 0}, "3e38 0 0", "-3e38 0 0"},
                          {{3e38f, 0, 0}, "-3e38 0 0", "3e38 0 0"},
                          {{0, 3e38f, 0}, "0 -3e38 0", "5 3e38 0"},
                          {{0, 0, -2e38f}, "0 0 2e38", "0 0 -2e38"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.far);
        const std::string path = (dir / "far.mcr").string();
        {
            Harness h;
            buffer* sel = buffer_create();
            ASSERT_EQ(buffer_add(sel, scene_line(scene_layer(h.model()), {{0, 0, 0}, {10, 0, 0}})), 0);
            ASSERT_EQ(block_file_save(path.c_str(), "far", h.model(), 0, sel, c.base), 0);
            buffer_free(&sel);
        }
        answer_files(path);
        boxes.clear();
        {
            Harness h;
            h.define(32776, &cmd_load_block_ask);
            h.typed(c.far).esc();
            EXPECT_NE(h.run(32776), 0);
            EXPECT_EQ(boxes.size(), 1u);  // the refusal, before the place was asked again
            EXPECT_TRUE(scene_objects_of<XPLINE>(h.model()).empty());
            EXPECT_EQ(h.model()->undo_levels, 0);

            const Vec3 far = {-c.base.x, -c.base.y, -c.base.z};
            LoadBlockArgs args{h.view(), path.c_str(), &far};
            EXPECT_EQ(cmd_load_block(&args), kBadArgument);
            EXPECT_TRUE(scene_objects_of<XPLINE>(h.model()).empty());
            EXPECT_EQ(h.model()->undo_levels, 0);
        }
        Harness h;
        h.define(32776, &cmd_load_block_ask);
        h.typed(c.far).typed(c.near);
        EXPECT_EQ(h.run(32776), 0);
        const auto lines = scene_objects_of<XPLINE>(h.model());
        ASSERT_EQ(lines.size(), 1u);
        for (PointNode* n = lines[0]->control; n; n = n->next)
            EXPECT_TRUE(std::isfinite(n->x) && std::isfinite(n->y) && std::isfinite(n->z));
        EXPECT_EQ(h.model()->undo_levels, 1);
    }
}

TEST_F(BlockTest, CancelledFileChoicesChangeNothing) {
    Harness h;
    h.define(32776, &cmd_load_block_ask);
    h.define(32781, &cmd_import_text);
    answer_files("");
    EXPECT_EQ(h.run(32776), 0);
    EXPECT_EQ(h.run(32781), 0);
    EXPECT_EQ(h.model()->undo_levels, 0);
    EXPECT_TRUE(boxes.empty());
}

struct TextBlockTest : BlockTest {
    void SetUp() override {
        BlockTest::SetUp();
        latin->font = font_copy(font_builtin(0));
    }
    void TearDown() override { BlockTest::TearDown(); }
    void prepare(Harness& h) {
        h.view()->current_font = latin.get();
        h.view()->text_height = 10;
        h.view()->text_width = 8;
        h.define(32781, &cmd_import_text);
    }
    void release(Harness& h) {
        h.view()->current_font = nullptr;
        for (TEXT2* t : scene_objects_of<TEXT2>(h.model())) t->font = nullptr;
    }
    std::unique_ptr<FONTPATT> latin = rtc_make<FONTPATT>();
};

TEST_F(TextBlockTest, ThreeLineFileMakesThreeTextsOneHeightApartInOneUndoLevel) {
    Harness h;
    prepare(h);
    // Latin text, an accented letter (in the font's code page) and a Greek letter
    // (not in it: replaced and told once).
    answer_files(write("three.txt", "Alpha\nB\xC3\xA9ta\r\n\xCE\x93" "amma\n"));
    h.click({20, 100, 0});
    EXPECT_EQ(h.run(32781), 0);

    const auto texts = scene_objects_of<TEXT2>(h.model());
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0]->text, "Alpha");
    EXPECT_EQ(texts[1]->text, "B\xE9ta");
    EXPECT_EQ(texts[2]->text, "?amma");
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(texts[size_t(i)]->insert.x, 20, 1e-4);
        EXPECT_NEAR(texts[size_t(i)]->insert.y, 100 - 10 * i, 1e-4);
        EXPECT_EQ(texts[size_t(i)]->font, latin.get());
    }
    EXPECT_EQ(h.model()->undo_levels, 1);
    ASSERT_EQ(boxes.size(), 1u);  // one replaced character
    model_undo(h.model());
    EXPECT_TRUE(scene_objects_of<TEXT2>(h.model()).empty());
    release(h);
}

TEST_F(TextBlockTest, TooLargeMissingAndEmptyFilesEndWithoutObjects) {
    struct Case {
        const char* what;
        std::string path;
        int rc;
        size_t boxes;
    };
    const std::string big = write("big.txt", std::string(kImportMaxBytes + 1, 'a'));
    const std::string many = write("many.txt", std::string(kImportMaxLines + 1, '\n'));
    const std::vector<Case> cases = {
        {"over the byte limit", big, 1, 1},
        {"over the line limit", many, 1, 1},
        {"missing", (dir / "none.txt").string(), 2, 1},
        {"empty", write("empty.txt", ""), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        Harness h;
        prepare(h);
        answer_files(c.path);
        EXPECT_EQ(h.run(32781), c.rc);
        EXPECT_EQ(boxes.size(), c.boxes);
        EXPECT_TRUE(scene_objects_of<TEXT2>(h.model()).empty());
        EXPECT_EQ(h.model()->undo_levels, 0);
        release(h);
    }
}

TEST(ImportTextLines, HostileBytesArePlacedSafely) {
    StrokeFont* font = font_copy(font_builtin(0));
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> lines;
        size_t replaced;
    };
    const std::vector<Case> cases = {
        {"invalid bytes, overlong and cut sequences", "a\xFF" "b\xC0\x80" "c\xE2\x82", {"a?b??c??"}, 5},
        {"NUL and other controls", std::string("x\0y\x01", 4), {"x?y?"}, 2},
        {"surrogate code point", "\xED\xA0\x80!", {"?" "?" "?!"}, 3},
        {"CRLF, lone CR, empty lines kept", "one\r\n\r\ntwo\rx", {"one", "", "two?x"}, 1},
        {"tab to the next multiple of 8", "ab\tc", {"ab      c"}, 0},
        {"byte order mark dropped", "\xEF\xBB\xBFhi\n", {"hi"}, 0},
        {"long line cut in pieces", std::string(kImportMaxLineChars * 2 + 5, 'w'),
         {std::string(kImportMaxLineChars, 'w'), std::string(kImportMaxLineChars, 'w'), "wwwww"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t replaced = 99;
        EXPECT_EQ(import_text_lines(c.bytes, font, &replaced), c.lines);
        EXPECT_EQ(replaced, c.replaced);
    }
    font_free(&font);
}

TEST(ImportTextLines, DecodingStopsPastTheLineLimit) {
    // A file of nothing but line ends: one line past the limit, not millions of them.
    const std::vector<std::string> lines = import_text_lines(std::string(kImportMaxBytes, '\n'), nullptr, nullptr);
    EXPECT_EQ(lines.size(), kImportMaxLines + 1);
}

// Runs `read` on this thread; should it wait on the pipe for a writer, a guard opens
// the pipe's writing end, which lets it return, and sets `*waited`.
int guarded(const std::function<int()>& read, const std::string& pipe, bool* waited) {
    std::promise<void> done;
    std::thread guard([&, ended = done.get_future()] {
        while (ended.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            if (const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) *waited = !::close(fd);
    });
    const int r = read();
    done.set_value();
    guard.join();
    return r;
}

TEST_F(TextBlockTest, NamesThatAreNotRegularFilesAreRefusedAtOnceByEveryReader) {
    std::unique_ptr<MODEL> model = rtc_make<MODEL>();
    using Read = std::function<int(const char*)>;
    const Read drawing = [&](const char* p) { return drawing_file_import(p, model.get()); };
    const Read image = [](const char* p) { MATRPATT* i = nullptr; return texture_image_load(&i, p, "i"); };
    const struct {
        const char* name;  // a pipe made in the scratch folder, or a device
        Read read;
        int code = kNotRegularFile;
        size_t boxes = 0;
    } cases[] = {
        {"pipe.qvm", drawing},
        {"/dev/zero", drawing},
        {"pipe.mcr", [](const char* p) {
             char label[kBlockLabelSize];
             Vec3 base;
             return block_file_load(p, label, sizeof label, nullptr, nullptr, &base, nullptr, -1);
         }},
        {"pipe.tga", image},
        {"pipe.gif", image},  // kept as an image map
        {"pipe.lin", [&](const char* p) { return patt_load_file(model.get(), p, &LINEPATT::rtc_class); }},
        {"pipe.ttf", [](const char* p) { GlyphFont f; return glyph_font_open(&f, TextFontRecord{.file = p}); },
         13},  // "Can't open file..."
        {"pipe.fnt", [](const char* p) { StrokeFont* f = nullptr; return font_load_binary(&f, p); }},
        {"pipe.shp", [](const char* p) { StrokeFont* f = nullptr; return font_load_text(p, &f); }},
        {"pipe.txt", [&](const char* p) {
             Harness h;
             prepare(h);
             answer_files(p);
             const int r = h.run(32781);
             release(h);
             return r;
         }, kNotRegularFile, 1},  // one message
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string p = c.name[0] == '/' ? c.name : (dir / c.name).string();
        if (c.name[0] != '/') ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
        boxes.clear();
        bool waited = false;
        EXPECT_EQ(guarded([&] { return c.read(p.c_str()); }, p, &waited), c.code);
        EXPECT_FALSE(waited) << "waited on the pipe for a writer";
        EXPECT_EQ(boxes.size(), c.boxes);
    }
}

// Every file message names the file and gives the number and the reason.
TEST_F(TextBlockTest, FileMessagesNameTheFileAndGiveTheNumberAndTheReason) {
    const std::string pipe = (dir / "pipe.txt").string(), none = (dir / "none.qvm").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    Harness h;
    prepare(h);
    answer_files(pipe);
    (void)h.run(32781);  // Import Text
    release(h);
    tell_load_failure(none.c_str(), ENOENT);
    tell_save_failure(none.c_str(), EFBIG);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_NE(boxes[0].find(pipe + " (19: not a regular file"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find(none + " (2: no such file or folder)"), std::string::npos) << boxes[1];
    EXPECT_NE(boxes[2].find(none + " (27: file too large)"), std::string::npos) << boxes[2];
}

}  // namespace
