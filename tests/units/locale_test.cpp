// Under a desktop language with a decimal comma the texts keep their '.': what is
// written reads back, and "2,5" is never taken for two and a half.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "commands/units/coord_text.h"
#include "commands/units/length_text.h"
#include "graphics/view/view.h"
#include "model/rtc/rtc.h"

namespace {

// Switches LC_ALL to de_DE.UTF-8; when the system lacks it, compiles it into a
// temporary folder (LOCPATH) with localedef. Empty when neither works.
std::string german_locale(std::string* temp_dir) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return "de_DE.UTF-8";
    char tmpl[] = "/tmp/zelo_locale_XXXXXX";
    if (!mkdtemp(tmpl)) return {};
    *temp_dir = tmpl;
    std::string cmd = "localedef -i de_DE -f UTF-8 '" + *temp_dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return {};
    setenv("LOCPATH", temp_dir->c_str(), 1);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return "de_DE.UTF-8";
    return {};
}

TEST(DecimalCommaLocale, TextsStayLocaleFree) {
    std::string temp_dir;
    std::string name = german_locale(&temp_dir);
    if (name.empty()) {
        if (!temp_dir.empty()) std::filesystem::remove_all(temp_dir);
        GTEST_SKIP() << "no de_DE.UTF-8 locale and localedef could not make one";
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    EXPECT_EQ(length_format(0, 2.5, 0, 2), "2.50");
    EXPECT_EQ(length_format(1, 1612.9, 0, 2), "5'3.50\"");
    EXPECT_EQ(value_format_unit("", -1, 4), "5.283 rad");
    double mm = 0;
    EXPECT_EQ(length_parse("3.5'", &mm), 1);
    EXPECT_NEAR(mm, 1066.8, 1e-9);
    EXPECT_TRUE(typed_distance_parse("2.5", &mm));
    EXPECT_EQ(mm, 2.5);
    EXPECT_FALSE(typed_distance_parse("2,5", &mm));

    rtc_register_all();
    view_type_register();
    auto view = rtc_make<VIEW>();
    ASSERT_NE(view, nullptr);
    std::string point;
    ASSERT_TRUE(typed_point_convert(view.get(), "2.5,0.25", false, &point));
    EXPECT_EQ(point, "2.5000 0.2500 0.0000");
    ASSERT_TRUE(typed_point_convert(view.get(), "2,5", false, &point));  // two fields
    EXPECT_EQ(point, "2.0000 5.0000 0.0000");

    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    if (!temp_dir.empty()) std::filesystem::remove_all(temp_dir);
}

}  // namespace
