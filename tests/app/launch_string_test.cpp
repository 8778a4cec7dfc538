// Reading the launch string: cutting it from the command line, splitting it, converting it.

#include "app/run/launch_string.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/run/number_text.h"
#include "fake_roles.h"

namespace {

using apptest::Utf8;

TEST(LaunchStringOf, CutsTheProgramNameAndTheBlanksAfterIt) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"updater.exe 2.0#1#x", u"2.0#1#x"},
        {u"\"C:\\My Apps\\updater.exe\"\t \"2.0#1#x\" ", u"\"2.0#1#x\" "},
        {u"\"c l.exe\"x y", u"x y"},
        {u"updater.exe\x01\x02 z", u"z"},
        {u"\"unclosed name", u""},
    };
    for (const auto& [line, launch] : cases) EXPECT_EQ(app::LaunchStringOf(line), launch);
}

TEST(ReadLaunchString, NeedsThreeFieldsAndConvertsThemUntrimmed) {
    EXPECT_FALSE(app::ReadLaunchString(u"2.0#123") || app::ReadLaunchString(u""));
    const struct {
        std::u16string text;
        double version;
        std::int32_t window;
        std::u16string url;
    } cases[] = {
        {u"2.0##http://s/a", 2.0, 0, u"http://s/a"},
        {u"2.0#-5#", 2.0, -5, u""},
        {u"\"2.0#1#http://s/u.xml\" ", 0.0, 1, u"http://s/u.xml\" "},
    };
    for (const auto& c : cases) {
        const std::optional<app::LaunchString> launch = app::ReadLaunchString(c.text);
        ASSERT_TRUE(launch);
        EXPECT_EQ(std::tie(launch->currentVersion, launch->hostWindow, launch->manifestUrl),
                  std::tie(c.version, c.window, c.url));
    }
}

TEST(ReadDecimalPrefix, ReadsTheLongestDecimalPrefixWithAPoint) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::u16string, double> cases[] = {
        {u" \t\n3.25", 3.25}, {u"1,5", 1.0},           {u"-.5", -0.5},   {u"+5.", 5.0},
        {u".", 0.0},          {u"2.5E-1x", 0.25},      {u"1e+", 1.0},    {u"0x1p3", 0.0},
        {u"inf", 0.0},        {u"nan", 0.0},           {u"1e999", inf},  {u"-1e999", -inf},
        {u"1e-999", 0.0},     {u"0.000001e-400", 0.0}, {u"\u00a01", 0.0}};  // U+00A0 is no blank
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(app::ReadDecimalPrefix(text), value) << Utf8(text);
    }
}

TEST(ReadInt32Prefix, ReadsDecimalDigitsClampedTo32Bits) {
    const std::pair<std::u16string, std::int32_t> cases[] = {{u" +7x", 7},
                                                             {u"0x10", 0},
                                                             {u"- 5", 0},
                                                             {u"-0000000000000000000012", -12},
                                                             {u"2147483647", INT32_MAX},
                                                             {u"2147483648", INT32_MAX},
                                                             {u"18446744073709551617", INT32_MAX},
                                                             {u"-2147483648", INT32_MIN},
                                                             {u"-2147483649", INT32_MIN}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(app::ReadInt32Prefix(text), value) << Utf8(text);
    }
}

}  // namespace
