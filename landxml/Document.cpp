// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/Document.h"

#include "landxml/AtomicFile.h"
#include "landxml/Error.h"
#include "landxml/MarkupSpace.h"
#include "landxml/Memory.h"
#include "landxml/platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

namespace tidy {

namespace {

// parse_embed_pcdata keeps the text of an element that starts with text in the element itself
// instead of a node of its own: a third less memory for a terrain model's points and faces.
// childCount still counts that text as the child it is.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                   pugi::parse_doctype | pugi::parse_pi | pugi::parse_comments |
                                   pugi::parse_embed_pcdata;

// A buffer from pugixml's allocator, so that the document can take ownership of it.
struct Buffer {
    char* data = nullptr;
    size_t size = 0;

    Buffer() = default;
    explicit Buffer(size_t n)
        : data(static_cast<char*>(pugi::get_memory_allocation_function()(n ? n : 1))), size(n) {
        if (!data)
            throw std::bad_alloc();
    }
    Buffer(Buffer&& o) noexcept : data(o.data), size(o.size) { o.data = nullptr; }
    Buffer& operator=(Buffer&& o) noexcept {
        std::swap(data, o.data);
        std::swap(size, o.size);
        return *this;
    }
    ~Buffer() {
        if (data)
            pugi::get_memory_deallocation_function()(data);
    }
    char* release() { return std::exchange(data, nullptr); }
};

Buffer readWholeFile(const std::string& path) {
    Buffer buf;
    buf.size = platform::readWholeFile(path, [&buf](size_t size) {
        buf = Buffer(size);
        return buf.data;
    });
    return buf;
}

std::string lower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c);
    });
    return r;
}

// The value of encoding="..." in an XML declaration at the start of 8-bit text, or "".
std::string declaredEncoding(std::string_view text) {
    // The parser takes a declaration after leading whitespace too, and the save writes it first.
    text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
    if (text.substr(0, 5) != "<?xml")
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
    return lower(decl.substr(pos, close - pos));
}

bool isUtf8Name(const std::string& e) {
    return e == "utf-8" || e == "utf8";
}
bool isUtf16Name(const std::string& e) {
    return e == "utf-16" || e == "utf-16le" || e == "utf-16be" || e == "utf16";
}
bool isLatin1Name(const std::string& e) {
    return e == "iso-8859-1" || e == "iso8859-1" || e == "iso_8859-1" || e == "latin1" ||
           e == "latin-1" || e == "l1";
}
bool isAsciiName(const std::string& e) {
    return e == "us-ascii" || e == "ascii";
}

// Where the first invalid UTF-8 sequence starts, or npos.
size_t invalidUtf8At(const unsigned char* s, size_t n) {
    size_t i = 0;
    while (i < n) {
        // Skip ASCII eight bytes at a time: terrain files are almost entirely ASCII.
        while (i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, s + i, 8);
            if (w & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return i;
        }
        if (i + len > n)
            return i;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return i;
        i += len;
    }
    return std::string::npos;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

Buffer toBuffer(const std::string& s) {
    Buffer b(s.size());
    std::memcpy(b.data, s.data(), s.size());
    return b;
}

// The file's text as UTF-8, with how it was stored.
struct DecodedText {
    Buffer utf8;
    Encoding encoding = Encoding::Utf8;
    bool bom = false;
};

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
    d.utf8 = toBuffer(out);
    d.encoding = littleEndian ? Encoding::Utf16LE : Encoding::Utf16BE;
    std::string decl = declaredEncoding(out);
    if (!decl.empty() && !isUtf16Name(decl))
        throw Error(path + ": the file is stored as UTF-16 but its declaration says encoding=\"" +
                    decl + "\"");
    return d;
}

