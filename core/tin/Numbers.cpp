// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tin/Numbers.h"

#include "core/landxml/Error.h"
#include "core/landxml/Nodes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace tidy {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::size_t skipDigits(std::string_view text, std::size_t at) {
    while (at < text.size() && isDigit(text[at]))
        ++at;
    return at;
}

// from_chars alone would also take "inf", "nan" and "infinity", and refuses a leading "+".
bool isNumberText(std::string_view text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const std::size_t integerEnd = skipDigits(text, at);
    std::size_t digits = integerEnd - at;
    at = integerEnd;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fractionEnd = skipDigits(text, at + 1);
        digits += fractionEnd - (at + 1);
        at = fractionEnd;
    }
    if (digits == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        const std::size_t exponentEnd = skipDigits(text, at);
        if (exponentEnd == at)
            return false;
        at = exponentEnd;
    }
    return at == text.size();
}

} // namespace

std::optional<double> parseNumber(std::string_view text) {
    if (!isNumberText(text))
        return std::nullopt;
    if (text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string_view nextToken(std::string_view& rest) {
    std::size_t begin = 0;
    while (begin < rest.size() && isSeparator(rest[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < rest.size() && !isSeparator(rest[end]))
        ++end;
    const std::string_view token = rest.substr(begin, end - begin);
    rest.remove_prefix(end);
    return token;
}

IntegerReading readInteger(std::string_view text, const IntegerRules& rules) {
    bool negative = false;
    if (!text.empty() &&
        ((text.front() == '+' && rules.plus) || (text.front() == '-' && rules.minus))) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return {0, IntegerFault::NotDecimal};
    // Held at 2^40 once past it: beyond every rule's bounds, and far from overflowing. Leading
    // zeros take nothing away from the range.
    constexpr std::int64_t kBeyond = std::int64_t(1) << 40;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return {0, IntegerFault::NotDecimal};
        magnitude = std::min(magnitude * 10 + (c - '0'), kBeyond);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < rules.least || value > rules.most)
        return {value, IntegerFault::OutOfRange};
    return {value, IntegerFault::None};
}

std::optional<std::int64_t> integerValue(std::string_view text, const IntegerRules& rules) {
    const IntegerReading reading = readInteger(text, rules);
    if (reading.fault != IntegerFault::None)
        return std::nullopt;
    return reading.value;
}

std::int32_t attributeInt(const Document& doc, pugi::xml_node node, const char* name) {
    const std::string_view text = attributeText(node, name);
    const IntegerReading reading = readInteger(text, kAttributeInteger);
    if (reading.fault == IntegerFault::None)
        return static_cast<std::int32_t>(reading.value);
    const char* why = reading.fault == IntegerFault::OutOfRange
                          ? "is out of range for a 32-bit integer"
                          : "is not a decimal integer";
    throw Error(doc.where(node) + ": element " + quotedText(localName(node)) + ", attribute \"" +
                name + "\": " + quotedText(text) + " " + why);
}

} // namespace tidy
