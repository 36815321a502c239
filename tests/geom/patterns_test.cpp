// Pattern libraries: dash-list normalisation, the reader's handling of names,
// definition lines, bad fields and line ends, the built-in libraries, and files.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "geom_support.h"
#include "model/db/find.h"
#include "model/geom/patterns.h"
#include "model/math/result.h"

namespace {

class PatternTest : public GeomTest {
  protected:
    void SetUp() override {
        GeomTest::SetUp();
        model = rtc_make<MODEL>();
        ASSERT_TRUE(model);
    }
    const LINEPATT* line(const char* name) {
        return static_cast<const LINEPATT*>(model_find_patt(model.get(), name, &LINEPATT::rtc_class));
    }
    const HATCHPATT* hatch(const char* name) {
        return static_cast<const HATCHPATT*>(
            model_find_patt(model.get(), name, &HATCHPATT::rtc_class));
    }
    int count(const RtcClass* cls) {
        int n = 0;
        ZDLIST* head = model->patterns;
        for (ZDLIST* p = head; p; p = (p->next == head) ? nullptr : p->next)
            if (rtc_is_a(p, cls)) ++n;
        return n;
    }
    int read(const std::string& text, const RtcClass* cls) {
        return patt_read_text(model.get(), text.data(), text.size(), cls);
    }
    std::unique_ptr<MODEL> model;
};

TEST(DashNormalise, MergesSignsAndPadsToPairs) {
    struct Case {
        std::vector<double> in;
        int skip;
        std::vector<double> out;
    } cases[] = {
        {{0.5}, 0, {0.5, 0}},
        {{0, -1.25}, 0, {0.001, 1.25}},
        {{-1, 2}, 0, {0, 1, 2, 0}},
        {{1, 2, -1, -2, 0}, 0, {3, 3, 0.001, 0}},
        {{0, 0, -1, 3, -2}, 0, {0.001, 1, 3, 2}},
        {{-1, -1}, 0, {0, 2}},
        {{}, 0, {}},
        // A hatch line keeps its five leading numbers untouched.
        {{45, -1, -2, 3, -4, -5, 2}, 5, {45, -1, -2, 3, -4, 0, 5, 2, 0}},
        {{45, 0, 0, 0, 6}, 5, {45, 0, 0, 0, 6}},
    };
    for (const auto& c : cases) {
        std::vector<double> v = c.in;
        v.resize(v.size() + 2);
        int n = dash_normalise(v.data(), static_cast<int>(c.in.size()), c.skip);
        v.resize(n);
        EXPECT_EQ(v, c.out) << "input of " << c.in.size() << " values";
    }
}

TEST_F(PatternTest, BuiltinLineStylesAddEightAndKeepSolid) {
    const LINEPATT* solid = line("Solid");
    ASSERT_TRUE(solid);
    const std::vector<double> solid_before = solid->dashes;
    EXPECT_EQ(count(&LINEPATT::rtc_class), 1);
    ASSERT_EQ(patt_load_builtin(model.get(), &LINEPATT::rtc_class), 0);
    EXPECT_EQ(count(&LINEPATT::rtc_class), 9);
    EXPECT_EQ(line("Solid"), solid);
    EXPECT_EQ(solid->dashes, solid_before);
    EXPECT_EQ(line("Dot")->dashes, (std::vector<double>{0.001, 1.25}));
    EXPECT_EQ(line("Dashed")->dashes, (std::vector<double>{2.5, 1.25}));
    EXPECT_EQ(line("Border")->dashes, (std::vector<double>{2.5, 1.25, 2.5, 1.25, 0.001, 1.25}));
    // Loading again changes nothing.
    ASSERT_EQ(patt_load_builtin(model.get(), &LINEPATT::rtc_class), 0);
    EXPECT_EQ(count(&LINEPATT::rtc_class), 9);
}

TEST_F(PatternTest, BuiltinHatchLibraryHasItsPatternsInOrder) {
    const char* const* lines = patt_builtin_lines(&HATCHPATT::rtc_class);
    int n = 0, names = 0;
    size_t longest = 0;
    for (; lines[n]; ++n) {
        if (lines[n][0] == '*') ++names;
        longest = std::max(longest, std::strlen(lines[n]));
    }
    EXPECT_EQ(n, 190);
    EXPECT_EQ(names, 43);
    EXPECT_LE(longest, 58u);

    ASSERT_EQ(patt_load_builtin(model.get(), &HATCHPATT::rtc_class), 0);
    EXPECT_EQ(count(&HATCHPATT::rtc_class), 43);
    const char* order[] = {"angle", "ansi31", "ansi32", "ansi33", "ansi34", "ansi35", "ansi36",
                           "ansi37", "ansi38", "box", "brass", "brick", "brstone", "clay",
                           "concrete", "cork", "cross", "dash", "dolmit", "dots", "earth",
                           "escher", "flex", "grass", "grate", "hex", "honey", "hound", "insul",
                           "line", "mudst", "net", "net3", "plast", "plasti", "sacncr", "square",
                           "stars", "steel", "swamp", "trans", "triang", "zigzag"};
    ZDLIST* p = model->patterns;
    std::vector<std::string> seen;
    for (ZDLIST* q = p; q; q = (q->next == p) ? nullptr : q->next)
        if (rtc_is<HATCHPATT>(q)) seen.push_back(static_cast<HATCHPATT*>(q)->name());
    ASSERT_EQ(seen.size(), std::size(order));
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], order[i]);

    const HATCHPATT* ansi31 = hatch("ansi31");
    ASSERT_EQ(ansi31->lines.size(), 1u);
    EXPECT_EQ(ansi31->lines[0].angle, 45);
    EXPECT_EQ(ansi31->lines[0].offset_y, 6);
    EXPECT_TRUE(ansi31->lines[0].dashes.empty());  // continuous lines

    const HATCHPATT* brick = hatch("brick");
    ASSERT_EQ(brick->lines.size(), 3u);
    EXPECT_EQ(brick->lines[2].origin_x, 12);
    EXPECT_EQ(brick->lines[2].dashes, (std::vector<double>{0, 12, 12, 0}));
    EXPECT_EQ(hatch("escher")->lines.size(), 8u);
    EXPECT_EQ(hatch("stars")->lines[2].origin_y, 5.41266);
    // Every built-in family can be laid out: a positive spacing across its lines.
    for (ZDLIST* q = p; q; q = (q->next == p) ? nullptr : q->next) {
        const HATCHPATT* h = rtc_cast<HATCHPATT>(q);
        if (!h) continue;
        for (const HatchLine& l : h->lines)
            EXPECT_GT(std::fabs(l.offset_y), 0.1) << h->name() << " at " << l.angle;
    }
}