// Line and column (1-based, columns in characters) of a byte offset in UTF-8 text.
std::pair<size_t, size_t> lineAndColumn(const char* text, size_t size, size_t offset) {
    offset = std::min(offset, size);
    size_t line = 1, column = 1;
    for (size_t i = 0; i < offset; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

std::string place(const std::string& path, const char* text, size_t size, size_t offset) {
    auto [line, column] = lineAndColumn(text, size, offset);
    return path + ": line " + std::to_string(line) + ", column " + std::to_string(column);
}

enum class Reference { Fine, UndeclaredEntity, IllegalCharacter };

bool isXmlCharacter(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// What the '&' at the start of `s` begins.
Reference classifyReference(std::string_view s) {
    for (std::string_view known : {"&lt;", "&gt;", "&amp;", "&apos;", "&quot;"})
        if (s.substr(0, known.size()) == known)
            return Reference::Fine;
    if (s.substr(0, 2) != "&#")
        return Reference::UndeclaredEntity;
    size_t i = 2;
    bool hex = i < s.size() && s[i] == 'x';
    i += hex;
    size_t digits = 0;
    uint32_t value = 0;
    while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) ||
                            (hex && std::isxdigit(static_cast<unsigned char>(s[i]))))) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const uint32_t digit = std::isdigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
        // Past the last character of Unicode the exact value no longer matters.
        value = std::min<uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
        ++i;
        ++digits;
    }
    if (digits == 0 || i >= s.size() || s[i] != ';')
        return Reference::UndeclaredEntity;
    return isXmlCharacter(value) ? Reference::Fine : Reference::IllegalCharacter;
}

struct BadReference {
    size_t at = std::string::npos;
    Reference kind = Reference::Fine;
};

// The first '&' in markup or text that is neither a reference to a character XML allows nor one
// of the five predefined entities. The parser would keep an undeclared entity as literal text
// and the save would then escape it into something else; a reference to a character XML does
// not allow ("&#0;", "&#xFFFE;") would be written back as that character, or cut the text short
// at a zero. Comments, CDATA, processing instructions and the DOCTYPE may hold a bare '&'.
BadReference firstBadReference(const char* data, size_t size) {
    std::string_view text(data, size);
    // Fast path: most files have no '&' at all, or only well-formed references.
    bool suspicious = false;
    for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
        if (classifyReference(text.substr(at, 16)) != Reference::Fine) {
            suspicious = true;
            break;
        }
    }
    if (!suspicious)
        return {};
    size_t i = 0;
    auto skipTo = [&](std::string_view end) {
        size_t e = text.find(end, i);
        i = e == std::string_view::npos ? size : e + end.size();
    };
    while (i < size) {
        if (text[i] == '<') {
            std::string_view rest = text.substr(i, 9);
            if (rest.substr(0, 4) == "<!--") {
                skipTo("-->");
                continue;
            }
            if (rest == "<![CDATA[") {
                skipTo("]]>");
                continue;
            }
            if (rest.substr(0, 2) == "<?") {
                skipTo("?>");
                continue;
            }
            if (rest == "<!DOCTYPE") {
                size_t bracket = text.find('[', i), close = text.find('>', i);
                skipTo(bracket < close ? "]>" : ">");
                continue;
            }
        } else if (text[i] == '&') {
            if (Reference kind = classifyReference(text.substr(i, 16)); kind != Reference::Fine)
                return {i, kind};
        }
        ++i;
    }
    return {};
}

// Deeper than any LandXML file goes. The save indents every line by its depth, so deep nesting
// would be written back many times its size: 100 000 levels in 700 kB come back as 10 GB.
constexpr int kMaxDepth = 256;

// A node that the save could not write back as it was read.
struct Refusal {
    enum Kind { None, TooDeep, Comment, ControlCharacter };
    Kind kind = None;
    pugi::xml_node node;
    bool carriageReturnInText = false; // in element text; found only when values are checked
};

// The control characters in a parsed value: raw ones other than tab and line feed are refused or
// normalised before parsing, so these came from references.
struct Controls {
    bool forbidden = false; // one that XML allows nowhere
    bool carriageReturn = false;
};

Controls controlsIn(const char* value) {
    Controls found;
    for (; *value; ++value) {
        const unsigned char c = static_cast<unsigned char>(*value);
        if (c < 0x20 && c != '\t' && c != '\n') {
            if (c != '\r') {
                found.forbidden = true;
                break;
            }
            found.carriageReturn = true;
        }
    }
    return found;
}

bool holdsForbiddenControl(const char* value) {
    return controlsIn(value).forbidden;
}

