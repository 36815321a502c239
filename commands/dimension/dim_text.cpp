// Default dimension texts, the text query and the settings dialog's values.
#include "commands/dimension/dim_text.h"

#include <algorithm>
#include <cmath>

#include "commands/dimension/dim_geometry.h"
#include "commands/dimension/dim_layout.h"
#include "commands/dimension/dim_settings.h"
#include "commands/units/length_text.h"
#include "graphics/view/view.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"

namespace {

DimTextDialogFn g_text_dialog = nullptr;
DimSettingsDialogFn g_settings_dialog = nullptr;

constexpr double kMmPerInch = 25.4;

int length_mode(const VIEW* v) {
    return v->length_unit == kLengthFractions ? kUnitFeetFraction
           : v->length_unit == kLengthInches  ? kUnitFeetInches
                                              : kUnitDecimal;
}

std::string capped(std::string s) {
    if (s.size() > static_cast<size_t>(kDimTextMax)) s.resize(kDimTextMax);
    return s;
}

}  // namespace

DimTextDefault dim_default_text(const VIEW* view, double value, int kind) {
    DimTextDefault d;
    const bool angle = kind == kDimAngleVectors || kind == kDimAngleVertex;
    if (angle)
        d.unit = view->degrees ? "deg" : "rad";
    else
        d.unit = view->length_unit == kLengthDecimal ? "mm" : "\"";
    const std::string len = value_format_unit("", value, length_mode(view));
    if (kind == kDimRadius1 || kind == kDimRadius2) {
        d.text = "R" + len;
        d.caption = "Radius";
    } else if (kind == kDimKindDiameter) {
        d.text = std::string(1, kStrokeDiameterSign) + len;
        d.caption = "Diameter";
    } else if (angle) {
        d.text = value_format_unit("", value, view->degrees ? kUnitAngleDegrees : kUnitAngleRadians);
        d.caption = "Angle";
    } else {
        d.text = len;
        d.caption = "Dimension";
    }
    return d;
}

void dim_set_text_dialog(DimTextDialogFn fn) { g_text_dialog = fn; }

int dim_text_query(VIEW* view, double value, int kind, std::string* text, std::string* lower,
                   std::string* upper) {
    if (!view || !text || !lower || !upper) return 0;
    lower->clear();
    upper->clear();
    const DimTextDefault d = dim_default_text(view, value, kind);
    if (g_prefs.dimension != 0 || !g_text_dialog) {
        *text = d.text;
        return 1;
    }
    const bool diameter = kind == kDimKindDiameter;
    DimTextDialogData data;
    data.title = d.caption + " ( " + d.unit + " )";
    data.text = capped(diameter ? d.text.substr(1) : d.text);
    data.upper_on = view->dimension_words[kDimUpperTolerance];
    data.lower_on = view->dimension_words[kDimLowerTolerance];
    data.query = g_prefs.dimension == 0;
    if (!g_text_dialog(view, &data)) return 0;
    const std::string edited = capped(data.text);
    *text = diameter ? std::string(1, kStrokeDiameterSign) + edited : edited;
    view->dimension_words[kDimUpperTolerance] = data.upper_on;
    view->dimension_words[kDimLowerTolerance] = data.lower_on;
    if (data.upper_on) *upper = capped(data.upper);
    if (data.lower_on) *lower = capped(data.lower);
    g_prefs.dimension = data.query ? 0 : 1;
    return 1;
}

std::string dim_text_to_utf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        const unsigned code = c == static_cast<unsigned char>(kStrokeDegreeSign) ? 0xB0u : c;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string dim_text_from_utf8(const std::string& utf8) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        unsigned code = c;
        size_t len = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
            code = ((c & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu), len = 2;
        } else if (c >= 0xE0 && c < 0xF8) {
            const size_t need = c < 0xF0 ? 3 : 4;
            size_t k = 1;
            while (k < need && i + k < n && (p[i + k] & 0xC0) == 0x80) ++k;
            if (k == need) code = 0xFFFD, len = need;  // beyond the code page
        }
        i += len;
        if (code == 0xB0)
            out += kStrokeDegreeSign;
        else
            out += code <= 0xFF ? static_cast<char>(code) : '?';
    }
    return out;
}

