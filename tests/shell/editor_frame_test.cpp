// The floating property editor: placement per owner under "Layout", toggling, and
// closing that hides and applies the page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QTest>

#include "model/services/profile.h"
#include "shell/core/placement.h"
#include "shell/editor_frame.h"
#include "tests/platform/qt_test_env.h"

namespace {

class CountingPage : public CEditorDlg {
  public:
    CountingPage() : CEditorDlg(147) {}
    int saves = 0;
    QLineEdit* edit = nullptr;

  protected:
    void CreateControls() override { edit = add_edit(1000, 0, 0); }
    void DoDataExchange(CDataExchange* dx) override {
        if (dx->saving()) ++saves;
    }
};

}  // namespace

TEST(EditorFrame, PositionPerOwnerAndClamp) {
    QMainWindow main;
    main.show();
    prof_put_string("Layout", layout_key(0xA1).c_str(), "40 60");
    prof_put_string("Layout", layout_key(0xA2).c_str(), "99999 -5");
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    {
        CEditorFrame a(0xA1, &main), b(0xA2, &main);
        ASSERT_EQ(a.Create(147, new QLineEdit), 1);
        ASSERT_EQ(b.Create(147, new QLineEdit), 1);
        EXPECT_EQ(a.pos(), QPoint(40, 60));
        EXPECT_EQ(b.pos(), QPoint(screen.width() - 1, 0));
        EXPECT_EQ(a.windowTitle(), "Polyline editor");
        a.move(120, 130);
    }
    // Destroying the frames wrote their positions, each under its own key.
    EXPECT_EQ(app_profile_get_text("Layout", "0x000000A1", ""), "120 130");
    EXPECT_EQ(app_profile_get_text("Layout", "0x000000A2", ""), QString("%1 0").arg(screen.width() - 1).toStdString());

    CEditorFrame missing(0xA3, &main);
    EXPECT_EQ(missing.Create(999999, new QLineEdit), 0);  // no such title
    EXPECT_EQ(missing.Create(147, nullptr), 0);
}

TEST(EditorFrame, CloseHidesAppliesAndToggleShowsAgain) {
    QMainWindow main;
    main.show();
    CEditorFrame frame(0xB1, &main);
    auto* page = new CountingPage;
    page->Prepare();
    ASSERT_EQ(frame.Create(147, page), 1);
    ASSERT_TRUE(frame.isVisible());
    frame.move(200, 210);

    frame.close();
    EXPECT_TRUE(frame.isHidden());
    EXPECT_EQ(page->saves, 1);
    frame.Toggle(0);  // hidden: shown again, where it was
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(frame.pos(), QPoint(200, 210));
    frame.Toggle(1);
    EXPECT_TRUE(frame.isHidden());
    EXPECT_EQ(page->saves, 2);
    frame.Toggle(2);
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(CEditorDlg::GetEditorFrame(page), &frame);
    EXPECT_EQ(CEditorDlg::GetEditorFrame(&main), nullptr);
}

TEST(EditorFrame, EscInsideHidesFocusElsewhereOnlyFocuses) {
    QMainWindow main;
    auto* other = new QLineEdit(&main);
    main.setCentralWidget(other);
    main.show();
    CEditorFrame frame(0xC1, &main);
    auto* page = new CountingPage;
    page->Prepare();
    ASSERT_EQ(frame.Create(147, page), 1);

    // Focus elsewhere: mode 0 only moves the focus into the frame.
    QApplication::setActiveWindow(&main);
    other->setFocus();
    EXPECT_FALSE(frame.HasFocusInside());
    frame.Toggle(0);
    EXPECT_TRUE(frame.isVisible());

    page->edit->setFocus();
    QApplication::setActiveWindow(&frame);
    if (!frame.HasFocusInside()) GTEST_SKIP() << "the platform gives no focus to tool windows";
    QTest::keyClick(page->edit, Qt::Key_Escape);
    EXPECT_TRUE(frame.isHidden());
    EXPECT_EQ(page->saves, 1);
}