// Whether XML allows this comment text: no "--" inside, no "-" at the end. The parser takes
// either, but the save would have to change the comment to write a well-formed file.
bool isAllowedComment(std::string_view text) {
    return text.find("--") == std::string_view::npos && (text.empty() || text.back() != '-');
}

// The first element nested more than kMaxDepth levels deep, comment that XML does not allow or,
// with `checkValues`, node with a forbidden control character in its value or an attribute: the
// scan for references reads the text alone and can take a bare "<!DOCTYPE" or "<!--" in an
// attribute value, which the parser lets pass, for markup. With `checkValues` it also tells
// whether element text holds a carriage return. pugixml's own traversal is iterative (a
// recursive walk would itself run out of stack on a deep file) and, with one call per node, fast
// enough to run over every node of every file loaded.
Refusal firstRefusal(const pugi::xml_document& doc, bool checkValues) {
    struct Walker final : pugi::xml_tree_walker {
        bool checkValues = false;
        bool carriageReturnInText = false;
        Refusal found;
        bool for_each(pugi::xml_node& n) override {
            const Controls controls = checkValues ? controlsIn(n.value()) : Controls{};
            if (controls.carriageReturn &&
                (n.type() == pugi::node_pcdata || n.type() == pugi::node_element))
                carriageReturnInText = true;
            if (depth() >= kMaxDepth && n.type() == pugi::node_element)
                found = {Refusal::TooDeep, n};
            else if (n.type() == pugi::node_comment && !isAllowedComment(n.value()))
                found = {Refusal::Comment, n};
            else if (controls.forbidden)
                found = {Refusal::ControlCharacter, n};
            for (pugi::xml_attribute a = n.first_attribute(); checkValues && a && !found.node;
                 a = a.next_attribute())
                if (holdsForbiddenControl(a.value()))
                    found = {Refusal::ControlCharacter, n};
            return found.kind == Refusal::None;
        }
    } walker;
    walker.checkValues = checkValues;
    pugi::xml_node(doc).traverse(walker);
    walker.found.carriageReturnInText = walker.carriageReturnInText;
    return walker.found;
}

// Offset of the first control character that XML allows nowhere (those below U+0020 but tab, line
// feed and carriage return), or npos. The parser would take it, and the save would write it back
// as a character reference, which is not well-formed XML either.
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

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// What stands around the root element that XML does not allow there, and where. The parser
// drops text outside the root without a word and takes a declaration wherever it stands, which
// the save then writes first, so the file would declare an encoding it is not written in.
struct Misplaced {
    size_t at = std::string::npos;
    const char* what = nullptr;
};

Misplaced misplacedAroundRoot(std::string_view text) {
    constexpr std::string_view space = " \t\r\n";
    // Before the root: the declaration first, then comments, processing instructions and the
    // DOCTYPE. Markup left open is the parser's to report.
    for (size_t i = text.find_first_not_of(space); i != std::string_view::npos;
         i = text.find_first_not_of(space, i)) {
        std::string_view rest = text.substr(i);
        std::string_view end;
        if (rest.substr(0, 5) == "<?xml" && rest.size() > 5 && isXmlSpace(rest[5])) {
            if (i != text.find_first_not_of(space))
                return {i, "the XML declaration must stand at the start of the file"};
            end = "?>";
        } else if (rest.substr(0, 2) == "<?") {
            end = "?>";
        } else if (rest.substr(0, 4) == "<!--") {
            end = "-->";
        } else if (rest.substr(0, 9) == "<!DOCTYPE") {
            end = rest.find('[') < rest.find('>') ? "]>" : ">";
        } else if (rest.front() == '<') {
            break; // the root element
        } else {
            return {i, "text before the root element"};
        }
        const size_t close = text.find(end, i + 2);
        if (close == std::string_view::npos)
            return {};
        i = close + end.size();
    }
    // After the root: only comments and processing instructions, read from the end backwards.
    size_t last = text.find_last_not_of(space);
    while (last != std::string_view::npos) {
        const std::string_view upto = text.substr(0, last + 1);
        size_t open = std::string_view::npos;
        if (upto.size() >= 3 && upto.substr(upto.size() - 3) == "-->")
            open = upto.rfind("<!--");
        else if (upto.size() >= 2 && upto.substr(upto.size() - 2) == "?>")
            open = upto.rfind("<?");
        else if (upto.back() == '>')
            return {}; // the end of the root element
        else {
            const size_t markupEnd = upto.find_last_of('>');
            const size_t start = markupEnd == std::string_view::npos ? 0 : markupEnd + 1;
            return {text.find_first_not_of(space, start), "text after the root element"};
        }
        if (open == std::string_view::npos || open == 0)
            return {};
        last = text.find_last_not_of(space, open - 1);
    }
    return {};
}

} // namespace

