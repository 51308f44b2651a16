// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Output.h"

#include <cstdio>
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

} // namespace

std::string jsonQuote(const std::string& s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = utf8CharacterAt(std::string_view(s).substr(i));
        if (n == 0) {
            // A byte that is not UTF-8 (a file name on Linux may hold any): U+EF80 + (byte - 0x80),
            // three bytes EE BE/BF xx, so that the line stays UTF-8 and the byte can be recovered.
            out += char(0xEE);
            out += char(c < 0xC0 ? 0xBE : 0xBF);
            out += char(0x80 | (c & 0x3F));
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        ++i;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string toJson(const Value& value) {
    struct Visitor {
        std::string operator()(std::nullptr_t) const { return "null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(const std::string& s) const { return jsonQuote(s); }
        std::string operator()(const Array& a) const {
            std::string out = "[";
            for (size_t i = 0; i < a.size(); ++i)
                out += (i ? "," : "") + toJson(a[i]);
            return out + "]";
        }
        std::string operator()(const Object& o) const {
            std::string out = "{";
            for (size_t i = 0; i < o.size(); ++i)
                out += (i ? "," : "") + jsonQuote(o[i].first) + ":" + toJson(o[i].second);
            return out + "}";
        }
    };
    return std::visit(Visitor{}, value.v);
}

namespace {

// Plain text for people: strings unquoted, null as "-".
std::string plain(const Value& value) {
    if (const auto* s = std::get_if<std::string>(&value.v))
        return *s;
    if (std::holds_alternative<std::nullptr_t>(value.v))
        return "-";
    if (const auto* a = std::get_if<Array>(&value.v)) {
        std::string out;
        for (size_t i = 0; i < a->size(); ++i)
            out += (i ? ", " : "") + plain((*a)[i]);
        return out;
    }
    if (const auto* o = std::get_if<Object>(&value.v)) {
        std::string out;
        for (size_t i = 0; i < o->size(); ++i)
            out += (i ? " " : "") + plain((*o)[i].second);
        return out;
    }
    return toJson(value);
}

} // namespace

void writeReport(std::ostream& out, const Object& object) {
    for (const auto& [key, value] : object) {
        if (key == "file") {
            out << plain(value) << "\n";
            continue;
        }
        if (key == "messages") {
            for (const Value& m : std::get<Array>(value.v)) {
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
