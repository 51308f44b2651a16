// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace tidy {

// Removes, in place, the whitespace that stands alone between two pieces of markup: the
// indentation of a file, a tenth of a terrain model, which the parser drops anyway. What the
// parser reads from the text is the same before and after. Where the text holds something this
// reading cannot be sure the parser reads the same way (a DOCTYPE, a quote left open in a
// declaration, markup cut short), the rest of it stays as it is. Returns the new size.
std::size_t dropSpaceBetweenMarkup(char* text, std::size_t size);

// Where the byte at `offset` of what dropSpaceBetweenMarkup made of `original` stands in
// `original`. An offset at or past the end of the shorter text maps to the end of `original`.
std::size_t offsetBeforeDroppingSpace(const char* original, std::size_t size, std::size_t offset);

} // namespace tidy
