// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ThrottledDisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

// Longer than the display's interval, so that the next look at the clock must show.
void waitPastTheInterval() {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

} // namespace

// Nothing here depends on how fast the calls come: only on waits longer than the interval.
TEST(ThrottledDisplayTest, ShowsTheFirstValueTheOneAfterTheIntervalAndTheLastOnFlush) {
    std::vector<std::int32_t> shown;
    {
        ThrottledDisplay display([&](std::int32_t v) { shown.push_back(v); });
        display(1);
        ASSERT_EQ(shown, std::vector<std::int32_t>{1});
        display(2);
        waitPastTheInterval();
        display(3);
        EXPECT_EQ(shown.back(), 3);
        display(4);
    }
    EXPECT_EQ(shown.back(), 4) << "the destructor shows the last value";
}

// A value that changes on every face looks at the clock every n-th call only: it still shows its
// first value at once and, once the interval has passed, within n calls.
TEST(ThrottledDisplayTest, ReadingTheClockEveryNthCallShowsWithinNCalls) {
    std::vector<std::int32_t> shown;
    ThrottledDisplay display([&](std::int32_t v) { shown.push_back(v); }, 64);
    display(0);
    EXPECT_EQ(shown, std::vector<std::int32_t>{0});
    waitPastTheInterval();
    std::int32_t value = 1;
    while (shown.size() == 1 && value <= 64)
        display(value++);
    ASSERT_EQ(shown.size(), 2u) << "not shown within 64 calls";
    EXPECT_EQ(shown.back(), value - 1);
    display(value);
    display.flush();
    EXPECT_EQ(shown.back(), value);
    display.flush();
    EXPECT_EQ(shown.size(), 3u) << "a flush without a new value shows nothing";
}