TEST_F(PatternTest, ReaderSkipsBadLinesAndKeepsExistingNames) {
    const std::string text =
        "0,1,-1\n"                 // before any name: ignored
        "*good,first\r\n"          // Windows line end
        "A,1,-0.5\r\n"
        "A,9,-9\n"                 // only the first line counts for a line style
        "\n"
        "*bad\n"
        "A,1,x\n"                  // not a number: line ignored
        "A,nan,-1\n"               // not finite: line ignored
        "*Solid,\n"                // already in the model: unchanged
        "A,5,-5\n"
        "*good,again\n"            // second definition of a name: dropped
        "A,3,-3\n"
        "*plus\n"
        "A, +2 ,-1junk\n"          // blanks, a plus sign and trailing text as %lf reads them
        "*blank\n"
        " \t\n"                     // only blanks: skipped like an empty line
        "A,2,-2\n";
    ASSERT_EQ(read(text, &LINEPATT::rtc_class), 0);
    ASSERT_TRUE(line("good"));
    EXPECT_EQ(line("good")->dashes, (std::vector<double>{1, 0.5}));
    EXPECT_FALSE(line("bad"));
    EXPECT_TRUE(line("Solid")->dashes.empty());
    EXPECT_EQ(line("plus")->dashes, (std::vector<double>{2, 1}));
    EXPECT_EQ(line("blank")->dashes, (std::vector<double>{2, 2}));
    EXPECT_EQ(count(&LINEPATT::rtc_class), 4);
}

TEST_F(PatternTest, HatchLinesNeedFiveNumbers) {
    const std::string text =
        "*h1\n"
        "45,0,0,0\n"           // four numbers: ignored
        "0,1,2,3,4,5,-5\n"
        "90,0,0,0,6\n"
        "*h2\n"
        "1,2,3\n";
    ASSERT_EQ(read(text, &HATCHPATT::rtc_class), 0);
    const HATCHPATT* h1 = hatch("h1");
    ASSERT_TRUE(h1);
    ASSERT_EQ(h1->lines.size(), 2u);
    EXPECT_EQ(h1->lines[0].origin_x, 1);
    EXPECT_EQ(h1->lines[0].offset_y, 4);
    EXPECT_EQ(h1->lines[0].dashes, (std::vector<double>{5, 5}));
    EXPECT_TRUE(h1->lines[1].dashes.empty());
    EXPECT_FALSE(hatch("h2"));
}