// Reads the file and brings it to UTF-8, refusing what could not be written back faithfully.
static DecodedText decodeFile(const std::string& path) {
    Buffer raw = readWholeFile(path);
    const auto* s = reinterpret_cast<const unsigned char*>(raw.data);
    size_t n = raw.size;

    if (n >= 4 && ((s[0] == 0 && s[1] == 0 && s[2] == 0xFE && s[3] == 0xFF) ||
                   (s[0] == 0xFF && s[1] == 0xFE && s[2] == 0 && s[3] == 0)))
        throw Error(path + ": UTF-32 files are not supported");
    if (n >= 2 && s[0] == 0xFF && s[1] == 0xFE) {
        DecodedText d = decodeUtf16(path, s + 2, n - 2, true);
        d.bom = true;
        return d;
    }
    if (n >= 2 && s[0] == 0xFE && s[1] == 0xFF) {
        DecodedText d = decodeUtf16(path, s + 2, n - 2, false);
        d.bom = true;
        return d;
    }
    if (n >= 4 && s[0] == '<' && s[1] == 0 && s[2] == '?' && s[3] == 0)
        return decodeUtf16(path, s, n, true);
    if (n >= 4 && s[0] == 0 && s[1] == '<' && s[2] == 0 && s[3] == '?')
        return decodeUtf16(path, s, n, false);

    DecodedText d;
    size_t start = 0;
    if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) {
        d.bom = true;
        start = 3;
    }
    std::string decl = declaredEncoding(std::string_view(raw.data + start, n - start));
    if (d.bom && !decl.empty() && !isUtf8Name(decl))
        throw Error(
            path +
            ": the file starts with a UTF-8 byte-order mark but its declaration says encoding=\"" +
            decl + "\"");

    if (decl.empty() || isUtf8Name(decl) || isAsciiName(decl)) {
        d.encoding = isAsciiName(decl) ? Encoding::Ascii : Encoding::Utf8;
        size_t bad = invalidUtf8At(s + start, n - start);
        if (d.encoding == Encoding::Ascii && bad == std::string::npos) {
            auto it = std::find_if(s + start, s + n, [](unsigned char c) { return c >= 0x80; });
            if (it != s + n)
                bad = size_t(it - (s + start));
        }
        if (bad != std::string::npos)
            throw Error(place(path, raw.data + start, n - start, bad) + ": the text is not valid " +
                        (d.encoding == Encoding::Ascii ? "US-ASCII" : "UTF-8") +
                        (decl.empty() ? " (the file declares no encoding, so it must be UTF-8)"
                                      : ", as the file declares"));
        if (start) {
            std::memmove(raw.data, raw.data + 3, n - 3);
            raw.size -= 3;
        }
        d.utf8 = std::move(raw);
        return d;
    }
    if (isLatin1Name(decl)) {
        std::string out;
        out.reserve(n + n / 16);
        for (size_t i = 0; i < n; ++i)
            appendUtf8(out, s[i]);
        d.utf8 = toBuffer(out);
        d.encoding = Encoding::Latin1;
        return d;
    }
    if (isUtf16Name(decl))
        throw Error(path + ": the declaration says encoding=\"" + decl +
                    "\" but the file is not stored as UTF-16");
    throw Error(path + ": the file declares encoding=\"" + decl +
                "\", which tidylander cannot write back faithfully; supported are UTF-8, UTF-16 "
                "and ISO-8859-1");
}

Document::Document() : doc_(std::make_unique<pugi::xml_document>()) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

