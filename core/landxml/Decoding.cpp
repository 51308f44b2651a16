// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Decoding.h"

#include "core/landxml/Error.h"
#include "core/landxml/TextPosition.h"
#include "core/landxml/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tidy::detail {

namespace {

std::string lower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c);
    });
    return r;
}

// The value of encoding="..." in an XML declaration at the start of 8-bit text, or "".
std::string declaredEncoding(std::string_view text) {
    // A declaration after leading whitespace is refused by the markup scan; read its encoding
    // all the same, so that the refusal is about its place and not about the text.
    text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
    // "<?xml-stylesheet" and the like are instructions of their own, not the declaration.
    if (text.substr(0, 5) != "<?xml" || text.size() < 6 || !std::strchr(" \t\r\n", text[5]))
        return {};
    auto end = text.find("?>");
    std::string_view decl =
        text.substr(0, end == std::string_view::npos ? std::min<size_t>(text.size(), 256) : end);
    auto pos = decl.find("encoding");
    if (pos == std::string_view::npos)
        return {};
    pos += 8;
    while (pos < decl.size() && (decl[pos] == ' ' || decl[pos] == '\t' || decl[pos] == '\r' ||
                                 decl[pos] == '\n' || decl[pos] == '='))
        ++pos;
    if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\''))
        return {};
    char quote = decl[pos++];
    auto close = decl.find(quote, pos);
    if (close == std::string_view::npos)
        return {};
    return std::string(decl.substr(pos, close - pos));
}

// The registered names and aliases of the encodings read, in any letter case, and a few
// common spellings besides.
bool isNameAmong(const std::string& declared, std::initializer_list<std::string_view> names) {
    const std::string e = lower(declared);
    return std::find(names.begin(), names.end(), e) != names.end();
}
bool isUtf8Name(const std::string& e) {
    return isNameAmong(e, {"utf-8", "utf8", "csutf8"});
}
bool isUtf16Name(const std::string& e) {
    return isNameAmong(
        e, {"utf-16", "utf-16le", "utf-16be", "utf16", "csutf16", "csutf16le", "csutf16be"});
}
bool isLatin1Name(const std::string& e) {
    return isNameAmong(e, {"iso-8859-1", "iso_8859-1:1987", "iso-ir-100", "iso_8859-1", "latin1",
                           "l1", "ibm819", "cp819", "csisolatin1", "iso8859-1", "latin-1"});
}
bool isAsciiName(const std::string& e) {
    return isNameAmong(e, {"us-ascii", "ansi_x3.4-1968", "iso-ir-6", "ansi_x3.4-1986",
                           "iso_646.irv:1991", "iso646-us", "us", "ibm367", "cp367", "csascii",
                           "ascii"});
}

bool isNoncharacterAt(const char* text, size_t size, size_t at) {
    return size - at >= 3 && std::memcmp(text + at, "\xEF\xBF", 2) == 0 &&
           (text[at + 2] == '\xBE' || text[at + 2] == '\xBF');
}

Error noncharacterError(const std::string& path, const char* text, size_t size, size_t at) {
    return Error(place(path, text, size, at) + ": not well-formed XML: the character U+FFF" +
                 (text[at + 2] == '\xBE' ? "E" : "F") + ", which XML does not allow");
}

// A UTF-16 declaration must agree with the bytes' order, which is what they are read in.
void refuseOtherDeclaration(const std::string& path, const std::string& decl, bool littleEndian) {
    if (!decl.empty() && !isUtf16Name(decl))
        throw Error(path + ": the file is stored as UTF-16 but its declaration says encoding=" +
                    quotedText(decl));
    if (isNameAmong(decl, {littleEndian ? "utf-16be" : "utf-16le",
                           littleEndian ? "csutf16be" : "csutf16le"}))
        throw Error(path + ": the file is stored as UTF-16" + (littleEndian ? "LE" : "BE") +
                    " but its declaration says encoding=" + quotedText(decl));
}

