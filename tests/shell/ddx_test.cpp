// Number exchange of dialogs: reading reals, angles in degrees and radians, lengths
// in every unit kind, range failures naming their bounds, and all of it under a
// decimal-comma locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "model/services/msgbox.h"
#include "model/services/numfmt.h"
#include "platform/dialog.h"
#include "shell/ddx.h"
#include "tests/platform/qt_test_env.h"

namespace {

constexpr int kEdit = 2100;

// A dialog with one edit whose exchange the test supplies.
class ExchangeDlg : public CDialog {
  public:
    explicit ExchangeDlg(std::function<void(CDataExchange*)> fn) : CDialog(990), fn_(std::move(fn)) {
        CreateControls();
    }

  protected:
    void CreateControls() override {
        if (GetDlgItem(kEdit)) return;
        add_edit(kEdit, 0, 0);
        add_ok_cancel(1, 1);
    }
    void DoDataExchange(CDataExchange* dx) override { fn_(dx); }

  private:
    std::function<void(CDataExchange*)> fn_;
};

class DdxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        set_number_format(1, 0, 4, 64);
        msgbox_set_hook([this](const MsgBoxRequest& box) {
            messages.push_back(box.text);
            styles.push_back(box.style);
            return kIdOk;
        });
    }
    void TearDown() override {
        msgbox_set_hook(nullptr);
        number_set_length_hooks(nullptr, nullptr);
        set_number_format(1, 0, 4, 64);
    }

    // Shows `value` through the exchange, as on opening.
    template <class Fn>
    std::string shown(Fn fn) {
        ExchangeDlg dlg(fn);
        dlg.UpdateData(false);
        return dlg.GetDlgItemText(kEdit);
    }
    // Types `text` and reads it back; false when the exchange failed.
    template <class Fn>
    bool typed(const std::string& text, Fn fn) {
        ExchangeDlg dlg(fn);
        dlg.SetDlgItemText(kEdit, text);
        return dlg.UpdateData(true);
    }

    std::vector<std::string> messages;
    std::vector<unsigned> styles;
};

TEST(RealParse, AcceptsNumbersAndRefusesEverythingElse) {
    struct Row {
        const char* text;
        bool ok;
        double value;
    } rows[] = {
        {"0", true, 0},         {" 0.0 ", true, 0},     {"\t2.5\t", true, 2.5},  {"-3", true, -3},
        {"+4", true, 4},        {"1e3", true, 1000},    {"0x1A", true, 26},      {"00.5", true, 0.5},
        {"-0", false, 0},       {".0", false, 0},       {"abc", false, 0},       {"12 a", false, 0},
        {"12abc", false, 0},    {"", false, 0},         {"  ", false, 0},        {"inf", false, 0},
        {"-inf", false, 0},     {"nan", false, 0},      {"1e999", false, 0},     {"1e-999", false, 0},
        {"2,5", false, 0},      {"--1", false, 0},      {"+-1", false, 0},       {"1\n", false, 0},
    };
    for (const Row& r : rows) {
        double v = 42;
        EXPECT_EQ(real_parse(r.text, &v), r.ok) << '"' << r.text << '"';
        EXPECT_EQ(v, r.ok ? r.value : 42) << '"' << r.text << '"';
    }
    EXPECT_FALSE(real_parse(nullptr, nullptr));
}

TEST_F(DdxTest, RealsShowThePrecisionAndRefuseBadText) {
    float f = 3.14159265f;
    EXPECT_EQ(shown([&](CDataExchange* dx) { DDX_Float(dx, kEdit, f); }), "3.142");
    double d = 1234567.0;
    EXPECT_EQ(shown([&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); }), "1.235e+06");
    set_number_format(1, 0, 8, 64);
    EXPECT_EQ(shown([&](CDataExchange* dx) { DDX_Float(dx, kEdit, f); }), "3.1415927");

    EXPECT_TRUE(typed(" 0.0 ", [&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); }));
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(typed("5 x", [&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); }));
    EXPECT_FALSE(typed("inf", [&](CDataExchange* dx) { DDX_Float(dx, kEdit, f); }));
    EXPECT_EQ(d, 0.0);  // a failed read leaves the variable
    EXPECT_FLOAT_EQ(f, 3.14159265f);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Please enter a number.");
    EXPECT_EQ(styles[0], kMbOk | kMbIconExclamation);
    // A double that a float cannot hold is refused, not stored as infinity.
    EXPECT_FALSE(typed("1e39", [&](CDataExchange* dx) { DDX_Float(dx, kEdit, f); }));
    EXPECT_FLOAT_EQ(f, 3.14159265f);
    EXPECT_EQ(messages.back(), "Please enter a number.");
    EXPECT_TRUE(typed("-3e38", [&](CDataExchange* dx) { DDX_Float(dx, kEdit, f); }));
    EXPECT_FLOAT_EQ(f, -3e38f);
}

