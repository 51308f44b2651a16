// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"
#include "core/landxml/FileBuffer.h"

#include <string>

namespace tidy::detail {

// The file's text as UTF-8, with how it was stored.
struct DecodedText {
    FileBuffer utf8;
    Encoding encoding = Encoding::Utf8;
    bool bom = false;
};

// Reads the file at `path` and brings it to UTF-8 by its byte-order mark or declared encoding.
// Throws Error naming the file, and the place where there is one, for an encoding the save could
// not write back faithfully, text not valid in its encoding and the characters U+FFFE and U+FFFF.
DecodedText decodeFile(const std::string& path);

// Throws Error at the first control character that XML allows nowhere (those below U+0020 but
// tab, line feed and carriage return). The parser would take it, and the save would write it
// back as a character reference, which is not well-formed XML either.
void refuseForbiddenControl(const std::string& path, const DecodedText& text);

} // namespace tidy::detail
