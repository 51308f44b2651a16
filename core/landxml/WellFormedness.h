// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"
#include "core/landxml/MarkupSpace.h"

namespace tidy::detail {

// What the parsed values hold that the save must take care of.
struct ValuesToWriteBack {
    bool carriageReturnInText = false; // from a reference, in element text
    bool beyondEncoding = false;       // a character the file's encoding cannot hold
};

// The parser takes more than XML allows, or than the save could write back as it was read:
// the faults `scan` found, elements nested too deep, comments XML does not
// allow and attributes given twice; with `checkValues` (the file has character references) also
// references to control characters XML allows nowhere. Throws Error naming the place of the
// first; the faults are reported only once the parser has found none of its own, as a file cut
// short or no XML at all is better described by its words.
ValuesToWriteBack refuseWhatTheParserTook(const Document& doc, const MarkupScan& scan,
                                          bool checkValues);

} // namespace tidy::detail