TEST_F(DdxTest, EveryShownValueReadsBack) {
    // Negative zeros and tiny negatives show as "0" / "0.0000", never as a "-0"
    // that the dialog would refuse when OK is pressed untouched.
    struct Row {
        double value;
        const char* real;
        const char* length;
    } rows[] = {{-0.0, "0", "0.0000"}, {-1e-9, "-1e-09", "0.0000"}, {-0.00004, "-4e-05", "0.0000"},
                {-2.5, "-2.5", "-2.5000"}, {1e-300, "1e-300", "0.0000"}};
    for (const Row& r : rows) {
        double d = r.value, len = r.value;
        std::string real = shown([&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); });
        std::string length = shown([&](CDataExchange* dx) { DDX_Length(dx, kEdit, len); });
        EXPECT_EQ(real, r.real) << r.value;
        EXPECT_EQ(length, r.length) << r.value;
        EXPECT_TRUE(typed(real, [&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); })) << real;
        EXPECT_TRUE(typed(length, [&](CDataExchange* dx) { DDX_Length(dx, kEdit, len); })) << length;
    }
    EXPECT_TRUE(messages.empty());
}

// A NaN or infinite value shown and left alone is refused on OK, also by the fields
// without a range check (a camera's position and target): only finite values stay exact.
TEST_F(DdxTest, UntouchedNonFiniteValuesAreRefused) {
    const double values[] = {std::nan(""), INFINITY, -INFINITY};
    for (double value : values) {
        double d = value, len = value, angle = value;
        float f = float(value);
        const std::function<void(CDataExchange*)> fields[] = {
            [&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); },
            [&](CDataExchange* dx) { DDX_Float(dx, kEdit, f); },
            [&](CDataExchange* dx) { DDX_Units(dx, kEdit, angle); },
            [&](CDataExchange* dx) { DDX_Length(dx, kEdit, len); },
        };
        for (size_t i = 0; i < std::size(fields); ++i) {
            ExchangeDlg dlg(fields[i]);
            dlg.UpdateData(false);
            EXPECT_FALSE(dlg.UpdateData(true)) << value << " field " << i;
        }
    }
    EXPECT_EQ(messages.size(), 12u);
}

TEST_F(DdxTest, AnglesInDegreesOrRadians) {
    double a = 1.5707963;
    EXPECT_EQ(shown([&](CDataExchange* dx) { DDX_Units(dx, kEdit, a); }), "90");
    EXPECT_TRUE(typed("45", [&](CDataExchange* dx) { DDX_Units(dx, kEdit, a); }));
    EXPECT_NEAR(a, 0.7853981, 1e-7);
    set_number_format(0, 0, 4, 64);
    EXPECT_EQ(shown([&](CDataExchange* dx) { DDX_Units(dx, kEdit, a); }), "0.7854");
    EXPECT_TRUE(typed("1.5", [&](CDataExchange* dx) { DDX_Units(dx, kEdit, a); }));
    EXPECT_DOUBLE_EQ(a, 1.5);
}

TEST_F(DdxTest, AngleRangeNamesDegreeOrRadianBounds) {
    auto check = [&](double value) {
        return typed("0", [&, value](CDataExchange* dx) {
            double v = value;
            dx->PrepareEditCtrl(kEdit);
            DDV_MinMaxUnits(dx, v, 0, 360);
        });
    };
    EXPECT_TRUE(check(2 * M_PI));
    EXPECT_TRUE(check(0));
    EXPECT_FALSE(check(2 * M_PI + 1e-9));
    EXPECT_FALSE(check(std::nan("")));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Please enter a value between 0\u00B0 and 360\u00B0.");
    set_number_format(0, 0, 4, 64);
    EXPECT_FALSE(check(7));
    EXPECT_EQ(messages.back(), "Please enter a value between 0rad and 6.283rad.");
}

