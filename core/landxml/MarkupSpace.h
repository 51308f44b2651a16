// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tidy {

// What one pass over a file's markup found: the faults of well-formedness that the parser lets
// pass, and whether whitespace between markup can be content.
struct MarkupScan {
    std::size_t size = 0;           // of the text once the whitespace is dropped
    std::size_t faultAt = SIZE_MAX; // where the first fault stands in the text as it was
    const char* fault = nullptr;    // what it is, in plain words; nullptr for none
    bool spaceIsContent = false;    // text beside elements, or xml:space: see below
    // Every 16 KiB or so of the text once dropped, where a '<' after dropped whitespace stands
    // in it and in the text as it was: a save finds its way back into the file from these.
    std::vector<std::pair<std::size_t, std::size_t>> marks;
};

// Reads the markup of `text` (UTF-8) and removes, in place, the whitespace that stands alone
// between two pieces of markup: the indentation of a file, a tenth of a terrain model, which the
// parser drops anyway. Where an element holds text beside other markup, or xml:space is used,
// such whitespace is content: from there on nothing is dropped and spaceIsContent is set, and
// the caller must parse the text as it was. The faults reported are those the parser accepts:
// text, CDATA or a DOCTYPE where XML does not allow them, a second DOCTYPE or root element, a
// late declaration, "]]>" in text, "<" in an attribute value, references to undeclared
// entities or to characters XML does not allow, and names, the XML declaration and the DOCTYPE
// that break XML's grammar (XmlGrammar.h). Markup cut short is left to the parser.
MarkupScan scanMarkup(char* text, std::size_t size);

// scanMarkup's size alone.
std::size_t dropSpaceBetweenMarkup(char* text, std::size_t size);

// Where the byte at `offset` of what dropSpaceBetweenMarkup made of `original` stands in
// `original`. An offset at or past the end of the shorter text maps to the end of `original`.
std::size_t offsetBeforeDroppingSpace(const char* original, std::size_t size, std::size_t offset);
// The same for many offsets at once, in one pass over the text; each is replaced in place.
void offsetsBeforeDroppingSpace(const char* original, std::size_t size,
                                std::vector<std::size_t>& offsets);

// Whether XML 1.0 allows the character anywhere in a document.
bool isXmlCharacter(std::uint32_t c);

} // namespace tidy
