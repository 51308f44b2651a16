// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers of point texts, read and written alike under the C locale and a decimal-comma one.
#include "cleaning/PointText.h"

#include "Locales.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tidy::parseNumber;
using tidy::SplitPointText;

TEST(PointTextTest, NumbersInEveryFormExportersWrite) {
    const std::pair<const char*, double> numbers[] = {
        {"0", 0.0},           {"5", 5.0},
        {"-5", -5.0},         {"+5", 5.0},
        {"2.", 2.0},          {".5", 0.5},
        {"-.5", -0.5},        {"1e3", 1000.0},
        {"1E3", 1000.0},      {"1.5e+2", 150.0},
        {"25e-1", 2.5},       {"0.000", 0.0},
        {"1005.25", 1005.25}, {"6398905.9937964743", 6398905.9937964743}};
    const char* const notNumbers[] = {"",    " ",   ".",   "-",    "+",     "e5",    "1e",    "1e+",
                                      "inf", "nan", "INF", "-inf", "0x10",  "1,5",   "1.2.3", "--1",
                                      " 1",  "1 ",  "1\t", "5m",   "1e999", "-1e999"};
    tidytest::underBothLocales([&] {
        for (const auto& [text, value] : numbers)
            EXPECT_EQ(parseNumber(text), std::optional<double>(value)) << text;
        for (const char* text : notNumbers)
            EXPECT_FALSE(parseNumber(text).has_value()) << "\"" << text << "\"";
    });
}

TEST(PointTextTest, SplitTakesTheFirstTwoTokens) {
    struct Case {
        const char* text;
        double p;
        double q;
    };
    const Case cases[] = {
        {"1005 2000 0", 1005, 2000},        // the usual three numbers
        {"1005 2000", 1005, 2000},          // no elevation
        {"1005 2000 ", 1005, 2000},         // trailing blank
        {"1005  2000   0", 1005, 2000},     // runs of blanks
        {"\t1005\t2000\r\n", 1005, 2000},   // tabs and a CRLF
        {"\n  1005\r\n2000\n", 1005, 2000}, // leading line ends
        {"2. 3.", 2, 3},                    // trailing zeros trimmed by the exporter
        {"1.005e3 2E3 0", 1005, 2000},      // exponents
        {"-12.5 +7 1", -12.5, 7},           // signs
        {"1005 2000 x y z", 1005, 2000},    // further tokens are not read
    };
    const char* const refused[] = {"",         "   ",          "1005",        "1005 ",
                                   "inf 2000", "1005 nan 0",   "0x10 2000",   "1005,5 2000",
                                   "a 1 2",    "1005\v2000 0", "1005;2000 0", "1005 2000x 0"};
    tidytest::underBothLocales([&] {
        for (const Case& c : cases) {
            const std::optional<tidy::PointText> point = SplitPointText(c.text);
            ASSERT_TRUE(point.has_value()) << c.text;
            EXPECT_EQ(point->p, c.p) << c.text;
            EXPECT_EQ(point->q, c.q) << c.text;
        }
        for (const char* text : refused)
            EXPECT_FALSE(SplitPointText(text).has_value()) << "\"" << text << "\"";
    });
}

// printf in the C locale is the reference.
TEST(PointTextTest, FormatWritesWhatPrintfWrites) {
    // The last three are the largest, the lowest and the smallest positive double.
    const double values[] = {0.0,
                             -0.0,
                             -1e-7,
                             5e-7,
                             1.5e-6,
                             0.1234565,
                             1000.0,
                             -123456.7890125,
                             6398905.9937964743,
                             1e20,
                             -3.5e200,
                             1.7976931348623157e308,
                             -1.7976931348623157e308,
                             4.9406564584124654e-324};
    std::vector<std::pair<double, std::string>> expected;
    for (const double p : values) {
        std::string text(700, '\0');
        text.resize(static_cast<std::size_t>(std::snprintf(text.data(), text.size(), "%f", p)));
        expected.emplace_back(p, text);
    }
    tidytest::underBothLocales([&] {
        for (const auto& [p, text] : expected)
            for (const auto& [q, qText] :
                 {std::pair{0.0, "0.000000"}, std::pair{-2.5, "-2.500000"}})
                EXPECT_EQ(tidy::formatPointText(p, q), text + " " + qText);
    });
}

} // namespace
