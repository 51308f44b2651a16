// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tidy::detail {

// Where the first invalid UTF-8 sequence of `s` starts, or npos. U+FFFE and U+FFFF, valid UTF-8
// but no XML character, count as invalid here.
std::size_t invalidUtf8At(const unsigned char* s, std::size_t n);

// The length of the well-formed UTF-8 character at the start of `s` (not empty), or 0: no
// overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t utf8CharacterLength(std::string_view s);

// Appends the code point `cp` (at most U+10FFFF) to `out` in UTF-8.
void appendUtf8(std::string& out, std::uint32_t cp);

} // namespace tidy::detail
