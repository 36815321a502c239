// The 3D construction and dimension settings through a temporary settings file:
// a first start writes every key, a restart reads back exactly what was saved,
// older files still read, and the setters keep their bounds.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "commands/dimension/dim_settings.h"
#include "commands/model3d/draw3d_settings.h"
#include "model/services/ini_store.h"
#include "model/services/profile.h"

namespace {

struct DimValues {
    int text, arrows, leader, lframe, dframe;
    bool operator==(const DimValues&) const = default;
};

DimValues dims() {
    return {dim_get_text_mode(), dim_get_arrows(), dim_get_leader(), dim_get_lframe(),
            dim_get_dframe()};
}

void set_dims(const DimValues& d) {
    dim_set_text_mode(d.text);
    dim_set_arrows(d.arrows);
    dim_set_leader(d.leader);
    dim_set_lframe(d.lframe);
    dim_set_dframe(d.dframe);
}

// Bit for bit, field by field (padding aside).
bool same_bits(const Draw3DSettings& a, const Draw3DSettings& b) {
    auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return a.use_pattern == b.use_pattern && a.faces_m == b.faces_m && a.faces_n == b.faces_n &&
           a.smooth == b.smooth && a.sphere == b.sphere && a.cone == b.cone && a.tops == b.tops &&
           a.spiral_dir == b.spiral_dir && a.box_faces == b.box_faces &&
           a.face_mode == b.face_mode && a.merge_edges == b.merge_edges &&
           a.fractal_mode == b.fractal_mode && a.fractal_levels == b.fractal_levels &&
           same(a.font_height, b.font_height) && same(a.font_depth, b.font_depth) &&
           same(a.font_chamfer, b.font_chamfer) && same(a.fractal_deriv, b.fractal_deriv) &&
           same(a.revolve_angle, b.revolve_angle) && same(a.revolve_start, b.revolve_start) &&
           same(a.spiral_rounds, b.spiral_rounds) && std::strcmp(a.font, b.font) == 0 &&
           std::strcmp(a.text, b.text) == 0;
}

// What the application does at start-up and at exit.
void start_up() {
    draw3d_prefs_load();
    dim_prefs_load();
    dim_prefs_save();
    draw3d_prefs_save();
}
void exit_program() {
    dim_prefs_save();
    draw3d_prefs_save();
}

class CmdSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zelo_cmd_settings_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);  // never the user's own file
        path_ = dir_ + "/settings.ini";
        ASSERT_EQ(settings_open(path_), 0);
        g_draw3d = Draw3DSettings{};
        set_dims({0, 0, 0, 0, 0});
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_, path_;
};

TEST_F(CmdSettingsTest, FirstStartWritesEveryKeyAndARestartReadsThemBitIdentical) {
    start_up();
    EXPECT_TRUE(same_bits(g_draw3d, Draw3DSettings{}));
    EXPECT_EQ(dims(), (DimValues{0, 0, 0, 0, 0}));

    IniStore file;  // what reached the disk
    ASSERT_EQ(file.load(path_), 0);
    std::string text;
    ASSERT_EQ(draw3d_key_count(), 22);
    for (int i = 0; i < draw3d_key_count(); ++i)
        EXPECT_TRUE(file.get("Draw_3D", draw3d_key(i), &text)) << i;
    for (const char* key : {"text", "arrows", "leader", "lframe", "dframe"})
        EXPECT_TRUE(file.get("dimension", key, &text)) << key;
    ASSERT_TRUE(file.get("Draw_3D", "RevolveAngle", &text));
    EXPECT_EQ(text, "6.283185307179586");  // a full turn, not 6.28319
    ASSERT_TRUE(file.get("Draw_3D", "3DFont", &text));
    EXPECT_EQ(text, "<INTERNAL>");

    // The user works; exit saves.
    g_draw3d.font_height = 0.1 + 0.2;
    g_draw3d.fractal_deriv = 1.0 / 3.0;
    g_draw3d.revolve_start = -0.0;
    g_draw3d.spiral_rounds = 5e-324;
    g_draw3d.font_depth = 1.7976931348623157e308;
    g_draw3d.faces_m = -7;
    g_draw3d.box_faces = 21;
    draw3d_set_font("DejaVu Sans");
    draw3d_set_text("Zelo 3D = text; [x]");
    set_dims({1, 3, 4, -1, 2});
    const Draw3DSettings saved = g_draw3d;
    const DimValues saved_dims = dims();
    exit_program();

    // A restart with the process state scrambled.
    g_draw3d = Draw3DSettings{};
    g_draw3d.revolve_start = 9;
    set_dims({0, 0, 0, 0, 0});
    ASSERT_EQ(settings_open(path_), 0);
    start_up();
    EXPECT_TRUE(same_bits(g_draw3d, saved));
    EXPECT_TRUE(std::signbit(g_draw3d.revolve_start));
    EXPECT_EQ(dims(), saved_dims);
}

