// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The parts of XML's grammar that the parser reads leniently or not at all, read by the rules:
// names, the XML declaration, references and the DOCTYPE. Text is UTF-8.
namespace tidy::detail {

// A place that breaks the grammar: an offset into the text read and what is wrong there.
struct GrammarFault {
    std::size_t at = 0;
    const char* what = nullptr;
    explicit operator bool() const { return what != nullptr; }
};

// What is wrong with the reference that the '&' at the start of `s` begins, or nullptr for a
// predefined entity or a character XML allows. The digits are read to their end, however many.
const char* referenceFault(std::string_view s);

// The first character of `name` that a name may not hold there.
GrammarFault checkName(std::string_view name);

// `decl`: an XML declaration from "<?xml" to its "?>". Version 1.x, then optionally an encoding
// name and standalone "yes" or "no", in that order.
GrammarFault checkDeclaration(std::string_view decl);

// `doctype`: from "<!DOCTYPE" to its closing '>'. Entity declarations and parameter-entity
// references are refused as such: entities are neither expanded nor fetched.
GrammarFault checkDoctype(std::string_view doctype);

} // namespace tidy::detail
