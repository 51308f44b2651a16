// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

namespace tidytest {

// Runs `check` under the C locale and under one with a decimal comma, where printf writes 0.5 as
// "0,5": numbers in LandXML are read and written with "." whatever the locale.
template <class Check> void underBothLocales(Check check) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"C", kDecimalCommaLocale}) {
        SCOPED_TRACE(name);
        ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << "locale missing";
        char half[8];
        std::snprintf(half, sizeof half, "%.1f", 0.5);
        EXPECT_EQ(half[1], name[1] ? ',' : '.');
        check();
    }
    std::setlocale(LC_ALL, previous.c_str());
}

} // namespace tidytest
