// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Output.h"

#include "core/landxml/Error.h"
#include "core/landxml/Utf8.h"

#include <string_view>

namespace tidycli {

namespace {

// `s` with each byte that is not UTF-8 (a file name on Linux may hold any) as U+EF80 +
// (byte - 0x80): three bytes EE BE/BF xx, so that the line stays UTF-8 and the byte can be
// recovered.
std::string wellFormed(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = tidy::detail::utf8CharacterLength(std::string_view(s).substr(i));
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

// Plain text for people: strings unquoted and shown safely, null as "-".
std::string plain(const Object& value) {
    if (value.is_string())
        return tidy::shownText(value.get_ref<const std::string&>());
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

namespace {

// A finding of check on one line: "fault missing-point: 2 (line 14 face 3, ...)".
void writeFindings(std::ostream& out, const char* indent, const Object& findings) {
    for (const Object& f : findings) {
        out << indent << plain(f["severity"]) << " " << plain(f["kind"]) << ": " << f["count"];
        const char* separator = " (";
        for (const Object& e : f["examples"]) {
            out << separator << "line " << e["line"];
            for (const char* what : {"face", "point"})
                if (e.contains(what))
                    out << " " << what << " " << plain(e[what]);
            separator = ", ";
        }
        out << (*separator == ',' ? ")" : "") << "\n";
    }
}

} // namespace

void writeReport(std::ostream& out, const Object& object) {
    for (const auto& [key, value] : object.items()) {
        if (key == "findings") {
            writeFindings(out, "  ", value);
            continue;
        }
        if (key == "surfaces" && !value.empty() && value[0].is_object() &&
            value[0].contains("findings")) {
            for (const Object& s : value) {
                out << "  surface " << plain(s["name"]) << ": " << s["points"] << " points, "
                    << s["faces"] << " faces\n";
                writeFindings(out, "    ", s["findings"]);
            }
            continue;
        }
        if (key == "file") {
            out << plain(value) << "\n";
            continue;
        }
        if (key == "messages") {
            // An outcome message may run over several lines; each is shown on its own.
            for (const Object& m : value) {
                const std::string& text = m.get_ref<const std::string&>();
                for (size_t at = 0, nl = 0; nl != std::string::npos; at = nl + 1) {
                    nl = text.find('\n', at);
                    out << "  " << tidy::shownText(text.substr(at, nl - at)) << "\n";
                }
            }
            continue;
        }
        out << "  " << key << ": " << plain(value) << "\n";
    }
}

} // namespace tidycli
