// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The numbers of LandXML texts and attributes, read with "." whatever the locale, and the tokens
// of the lists that hold them.

#include "core/landxml/Document.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tidy {

// A LandXML number: optional sign, digits with an optional "." and fraction ("2." included) or
// "." and digits, then an optional exponent. nullopt for anything else ("inf", "nan",
// hexadecimal, surrounding blanks) and for values beyond the range of a double.
std::optional<double> parseNumber(std::string_view text);

// Cuts the next token off the front of `rest`; tokens are separated by runs of blanks, tabs, CRs
// and LFs. "" when no token is left.
std::string_view nextToken(std::string_view& rest);

// What an integer text may hold besides its decimal digits, and the values it may take. No rule
// takes blanks, a fraction or an exponent. The bounds lie within ±2^40.
struct IntegerRules {
    bool plus = false;  // one leading "+"
    bool minus = false; // one leading "-"
    std::int64_t least = INT32_MIN;
    std::int64_t most = INT32_MAX;
};

// Attribute values such as "i" and "value": a 32-bit integer with an optional sign.
inline constexpr IntegerRules kAttributeInteger{.plus = true, .minus = true};
// Point ids ("id", and the corners of a face): digits only, any 32-bit unsigned value but the
// largest, which the picture keeps for "no point".
inline constexpr IntegerRules kPointId{.least = 0, .most = UINT32_MAX - 1};

enum class IntegerFault { None, NotDecimal, OutOfRange };

struct IntegerReading {
    std::int64_t value = 0;
    IntegerFault fault = IntegerFault::None; // OutOfRange: well written, beyond the bounds
};

IntegerReading readInteger(std::string_view text, const IntegerRules& rules);

// The value, or nullopt for any fault.
std::optional<std::int64_t> integerValue(std::string_view text, const IntegerRules& rules);

// The attribute read by kAttributeInteger; throws Error naming the place, the element, the
// attribute and the text otherwise.
std::int32_t attributeInt(const Document& doc, pugi::xml_node node, const char* name);

} // namespace tidy