TEST_F(CmdSettingsTest, OlderFilesAndOddValuesRead) {
    prof_put_string("Draw_3D", "RevolveAngle", "6.28319");  // six digits, as older files hold them
    prof_put_string("Draw_3D", "FacesM", "junk");
    prof_put_string("Draw_3D", "3DText", std::string(300, 'x').c_str());
    prof_put_string("dimension", "arrows", "7");  // a load stores what it reads
    draw3d_prefs_load();
    dim_prefs_load();
    EXPECT_EQ(g_draw3d.revolve_angle, 6.28319);
    EXPECT_EQ(g_draw3d.faces_m, 16);
    EXPECT_EQ(std::strlen(draw3d_text()), kDraw3DTextSize - 1);
    EXPECT_EQ(dim_get_arrows(), 7);
}

// A long accented "3DText" in the file: a start cuts it on a character boundary, the
// file is written again and stays UTF-8 text, and later changes still reach it.
TEST_F(CmdSettingsTest, LongAccentedTextKeepsTheFileWritable) {
    std::string accented;
    for (int i = 0; i < 300; ++i) accented += "\xC3\xA9";
    {
        std::ofstream out(path_, std::ios::binary);
        out << "[Draw_3D]\n3DText=" << accented << "\n";
    }
    ASSERT_EQ(settings_open(path_), 0);
    start_up();
    EXPECT_EQ(std::string(draw3d_text()), accented.substr(0, 254));  // 127 whole letters
    exit_program();
    EXPECT_EQ(settings_last_error(), 0);
    prof_put_int("Draw_3D", "FacesM", 9);  // a later change
    EXPECT_EQ(settings_last_error(), 0);
    IniStore file;
    ASSERT_EQ(file.load(path_), 0);
    std::string text;
    ASSERT_TRUE(file.get("Draw_3D", "FacesM", &text));
    EXPECT_EQ(text, "9");
    ASSERT_TRUE(file.get("Draw_3D", "3DText", &text));
    EXPECT_EQ(text, accented.substr(0, 254));
}

TEST_F(CmdSettingsTest, SettersKeepTheirBounds) {
    struct Row {
        void (*set)(int);
        int (*get)();
        int bound;
    } rows[] = {{dim_set_text_mode, dim_get_text_mode, 2},
                {dim_set_arrows, dim_get_arrows, 5},
                {dim_set_leader, dim_get_leader, 5},
                {dim_set_lframe, dim_get_lframe, 4},
                {dim_set_dframe, dim_get_dframe, 4}};
    for (const Row& r : rows) {
        r.set(r.bound - 1);
        EXPECT_EQ(r.get(), r.bound - 1);
        r.set(r.bound);
        EXPECT_EQ(r.get(), r.bound - 1);
        r.set(-1);
        EXPECT_EQ(r.get(), -1);
    }
    draw3d_set_font(std::string(400, 'f').c_str());
    EXPECT_EQ(std::strlen(draw3d_font()), kDraw3DTextSize - 1);
    draw3d_set_font(nullptr);
    EXPECT_STREQ(draw3d_font(), "");
    EXPECT_EQ(draw3d_key(22), nullptr);
}

}  // namespace
