// Lengths and angles as text: the feet-and-inch reader, the formatter of every unit
// mode, the typed-distance reader, and a format-then-read round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "commands/units/length_text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(LengthParse, ExamplesInInches) {
    struct Row {
        const char* text;
        bool ok;
        double inches;
    } rows[] = {
        {"12\"", true, 12}, {"3'6\"", true, 42}, {"5'3-1/2\"", true, 63.5},  {"1/2", true, 0.5},
        {"3.5'", true, 42}, {"-2'", true, -24},  {" ,3'6, ", true, 42},      {"+7", true, 7},
        {".5", true, 0.5},  {"3'6", true, 42},   {"1'6-3/4\"", true, 18.75}, {"5'-3\"", false, 0},
        {"1/0", false, 0},  {"3.5/2", false, 0}, {"1'2'", false, 0},         {"", false, 0},
        {" , ", false, 0},  {"abc", false, 0},   {"3-4\"", false, 0},        {".", false, 0},
        {"3'.", false, 0},  {"1.2.3", false, 0}, {"--1", false, 0},          {"1/2/3", false, 0},
        {"2\"3", false, 0}, {"6\"5'", false, 0}, {"1.5\" 2", false, 0},      {"-", false, 0},
    };
    for (const Row& r : rows) {
        double mm = -1;
        EXPECT_EQ(length_parse(r.text, &mm), r.ok ? 1 : 0) << r.text;
        if (r.ok)
            EXPECT_NEAR(mm, r.inches * 25.4, 1e-9) << r.text;
        else
            EXPECT_EQ(mm, -1) << r.text;  // untouched on failure
    }
    EXPECT_EQ(length_parse(nullptr, nullptr), 0);
}

TEST(LengthParse, ErrorsNameTheOffendingCharacter) {
    double mm = 0;
    const std::string bad = "5'-3\"";  // the minus ends no number
    EXPECT_EQ(length_parse_range(bad.data(), bad.data() + bad.size(), &mm), -3);
    const std::string letter = "  12x";
    EXPECT_EQ(length_parse_range(letter.data(), letter.data() + letter.size(), &mm), -5);
    const std::string zero = "1/0";  // found at the end
    EXPECT_EQ(length_parse_range(zero.data(), zero.data() + zero.size(), &mm), -4);
}

TEST(LengthParse, NonFiniteLengthsAreRefused) {
    std::string huge(400, '9');
    double mm = 3;
    EXPECT_EQ(length_parse(huge.c_str(), &mm), 0);
    EXPECT_EQ(length_parse((huge + "'").c_str(), &mm), 0);
    EXPECT_EQ(mm, 3);
    EXPECT_EQ(length_parse(("1/" + huge).c_str(), &mm), 1);  // a tiny fraction is still a length
}

