// ButtonEx notifications, the colour button and the history combo box.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include "graphics/view/colours.h"
#include "shell/button_ex.h"
#include "shell/edit_bar.h"
#include "shell/preview_bar.h"
#include "tests/platform/qt_test_env.h"

namespace {

struct Recorder {
    std::vector<int> codes;
    void attach(ButtonEx& b) {
        b.on_notify = [this](int, int code) { codes.push_back(code); };
    }
};

void press(QWidget* w, Qt::MouseButton b, QPoint at = {5, 5}) { QTest::mousePress(w, b, {}, at); }
void release(QWidget* w, Qt::MouseButton b, QPoint at = {5, 5}) { QTest::mouseRelease(w, b, {}, at); }

}  // namespace

TEST(ButtonEx, NotificationCodesByMouseButton) {
    ButtonEx b(100, kButtonEx3D | kButtonExPush);
    b.resize(24, 24);
    Recorder r;
    r.attach(b);
    press(&b, Qt::LeftButton);
    EXPECT_TRUE(b.flags() & kButtonExPressed);
    release(&b, Qt::LeftButton);
    EXPECT_FALSE(b.flags() & kButtonExPressed);
    press(&b, Qt::RightButton);
    release(&b, Qt::RightButton);
    press(&b, Qt::MiddleButton);
    release(&b, Qt::MiddleButton);
    EXPECT_EQ(r.codes, (std::vector<int>{0, 1, 3, 2, 4}));

    // Released outside a push button: no click.
    r.codes.clear();
    press(&b, Qt::LeftButton);
    release(&b, Qt::LeftButton, {40, 40});
    EXPECT_TRUE(r.codes.empty());

    // Disabled: nothing at all.
    b.set_flags(kButtonExDisabled | kButtonEx3D);
    for (Qt::MouseButton m : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        press(&b, m);
        release(&b, m);
    }
    EXPECT_TRUE(r.codes.empty());
}

TEST(ButtonEx, ToggleFlipsPressedAndNotifiesAtOnce) {
    ButtonEx b(101, kButtonExToggle);
    b.resize(24, 24);
    Recorder r;
    r.attach(b);
    press(&b, Qt::LeftButton);
    EXPECT_TRUE(b.flags() & kButtonExPressed);
    EXPECT_EQ(r.codes, std::vector<int>{0});
    release(&b, Qt::LeftButton);
    press(&b, Qt::LeftButton);
    EXPECT_FALSE(b.flags() & kButtonExPressed);
    EXPECT_EQ(r.codes.size(), 2u);
}

TEST(ColourButton, ShowsTheDisplayColourOfAnIndex) {
    CColourButton b;
    b.resize(22, 22);
    for (int index : {1, 7, 12, 100, 255, 300}) {
        b.SetColour(index);
        const PaletteEntry& e = kDisplayPalette[size_t(colour_index_fix(index) & 0xFF)];
        EXPECT_EQ(b.colour(), QColor(e.red, e.green, e.blue)) << index;
        EXPECT_TRUE(b.flags() & kButtonExColour);
        // The inside is painted in that colour.
        QImage img = b.grab().toImage();
        EXPECT_EQ(QColor(img.pixel(11, 11)), b.colour()) << index;
    }
}

TEST(HistoryCombo, KeepsTheLastFifteenNewestFirst) {
    CHistoryCombo combo;
    for (int i = 1; i <= 16; ++i) {
        combo.lineEdit()->setText(QString::number(i));
        QTest::keyClick(&combo, Qt::Key_Return);
    }
    ASSERT_EQ(combo.count(), CHistoryCombo::kMaxEntries);
    EXPECT_EQ(combo.itemText(0), "16");
    EXPECT_EQ(combo.itemText(14), "2");
    EXPECT_EQ(combo.currentIndex(), 0);
}

TEST(EditBar, LayerChoiceAndColourClick) {
    CEditBar bar;
    std::vector<int> commands;
    std::string layer;
    bar.on_command = [&](int id) { commands.push_back(id); };
    bar.on_layer = [&](const std::string& name) { layer = name; };
    bar.set_layers({"Layer01", "Walls"}, "Walls");
    EXPECT_EQ(bar.layer_list()->currentText(), "Walls");
    bar.set_layers({"Layer01"}, "Gone");
    EXPECT_EQ(bar.layer_list()->currentIndex(), -1);
    bar.set_layers({"Layer01", "Walls"}, "Layer01");
    Q_EMIT bar.layer_list()->activated(1);
    EXPECT_EQ(layer, "Walls");
    bar.colour_button()->resize(22, 22);
    press(bar.colour_button(), Qt::LeftButton);
    release(bar.colour_button(), Qt::LeftButton);
    EXPECT_EQ(commands, std::vector<int>{15306});
}

TEST(PreviewBar, PlayingStateAndSideDocking) {
    CGlimpseBar bar;
    bar.set_view_points({"<< Front >>", "Camera01"});
    EXPECT_TRUE(bar.view_points()->isEnabled());
    EXPECT_FALSE(bar.action_of(32805)->isEnabled());
    bar.SetPlaying(true);
    EXPECT_FALSE(bar.view_points()->isEnabled());
    for (int id : {32803, 32787, 32788, 32804, 32807, 32808}) EXPECT_FALSE(bar.action_of(id)->isEnabled()) << id;
    for (int id : {32805, 32806}) EXPECT_TRUE(bar.action_of(id)->isEnabled()) << id;
    bar.SetPlaying(false);
    EXPECT_TRUE(bar.action_of(32804)->isEnabled());

    std::vector<int> commands;
    bar.on_command = [&](int id) { commands.push_back(id); };
    bar.show();
    bar.setOrientation(Qt::Vertical);
    EXPECT_FALSE(bar.view_points()->isVisible());
    EXPECT_TRUE(bar.action_of(32802)->isVisible());
    bar.action_of(32802)->trigger();
    EXPECT_EQ(commands, std::vector<int>{32802});
    bar.setOrientation(Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_TRUE(bar.view_points()->isVisible());
    EXPECT_FALSE(bar.action_of(32802)->isVisible());
}
