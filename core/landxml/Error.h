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

// Text from a file (or a file name) as people are shown it, in a terminal or a message box:
// whatever could move the cursor, end the line or start a terminal's escape sequence is written
// visibly instead. "\r" and "\n" stand for carriage return and line feed, "\xHH" for the other
// control characters below U+0020 (tab stays), DEL and each byte that is not part of valid
// UTF-8, "\u00HH" for U+0080 to U+009F. A backslash stays as it is, so showing shown text again
// changes nothing.
std::string shownText(std::string_view text);

// A text from the file as a message quotes it: in double quotes and, since a pathological file
// must not flood the message, cut after 60 bytes of the text (never inside a character) with
// "...". The message keeps the text as it is, so JSON carries it exactly; whoever shows the
// message to people passes it through shownText.
std::string quotedText(std::string_view text);

} // namespace tidy