// A stand-in imperial formatter: whole feet and inches, read back from "F'I\"".
std::string fake_feet(int kind, double mm, int, int) {
    long inches = std::lround(mm / 25.4);
    return std::to_string(kind) + ":" + std::to_string(inches / 12) + "'" + std::to_string(inches % 12) + "\"";
}
bool fake_feet_parse(const char* text, double* mm) {
    int f = 0, i = 0;
    if (std::sscanf(text, "%d'%d\"", &f, &i) != 2) return false;
    *mm = (f * 12 + i) * 25.4;
    return true;
}

TEST_F(DdxTest, LengthsAndTheirRangesInEveryUnitKind) {
    double len = 12.5;
    EXPECT_EQ(shown([&](CDataExchange* dx) { DDX_Length(dx, kEdit, len); }), "12.5000");
    auto range = [&](const char* text) {
        return typed(text, [&](CDataExchange* dx) {
            DDX_Length(dx, kEdit, len);
            DDV_MinMaxLength(dx, len, 0.0001, 304.8);
        });
    };
    EXPECT_TRUE(range("300"));
    EXPECT_FALSE(range("400"));
    EXPECT_EQ(messages.back(), "Please enter a value between 0.0001 and 304.8.");
    EXPECT_FALSE(range("1'0\""));  // decimal units: not a number
    EXPECT_EQ(messages.back(), "Please enter a number.");

    number_set_length_hooks(fake_feet, fake_feet_parse);
    set_number_format(1, 2, 4, 64);
    len = 25.4 * 14;
    EXPECT_EQ(shown([&](CDataExchange* dx) { DDX_Length(dx, kEdit, len); }), "2:1'2\"");
    EXPECT_TRUE(range("0'6\""));
    EXPECT_DOUBLE_EQ(len, 6 * 25.4);
    EXPECT_FALSE(range("2'0\""));
    EXPECT_EQ(messages.back(), "Please enter a value between 2:0'0\" and 2:1'0\".");
    EXPECT_FALSE(range("six inches"));
    EXPECT_EQ(messages.back(), "Please enter the value correctly");
    EXPECT_DOUBLE_EQ(len, 24 * 25.4);  // kept from the last text that read (the range check came after)

    // Plain reals keep plain bounds whatever the length unit.
    EXPECT_FALSE(typed("5", [&](CDataExchange* dx) {
        double v = 0;
        DDX_Double(dx, kEdit, v);
        DDV_MinMaxDouble(dx, v, -1.5, 2);
    }));
    EXPECT_EQ(messages.back(), "Please enter a value between -1.5 and 2.");
}

TEST_F(DdxTest, RangeChecksAreSilentWhileFillingTheDialog) {
    double v = 99;
    EXPECT_EQ(shown([&](CDataExchange* dx) {
                  DDX_Double(dx, kEdit, v);
                  DDV_MinMaxDouble(dx, v, 0, 1);
              }),
              "99");
    EXPECT_TRUE(messages.empty());
    float f = 1.0f;
    EXPECT_TRUE(typed("1", [&](CDataExchange* dx) {
        DDX_Float(dx, kEdit, f);
        DDV_MinMaxFloat(dx, f, 1.0f, 1.0f);  // both bounds inclusive
    }));
}

// Makes LC_NUMERIC a decimal-comma locale, building one in a temporary folder when
// the system has none installed. False when no such locale can be had.
bool use_comma_locale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name)) return true;
    std::string dir = QtTestEnvironment::temp_dir() + "/locales";
    std::string cmd = "mkdir -p '" + dir + "' && localedef -i de_DE -f UTF-8 '" + dir +
                      "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return false;
    setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST_F(DdxTest, DecimalCommaLocaleChangesNothing) {
    if (!use_comma_locale()) GTEST_SKIP() << "no decimal-comma locale on this machine";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    ASSERT_STREQ(probe, "2,5") << "the locale did not take effect";
    double d = 2.5;
    std::string text = shown([&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); });
    bool read = typed("0.125", [&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); });
    bool comma = typed("0,5", [&](CDataExchange* dx) { DDX_Double(dx, kEdit, d); });
    double length = 2.5;
    std::string length_text = shown([&](CDataExchange* dx) { DDX_Length(dx, kEdit, length); });
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text, "2.5");
    EXPECT_TRUE(read);
    EXPECT_FALSE(comma);
    EXPECT_EQ(d, 0.125);
    EXPECT_EQ(length_text, "2.5000");
}

}  // namespace
