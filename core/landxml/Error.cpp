// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Error.h"

#include "core/landxml/Utf8.h"

namespace tidy {

namespace {

void appendEscape(std::string& out, const char* prefix, unsigned char c) {
    out += prefix;
    out += "0123456789abcdef"[c >> 4];
    out += "0123456789abcdef"[c & 0xF];
}

} // namespace

std::string shownText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = detail::utf8CharacterLength(text.substr(i));
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = n == 2 ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (n == 0 || (n == 1 && ((c < 0x20 && c != '\t') || c == 0x7F))) {
            if (c == '\n' || c == '\r')
                out += c == '\n' ? "\\n" : "\\r";
            else
                appendEscape(out, "\\x", c);
            ++i;
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            appendEscape(out, "\\u00", next); // U+0080..U+009F, whose code is the second byte
            i += 2;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string quotedText(std::string_view text) {
    constexpr std::size_t longest = 60;
    std::size_t cut = text.size();
    if (cut > longest) {
        cut = longest;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
    }
    // Appended, not "\"" + std::string: GCC 12 at -O3 warns falsely on that form (-Wrestrict).
    std::string quoted(1, '"');
    quoted.append(text.substr(0, cut));
    quoted.append(cut < text.size() ? "...\"" : "\"");
    return quoted;
}

} // namespace tidy
