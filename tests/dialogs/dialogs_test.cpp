// The dialog base and the typed-input dialogs, driven through the modal hook.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/ask_string.h"
#include "dialogs/dlg.h"
#include "dialogs/typed_input.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "platform/modal.h"
#include "tests/platform/qt_test_env.h"
#include "tests/platform/modal_script.h"

namespace {

// Collects the message boxes shown meanwhile.
class Messages {
  public:
    Messages() {
        msgbox_set_hook([this](const MsgBoxRequest& box) {
            texts.push_back(box.text);
            return kIdOk;
        });
    }
    ~Messages() { msgbox_set_hook(nullptr); }
    std::vector<std::string> texts;
};

// A dialog on the Dimension settings template with controls of every kind.
class SampleDlg : public CDlg {
  public:
    SampleDlg() : CDlg(314, nullptr) {}
    int exchanges = 0;

  protected:
    void CreateControls() override {
        add_static(2208, "size", 0, 0);           // has a text: "&Size:"
        add_check(2331, "colour", 1, 0);         // "&Colour"
        add_static(1100, "kept", 2, 0);           // 1024..1279: skipped
        add_edit(2199, 3, 0);                     // an edit: skipped though 2199 has a text
        add_combo(2200, 4, 0);                    // a combo: skipped
        add_button(2500, "no entry", 5, 0);       // no string: kept
        add_ok_cancel(6, 1);
    }
    void DoDataExchange(CDataExchange*) override { ++exchanges; }
};

TEST(Dlg, TakesCaptionAndControlTextsFromTheStringTable) {
    SampleDlg dlg;
    ModalScript script([](CDialog& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "Dimension settings");
        EXPECT_EQ(d.GetDlgItemText(2208), "&Size:");
        EXPECT_EQ(d.GetDlgItemText(2331), "&Colour");
        EXPECT_EQ(d.GetDlgItemText(1100), "kept");
        EXPECT_EQ(d.GetDlgItemText(2199), "");
        EXPECT_EQ(d.GetDlgItemText(2500), "no entry");
        // "&Size:" shows as "Size:" with S as its key, not with the '&'.
        auto* size = qobject_cast<QLabel*>(d.GetDlgItem(2208));
        ASSERT_NE(size, nullptr);
        EXPECT_EQ(size->sizeHint().width(), QLabel(QStringLiteral("Size:")).sizeHint().width());
        d.press(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.exchanges, 2);  // filled on opening, read on OK
}

TEST(Dlg, AfterCancelUpdateDataDoesNothing) {
    SampleDlg dlg;
    ModalScript script([](CDialog& d) { d.press(IDCANCEL); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    int before = dlg.exchanges;
    EXPECT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.exchanges, before);
}

TEST(Dlg, HelpContextHoldsWhileTheDialogRuns) {
    SampleDlg dlg;
    uint32_t seen = 0;
    ModalScript script([&](CDialog&) { seen = dlg_help_context(); });
    EXPECT_EQ(dlg.DoModalHelp(40085), IDCANCEL);
    EXPECT_EQ(seen, 40085u);
    EXPECT_EQ(dlg_help_context(), 0u);
}

TEST(TypedInput, EnterNumberShowsThePromptAndReturnsTheText) {
    char buf[8] = "1";
    ModalScript script([](CDialog& d) {
        EXPECT_EQ(d.template_id(), 277);
        EXPECT_EQ(d.windowTitle().toStdString(), "Enter Number");
        EXPECT_EQ(d.GetDlgItemText(kIdcTypedPrompt), "Circle radius");
        EXPECT_EQ(d.GetDlgItemText(kIdcTypedText), "1");
        auto* edit = qobject_cast<QLineEdit*>(d.GetDlgItem(kIdcTypedText));
        EXPECT_EQ(edit->maxLength(), 7);
        EXPECT_EQ(dlg_help_context(), kHelpTypedInput);
        d.SetDlgItemText(kIdcTypedText, "12.75");
        d.press(IDOK);
    });
    EXPECT_TRUE(enter_coordinate_dialog(0, nullptr, 42083, buf, sizeof buf));
    EXPECT_STREQ(buf, "12.75");
}

TEST(TypedInput, CancelLeavesTheBuffer) {
    char buf[16] = "-";
    ModalScript script([](CDialog& d) {
        d.SetDlgItemText(kIdcTypedText, "-5");
        d.press(IDCANCEL);
    });
    EXPECT_FALSE(enter_coordinate_dialog(0, nullptr, 42083, buf, sizeof buf));
    EXPECT_FALSE(enter_coordinate_dialog(1, nullptr, 0, buf, sizeof buf));
    EXPECT_STREQ(buf, "-");
    EXPECT_FALSE(enter_coordinate_dialog(1, nullptr, 0, nullptr, 0));
}

TEST(TypedInput, EnterCoordinateWritesAPointAndRefusesOtherText) {
    Messages messages;
    char buf[64] = "@";
    g_prefs.coord_sys = 1;
    ModalScript script([](CDialog& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "Enter Coordinate");
        EXPECT_EQ(d.GetDlgItemText(kIdcCoordUser), "&User");
        EXPECT_TRUE(d.IsDlgButtonChecked(kIdcCoordUser));
        d.SetDlgItemText(kIdcTypedText, "1 x");
        d.press(IDOK);
        EXPECT_FALSE(d.ended());
        d.SetDlgItemText(kIdcTypedText, "1.5, -2");
        d.CheckDlgButton(kIdcCoordWorld, true);
        d.press(IDOK);
    });
    EXPECT_TRUE(enter_coordinate_dialog(1, nullptr, 0, buf, sizeof buf));
    EXPECT_STREQ(buf, "1.5000 -2.0000 0.0000");
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Please enter the value correctly"}));
    EXPECT_EQ(g_prefs.coord_sys, 0);  // the axes choice is remembered
    g_prefs.coord_sys = 1;
}

TEST(TypedInput, APointThatDoesNotFitTheBufferIsRefused) {
    Messages messages;
    char buf[24] = "1";  // "1.0000 2.0000 0.0000" fits; forty-digit numbers do not
    ModalScript script([](CDialog& d) {
        d.SetDlgItemText(kIdcTypedText, "1e20 1e20");
        d.press(IDOK);
        EXPECT_FALSE(d.ended());
        d.SetDlgItemText(kIdcTypedText, "1 2");
        d.press(IDOK);
    });
    EXPECT_TRUE(enter_coordinate_dialog(1, nullptr, 0, buf, sizeof buf));
    EXPECT_STREQ(buf, "1.0000 2.0000 0.0000");
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Please enter the value correctly"}));
}

bool fake_converter(const VIEW*, const std::string& typed, bool user_axes, std::string* point) {
    if (typed != "@10<90") return false;
    *point = user_axes ? "user" : "world";
    return true;
}

TEST(TypedInput, AnInstalledConverterTurnsTheText) {
    CoordConverter old = coord_dialog_set_converter(fake_converter);
    char buf[64] = "@";
    ModalScript script([](CDialog& d) {
        d.SetDlgItemText(kIdcTypedText, "@10<90");
        d.press(IDOK);
    });
    EXPECT_TRUE(enter_coordinate_dialog(1, nullptr, 0, buf, sizeof buf));
    EXPECT_STREQ(buf, "user");
    coord_dialog_set_converter(old);
}

TEST(AskString, PromptsUnderTheApplicationNameWithALimit) {
    dialogs_install_services();
    char buf[16] = "Layer01";
    ModalScript script([](CDialog& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "Zelo");
        EXPECT_EQ(d.GetDlgItemText(kIdcAskPrompt), "Layer");
        EXPECT_EQ(d.GetDlgItemText(kIdcAskText), "Layer01");
        auto* edit = qobject_cast<QLineEdit*>(d.GetDlgItem(kIdcAskText));
        EXPECT_EQ(edit->maxLength(), 10);
        d.SetDlgItemText(kIdcAskText, "Walls");
        d.press(IDOK);
    });
    EXPECT_EQ(input_ask_string(42114, buf, sizeof buf, 10), 1);
    EXPECT_STREQ(buf, "Walls");
}

TEST(AskString, CancelAndTinyBuffers) {
    dialogs_install_services();
    char buf[4] = "abc";
    {
        ModalScript script([](CDialog& d) { d.press(IDCANCEL); });
        EXPECT_EQ(input_ask_string(42114, buf, sizeof buf, 100), 0);
        EXPECT_STREQ(buf, "abc");
    }
    ModalScript script([](CDialog& d) {
        d.SetDlgItemText(kIdcAskText, "\xC3\xA9\xC3\xA9");  // two 2-byte characters
        d.press(IDOK);
    });
    EXPECT_EQ(input_ask_string(42114, buf, sizeof buf, 100), 1);
    EXPECT_STREQ(buf, "\xC3\xA9");  // cut to the buffer, never inside a character
    input_string_set_hook(nullptr);
}

}  // namespace
