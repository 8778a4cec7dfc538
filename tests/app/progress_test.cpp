// When the progress window appears and redraws, and the figures it shows.

#include <gtest/gtest.h>

#include <cstdint>

#include "app/package/progress_pacer.h"
#include "fake_roles.h"

namespace {

using Step = app::ProgressPacer::Step;

TEST(ProgressPacer, ShowsAfterASecondThenAtMostTenTimesASecond) {
    app::ProgressPacer pacer(50'000);
    const std::pair<std::uint64_t, Step> ticks[] = {
        {50'000, Step::Wait},   {50'999, Step::Wait}, {40'000, Step::Wait},  // clock stepped back
        {51'000, Step::Show},   {51'050, Step::Wait}, {51'099, Step::Wait},
        {51'100, Step::Update}, {51'100, Step::Wait}, {51'150, Step::Wait},
        {60'000, Step::Update}, {60'099, Step::Wait}, {1'000, Step::Wait},
        {60'100, Step::Update},
    };
    for (const auto& [now, step] : ticks) EXPECT_EQ(pacer.Next(now), step) << now;
}

TEST(ProgressFigures, MegabytesWithOneDecimalAndABarThatNeverOverruns) {
    constexpr std::int64_t MB = 1024 * 1024;
    const struct {
        std::int64_t received, total;
        std::u16string text;
        int bar;
    } cases[] = {
        {0, 200 * MB, u"0.0 MB / 200.0 MB", 0},
        {MB - 1, 2 * MB, u"0.9 MB / 2.0 MB", 499},  // rounded down: never "done" early
        {12 * MB + MB / 2, 100 * MB, u"12.5 MB / 100.0 MB", 125},
        {5 * MB, -1, u"5.0 MB", 0},  // total unknown
        {7, 0, u"0.0 MB / 0.0 MB", 0},
        {300, 200, u"0.0 MB / 0.0 MB", 1000},  // more than announced
        {-5, 10, u"0.0 MB / 0.0 MB", 0},
        {INT64_MAX / 2, INT64_MAX, u"4398046511103.9 MB / 8796093022207.9 MB", 500},
        {INT64_MAX, INT64_MAX, u"8796093022207.9 MB / 8796093022207.9 MB", 1000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::ProgressSizeText(c.received, c.total), c.text) << c.received;
        EXPECT_EQ(app::ProgressBarPosition(c.received, c.total), c.bar) << c.received;
    }
}

}  // namespace
