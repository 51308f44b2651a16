// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/widgets/ThrottledDisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

// Nothing here depends on how fast the calls come: only on waits longer than the interval.
// Reading the clock on every call (the counters) or every n-th call (the bar), the display shows
// its first value at once, a value within n calls once the interval has passed, and the last
// value on flush and on destruction.
TEST(ThrottledDisplayTest, ShowsTheFirstValueOneAfterTheIntervalAndTheLastOnFlush) {
    for (const int callsPerClockRead : {1, 64}) {
        SCOPED_TRACE("clock read every " + std::to_string(callsPerClockRead) + " calls");
        std::vector<std::int32_t> shown;
        std::int32_t value = 1;
        {
            ThrottledDisplay display([&](std::int32_t v) { shown.push_back(v); },
                                     callsPerClockRead);
            display(0);
            ASSERT_EQ(shown, std::vector<std::int32_t>{0});
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            while (shown.size() == 1 && value <= callsPerClockRead)
                display(value++);
            ASSERT_EQ(shown.size(), 2u) << "not shown within " << callsPerClockRead << " calls";
            EXPECT_EQ(shown.back(), value - 1);
            display.flush();
            EXPECT_EQ(shown.size(), 2u) << "a flush without a new value shows nothing";
            display(value);
        }
        EXPECT_EQ(shown.back(), value) << "the destructor shows the last value";
    }
}
