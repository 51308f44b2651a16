// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tidy::detail {

// Where the first invalid UTF-8 sequence of `s` starts, or npos. U+FFFE and U+FFFF, valid UTF-8
// but no XML character, count as invalid here.
std::size_t invalidUtf8At(const unsigned char* s, std::size_t n);

// Appends the code point `cp` (at most U+10FFFF) to `out` in UTF-8.
void appendUtf8(std::string& out, std::uint32_t cp);

} // namespace tidy::detail
