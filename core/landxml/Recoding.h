// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <pugixml.hpp>

#include <cstdint>
#include <string>

namespace tidy::detail {

// The lowest UTF-8 byte that stands for a character `encoding` cannot hold: ISO-8859-1 holds
// U+0080..U+00FF, whose lead bytes are C2 and C3. 0x100, above every byte, for an encoding that
// holds every character.
unsigned firstByteBeyond(Encoding encoding);

// Passes UTF-8 output on in the file's encoding with the given line ends. A character the
// encoding cannot hold becomes a character reference: the save writes only text and attribute
// values through it that could hold one.
class Recoder final : public pugi::xml_writer {
public:
    Recoder(pugi::xml_writer& out, Encoding encoding, LineEnd lineEnd)
        : out_(out), encoding_(encoding), lineEnd_(lineEnd) {}
    void write(const void* data, size_t size) override;

private:
    void take(unsigned char b);
    void lineEnd(std::uint32_t cp);
    void put(std::uint32_t cp);
    void unit(std::uint32_t u);

    pugi::xml_writer& out_;
    Encoding encoding_;
    LineEnd lineEnd_;
    std::uint32_t cp_ = 0;
    int need_ = 0;
    std::uint32_t previous_ = 0;
    std::string buf_;
};

} // namespace tidy::detail
