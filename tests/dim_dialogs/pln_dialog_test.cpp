// The polyline editor's corner dialog in its floating frame: the edits enabled by
// the tool's mode, every change applied to the VIEW and the tool at once, a value
// out of range refused. With ZELO_SHOT_DIR set the frame is written there as a PNG.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <cstdlib>
#include <memory>

#include "dialogs/pln_dialog.h"
#include "graphics/view/view.h"
#include "model/rtc/rtc.h"

namespace {

TEST(PlnCornerDialog, ModeEnablesItsSizesAndChangesApplyAtOnce) {
    rtc_register_all();
    view_type_register();
    auto view = rtc_make<VIEW>();
    QMainWindow main;
    main.show();
    for (uint32_t id : {kCmdChamfer, kCmdFillet}) {
        CPlnEditor tool(id);
        tool.view = view.get();
        CPlnCornerFrame frame(&tool, &main);
        ASSERT_NE(frame.page(), nullptr);
        CPlnEditorDlg* page = frame.page();
        const bool chamfer = id == kCmdChamfer;
        EXPECT_EQ(page->GetDlgItem(kIdcFilletRadius)->isEnabled(), !chamfer);
        EXPECT_EQ(page->GetDlgItem(kIdcFirstTrim)->isEnabled(), chamfer);
        EXPECT_EQ(qobject_cast<QLineEdit*>(page->GetDlgItem(kIdcFilletRadius))->text().toStdString(), "5.0000");
        EXPECT_EQ(frame.windowTitle().toStdString(), "Corner");
        if (chamfer) {
            if (const char* dir = std::getenv("ZELO_SHOT_DIR"))
                frame.grab().save(QDir(dir).filePath("pln_corner_343.png"));
            auto* trim = qobject_cast<QLineEdit*>(page->GetDlgItem(kIdcFirstTrim));
            trim->setText("3");
            Q_EMIT trim->editingFinished();
            EXPECT_EQ(view->values3[kPlnFirstTrim], 3);
            trim->setText("-2");  // out of range: refused, the old size stays
            EXPECT_FALSE(page->Apply());
            EXPECT_EQ(view->values3[kPlnFirstTrim], 3);
            trim->setText("3");
            qobject_cast<QCheckBox*>(page->GetDlgItem(kIdcSeparate))->click();
            EXPECT_EQ(tool.separate, 1);
        }
        frame.show(false);
        EXPECT_TRUE(frame.isHidden());
        tool.view = nullptr;
    }
}

}  // namespace