Document Document::open(const std::string& path) {
    useDocumentMemory();
    Document d;
    d.path_ = path;
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(platform::pathFromUtf8(path), ec))
        return d;

    DecodedText text = decodeFile(path);
    if (size_t at = forbiddenControlAt(text.utf8.data, text.utf8.size); at != std::string::npos) {
        const auto c = static_cast<unsigned char>(text.utf8.data[at]);
        const std::string code =
            std::string("U+00") + "0123456789ABCDEF"[c >> 4] + "0123456789ABCDEF"[c & 0xF];
        throw Error(place(path, text.utf8.data, text.utf8.size, at) +
                    ": not well-formed XML: the control character " + code +
                    ", which XML does not allow");
    }
    // Reported once the parser has found no fault of its own: a file cut short or no XML at all
    // is better described by its words.
    const Misplaced misplaced =
        misplacedAroundRoot(std::string_view(text.utf8.data, text.utf8.size));
    std::string misplacedPlace;
    if (misplaced.what)
        misplacedPlace = place(path, text.utf8.data, text.utf8.size, misplaced.at);
    const BadReference badReference = firstBadReference(text.utf8.data, text.utf8.size);
    // Only a reference can bring a control character into a parsed value.
    const bool hasCharacterReference =
        std::string_view(text.utf8.data, text.utf8.size).find("&#") != std::string_view::npos;
    std::string badReferencePlace;
    if (badReference.at != std::string::npos)
        badReferencePlace = place(path, text.utf8.data, text.utf8.size, badReference.at);
    // The parser drops the indentation; dropping it first keeps it out of the document's memory,
    // the file's text plus 64 bytes per element and 40 per attribute. Offsets into the text the
    // parser reads are mapped back to the file by where().
    const size_t size = dropSpaceBetweenMarkup(text.utf8.data, text.utf8.size);
    releaseTailOfBlock(text.utf8.data, size);
    char* data = text.utf8.release();
    pugi::xml_parse_result r =
        d.doc_->load_buffer_inplace_own(data, size, kParseOptions, pugi::encoding_utf8);
    if (!r) {
        // The parser changes the buffer in place; count lines on a fresh copy of the text.
        DecodedText again = decodeFile(path);
        const size_t at = offsetBeforeDroppingSpace(again.utf8.data, again.utf8.size,
                                                    size_t(std::max<ptrdiff_t>(r.offset, 0)));
        throw Error(place(path, again.utf8.data, again.utf8.size, at) +
                    ": not well-formed XML: " + r.description());
    }
    d.encoding_ = text.encoding;
    d.bom_ = text.bom;
    d.loaded_ = true; // from here on errors can name their place

    for (pugi::xml_node n = d.doc_->first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype && std::strstr(n.value(), "<!ENTITY"))
            throw Error(d.where(n) +
                        ": the DOCTYPE declares entities; tidylander neither expands "
                        "nor fetches entities and could not write them back faithfully");
        // The parser takes more than one; every operation would only ever see the first.
        if (n.type() == pugi::node_element && n != d.doc_->document_element())
            throw Error(d.where(n) + ": not well-formed XML: a second root element");
    }
    if (misplaced.what)
        throw Error(misplacedPlace + ": not well-formed XML: " + misplaced.what);
    const Refusal refused = firstRefusal(*d.doc_, hasCharacterReference);
    if (refused.kind == Refusal::TooDeep)
        throw Error(d.where(refused.node) + ": elements nested more than " +
                    std::to_string(kMaxDepth) +
                    " levels deep; tidylander refuses such a file, as its save would indent "
                    "every line by its depth");
    if (refused.kind == Refusal::Comment)
        throw Error(d.where(refused.node) +
                    ": not well-formed XML: a comment holds \"--\" or ends in \"-\"");
    if (badReference.kind == Reference::IllegalCharacter ||
        refused.kind == Refusal::ControlCharacter)
        throw Error((badReference.kind == Reference::IllegalCharacter ? badReferencePlace
                                                                      : d.where(refused.node)) +
                    ": not well-formed XML: a character reference to a character that XML does "
                    "not allow");
    if (badReference.kind == Reference::UndeclaredEntity)
        throw Error(badReferencePlace +
                    ": a reference to an undeclared entity; tidylander neither "
                    "expands nor fetches entities and could not write it back faithfully");
    d.carriageReturnInText_ = refused.carriageReturnInText;
    return d;
}

