// Reading the launch string: splitting, the two number conversions, the three fields.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/launch_args.h"
#include "app/number_text.h"
#include "fake_net.h"

namespace {

using app::LaunchArgs;

TEST(SplitLaunchString, KeepsEveryFieldUntrimmed) {
    const struct {
        std::u16string text;
        LaunchArgs fields;
    } cases[] = {
        {u"", {u""}},
        {u"a", {u"a"}},
        {u"1.5#920#http://s/u.xml", {u"1.5", u"920", u"http://s/u.xml"}},
        {u"2.0#123#", {u"2.0", u"123", u""}},
        {u"##", {u"", u"", u""}},
        {u" a # b#c #d", {u" a ", u" b", u"c ", u"d"}},
    };
    for (const auto& c : cases) EXPECT_EQ(app::SplitLaunchString(c.text), c.fields);
}

TEST(ReadDecimalPrefix, ReadsTheLongestDecimalPrefixWithAPoint) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::u16string text;
        double value;
    } cases[] = {
        {u"1.5", 1.5},
        {u" \t\n3.25", 3.25},
        {u"1,5", 1.0},
        {u"abc", 0.0},
        {u"2.0 beta", 2.0},
        {u"1.2.3", 1.2},
        {u"1.10", 1.1},
        {u".5", 0.5},
        {u"5.", 5.0},
        {u"-.5", -0.5},
        {u"+2", 2.0},
        {u".", 0.0},
        {u"-", 0.0},
        {u"1e3", 1000.0},
        {u"2.5E-1x", 0.25},
        {u"1e", 1.0},
        {u"1e+", 1.0},
        {u"0x1p3", 0.0},
        {u"inf", 0.0},
        {u"nan", 0.0},
        {u"\"2.0", 0.0},
        {u"1e999", inf},
        {u"-1e999", -inf},
        {u"1e-999", 0.0},
        {u"0.0000000000000000000000000000001e-400", 0.0},
        {u"100000000000000000000000000000000000000000e-40", 10.0},
        {u"\u00a01", 0.0},  // no-break space is not a blank in the C locale
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::ReadDecimalPrefix(c.text), c.value) << apptest::ToUtf8(c.text);
    }
    // Correct rounding matters: the version step is compared in double precision.
    EXPECT_EQ(app::ReadDecimalPrefix(u"1.3") - app::ReadDecimalPrefix(u"1.0"), 1.3 - 1.0);
    EXPECT_TRUE(std::signbit(app::ReadDecimalPrefix(u"-0")));
}

TEST(ReadInt32Prefix, ReadsDecimalDigitsClampedTo32Bits) {
    const struct {
        std::u16string text;
        std::int32_t value;
    } cases[] = {
        {u"920", 920},
        {u"-5", -5},
        {u" 1", 1},
        {u"01", 1},
        {u"+7x", 7},
        {u"0x10", 0},
        {u"", 0},
        {u"- 5", 0},
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"99999999999999999999999", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"-2147483649", -2147483647 - 1},
        {u"-00000000000000000000012", -12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::ReadInt32Prefix(c.text), c.value) << apptest::ToUtf8(c.text);
    }
}

TEST(ReadLaunchString, NeedsThreeFields) {
    for (const std::u16string text : {u"", u"2.0", u"2.0#123"}) {
        app::UpdateContext context;
        context.manifestUrl = u"untouched";
        EXPECT_FALSE(app::ReadLaunchString(text, context));
        EXPECT_EQ(context.hostWindow, 0);
        EXPECT_EQ(context.manifestUrl, u"untouched");
    }
}

TEST(ReadLaunchString, FillsVersionWindowAndAddress) {
    const struct {
        std::u16string text;
        double version;
        std::int32_t window;
        std::u16string url;
    } cases[] = {
        {u"1.5#920#http://s/u.xml", 1.5, 920, u"http://s/u.xml"},
        {u"2.0#123#", 2.0, 123, u""},
        {u"2.0##http://s/u.xml", 2.0, 0, u"http://s/u.xml"},
        {u"2.0#-5#http://s/a#frag", 2.0, -5, u"http://s/a"},
        {u"\"2.0#1#http://s/u.xml\"", 0.0, 1, u"http://s/u.xml\""},
        {u"2#1#http://s/u.xml  ", 2.0, 1, u"http://s/u.xml  "},
    };
    for (const auto& c : cases) {
        app::UpdateContext context;
        ASSERT_TRUE(app::ReadLaunchString(c.text, context));
        EXPECT_EQ(context.currentVersion, c.version);
        EXPECT_EQ(context.hostWindow, c.window);
        EXPECT_EQ(context.manifestUrl, c.url);
    }
}

}  // namespace
