// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A save writes the file's own bytes and changes only what the operations changed: everything
// else (indentation, quotes, references as written, empty-element forms, comments, line ends)
// stays as it was. The operations tell the document which elements they changed; the save walks
// those elements in step with the file's text and writes each difference where it stands.

#include "core/landxml/Document.h"

#include <pugixml.hpp>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tidy::detail {

// The text the parser read in place, as the document's names and values point into it.
struct ParsedText {
    const char* data = nullptr;
    std::size_t size = 0;
    bool spaceDropped = false; // the whitespace between markup was dropped before parsing
    // Where the dropping left off now and then: the place of a '<' in the parsed text and in the
    // file's, in order; and where the root element begins in the parsed text.
    const std::vector<std::pair<std::size_t, std::size_t>>* marks = nullptr;
    std::size_t rootStart = 0;
};

// Where the save sends what it writes: the file's own bytes, and the text of a change, which an
// encoding that cannot hold every character writes with character references.
struct LayoutSinks {
    pugi::xml_writer& original;
    pugi::xml_writer& changed;
    // Called as the writing goes on: the text before this offset is not read again.
    std::function<void(std::size_t)> doneBefore;
};

// Writes `original` (the file's text as UTF-8, without a byte-order mark) with the changes to
// the `edited` elements and their children spliced in; with `wholeSubtree` anything below an
// element may have changed too. Throws Error naming `destination` for a change no file can hold
// (a carriage return, or a character the encoding cannot hold, in a CDATA section) and for a
// text that no longer matches the document.
void writeKeepingLayout(const Document& doc, std::string_view original, const ParsedText& parsed,
                        const std::vector<std::pair<pugi::xml_node, bool>>& edited,
                        const LayoutSinks& sinks, const std::string& destination);

} // namespace tidy::detail
