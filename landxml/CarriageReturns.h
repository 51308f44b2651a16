// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// pugixml writes a carriage return in element text as it is, and every reader takes a bare one
// for a line feed. Each control character that XML allows nowhere it writes as "&#NN;", with two
// decimal digits, and the document holds none of them: the load and the setters refuse them. So
// for the save each carriage return in text is lent such a character, and its reference in the
// output becomes "&#13;", of the same length. Comments, processing instructions, CDATA sections
// and the DOCTYPE are written as they are; the character lent is one whose reference none of
// them holds.

#include "landxml/Document.h"

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace tidy::detail {

struct TextCarriageReturns {
    std::vector<char*> at; // in the values of text nodes and of elements holding their text
    char lent = 0;         // 0 when every candidate's reference is taken
    pugi::xml_node cdata;  // a CDATA section holding one, which no save can keep
};

TextCarriageReturns findTextCarriageReturns(pugi::xml_document& doc);

// Throws Error, naming `destination`, when the save cannot write the carriage returns found in
// `doc` back faithfully.
void refuseUnwritable(const Document& doc, const TextCarriageReturns& returns,
                      const std::string& destination);

// Lends the character for as long as it lives, whatever ends the save.
class LentCharacter {
public:
    explicit LentCharacter(const TextCarriageReturns& returns);
    ~LentCharacter();
    LentCharacter(const LentCharacter&) = delete;
    LentCharacter& operator=(const LentCharacter&) = delete;

private:
    const std::vector<char*>& at_;
};

// Passes the output on with every reference to the lent character turned into "&#13;"; in UTF-16
// a match counts only where a character starts. pugixml 1.13 hands a reference over in one piece,
// but nothing promises that: the end of each chunk waits for the next, where a reference may go
// on.
class CarriageReturnWriter final : public pugi::xml_writer {
public:
    CarriageReturnWriter(pugi::xml_writer& out, char lent, pugi::xml_encoding encoding);
    void write(const void* data, size_t size) override;
    // Passes on what is held back; call once the save has returned.
    void finish();

private:
    pugi::xml_writer& out_;
    size_t unit_;
    std::string from_, to_, pending_;
    size_t written_ = 0;
};

} // namespace tidy::detail
