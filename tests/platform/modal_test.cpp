// Message boxes, beep, wait cursor and the modal dialog run, all answered through
// their hooks with no window shown; the numeric locale after start-up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <clocale>
#include <cstring>
#include <thread>

#include "platform/dialog.h"
#include "platform/modal.h"
#include "platform/msgqueue.h"

namespace {

TEST(PlatformStart, NumericLocaleIsCAfterTheApplicationExists) {
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 2.5);
    EXPECT_STREQ(buf, "2.5");
}

TEST(PlatformModal, BeepGoesThroughItsHook) {
    int beeps = 0;
    auto old_beep = platform_set_beep_hook([&] { ++beeps; });
    platform_beep();
    platform_beep();
    EXPECT_EQ(beeps, 2);
    platform_set_beep_hook(old_beep);
}

TEST(PlatformModal, BoxesAskedOffTheWindowThreadAreAnsweredCautiously) {
    int yes_no = -1, ok = -1;
    std::thread worker([&] {
        yes_no = platform_message_box(nullptr, MsgBoxRequest{"Zelo", "Continue?", kMbYesNo | kMbIconQuestion});
        ok = platform_message_box(nullptr, MsgBoxRequest{"Zelo", "Done", kMbOk});
    });
    worker.join();
    EXPECT_EQ(yes_no, kIdNo);
    EXPECT_EQ(ok, kIdOk);
}

TEST(PlatformModal, RealBoxShowsTheTextAsWrittenAndMapsTheAnswer) {
    // No hook: the box really runs (offscreen) and a timer answers it.
    Qt::TextFormat format = Qt::RichText;
    QString text, title;
    QTimer::singleShot(0, [&] {
        auto* mb = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(mb, nullptr);
        auto* label = mb->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        format = label->textFormat();
        text = label->text();
        title = mb->windowTitle();
        mb->button(QMessageBox::Yes)->click();
    });
    MsgBoxRequest box{"Zelo", "Delete layer <b>walls</b>?\nIt holds 3 objects.", kMbYesNo | kMbIconQuestion};
    EXPECT_EQ(platform_message_box(nullptr, box), kIdYes);
    EXPECT_EQ(format, Qt::PlainText);  // a name with '<' is not markup, the line feed stays
    EXPECT_EQ(text.toStdString(), box.text);
    EXPECT_EQ(title.toStdString(), "Zelo");
}

TEST(PlatformModal, WaitCursorFromAnyThread) {
    platform_wait_cursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    std::thread worker([] { platform_wait_cursor(false); });
    worker.join();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);  // handed to this thread, not run yet
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A dialog with one edit holding a number from 1 to 9.
class DigitDlg : public CDialog {
  public:
    DigitDlg() : CDialog(900) {}
    int value = 5;
    int fails = 0;

  protected:
    void CreateControls() override {
        add_static(1000, "Digit", 0, 0);
        add_edit(1001, 0, 1);
        add_ok_cancel(1, 2);
    }
    void DoDataExchange(CDataExchange* dx) override {
        std::string text = std::to_string(value);
        DDX_Text(dx, 1001, text);
        DDV_MaxChars(dx, text, 1);
        if (dx->saving()) {
            if (text.size() != 1 || text[0] < '1' || text[0] > '9') {
                ++fails;
                dx->Fail();
            }
            value = text[0] - '0';
        }
    }
};

TEST(PlatformDialog, HookDrivesTheDialogAndFailedChecksKeepItOpen) {
    DigitDlg dlg;
    auto old = platform_set_modal_hook([](CDialog& d) {
        EXPECT_EQ(d.GetDlgItemText(1001), "5");  // filled on opening
        d.SetDlgItemText(1001, "x");
        d.press(IDOK);
        EXPECT_FALSE(d.ended());  // refused: still open, focus on the edit
        d.SetDlgItemText(1001, "7");
        d.press(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.value, 7);
    EXPECT_EQ(dlg.fails, 1);
    auto* edit = qobject_cast<QLineEdit*>(dlg.GetDlgItem(1001));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->maxLength(), 1);
    auto* label = qobject_cast<QLabel*>(dlg.GetDlgItem(1000));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);  // static texts are never markup

    // A hook that returns without ending the dialog has cancelled it; the value stays.
    platform_set_modal_hook([](CDialog& d) { d.SetDlgItemText(1001, "3"); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.value, 7);
    platform_set_modal_hook(old);
}

}  // namespace
