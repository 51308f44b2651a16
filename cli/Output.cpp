// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Output.h"

#include <string_view>

namespace tidycli {

namespace {

// The length of the well-formed UTF-8 character at the start of `s`, or 0: no overlong forms,
// no surrogates, nothing above U+10FFFF.
size_t utf8CharacterAt(std::string_view s) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = byte(0);
    if (c < 0x80)
        return 1;
    const size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                     : c >= 0xE0 && c <= 0xEF ? 3
                     : c >= 0xF0 && c <= 0xF4 ? 4
                                              : 0;
    if (n == 0 || s.size() < n)
        return 0;
    for (size_t i = 1; i < n; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = byte(1);
    if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) ||
        (c == 0xF0 && second < 0x90) || (c == 0xF4 && second > 0x8F))
        return 0;
    return n;
}

// `s` with each byte that is not UTF-8 (a file name on Linux may hold any) as U+EF80 +
// (byte - 0x80): three bytes EE BE/BF xx, so that the line stays UTF-8 and the byte can be
// recovered.
std::string wellFormed(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8CharacterAt(std::string_view(s).substr(i));
        if (n > 0) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        const auto c = static_cast<unsigned char>(s[i++]);
        out += char(0xEE);
        out += char(c < 0xC0 ? 0xBE : 0xBF);
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

void makeWellFormed(Object& value) {
    if (value.is_string())
        value = wellFormed(value.get_ref<const std::string&>());
    else if (value.is_structured())
        for (Object& item : value)
            makeWellFormed(item);
}

// The JSON writer spells backspace and form feed \b and \f; the lines have always given every
// control character but tab, line feed and carriage return as \u00XX, and scripts compare them.
std::string withUnicodeEscapes(const std::string& json) {
    std::string out;
    out.reserve(json.size());
    for (size_t i = 0; i < json.size(); ++i) {
        if (json[i] != '\\' || i + 1 == json.size()) {
            out += json[i];
            continue;
        }
        const char escaped = json[++i];
        out += escaped == 'b' ? "\\u0008" : escaped == 'f' ? "\\u000c" : std::string{'\\', escaped};
    }
    return out;
}

// Plain text for people: strings unquoted, null as "-".
std::string plain(const Object& value) {
    if (value.is_string())
        return value.get_ref<const std::string&>();
    if (value.is_null())
        return "-";
    if (!value.is_structured())
        return value.dump();
    std::string out;
    const char* separator = "";
    for (const Object& item : value) {
        out += separator + plain(item);
        separator = value.is_array() ? ", " : " ";
    }
    return out;
}

} // namespace

std::string jsonLine(const Object& object) {
    Object line = object;
    makeWellFormed(line);
    return withUnicodeEscapes(line.dump());
}

void writeReport(std::ostream& out, const Object& object) {
    for (const auto& [key, value] : object.items()) {
        if (key == "file") {
            out << plain(value) << "\n";
            continue;
        }
        if (key == "messages") {
            for (const Object& m : value) {
                std::string text = plain(m);
                for (size_t nl = text.find('\n'); nl != std::string::npos;
                     nl = text.find('\n', nl + 3))
                    text.insert(nl + 1, "  ");
                out << "  " << text << "\n";
            }
            continue;
        }
        out << "  " << key << ": " << plain(value) << "\n";
    }
}

} // namespace tidycli
