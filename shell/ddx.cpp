// The number exchange routines of dialogs and their range checks.
#include "shell/ddx.h"

#include <cfloat>
#include <cmath>

#include "graphics/view/view.h"
#include "model/math/scalar.h"
#include "model/services/msgbox.h"
#include "model/services/numfmt.h"
#include "model/services/strtab.h"
#include "platform/dialog.h"
#include "resources/string_ids.h"

namespace {

constexpr uint32_t kStrIdEnterNumber = IDS_ENTER_A_NUMBER;            // "Please enter a number."
constexpr uint32_t kStrIdEnterCorrectly = IDS_ENTER_VALUE_CORRECTLY;  // "Please enter the value correctly"
constexpr uint32_t kStrIdEnterBetween = IDS_ENTER_VALUE_BETWEEN;      // "Please enter a value between %1 and %2."

[[noreturn]] void fail_with(CDataExchange* dx, uint32_t text_id) {
    std::string text = res_load_string(text_id);
    msgbox_show(0, text.c_str(), kMbOk | kMbIconExclamation);
    dx->Fail();
}

// A real through the edit control. While saving, a text that is still what `value`
// shows as (the user left the field alone) leaves `value` exact, where reading the
// shown digits back would round it; true when the text was read into `value`. A text
// that does not read takes the failure exit.
bool exchange_real(CDataExchange* dx, int id, double& value) {
    dx->PrepareEditCtrl(id);
    if (!dx->saving()) {
        dx->dialog()->SetDlgItemText(id, number_format_real(value));
        return false;
    }
    std::string text = dx->dialog()->GetDlgItemText(id);
    // Only a finite value is kept: a non-finite one is read back from its text, which
    // refuses it.
    if (std::isfinite(value) && text == number_format_real(value)) return false;
    double v = 0;
    if (!real_parse(text.c_str(), &v)) fail_with(dx, kStrIdEnterNumber);
    value = v;
    return true;
}

// Replaces %1 and %2 (the framework's string formatter).
std::string format_two(const std::string& pattern, const std::string& a, const std::string& b) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
            out += pattern[i + 1] == '1' ? a : b;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

bool in_range(double v, double min, double max) { return min <= v && v <= max; }

}  // namespace

void set_number_format_from(const VIEW* view, int precision, int denominator) {
    set_number_format(view ? view->degrees : 1, view ? view->length_unit : 0, precision, denominator);
}

void DDX_Double(CDataExchange* dx, int id, double& value) { exchange_real(dx, id, value); }

void DDX_Float(CDataExchange* dx, int id, float& value) {
    double v = value;
    if (!exchange_real(dx, id, v)) return;
    // Beyond the float range the variable would become infinite.
    if (std::fabs(v) > FLT_MAX) fail_with(dx, kStrIdEnterNumber);
    value = static_cast<float>(v);
}

void DDX_Units(CDataExchange* dx, int id, double& radians) {
    const bool degrees = g_number_format.degree_flag != 0;
    double shown = degrees ? rad_to_deg(radians) : radians;
    if (exchange_real(dx, id, shown)) radians = degrees ? deg_to_rad(shown) : shown;
}

void DDX_Length(CDataExchange* dx, int id, double& value) {
    dx->PrepareEditCtrl(id);
    if (!dx->saving()) {
        dx->dialog()->SetDlgItemText(id, number_format_length(value));
        return;
    }
    std::string text = dx->dialog()->GetDlgItemText(id);
    if (std::isfinite(value) && text == number_format_length(value)) return;  // left alone: exact
    if (g_number_format.length_unit_kind == 0) {
        exchange_real(dx, id, value);
        return;
    }
    double v = 0;
    if (!number_parse_length(text.c_str(), &v)) fail_with(dx, kStrIdEnterCorrectly);
    value = v;
}

void DDV_MinMaxFloat(CDataExchange* dx, float value, float min, float max) {
    if (!in_range(value, min, max)) ddv_range_fail(dx, min, max, 0);
}

void DDV_MinMaxDouble(CDataExchange* dx, double value, double min, double max) {
    if (!in_range(value, min, max)) ddv_range_fail(dx, min, max, 0);
}

void DDV_MinMaxLength(CDataExchange* dx, double value, double min, double max) {
    if (!in_range(value, min, max)) ddv_range_fail(dx, min, max, 1);
}

void DDV_MinMaxUnits(CDataExchange* dx, double radians, double min_degrees, double max_degrees) {
    double min = deg_to_rad(min_degrees), max = deg_to_rad(max_degrees);
    if (!in_range(radians, min, max)) ddv_range_fail(dx, min, max, 2);
}

std::string ddv_bound_text(double value, int kind) {
    if (kind == 2) {
        if (g_number_format.degree_flag) return number_format_real(rad_to_deg(value)) + "\u00B0";
        return number_format_real(value) + "rad";
    }
    if (kind == 1 && g_number_format.length_unit_kind != 0) return number_format_length(value);
    return number_format_real(value);
}

void ddv_range_fail(CDataExchange* dx, double min, double max, int kind) {
    if (!dx->saving()) return;
    std::string text = format_two(res_load_string(kStrIdEnterBetween), ddv_bound_text(min, kind),
                                  ddv_bound_text(max, kind));
    msgbox_show(0, text.c_str(), kMbOk | kMbIconExclamation);
    dx->Fail();
}