DecodedText decodeUtf16(const std::string& path, const unsigned char* s, size_t n,
                        bool littleEndian) {
    if (n % 2)
        throw Error(path + ": the file is UTF-16 but has an odd number of bytes");
    std::string out;
    out.reserve(n / 2 + n / 8);
    for (size_t i = 0; i < n; i += 2) {
        uint32_t u =
            littleEndian ? uint32_t(s[i] | (s[i + 1] << 8)) : uint32_t((s[i] << 8) | s[i + 1]);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 3 >= n)
                throw Error(path + ": invalid UTF-16 at the end of the file");
            uint32_t lo = littleEndian ? uint32_t(s[i + 2] | (s[i + 3] << 8))
                                       : uint32_t((s[i + 2] << 8) | s[i + 3]);
            if (lo < 0xDC00 || lo > 0xDFFF)
                throw Error(path + ": invalid UTF-16 surrogate pair at byte " + std::to_string(i));
            u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            i += 2;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            throw Error(path + ": invalid UTF-16 surrogate at byte " + std::to_string(i));
        }
        appendUtf8(out, u);
    }
    DecodedText d;
    d.utf8 = copyToFileBuffer(out);
    d.encoding = littleEndian ? Encoding::Utf16LE : Encoding::Utf16BE;
    refuseOtherDeclaration(path, declaredEncoding(out), littleEndian);
    return d;
}

bool startsAsUtf32(const unsigned char* s, size_t n) {
    return n >= 4 && ((s[0] == 0 && s[1] == 0 && s[2] == 0xFE && s[3] == 0xFF) ||
                      (s[0] == 0xFF && s[1] == 0xFE && s[2] == 0 && s[3] == 0));
}

bool hasUtf16ByteOrderMark(const unsigned char* s, size_t n) {
    return n >= 2 && ((s[0] == 0xFF && s[1] == 0xFE) || (s[0] == 0xFE && s[1] == 0xFF));
}

// A byte-order mark, or "<?" in the first bytes, shows a file to be UTF-16.
bool startsAsUtf16(const unsigned char* s, size_t n) {
    return hasUtf16ByteOrderMark(s, n) ||
           (n >= 4 && ((s[0] == '<' && s[1] == 0 && s[2] == '?' && s[3] == 0) ||
                       (s[0] == 0 && s[1] == '<' && s[2] == 0 && s[3] == '?')));
}

DecodedText decodeUtf16File(const std::string& path, const unsigned char* s, size_t n) {
    const bool bom = hasUtf16ByteOrderMark(s, n);
    const bool littleEndian = bom ? s[0] == 0xFF : s[0] == '<';
    DecodedText d =
        bom ? decodeUtf16(path, s + 2, n - 2, littleEndian) : decodeUtf16(path, s, n, littleEndian);
    d.bom = bom;
    if (const size_t at =
            invalidUtf8At(reinterpret_cast<const unsigned char*>(d.utf8.data), d.utf8.size);
        at != std::string::npos)
        throw noncharacterError(path, d.utf8.data, d.utf8.size, at);
    return d;
}

// Throws Error at the first byte of `text` that is not valid in `encoding` (UTF-8 or US-ASCII).
void refuseInvalidText(const std::string& path, const char* text, size_t size, Encoding encoding,
                       bool declared) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t bad = invalidUtf8At(s, size);
    if (encoding == Encoding::Ascii && bad == std::string::npos) {
        auto it = std::find_if(s, s + size, [](unsigned char c) { return c >= 0x80; });
        if (it != s + size)
            bad = size_t(it - s);
    }
    if (bad == std::string::npos)
        return;
    if (isNoncharacterAt(text, size, bad))
        throw noncharacterError(path, text, size, bad);
    throw Error(place(path, text, size, bad) + ": the text is not valid " +
                (encoding == Encoding::Ascii ? "US-ASCII" : "UTF-8") +
                (declared ? ", as the file declares"
                          : " (the file declares no encoding, so it must be UTF-8)"));
}

FileBuffer latin1ToUtf8(const FileBuffer& raw) {
    std::string out;
    out.reserve(raw.size + raw.size / 16);
    for (size_t i = 0; i < raw.size; ++i)
        appendUtf8(out, static_cast<unsigned char>(raw.data[i]));
    return copyToFileBuffer(out);
}