TEST(LengthFormat, ExamplesAndRoundingBeforeTheSplit) {
    struct Row {
        int mode;
        double mm;
        int denominator, decimals;
        const char* text;
    } rows[] = {
        {5, 25.4, 1024, 2, "1\""},
        {5, 88.9, 1024, 2, "3-1/2\""},
        {5, 1612.9, 1024, 2, "5'3-1/2\""},
        {5, -1612.9, 1024, 2, "-5'3-1/2\""},
        {5, 0, 1024, 2, "0\""},
        {5, 0.9999 * 25.4, 1024, 2, "1\""},
        {5, 0.999 * 25.4, 1024, 2, "1023/1024\""},
        {5, 71.99999 * 25.4, 1024, 2, "6'0\""},  // not 5'12"
        {5, 71.99999 * 25.4, 64, 2, "6'0\""},
        {5, 11.9999 * 25.4, 64, 2, "1'0\""},
        {5, 3.6 * 25.4, 1, 2, "4\""},  // whole inches only
        {5, -0.0001, 1024, 2, "0\""},  // no minus on a zero
        {2, 6.35, 64, 2, "1/4\""},
        {1, 1612.9, 0, 2, "5'3.50\""},
        {1, 71.99999 * 25.4, 0, 2, "6'0.00\""},
        {1, 25.4, 0, 0, "1.0\""},  // decimals clamped to 1..9
        {0, -0.0004, 0, 3, "0.000"},
        {0, 2.5, 0, 12, "2.500000000"},
        {0, 1234.5678, 0, 2, "1234.57"},
        {0, std::nan(""), 0, 2, "nan"},
        {5, -INFINITY, 64, 2, "-inf"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(length_format(r.mode, r.mm, r.denominator, r.decimals), r.text)
            << r.mode << " " << r.mm;
}

TEST(LengthFormat, HugeLengthsPrintWholeFeet) {
    // Far past any integer type: the feet are written in full, with no wrap to a
    // negative count.
    std::string text = length_format(5, 1e300, 1024, 2);
    ASSERT_GT(text.size(), 290u);
    EXPECT_NE(text[0], '-');
    EXPECT_NE(text.find('\''), std::string::npos);
    EXPECT_EQ(text.back(), '"');
    EXPECT_EQ(length_format(1, -1e20 * 25.4, 0, 2).substr(0, 5), "-8333");
    EXPECT_EQ(length_format(5, 1.7e308, 1024, 2).back(), '"');
}

TEST(ValueFormatUnit, AnglesAndLengthsWithACaption) {
    struct Row {
        const char* caption;
        double value;
        int mode;
        std::string text;
    } rows[] = {
        {"", kPi / 6, 3, std::string("30\x07 0'")},  // not 29 59'
        {"A=", kPi / 2, 3, std::string("A=90\x07 0'")},
        {"", -kPi / 2, 3, std::string("270\x07 0'")},
        {"", 0.5 * kPi / 180 / 60 * 0.999, 3, std::string("0\x07 0'")},
        {"", 10.5 * kPi / 180, 3, std::string("10\x07 30'")},
        {"", std::atan(4.0), 3, std::string("75\x07 57'")},  // 75.9638 degrees: cut, not rounded
        // Just under a full turn either way (two rays along one direction): the turn's 0.
        {"", 2 * kPi - 1e-9, 3, std::string("0\x07 0'")},
        {"", -1e-12, 3, std::string("0\x07 0'")},
        {"", 359.5 * kPi / 180, 3, std::string("359\x07 30'")},
        {"", -1, 4, "5.283 rad"},
        {"", 1e306, 3, "inf"},
        {"", -7, 4, "5.566 rad"},
        {"R", 25.4, 5, "R1\""},
        {"", 1612.9, 1, "5'3.50\""},
        {"", 12.345, 0, "12.35"},
        {"x", 1, 2, ""},
        {nullptr, 1, 0, "1.00"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(value_format_unit(r.caption, r.value, r.mode), r.text) << r.value;
}

TEST(TypedDistance, PlainNumbersAsTheyAreOtherTextInFeetAndInches) {
    struct Row {
        const char* text;
        bool ok;
        double value;
    } rows[] = {
        {"12", true, 12},    {" 2.5\t", true, 2.5},   {"-0", true, 0},     {".5", true, 0.5},
        {"1e3", true, 1000}, {"3'6\"", true, 1066.8}, {"1/2", true, 12.7}, {"12\"", true, 304.8},
        {"abc", false, 0},   {"3.5abc", false, 0},    {"nan", false, 0},   {"1e999", false, 0},
        {"", false, 0},
    };
    for (const Row& r : rows) {
        double v = -1;
        EXPECT_EQ(typed_distance_parse(r.text, &v), r.ok) << r.text;
        EXPECT_NEAR(v, r.ok ? r.value : -1, 1e-9) << r.text;
    }
}

// What the formatter writes, the reader reads back to within the text's
// resolution, for every imperial form and sign.
TEST(LengthRoundTrip, FormatThenParse) {
    uint64_t seed = 12345;
    auto next = [&] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(seed >> 11) / 9007199254740992.0;
    };
    for (int i = 0; i < 5000; ++i) {
        double mm = (next() - 0.5) * std::pow(10.0, next() * 8 - 2);
        struct Form {
            int mode, denominator, decimals;
            double resolution_in;
        } forms[] = {
            {5, 1024, 2, 0.5 / 1024}, {5, 64, 2, 0.5 / 64}, {5, 1, 2, 0.5}, {1, 0, 4, 0.00005}};
        for (const Form& f : forms) {
            std::string text = length_format(f.mode, mm, f.denominator, f.decimals);
            double back = 0;
            ASSERT_EQ(length_parse(text.c_str(), &back), 1) << text;
            EXPECT_NEAR(back, mm, f.resolution_in * 25.4 * (1 + 1e-9) + std::fabs(mm) * 1e-12)
                << text;
        }
        std::string text = length_format(0, mm, 0, 6);
        double back = 0;
        ASSERT_TRUE(typed_distance_parse(text.c_str(), &back)) << text;
        EXPECT_NEAR(back, mm, 0.5e-6 + std::fabs(mm) * 1e-15) << text;
    }
}

}  // namespace
