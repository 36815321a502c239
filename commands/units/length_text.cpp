// Reading and writing lengths in drawing units, feet and inches, and angles.
#include "commands/units/length_text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kInchPerMm = 0.03937007874015748;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
// Added before an angle is cut to its whole minute: what float coordinates put an
// angle short by (a few 1e-5 minute at 20 degrees), with room to spare.
constexpr double kMinuteSlack = 1e-3;

bool is_gap(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

// "%.*f" without regard to the locale.
std::string fixed_text(double value, int decimals) {
    char buf[400];  // the largest double with 9 decimals fits
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

std::string special_text(double value) {
    if (std::isnan(value)) return "nan";
    return value < 0 ? "-inf" : "inf";
}

// A text that shows a zero loses its minus sign.
std::string unsigned_zero(std::string text) {
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

int error_at(const char* first, const char* p) {
    std::ptrdiff_t offset = p - first;
    return offset >= INT_MAX ? INT_MIN + 1 : -static_cast<int>(offset + 1);
}

// An angle taken modulo a full turn when it is negative.
double positive_angle(double a) {
    if (a < 0) {
        a = std::fmod(a, kTwoPi);
        if (a < 0) a += kTwoPi;
    }
    return a;
}

}  // namespace

int length_add_part(bool has_decimal_point, double value, int part, LengthReader* state) {
    int& parts = state->parts;
    if (has_decimal_point) {
        if (parts & (kPartWhole | kPartNumerator | kPartDecimal)) return 1;
        parts |= kPartDecimal;
    }
    if (parts & part) return 1;
    switch (part) {
        case kPartFeet:
            if (parts & (kPartWhole | kPartNumerator | kPartInches)) return 1;
            state->total_inches += value * 12;
            break;
        case kPartWhole:
            if (parts & (kPartNumerator | kPartInches | kPartDecimal)) return 1;
            state->total_inches += value;
            break;
        case kPartNumerator:
            if (parts & kPartDecimal) return 1;
            state->numerator = value;
            break;
        case kPartInches:
            if (parts & (kPartWhole | kPartNumerator))
                state->denominator = value;
            else
                state->total_inches += value;
            break;
        default:
            return 1;
    }
    parts |= part;
    return 0;
}

int length_parse_range(const char* first, const char* last, double* mm) {
    if (!first || !last || last < first) return -1;
    const char* b = first;
    const char* e = last;
    while (b < e && is_gap(*b)) ++b;
    while (e > b && is_gap(e[-1])) --e;
    if (b == e) return error_at(first, b);

    LengthReader st;
    double number = 0, place = 0.1;
    bool have_number = false, decimal = false;
    int sign = 0;
    auto end_part = [&](int part) {
        if (!have_number || length_add_part(decimal, number, part, &st) != 0) return false;
        number = 0;
        place = 0.1;
        have_number = decimal = false;
        return true;
    };
    for (const char* p = b; p < e; ++p) {
        char c = *p;
        if (c >= '0' && c <= '9') {
            if (sign == 0) sign = 1;
            if (!have_number && (st.parts & (kPartInches | kPartDecimal)))
                return error_at(first, p);
            have_number = true;
            if (!decimal) {
                number = number * 10 + (c - '0');
            } else {
                number += (c - '0') * place;
                place /= 10;
            }
        } else if (c == '.') {
            if (decimal || (st.parts & (kPartWhole | kPartNumerator | kPartDecimal)))
                return error_at(first, p);
            decimal = true;
        } else if (c == '+') {
            if (sign != 0) return error_at(first, p);
            sign = 1;
        } else if (c == '-') {
            if (sign == 0)
                sign = -1;
            else if (!end_part(kPartWhole))
                return error_at(first, p);
        } else if (c == '\'') {
            if (!end_part(kPartFeet)) return error_at(first, p);
        } else if (c == '"') {
            if (!end_part(kPartInches)) return error_at(first, p);
        } else if (c == '/') {
            if (!end_part(kPartNumerator)) return error_at(first, p);
        } else {
            return error_at(first, p);
        }
    }
    if (have_number && !end_part(kPartInches)) return error_at(first, e);
    // A point with no digits after the last part, or no number at all.
    if (decimal || st.parts == 0) return error_at(first, e);
    if (!(st.parts & kPartDecimal)) {
        bool has_denominator =
            (st.parts & kPartInches) && (st.parts & (kPartWhole | kPartNumerator));
        if (st.parts & kPartNumerator) {
            if (!has_denominator || st.denominator == 0) return error_at(first, e);
            st.total_inches += st.numerator / st.denominator;
        } else if (has_denominator) {
            return error_at(first, e);  // "3-4"": a denominator without a numerator
        }
    }
    double value = (sign < 0 ? -1 : 1) * st.total_inches * kMmPerInch;
    if (!std::isfinite(value)) return error_at(first, e);
    *mm = value;
    return 0;
}

int length_parse(const char* text, double* mm) {
    if (!text) return 0;
    return length_parse_range(text, text + std::strlen(text), mm) == 0 ? 1 : 0;
}

bool plain_real_parse(const char* first, const char* last, double* value) {
    if (!first || !last || first >= last) return false;
    const char* p = first;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p == last || !((*p >= '0' && *p <= '9') || *p == '.')) return false;
    double v = 0;
    auto r = std::from_chars(p, last, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) return false;
    *value = negative ? -v : v;
    return true;
}

bool plain_real_parse_text(const char* text, double* value) {
    if (!text) return false;
    const char* b = text;
    const char* e = text + std::strlen(text);
    while (b < e && (*b == ' ' || *b == '\t')) ++b;
    while (e > b && (e[-1] == ' ' || e[-1] == '\t')) --e;
    return plain_real_parse(b, e, value);
}

bool typed_distance_parse(const char* text, double* value) {
    if (!text) return false;
    double v = 0;
    if (plain_real_parse_text(text, &v) || length_parse(text, &v)) {
        *value = v;
        return true;
    }
    return false;
}

std::string length_format_decimal(double value, int decimals) {
    if (!std::isfinite(value)) return special_text(value);
    return unsigned_zero(fixed_text(value, std::clamp(decimals, 1, 9)));
}

std::string length_format(int mode, double mm, int denominator, int decimals) {
    if (mode == kUnitDecimal) return length_format_decimal(mm, decimals);
    if (!std::isfinite(mm)) return special_text(mm);
    const double inches = std::fabs(mm * kInchPerMm);
    const bool decimal_inches = mode == kUnitFeetInches;
    const int places = std::clamp(decimals, 1, 9);
    // Steps of the output per inch: the text shows whole steps only, so the value is
    // rounded to a step first and split into feet and inches afterwards.
    const double steps =
        decimal_inches ? std::pow(10.0, places) : (denominator >= 2 ? denominator : 1);
    const double per_foot = 12 * steps;
    double feet = 0, rest_steps = 0;
    double scaled = std::floor(inches * steps + 0.5);
    if (std::isfinite(scaled)) {
        rest_steps = std::fmod(scaled, per_foot);
        feet = (scaled - rest_steps) / per_foot;
    } else {
        feet = std::floor(inches / 12);  // far beyond any step of an inch
    }
    std::string text;
    if (mm < 0 && (feet != 0 || rest_steps != 0)) text += '-';
    if (feet != 0) text += fixed_text(feet, 0) + '\'';
    if (decimal_inches) return text + fixed_text(rest_steps / steps, places) + '"';
    if (rest_steps == 0) return text + "0\"";
    const long long step_count = static_cast<long long>(steps);
    const long long rest = static_cast<long long>(rest_steps);
    long long whole = rest / step_count;
    long long num = rest % step_count, den = step_count;
    while (num != 0 && num % 2 == 0 && den >= 3) {
        num /= 2;
        den /= 2;
    }
    if (whole != 0) text += std::to_string(whole);
    if (num != 0) {
        // Appended piece by piece: a temporary joined in front trips a false -Wrestrict
        // alarm of GCC 12's std::string in optimised builds.
        if (whole != 0) text += '-';
        text += std::to_string(num);
        text += '/';
        text += std::to_string(den);
    }
    return text + '"';
}

std::string value_format_unit(const char* caption, double value, int mode) {
    std::string text = caption ? caption : "";
    switch (mode) {
        case kUnitDecimal:
        case kUnitFeetInches:
        case kUnitFeetFraction:
            return text + length_format(mode, value, 1024, 2);
        case kUnitAngleDegrees: {
            if (!std::isfinite(value)) return text + special_text(value);
            // Cut to the whole minute the angle lies in (atan 4 = 75.9638 degrees is 75 57');
            // a thousandth of a minute absorbs the noise of the conversion and of points
            // kept as floats, so 20 degrees between float rays is 20 degrees 0', not 19 59'.
            const double a = positive_angle(value);
            double minutes = std::floor(a * (180.0 / kPi) * 60 + kMinuteSlack);
            if (!std::isfinite(minutes)) return text + special_text(minutes);
            // The slack carries an angle just under a full turn into the next one: it
            // is the turn's 0 degrees 0', never 360 degrees 0'.
            constexpr double kTurnMinutes = 360 * 60;
            if (value < kTwoPi && minutes >= kTurnMinutes) minutes -= kTurnMinutes;
            double rest = std::fmod(minutes, 60);  // exact, also past 2^53
            return text + fixed_text((minutes - rest) / 60, 0) + kStrokeDegreeSign + ' ' +
                   fixed_text(rest, 0) + '\'';
        }
        case kUnitAngleRadians:
            if (!std::isfinite(value)) return text + special_text(value);
            return text + fixed_text(positive_angle(value), 3) + " rad";
        default:
            return std::string();
    }
}
