// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The faces of a TIN surface: the F elements of its Faces, each naming three points by id in
// its text ("a b c"), marked outside the boundary by "i" and naming its three neighbours in "n".

#include "core/landxml/Document.h"
#include "core/tin/Numbers.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tidy {

// Whether `node` is an F element (matched on the local name).
bool isFace(pugi::xml_node node);

// Whether a face lies outside the boundary: its "i" read as an integer is 1. Throws Error for an
// "i" that is not a decimal integer.
bool isOutside(const Document& document, pugi::xml_node face);

// The three integers of a face's text (point ids, kPointId) or of its "n" (the 1-based positions
// of its neighbours among the F elements of its Faces, 0 for none), each read by `rules`, with
// blanks around them. nullopt unless there are exactly three.
std::optional<std::array<std::int64_t, 3>> readThreeIntegers(std::string_view text,
                                                             const IntegerRules& rules);

} // namespace tidy