pugi::xml_node Document::root() const {
    return doc_->document_element();
}

std::string Document::where(pugi::xml_node node) const {
    ptrdiff_t offset = node ? node.offset_debug() : -1;
    if (offset < 0 || !loaded_)
        return path_;
    try {
        // The parsed buffer was changed in place; line numbers come from the text on disk.
        DecodedText text = decodeFile(path_);
        // offset_debug points at a name or a value inside the markup; report the '<' that
        // opens it. Text nodes have no markup of their own.
        if (text.utf8.size == 0)
            return path_;
        size_t at =
            std::min(offsetBeforeDroppingSpace(text.utf8.data, text.utf8.size, size_t(offset)),
                     text.utf8.size - 1);
        if (node.type() != pugi::node_pcdata) {
            while (at > 0 && text.utf8.data[at] != '<')
                --at;
        }
        return place(path_, text.utf8.data, text.utf8.size, at);
    } catch (const Error&) {
        return path_;
    }
}

bool Document::canEncode(std::string_view utf8) const {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    if (invalidUtf8At(s, utf8.size()) != std::string::npos)
        return false;
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = s[i];
        // XML 1.0 cannot hold these control characters in any encoding.
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
        if (c >= 0x80) {
            if (encoding_ == Encoding::Ascii)
                return false;
            // Latin-1 holds U+0080..U+00FF, whose UTF-8 lead bytes are C2 and C3.
            if (encoding_ == Encoding::Latin1 && c >= 0xC4)
                return false;
        }
    }
    return true;
}

namespace {

// pugixml writes a carriage return in element text as it is, and every reader takes a bare one
// for a line feed. Each control character that XML allows nowhere it writes as "&#NN;", with two
// decimal digits, and the document holds none of them: the load and the setters refuse them. So
// for the save each carriage return in text is lent such a character, and its reference in the
// output becomes "&#13;", of the same length. Comments, processing instructions, CDATA sections
// and the DOCTYPE are written as they are; the character lent is one whose reference none of
// them holds.
struct TextCarriageReturns {
    std::vector<char*> at; // in the values of text nodes and of elements holding their text
    char lent = 0;         // 0 when every candidate's reference is taken
    pugi::xml_node cdata;  // a CDATA section holding one, which no save can keep
};

TextCarriageReturns findTextCarriageReturns(pugi::xml_document& doc) {
    struct Walker final : pugi::xml_tree_walker {
        TextCarriageReturns found;
        bool taken[32] = {};
        bool for_each(pugi::xml_node& n) override {
            // The tree's values are the document's own writable memory.
            char* value = const_cast<char*>(n.value());
            switch (n.type()) {
            case pugi::node_pcdata:
            case pugi::node_element:
                for (char* c = std::strchr(value, '\r'); c; c = std::strchr(c + 1, '\r'))
                    found.at.push_back(c);
                break;
            case pugi::node_cdata:
                if (!found.cdata && std::strchr(value, '\r'))
                    found.cdata = n;
                [[fallthrough]];
            default:
                for (const char* r = std::strstr(value, "&#"); r; r = std::strstr(r + 2, "&#")) {
                    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
                    if (digit(r[2]) && digit(r[3]) && r[4] == ';') {
                        const int code = (r[2] - '0') * 10 + (r[3] - '0');
                        if (code < 32)
                            taken[code] = true;
                    }
                }
                break;
            }
            return true;
        }
    } walker;
    doc.traverse(walker);
    for (char c = 1; c < 32 && !walker.found.lent; ++c)
        if (c != '\t' && c != '\n' && c != '\r' && !walker.taken[int(c)])
            walker.found.lent = c;
    return walker.found;
}

// Lends the character for as long as it lives, whatever ends the save.
class LentCharacter {
public:
    explicit LentCharacter(const TextCarriageReturns& returns) : at_(returns.at) {
        for (char* c : at_)
            *c = returns.lent;
    }
    ~LentCharacter() {
        for (char* c : at_)
            *c = '\r';
    }
    LentCharacter(const LentCharacter&) = delete;
    LentCharacter& operator=(const LentCharacter&) = delete;

private:
    const std::vector<char*>& at_;
};

// `ascii` as the save writes it in `encoding`.
std::string encodedAs(std::string_view ascii, pugi::xml_encoding encoding) {
    if (encoding != pugi::encoding_utf16_le && encoding != pugi::encoding_utf16_be)
        return std::string(ascii);
    std::string out;
    for (char c : ascii) {
        out += encoding == pugi::encoding_utf16_le ? c : '\0';
        out += encoding == pugi::encoding_utf16_le ? '\0' : c;
    }
    return out;
}

// Passes the output on with every reference to the lent character turned into "&#13;"; in UTF-16
// a match counts only where a character starts. pugixml 1.13 hands a reference over in one piece,
// but nothing promises that: the end of each chunk waits for the next, where a reference may go
// on.
class CarriageReturnWriter final : public pugi::xml_writer {
public:
    CarriageReturnWriter(pugi::xml_writer& out, char lent, pugi::xml_encoding encoding)
        : out_(out),
          unit_(encoding == pugi::encoding_utf16_le || encoding == pugi::encoding_utf16_be ? 2
                                                                                           : 1) {
        const char code[] = {'&', '#', char('0' + lent / 10), char('0' + lent % 10), ';'};
        from_ = encodedAs(std::string_view(code, sizeof code), encoding);
        to_ = encodedAs("&#13;", encoding);
    }
    void write(const void* data, size_t size) override {
        pending_.append(static_cast<const char*>(data), size);
        for (size_t at = pending_.find(from_); at != std::string::npos;
             at = pending_.find(from_, at + 1)) {
            if ((written_ + at) % unit_ == 0)
                pending_.replace(at, to_.size(), to_);
        }
        if (pending_.size() >= from_.size()) {
            const size_t ready = pending_.size() - (from_.size() - 1);
            out_.write(pending_.data(), ready);
            pending_.erase(0, ready);
            written_ += ready;
        }
    }
    // Passes on what is held back; call once the save has returned.
    void finish() {
        out_.write(pending_.data(), pending_.size());
        written_ += pending_.size();
        pending_.clear();
    }

private:
    pugi::xml_writer& out_;
    size_t unit_;
    std::string from_, to_, pending_;
    size_t written_ = 0;
};

} // namespace

