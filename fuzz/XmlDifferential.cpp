// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: each input, stored as a file, is loaded by the tool and parsed by expat, a
// conforming XML parser without namespace processing. An input that one of them accepts and the
// other refuses is a finding, unless it is one of the disagreements on purpose below, each
// recognised by what both say and where.
#include "core/landxml/Document.h"
#include "core/landxml/Error.h"
#include "core/landxml/Utf8.h"
#include "core/landxml/XmlGrammar.h"

#include "TestSupport.h"

#include <expat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Verdict {
    bool accepted = true;
    std::string why;                    // the refusal
    XML_Error code = XML_ERROR_NONE;    // expat's
    std::size_t at = std::string::npos; // expat's byte offset of the fault
};

Verdict expat(const std::string& bytes) {
    const XML_Parser parser = XML_ParserCreate(nullptr);
    Verdict v;
    if (XML_Parse(parser, bytes.data(), int(bytes.size()), 1) != XML_STATUS_OK) {
        v = {false, XML_ErrorString(XML_GetErrorCode(parser)), XML_GetErrorCode(parser),
             std::size_t(XML_GetCurrentByteIndex(parser))};
    }
    XML_ParserFree(parser);
    return v;
}

Verdict ours(const std::string& bytes) {
    static const tidytest::TempDir folder;
    const std::string file = folder.file("in.xml");
    tidytest::writeFile(file, bytes);
    try {
        tidy::Document::open(file);
        return {};
    } catch (const tidy::Error& e) {
        return {false, std::string(e.what()).substr(file.size())};
    }
}

bool says(const Verdict& v, const char* words) {
    return v.why.find(words) != std::string::npos;
}

// The character at byte `at` continues a name by the rules of XML 1.0's fifth edition; in
// UTF-16 where the input starts so, else in UTF-8.
bool continuesNameAt(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
    };
    std::string utf8;
    const bool little = byte(0) == 0xFF || (byte(0) == '<' && byte(1) == 0);
    if (little || byte(0) == 0xFE || (byte(0) == 0 && byte(1) == '<')) {
        const auto unit = [&](std::size_t i) {
            return little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1);
        };
        std::uint32_t c = unit(at);
        if (c >= 0xD800 && c <= 0xDBFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
        tidy::detail::appendUtf8(utf8, c);
    } else {
        std::size_t end = at + 1;
        while (end < bytes.size() && (bytes[end] & 0xC0) == 0x80)
            ++end;
        utf8 = bytes.substr(std::min(at, bytes.size()), end - at);
    }
    return !utf8.empty() && (utf8[0] & 0x80) && !tidy::detail::checkName("a" + utf8);
}

// Why the two may disagree on this input, or nullptr.
const char* onPurpose(const std::string& bytes, const Verdict& tool, const Verdict& reference) {
    if (!tool.accepted) {
        // Declared entities and references to them are refused, never expanded or fetched;
        // expat takes what it need not read, as a reference to an entity an external subset
        // might declare.
        if (says(tool, "neither expands nor fetches entities"))
            return "entities";
        // Bytes that contradict the declared encoding (expat lets a byte-order mark win), and
        // encodings the save could not write back.
        if (says(tool, "says encoding=") || says(tool, "declares encoding="))
            return "encoding";
        // UTF-16 must begin with a byte-order mark, or else declare itself; expat guesses it
        // from a zero byte in the first two, where the tool finds a U+0000.
        if (bytes.size() >= 2 && (bytes[0] == 0 || bytes[1] == 0) &&
            bytes.compare(0, 4, std::string("<\0?\0", 4)) != 0 &&
            bytes.compare(0, 4, std::string("\0<\0?", 4)) != 0)
            return "UTF-16 without a byte-order mark";
        // The save indents each line by its depth.
        if (says(tool, "levels deep"))
            return "depth over 256";
        // expat does not look at the version number: "1", "1.0x" and "2.0" pass.
        const std::size_t version = bytes.find("version=") + 9;
        if (says(tool, "the XML declaration must give") && version < bytes.size()) {
            const std::string value =
                bytes.substr(version, bytes.find(bytes[version - 1], version) - version);
            if (value.size() < 3 || value.compare(0, 2, "1.") != 0 ||
                value.find_first_not_of("0123456789", 2) != std::string::npos)
                return "version number";
        }
        return nullptr;
    }
    switch (reference.code) {
    case XML_ERROR_UNKNOWN_ENCODING:
        // Without a handler expat knows the four encodings only by their first names, not by
        // their registered aliases.
        return "encoding alias";
    case XML_ERROR_INVALID_TOKEN:
        // expat reads names by the character classes of the fourth edition, narrower than
        // those of the fifth.
        return continuesNameAt(bytes, reference.at) ? "name character" : nullptr;
    default:
        return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const Verdict tool = ours(bytes), reference = expat(bytes);
    if (tool.accepted == reference.accepted || onPurpose(bytes, tool, reference))
        return 0;
    std::fprintf(stderr, "tidyxmldiff finding: the tool %s%s, expat %s%s (at byte %zu)\n",
                 tool.accepted ? "accepts" : "refuses", tool.why.c_str(),
                 reference.accepted ? "accepts" : "refuses: ", reference.why.c_str(), reference.at);
    std::abort();
}