// ---- Settings dialog values

DimSettingsValues dim_settings_load(const VIEW* view) {
    DimSettingsValues s;
    s.inches = view->length_unit != kLengthDecimal;
    const double f = s.inches ? 1.0 / kMmPerInch : 1.0;
    auto row = [](int value, int count) { return value >= 0 && value < count ? value : -1; };
    s.line_colour = view->dimension_words[kDimLineColour];
    s.text_colour = view->dimension_words[kDimTextColour];
    s.arrows = row(dim_get_arrows(), 5);
    s.leader = row(dim_get_leader(), 5);
    s.dframe = row(dim_get_dframe(), 4);
    s.lframe = row(dim_get_lframe(), 4);
    s.text_mode = dim_get_text_mode() == 1 ? 1 : 0;
    s.arrow_size = view->dimension_values[kDimArrowSize] * f;
    s.line_width = view->dimension_values[kDimLineWidth] * f;
    s.text_height = view->dimension_values[kDimTextHeight] * f;
    s.upper_on = view->dimension_words[kDimUpperTolerance];
    s.lower_on = view->dimension_words[kDimLowerTolerance];
    s.query = g_prefs.dimension == 0;
    return s;
}

double dim_settings_size_max(bool inches) { return inches ? 16000.0 / kMmPerInch : 16000.0; }
double dim_settings_width_max(bool inches) { return inches ? 128.0 / kMmPerInch : 128.0; }

void dim_settings_store(VIEW* view, const DimSettingsValues& s) {
    const double f = s.inches ? kMmPerInch : 1.0;
    auto clamp = [](double v, double hi) { return std::isfinite(v) ? std::clamp(v, 0.0, hi) : 0.0; };
    double* dv = view->dimension_values;
    dv[kDimLineWidth] = clamp(s.line_width, dim_settings_width_max(s.inches)) * f;
    dv[kDimTextHeight] = clamp(s.text_height, dim_settings_size_max(s.inches)) * f;
    dv[kDimArrowSize] = clamp(s.arrow_size, dim_settings_size_max(s.inches)) * f;
    dv[kDimTextWidth] = dv[kDimTextHeight] * kDimWidthRatio;
    dv[kDimTextGap] = dv[kDimTextHeight] * kDimGapRatio;
    view->dimension_words[kDimLineColour] = s.line_colour;
    view->dimension_words[kDimTextColour] = s.text_colour;
    constexpr const char* kSection = "dimension";
    dim_set_text_mode(s.text_mode == 1 ? 1 : 0);
    prof_put_int(kSection, "text", dim_get_text_mode());
    dim_set_arrows(s.arrows);
    prof_put_int(kSection, "arrows", dim_get_arrows());
    dim_set_leader(s.leader);
    prof_put_int(kSection, "leader", dim_get_leader());
    view->dimension_words[kDimUpperTolerance] = s.upper_on;
    view->dimension_words[kDimLowerTolerance] = s.lower_on;
    dim_set_dframe(s.dframe);
    prof_put_int(kSection, "dframe", dim_get_dframe());
    dim_set_lframe(s.lframe);
    prof_put_int(kSection, "lframe", dim_get_lframe());
    g_prefs.dimension = s.query ? 0 : 1;
}

int dim_display_colour(int index, bool black_background) {
    if (black_background) return index == 7 ? 0 : index == 15 ? 8 : index;
    return index == 0 ? 7 : index == 8 ? 15 : index;
}

void dim_set_settings_dialog(DimSettingsDialogFn fn) { g_settings_dialog = fn; }

void dim_settings_edit(VIEW* view) {
    if (!view || !g_settings_dialog) return;
    DimSettingsValues values = dim_settings_load(view);
    if (g_settings_dialog(view, &values)) dim_settings_store(view, values);
}
