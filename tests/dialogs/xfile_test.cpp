// The file dialogs through their test hook and their window-free rules: completed
// names, matched rows, the replace question on the completed name, refused long
// names, remembered types, the folder answer, and the export options; the font
// dialog's fontconfig resolution.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "dialogs/export_panel.h"
#include "dialogs/xfile.h"
#include "dialogs/xfont.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"

namespace {

class FileScript {
  public:
    explicit FileScript(FileDialogHook hook) : old_(xfile_set_test_hook(std::move(hook))) {}
    ~FileScript() { xfile_set_test_hook(old_); }

  private:
    FileDialogHook old_;
};

// Collects the boxes shown and answers them with `answer`.
struct Boxes {
    std::vector<MsgBoxRequest> shown;
    int answer = kIdOk;
    MsgBoxHook old;
    Boxes() {
        old = msgbox_set_hook([this](const MsgBoxRequest& b) {
            shown.push_back(b);
            return answer;
        });
    }
    ~Boxes() { msgbox_set_hook(old); }
};

std::string scratch() {
    static std::string dir = [] {
        char t[] = "/tmp/zelo_xfile_XXXXXX";
        return std::string(mkdtemp(t));
    }();
    return dir;
}

TEST(FileTypes, FinalNamesAndMatchedRows) {
    const FileTypeTable save{kImageTypes.rows, 5};
    const struct {
        const char* typed;
        int selected;
        const char* final_name;
        FinalName result;
        int row;
    } cases[] = {
        {"/d/view", 4, "/d/view.tga", FinalName::ok, 4},
        {"/d/view.TGA", 0, "/d/view.TGA", FinalName::ok, 4},
        {"/d/view.tg", 4, "/d/view.tg.tga", FinalName::ok, 4},
        {"/d/view.jif", 0, "/d/view.jif", FinalName::ok, 3},
        {"/d/view.png", 0, "/d/view.png", FinalName::unknown_extension, -1},
        {"/d.x/view", 1, "/d.x/view.gif", FinalName::ok, 1},
    };
    for (const auto& c : cases) {
        std::string path = c.typed;
        int row = -2;
        EXPECT_EQ(file_type_final_name(save, c.selected, &path, &row), c.result) << c.typed;
        EXPECT_EQ(path, c.final_name);
        EXPECT_EQ(row, c.row) << c.typed;
    }
    // Never cut: a name past the limit is refused whole.
    std::string longer = "/" + std::string(kMaxPathLength, 'a');
    int row = 0;
    EXPECT_EQ(file_type_final_name(save, 4, &longer, &row), FinalName::too_long);
    EXPECT_EQ(longer.size(), kMaxPathLength + 1 + 4);
}

TEST(FileTypes, PreselectionFilterAndKind) {
    EXPECT_EQ(file_type_preselect(kImageTypes, 12, 4), 4);
    EXPECT_EQ(file_type_preselect(kImageTypes, 99, 4), 0);   // not in the table: fallback
    EXPECT_EQ(file_type_preselect(kMovieTypes, 99, 4), 6);
    const FileTypeTable two{kImageTypes.rows, 2};
    EXPECT_EQ(file_type_filter(two), "Windows Bitmap (*.bmp)|*.bmp|CompuServe Bitmap (*.gif)|*.gif||");
    EXPECT_EQ(file_type_kind(kImageTypes.rows[4], "Img"), "tgaImg");
}

TEST(FileDialog, SaveAsksToReplaceTheCompletedName) {
    const std::string existing = scratch() + "/view.tga";
    std::ofstream(existing) << "old";
    for (const int answer : {kIdNo, kIdYes}) {
        Boxes boxes;
        boxes.answer = answer;
        FileScript script([&](CXFile& dlg) {
            EXPECT_EQ(dlg.dialog()->nameFilters().size(), 5);
            dlg.choose(scratch() + "/view", 4);
            return true;
        });
        std::string name = "old name";
        const int type = image_file_dialog(&name, false);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_NE(boxes.shown[0].text.find(existing + " already exists."), std::string::npos);
        if (answer == kIdNo) {
            EXPECT_EQ(type, -1);
            EXPECT_EQ(name, "");
        } else {
            EXPECT_EQ(type, 12);
            EXPECT_EQ(name, existing);
            EXPECT_EQ(app_profile_get_int("Export", "Image", 0), 12);
        }
    }
}

TEST(FileDialog, UnknownExtensionAndLongNamesAreRefusedWithAMessage) {
    Boxes boxes;
    std::string chosen = scratch() + "/picture.png";
    FileScript script([&](CXFile& dlg) {
        dlg.choose(chosen, 0);
        return true;
    });
    std::string name;
    EXPECT_EQ(texture_file_dialog(&name, true), -1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Unknown extension *.png");
    chosen = "/" + std::string(5000, 'n');
    EXPECT_FALSE(single_type_save_dialog(&name, "*.tga"));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_NE(boxes.shown[1].text.find("longer than 4095"), std::string::npos);
}

TEST(FileDialog, ImportListsFiveRowsAndRemembersTheType) {
    Boxes boxes;
    int rows = 0;
    FileScript script([&](CXFile& dlg) {
        rows = static_cast<int>(dlg.dialog()->nameFilters().size());
        dlg.choose(scratch() + "/ship.3ds", 0);
        return true;
    });
    std::string name;
    EXPECT_EQ(open_drawing_dialog(&name, true), 16);
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(g_prefs.import_model, 16);
    EXPECT_EQ(app_profile_get_int("Import", "Model", 0), 16);
    // Cancel: -1, and an open dialog has emptied the name.
    FileScript cancel([](CXFile&) { return false; });
    name = "keep?";
    EXPECT_EQ(open_drawing_dialog(&name, false), -1);
    EXPECT_EQ(name, "");
}

TEST(FileDialog, FolderDialogAnswersTheFolderWithASlash) {
    const std::string file = scratch() + "/f.txt";
    std::ofstream(file) << "x";
    for (const std::string& chosen : {scratch(), file}) {
        FileScript script([&](CXFile& dlg) {
            dlg.choose(chosen, -1);
            return true;
        });
        std::string name;
        EXPECT_EQ(choose_folder_dialog(&name), 1);
        EXPECT_EQ(name, scratch() + "/");
    }
}

TEST(ExportOptions, EnablingAndSizesFollowRowAndResolution) {
    ExportOptions o;
    o.set_extents(254, 127);  // 10 x 5 inches
    o.set_visible(0, 50);     // not positive: both sides 1
    EXPECT_EQ(o.visible_w, 1);
    EXPECT_EQ(o.visible_h, 1);
    o.visible = 0;
    o.row = 3;  // Windows Bitmap
    o.resolution = 0;
    auto e = o.enabled();
    EXPECT_TRUE(e.size && !e.scale && e.raster && !e.objects);
    o.resolution = 5;  // 300 dpi
    o.scale1 = 1, o.scale2 = 2;
    e = o.enabled();
    EXPECT_TRUE(!e.size && e.scale);
    EXPECT_EQ(o.fields().size_w, 1500);
    EXPECT_EQ(o.fields().size_h, 750);
    o.row = 11;  // AutoCAD R10
    e = o.enabled();
    EXPECT_TRUE(e.objects && !e.raster && !e.size && !e.scale);
    // Scales zero, negative or not finite are refused; sizes outside 2..4096 too.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(o.take({0, 0, 0.0, 1.0}, 5), 3);
    EXPECT_EQ(o.take({0, 0, 1.0, -2.0}, 5), 4);
    EXPECT_EQ(o.take({0, 0, nan, 1.0}, 5), 3);
    EXPECT_EQ(o.scale2, 2);
    o.resolution = 0;
    EXPECT_EQ(o.take({1, 100, 1, 1}, 0), 1);
    EXPECT_EQ(o.take({100, 5000, 1, 1}, 0), 2);
    EXPECT_EQ(o.take({100, 80, 1, 1}, 0), 0);
    EXPECT_EQ(o.width, 100);
}

TEST(ExportOptions, StoredBadScalesReadAsOne) {
    app_profile_put_double("Export", "scale1", 0.0);
    app_profile_put_string("Export", "scale2", "nan");
    app_profile_put_int("Export", "resolution", 42);
    ExportOptions o;
    export_options_load(&o);
    EXPECT_EQ(o.scale1, 1.0);
    EXPECT_EQ(o.scale2, 1.0);
    EXPECT_EQ(o.resolution, 0);
}

// A scale left as shown keeps its digits on OK; one typed again is read as typed.
TEST(ExportOptions, ScaleLeftAloneKeepsItsDigits) {
    ExportOptions o;
    o.row = 3, o.resolution = 5;
    o.scale1 = 1.23456, o.scale2 = 1.0 / 3;
    ExportPanel panel(&o, nullptr);  // shows "1.235" and "0.3333"
    ASSERT_EQ(panel.read(), 0);
    EXPECT_EQ(o.scale1, 1.23456);
    EXPECT_EQ(o.scale2, 1.0 / 3);
    panel.edit(2326)->setText("0.25");
    ASSERT_EQ(panel.read(), 0);
    EXPECT_EQ(o.scale2, 0.25);
}

TEST(ExportOptions, DialogFillsTheRequestFromThePanel) {
    Boxes boxes;
    app_profile_put_int("Export", "type", 4);
    FileScript script([&](CXFile& dlg) {
        auto* panel = dlg.dialog()->findChild<ExportPanel*>();
        EXPECT_NE(panel, nullptr);
        if (!panel) return false;
        EXPECT_EQ(dlg.preselected_row(), 3);
        panel->resolution()->setCurrentIndex(5);
        panel->read();
        panel->refill();
        panel->edit(2325)->setText("2");
        panel->edit(2326)->setText("1");
        panel->check(2324)->setChecked(false);
        dlg.choose(scratch() + "/plot", 3);
        return true;
    });
    ExportRequest r;
    ASSERT_TRUE(export_dialog(25.4, 0, 10, 10, &r));  // a zero side: extents 1 x 1
    EXPECT_EQ(r.type, 4);
    EXPECT_EQ(r.name, scratch() + "/plot.bmp");
    EXPECT_EQ(r.dpi, 300);
    EXPECT_EQ(r.scale, 2);
    EXPECT_EQ(r.width, 23);  // 300 / 1 * 2 * 1 / 25.4
    EXPECT_EQ(app_profile_get_int("Export", "resolution", 0), 5);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(FontDialog, ChosenFontResolvesToAFile) {
    const FontDialogHook old = xfont_set_test_hook([](QFontDialog& dlg) {
        QFont f("DejaVu Sans");
        f.setBold(true);
        f.setPointSize(14);
        dlg.setCurrentFont(f);
        return true;
    });
    CXFont dlg(FontRecord{});
    ASSERT_TRUE(dlg.DoModal());
    EXPECT_FALSE(dlg.font().family.empty());
    EXPECT_EQ(dlg.font().point_size, 14);
    EXPECT_GE(dlg.font().weight, 600);
    EXPECT_FALSE(dlg.font().file.empty());
    xfont_set_test_hook([](QFontDialog&) { return false; });
    EXPECT_FALSE(dlg.DoModal());
    xfont_set_test_hook(old);
}

}  // namespace