// A file in an 8-bit encoding: UTF-8 (also when it declares none), US-ASCII or ISO-8859-1.
DecodedText decode8BitFile(const std::string& path, FileBuffer raw) {
    DecodedText d;
    d.bom = raw.size >= 3 && std::memcmp(raw.data, "\xEF\xBB\xBF", 3) == 0;
    const size_t start = d.bom ? 3 : 0;
    const std::string decl = declaredEncoding(std::string_view(raw.data + start, raw.size - start));
    if (d.bom && !decl.empty() && !isUtf8Name(decl))
        throw Error(
            path +
            ": the file starts with a UTF-8 byte-order mark but its declaration says encoding=" +
            quotedText(decl));
    if (decl.empty() || isUtf8Name(decl) || isAsciiName(decl)) {
        d.encoding = isAsciiName(decl) ? Encoding::Ascii : Encoding::Utf8;
        refuseInvalidText(path, raw.data + start, raw.size - start, d.encoding, !decl.empty());
        if (start) {
            std::memmove(raw.data, raw.data + start, raw.size - start);
            raw.size -= start;
        }
        d.utf8 = std::move(raw);
        return d;
    }
    if (isLatin1Name(decl)) {
        d.utf8 = latin1ToUtf8(raw);
        d.encoding = Encoding::Latin1;
        return d;
    }
    if (isUtf16Name(decl))
        throw Error(path + ": the declaration says encoding=" + quotedText(decl) +
                    " but the file is not stored as UTF-16");
    throw Error(path + ": the file declares encoding=" + quotedText(decl) +
                ", which tidylander cannot write back faithfully; supported are UTF-8, UTF-16 "
                "and ISO-8859-1");
}

// Offset of the first control character that XML allows nowhere, or npos.
size_t forbiddenControlAt(const char* text, size_t size) {
    // Sixteen bytes at a time, four at once: this looks at every byte of files of hundreds of
    // megabytes, and lines full of tabs and line feeds rule out a quick test for "below 0x20".
    using Bytes = unsigned char __attribute__((vector_size(16)));
    size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        Bytes any{};
        for (size_t k = 0; k < 64; k += 16) {
            Bytes v;
            std::memcpy(&v, text + i + k, 16);
            any |= (Bytes)((v < 0x20) & (v != '\t') & (v != '\n') & (v != '\r'));
        }
        uint64_t halves[2];
        std::memcpy(halves, &any, sizeof halves);
        if (halves[0] | halves[1])
            break; // the loop below finds which byte
    }
    for (; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return i;
    }
    return std::string::npos;
}

// Refuses, from its first bytes, a file that cannot be XML, so that an image or an archive of
// gigabytes is not read whole for a message about its start: UTF-32, and an 8-bit file with a
// control character that XML allows nowhere (UTF-16 holds zero bytes in every character). The
// message is the one the whole file gives: the start up to that character is decoded as the
// whole file would be, so that a fault of the declaration or the text before it comes first.
void refuseStartThatIsNoXml(const std::string& path, std::string_view start) {
    const auto* s = reinterpret_cast<const unsigned char*>(start.data());
    if (startsAsUtf32(s, start.size()))
        throw Error(path + ": UTF-32 files are not supported");
    if (startsAsUtf16(s, start.size()))
        return;
    const size_t at = forbiddenControlAt(start.data(), start.size());
    const size_t declaration = start.find("<?xml");
    // A declaration cut short by the character would be read differently from the whole one.
    if (at == std::string::npos ||
        (declaration < at && start.substr(0, at).find("?>", declaration) == std::string::npos))
        return;
    refuseForbiddenControl(path, decode8BitFile(path, copyToFileBuffer(start.substr(0, at + 1))));
}

} // namespace

DecodedText decodeFile(const std::string& path) {
    FileBuffer raw = readFileBuffer(
        path, [&path](std::string_view start) { refuseStartThatIsNoXml(path, start); });
    const auto* s = reinterpret_cast<const unsigned char*>(raw.data);
    if (startsAsUtf16(s, raw.size))
        return decodeUtf16File(path, s, raw.size);
    return decode8BitFile(path, std::move(raw));
}

void refuseForbiddenControl(const std::string& path, const DecodedText& text) {
    const size_t at = forbiddenControlAt(text.utf8.data, text.utf8.size);
    if (at == std::string::npos)
        return;
    const auto c = static_cast<unsigned char>(text.utf8.data[at]);
    const std::string code =
        std::string("U+00") + "0123456789ABCDEF"[c >> 4] + "0123456789ABCDEF"[c & 0xF];
    throw Error(place(path, text.utf8.data, text.utf8.size, at) +
                ": not well-formed XML: the control character " + code +
                ", which XML does not allow");
}

} // namespace tidy::detail