TEST_F(PatternTest, LongLinesAndManyFieldsStayBounded) {
    std::string many = "*many\nA";
    for (int i = 0; i < 200; ++i) many += i % 2 ? ",-1" : ",1";
    many += "\n*long\nA," + std::string(9000, '1') + "\n";
    ASSERT_EQ(read(many, &LINEPATT::rtc_class), 0);
    ASSERT_TRUE(line("many"));
    EXPECT_EQ(line("many")->dashes.size(), static_cast<size_t>(kPattMaxFields));
    EXPECT_FALSE(line("long"));  // a 9000-digit number is out of range, not a dash

    std::string rows = "*rows\n";
    for (int i = 0; i < 100; ++i) rows += "0,0,0,0," + std::to_string(i + 1) + "\n";
    ASSERT_EQ(read(rows, &HATCHPATT::rtc_class), 0);
    EXPECT_EQ(hatch("rows")->lines.size(), static_cast<size_t>(kPattMaxLines));
}

TEST_F(PatternTest, WrongClassAndMissingFile) {
    EXPECT_EQ(patt_load_builtin(model.get(), &FONTPATT::rtc_class), kBadArgument);
    EXPECT_EQ(patt_load_file(model.get(), "/nonexistent/zelo.lin", &FONTPATT::rtc_class),
              kBadArgument);
    EXPECT_EQ(patt_load_file(model.get(), "/nonexistent/zelo.lin", &LINEPATT::rtc_class), ENOENT);
    const char* const lines[] = {"*x", "A,1,-1", nullptr};
    EXPECT_EQ(patt_read(model.get(), nullptr, lines, &MATRPATT::rtc_class), kBadArgument);
    EXPECT_EQ(patt_read(model.get(), nullptr, lines, &LINEPATT::rtc_class), 0);
    EXPECT_TRUE(line("x"));
}

TEST_F(PatternTest, FileWithWindowsLineEnds) {
    auto path = std::filesystem::temp_directory_path() / "zelo_geom_test.pat";
    {
        std::ofstream out(path, std::ios::binary);
        out << "*win,crlf\r\n45,0,0,0,6,2,-1\r\n\r\n*" << std::string(5000, 'n') << "\r\n0,0,0,0,1\r\n";
    }
    ASSERT_EQ(patt_load_file(model.get(), path.c_str(), &HATCHPATT::rtc_class), 0);
    std::filesystem::remove(path);
    ASSERT_TRUE(hatch("win"));
    EXPECT_EQ(hatch("win")->lines[0].dashes, (std::vector<double>{2, 1}));
    // The overlong name line is cut to the line buffer; its definition still counts.
    EXPECT_TRUE(hatch(std::string(kPattLineMax - 2, 'n').c_str()));
}

}  // namespace

// Each pattern read is looked up by name before it is filed, so a lookup that walked
// the drawing's patterns would make about n^2 / 2 name comparisons for n patterns;
// the name index makes a few per pattern. Reading four times the patterns must cost
// about four times the comparisons (a walk gives sixteen).
TEST_F(PatternTest, ReadingALibraryComparesNamesLinearly) {
    const auto comparisons = [](int patterns) {
        std::string text;
        for (int i = 0; i < patterns; ++i)
            text += "*pattern" + std::to_string(i) + ",generated\n45,0,0,0,6,3,-1.5\n";
        auto m = rtc_make<MODEL>();
        const uint64_t before = patt_name_compares();
        EXPECT_EQ(patt_read_text(m.get(), text.data(), text.size(), &HATCHPATT::rtc_class), 0);
        EXPECT_NE(model_find_patt(m.get(), ("pattern" + std::to_string(patterns - 1)).c_str(),
                                  &HATCHPATT::rtc_class),
                  nullptr);
        return double(patt_name_compares() - before);
    };
    const double small = comparisons(500), large = comparisons(2000);
    EXPECT_LT(large, 6 * std::max(small, 500.0)) << small << " then " << large;
}