void Document::save(const std::string& destination) const {
    if (!loaded_)
        throw Error((destination.empty() ? path_ : destination) +
                    ": nothing to save: no file was loaded from \"" + path_ + "\"");
    if (destination.empty())
        throw Error(path_ + ": no destination to save to");
    // Looked at before anything is written, so that a refusal leaves no file behind.
    TextCarriageReturns returns;
    if (carriageReturnInText_) {
        returns = findTextCarriageReturns(*doc_);
        if (returns.cdata)
            throw Error(destination + ": cannot save: " + where(returns.cdata) +
                        ": a CDATA section holds a carriage return, which every reader would "
                        "take for a line feed");
        if (!returns.at.empty() && !returns.lent)
            throw Error(destination +
                        ": cannot save: a carriage return in element text cannot be written back "
                        "faithfully, as the comments, processing instructions, CDATA sections or "
                        "DOCTYPE of the document hold every one of the texts \"&#01;\" to "
                        "\"&#31;\"");
    }

    AtomicFile file(destination);

    pugi::xml_encoding enc = pugi::encoding_utf8;
    switch (encoding_) {
    case Encoding::Utf16LE:
        enc = pugi::encoding_utf16_le;
        break;
    case Encoding::Utf16BE:
        enc = pugi::encoding_utf16_be;
        break;
    case Encoding::Latin1:
        enc = pugi::encoding_latin1;
        break;
    case Encoding::Utf8:
    case Encoding::Ascii:
        break;
    }
    unsigned flags = pugi::format_indent | pugi::format_no_declaration;
    if (bom_)
        flags |= pugi::format_write_bom;

    if (returns.at.empty()) {
        doc_->save(file, "\t", flags, enc);
    } else {
        const LentCharacter lent(returns);
        CarriageReturnWriter rewriter(file, returns.lent, enc);
        doc_->save(rewriter, "\t", flags, enc);
        rewriter.finish();
    }
    file.commit();
}

} // namespace tidy
