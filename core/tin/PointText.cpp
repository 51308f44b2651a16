// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tin/PointText.h"

#include <charconv>
#include <cmath>
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

std::optional<PointText> SplitPointText(std::string_view text) {
    const std::optional<double> p = parseNumber(nextToken(text));
    if (!p)
        return std::nullopt;
    const std::optional<double> q = parseNumber(nextToken(text));
    if (!q)
        return std::nullopt;
    return PointText{*p, *q};
}

std::string replacePlanCoordinates(std::string_view text, double p, double q) {
    std::string_view rest = text;
    const std::string_view first = nextToken(rest);
    nextToken(rest);
    const std::size_t before =
        first.empty() ? text.size() - rest.size() : std::size_t(first.data() - text.data());
    return std::string(text.substr(0, before)) + formatPointText(p, q) + std::string(rest);
}

std::string formatPointText(double p, double q) {
    // Fixed notation of the largest double needs 309 digits before the point.
    char buffer[2 * 330];
    char* const end = buffer + sizeof buffer;
    char* at = std::to_chars(buffer, end, p, std::chars_format::fixed, 6).ptr;
    *at++ = ' ';
    at = std::to_chars(at, end, q, std::chars_format::fixed, 6).ptr;
    return std::string(buffer, at);
}

} // namespace tidy
