// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Output.h"

#include <cstdio>

namespace tidycli {

std::string jsonQuote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
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
