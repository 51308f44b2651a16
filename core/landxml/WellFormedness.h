// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"
#include "core/landxml/MarkupSpace.h"

namespace tidy::detail {

// The parser takes more than XML allows, or than the save could write back as it was read:
// the faults `scan` found, elements nested too deep, comments XML does not allow and attributes
// given twice. Throws Error naming the place of the first; the faults are reported only once the
// parser has found none of its own, as a file cut short or no XML at all is better described by
// its words.
void refuseWhatTheParserTook(const Document& doc, const MarkupScan& scan);

} // namespace tidy::detail
