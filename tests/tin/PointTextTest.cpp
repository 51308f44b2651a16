// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers of point texts, read and written alike under the C locale and a decimal-comma one.
#include "core/tin/PointText.h"
#include "core/tin/Numbers.h"

#include "Locales.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A number of the table, read past the code under test; nothing for "-".
std::optional<double> expected(const std::string& text) {
    double value = 0;
    if (text == "-")
        return std::nullopt;
    EXPECT_EQ(std::from_chars(text.data(), text.data() + text.size(), value).ec, std::errc())
        << text;
    return value;
}

TEST(PointTextTest, ReadsTheNumbersAndPointTextsOfTheTable) {
    const auto rows = tidytest::dataTable("point-texts.csv");
    tidytest::underBothLocales([&] {
        for (const auto& row : rows) {
            SCOPED_TRACE(row[0] + " \"" + row[1] + "\"");
            if (row[0] == "format")
                continue; // the test below
            if (row[0] == "number") {
                EXPECT_EQ(tidy::parseNumber(row[1]), expected(row.at(2)));
                continue;
            }
            const std::optional<tidy::PointText> point = tidy::SplitPointText(row[1]);
            ASSERT_EQ(point.has_value(), row.at(2) != "-");
            if (point) {
                EXPECT_EQ(point->p, expected(row[2]));
                EXPECT_EQ(point->q, expected(row.at(3)));
            }
        }
    });
}

// printf in the C locale is the reference.
TEST(PointTextTest, FormatWritesWhatPrintfWrites) {
    std::vector<std::pair<double, std::string>> expectedTexts;
    for (const auto& row : tidytest::dataTable("point-texts.csv")) {
        if (row[0] != "format")
            continue;
        const double p = *expected(row.at(1));
        std::string text(700, '\0');
        text.resize(static_cast<std::size_t>(std::snprintf(text.data(), text.size(), "%f", p)));
        expectedTexts.emplace_back(p, text);
    }
    ASSERT_FALSE(expectedTexts.empty());
    tidytest::underBothLocales([&] {
        for (const auto& [p, text] : expectedTexts)
            for (const auto& [q, qText] :
                 {std::pair{0.0, "0.000000"}, std::pair{-2.5, "-2.500000"}})
                EXPECT_EQ(tidy::formatPointText(p, q), text + " " + qText);
    });
}

} // namespace
