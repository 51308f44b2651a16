// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tidy {

// The one error the core throws. Its message is complete and meant for the user: it names the
// file and, where there is one, the place in it ("file: line 12, column 5: ...").
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text from the file as a message quotes it: in double quotes and, since a pathological file
// must not flood the message, cut after 60 bytes (never inside a character) with "...".
inline std::string quotedText(std::string_view text) {
    constexpr std::size_t longest = 60;
    if (text.size() <= longest)
        return "\"" + std::string(text) + "\"";
    std::size_t cut = longest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return "\"" + std::string(text.substr(0, cut)) + "...\"";
}

} // namespace tidy
