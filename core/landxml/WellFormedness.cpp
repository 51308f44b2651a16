// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/WellFormedness.h"

#include "core/landxml/Decoding.h"
#include "core/landxml/Error.h"
#include "core/landxml/TextPosition.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace tidy::detail {

namespace {

// Deeper than any LandXML file goes. The save indents every line by its depth, so deep nesting
// would be written back many times its size: 100 000 levels in 700 kB come back as 10 GB.
constexpr int kMaxDepth = 256;

// A node that the save could not write back as it was read.
struct Refusal {
    enum Kind { None, TooDeep, Comment, DuplicateAttribute };
    Kind kind = None;
    pugi::xml_node node;
    const char* attribute = nullptr; // the one given twice
};

// Whether XML allows this comment text: no "--" inside, no "-" at the end. The parser takes
// either, but the save would have to change the comment to write a well-formed file.
bool isAllowedComment(std::string_view text) {
    return text.find("--") == std::string_view::npos && (text.empty() || text.back() != '-');
}

// The name of an attribute given twice among `first` and those after it, which the parser takes;
// nullptr for none.
const char* givenTwice(pugi::xml_attribute first) {
    size_t count = 0;
    for (pugi::xml_attribute a = first; a && count <= 8; a = a.next_attribute())
        ++count;
    if (count <= 8) { // the usual few: no allocation
        for (pugi::xml_attribute a = first; a; a = a.next_attribute())
            for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
                if (std::strcmp(a.name(), b.name()) == 0)
                    return a.name();
        return nullptr;
    }
    std::vector<std::string_view> names;
    for (pugi::xml_attribute a = first; a; a = a.next_attribute())
        names.push_back(a.name());
    std::sort(names.begin(), names.end());
    const auto twice = std::adjacent_find(names.begin(), names.end());
    return twice == names.end() ? nullptr : twice->data();
}

// Looks at each node for firstRefusal. pugixml's own traversal is iterative (a recursive walk
// would itself run out of stack on a deep file) and, with one call per node, fast enough to run
// over every node of every file loaded.
struct RefusalWalker final : pugi::xml_tree_walker {
    Refusal found;

    bool for_each(pugi::xml_node& n) override {
        const pugi::xml_node_type type = n.type();
        if (depth() >= kMaxDepth && type == pugi::node_element)
            found.kind = Refusal::TooDeep;
        else if (type == pugi::node_comment && !isAllowedComment(n.value()))
            found.kind = Refusal::Comment;
        // Most elements carry one attribute or none: the library's calls are what costs here.
        const pugi::xml_attribute first = n.first_attribute();
        if (found.kind == Refusal::None && first && first.next_attribute() &&
            (found.attribute = givenTwice(first)))
            found.kind = Refusal::DuplicateAttribute;
        if (found.kind != Refusal::None)
            found.node = n;
        return found.kind == Refusal::None;
    }
};

// The first element nested more than kMaxDepth levels deep, comment that XML does not allow, or
// element with an attribute given twice. References to characters XML does not allow never get
// here: the markup scan refuses them where they stand.
Refusal firstRefusal(const pugi::xml_document& doc) {
    RefusalWalker walker;
    pugi::xml_node(doc).traverse(walker);
    return walker.found;
}

// A name for a message: a hostile file's may run to megabytes.
std::string quoted(std::string_view name) {
    constexpr size_t kMax = 64;
    if (name.size() <= kMax)
        return std::string(name);
    size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(name.substr(0, cut)) + "...";
}

void refuse(const Document& doc, const Refusal& refused) {
    switch (refused.kind) {
    case Refusal::None:
        return;
    case Refusal::TooDeep:
        throw Error(doc.where(refused.node) + ": elements nested more than " +
                    std::to_string(kMaxDepth) +
                    " levels deep; tidylander refuses such a file, as its save would indent "
                    "every line by its depth");
    case Refusal::Comment:
        throw Error(doc.where(refused.node) +
                    ": not well-formed XML: a comment holds \"--\" or ends in \"-\"");
    case Refusal::DuplicateAttribute:
        throw Error(doc.where(refused.node) + ": not well-formed XML: the attribute \"" +
                    quoted(refused.attribute) + "\" is given twice");
    }
}

} // namespace

void refuseWhatTheParserTook(const Document& doc, const MarkupScan& scan) {
    if (scan.fault) {
        // The parsed text was changed in place; the place comes from the text on disk.
        const DecodedText text = decodeFile(doc.path());
        throw Error(place(doc.path(), text.utf8.data, text.utf8.size, scan.faultAt) + ": " +
                    scan.fault);
    }
    refuse(doc, firstRefusal(doc.xml()));
}

} // namespace tidy::detail
