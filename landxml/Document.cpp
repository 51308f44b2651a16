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
#include <optional>
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
        // U+FFFE and U+FFFF are valid UTF-8 but no XML character: the caller tells them apart.
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF) || cp >= 0xFFFE)) ||
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
        throw Error(path + ": the file is stored as UTF-16 but its declaration says encoding=" +
                    quotedText(decl));
    // The bytes' order is what they are read in; a declared variant must not say otherwise.
    if (decl == (littleEndian ? "utf-16be" : "utf-16le"))
        throw Error(path + ": the file is stored as UTF-16" + (littleEndian ? "LE" : "BE") +
                    " but its declaration says encoding=" + quotedText(decl));
    return d;
}

// Line and column (1-based, columns in characters) of a byte offset in UTF-8 text.
std::pair<size_t, size_t> lineAndColumn(const char* text, size_t size, size_t offset) {
    offset = std::min(offset, size);
    size_t line = 1, column = 1;
    for (size_t i = 0; i < offset; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        // A lone carriage return ends a line as well; in CR LF the line feed does.
        if (c == '\n' || (c == '\r' && (i + 1 >= size || text[i + 1] != '\n'))) {
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

// Deeper than any LandXML file goes. The save indents every line by its depth, so deep nesting
// would be written back many times its size: 100 000 levels in 700 kB come back as 10 GB.
constexpr int kMaxDepth = 256;

// A node that the save could not write back as it was read.
struct Refusal {
    enum Kind { None, TooDeep, Comment, ControlCharacter, DuplicateAttribute };
    Kind kind = None;
    pugi::xml_node node;
    const char* attribute = nullptr;   // the one given twice
    bool carriageReturnInText = false; // in element text; found only when values are checked
    bool beyondEncoding = false;       // a value the encoding cannot hold; as above
};

// The control characters in a parsed value: raw ones other than tab and line feed are refused or
// normalised before parsing, so these came from references, as did any character at or above
// `beyond` (a UTF-8 byte; 0x100 for none), which the file's encoding cannot hold.
struct Controls {
    bool forbidden = false; // one that XML allows nowhere
    bool carriageReturn = false;
    bool beyond = false;
};

Controls controlsIn(const char* value, unsigned beyond) {
    Controls found;
    for (; *value; ++value) {
        const unsigned char c = static_cast<unsigned char>(*value);
        if (c >= beyond) {
            found.beyond = true;
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            if (c != '\r') {
                found.forbidden = true;
                break;
            }
            found.carriageReturn = true;
        }
    }
    return found;
}

// Whether XML allows this comment text: no "--" inside, no "-" at the end. The parser takes
// either, but the save would have to change the comment to write a well-formed file.
bool isAllowedComment(std::string_view text) {
    return text.find("--") == std::string_view::npos && (text.empty() || text.back() != '-');
}

// The name of an attribute given twice among `first` and those after it, which the parser takes;
// nullptr for none.
const char* givenTwice(pugi::xml_attribute first) {
    size_t count = 0;
    for (pugi::xml_attribute a = first; a && count <= 8; a = a.next_attribute())
        ++count;
    if (count <= 8) { // the usual few: no allocation
        for (pugi::xml_attribute a = first; a; a = a.next_attribute())
            for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
                if (std::strcmp(a.name(), b.name()) == 0)
                    return a.name();
        return nullptr;
    }
    std::vector<std::string_view> names;
    for (pugi::xml_attribute a = first; a; a = a.next_attribute())
        names.push_back(a.name());
    std::sort(names.begin(), names.end());
    const auto twice = std::adjacent_find(names.begin(), names.end());
    return twice == names.end() ? nullptr : twice->data();
}

// The first element nested more than kMaxDepth levels deep, comment that XML does not allow,
// element with an attribute given twice or, with `checkValues`, node with a forbidden control
// character in its value or an attribute. With `checkValues` it also tells whether element text
// holds a carriage return and whether a value holds a character at or above `beyond`. pugixml's
// own traversal is iterative (a recursive walk would itself run out of stack on a deep file) and,
// with one call per node, fast enough to run over every node of every file loaded.
Refusal firstRefusal(const pugi::xml_document& doc, bool checkValues, unsigned beyond) {
    struct Walker final : pugi::xml_tree_walker {
        bool checkValues = false;
        unsigned beyond = 0x100;
        Refusal found;
        bool for_each(pugi::xml_node& n) override {
            const Controls controls = checkValues ? controlsIn(n.value(), beyond) : Controls{};
            const pugi::xml_node_type type = n.type();
            const bool text = type == pugi::node_pcdata || type == pugi::node_element;
            found.carriageReturnInText |= controls.carriageReturn && text;
            found.beyondEncoding |= controls.beyond && text;
            if (depth() >= kMaxDepth && type == pugi::node_element)
                found.kind = Refusal::TooDeep;
            else if (type == pugi::node_comment && !isAllowedComment(n.value()))
                found.kind = Refusal::Comment;
            else if (controls.forbidden)
                found.kind = Refusal::ControlCharacter;
            // Most elements carry one attribute or none: the library's calls are what costs here.
            const pugi::xml_attribute first = n.first_attribute();
            if (found.kind == Refusal::None && first && first.next_attribute() &&
                (found.attribute = givenTwice(first)))
                found.kind = Refusal::DuplicateAttribute;
            for (pugi::xml_attribute a = first; checkValues && a && found.kind == Refusal::None;
                 a = a.next_attribute()) {
                const Controls inValue = controlsIn(a.value(), beyond);
                found.beyondEncoding |= inValue.beyond;
                if (inValue.forbidden)
                    found.kind = Refusal::ControlCharacter;
            }
            if (found.kind != Refusal::None)
                found.node = n;
            return found.kind == Refusal::None;
        }
    } walker;
    walker.checkValues = checkValues;
    walker.beyond = beyond;
    pugi::xml_node(doc).traverse(walker);
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

// The text of a file that a byte-order mark or its first bytes show to be UTF-16.
DecodedText decodeUtf16File(const std::string& path, const unsigned char* s, size_t n) {
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
    if (s[0] == '<')
        return decodeUtf16(path, s, n, true);
    return decodeUtf16(path, s, n, false);
}

bool isNoncharacterAt(const char* text, size_t size, size_t at) {
    return size - at >= 3 && std::memcmp(text + at, "\xEF\xBF", 2) == 0 &&
           (text[at + 2] == '\xBE' || text[at + 2] == '\xBF');
}

Error noncharacterError(const std::string& path, const char* text, size_t size, size_t at) {
    return Error(place(path, text, size, at) + ": not well-formed XML: the character U+FFF" +
                 (text[at + 2] == '\xBE' ? "E" : "F") + ", which XML does not allow");
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
    if ((n >= 2 && ((s[0] == 0xFF && s[1] == 0xFE) || (s[0] == 0xFE && s[1] == 0xFF))) ||
        (n >= 4 && ((s[0] == '<' && s[1] == 0 && s[2] == '?' && s[3] == 0) ||
                    (s[0] == 0 && s[1] == '<' && s[2] == 0 && s[3] == '?')))) {
        DecodedText d = decodeUtf16File(path, s, n);
        if (const size_t at =
                invalidUtf8At(reinterpret_cast<const unsigned char*>(d.utf8.data), d.utf8.size);
            at != std::string::npos)
            throw noncharacterError(path, d.utf8.data, d.utf8.size, at);
        return d;
    }
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
            ": the file starts with a UTF-8 byte-order mark but its declaration says encoding=" +
            quotedText(decl));

    if (decl.empty() || isUtf8Name(decl) || isAsciiName(decl)) {
        d.encoding = isAsciiName(decl) ? Encoding::Ascii : Encoding::Utf8;
        size_t bad = invalidUtf8At(s + start, n - start);
        if (d.encoding == Encoding::Ascii && bad == std::string::npos) {
            auto it = std::find_if(s + start, s + n, [](unsigned char c) { return c >= 0x80; });
            if (it != s + n)
                bad = size_t(it - (s + start));
        }
        if (bad != std::string::npos && isNoncharacterAt(raw.data + start, n - start, bad))
            throw noncharacterError(path, raw.data + start, n - start, bad);
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
        throw Error(path + ": the declaration says encoding=" + quotedText(decl) +
                    " but the file is not stored as UTF-16");
    throw Error(path + ": the file declares encoding=" + quotedText(decl) +
                ", which tidylander cannot write back faithfully; supported are UTF-8, UTF-16 "
                "and ISO-8859-1");
}

Document::Document() : doc_(std::make_unique<pugi::xml_document>()) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

namespace {

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

// How the file ends its lines, by the first line end in it.
LineEnd lineEndOf(const char* text, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (text[i] == '\n')
            return LineEnd::Lf;
        if (text[i] == '\r')
            return i + 1 < size && text[i + 1] == '\n' ? LineEnd::CrLf : LineEnd::Cr;
    }
    return LineEnd::Lf;
}

// A name for a message: a hostile file's may run to megabytes.
std::string quoted(std::string_view name) {
    constexpr size_t kMax = 64;
    if (name.size() <= kMax)
        return std::string(name);
    size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(name.substr(0, cut)) + "...";
}

bool isBlank(const char* text) {
    return text[std::strspn(text, " \t\r\n")] == '\0';
}

// Whether the element holds text beside other children: then the whitespace between them is
// content, and the save adds none.
bool holdsText(pugi::xml_node element) {
    if (!isBlank(element.value()))
        return true;
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_cdata || (c.type() == pugi::node_pcdata && !isBlank(c.value())))
            return true;
    return false;
}

bool preserves(pugi::xml_node element, bool inherited) {
    const pugi::xml_attribute space = element.attribute("xml:space");
    return space ? std::strcmp(space.value(), "preserve") == 0 : inherited;
}

// Drops the whitespace-only text the parser kept where it is not content: in elements that hold
// no other text and are not under xml:space="preserve". The depth is bounded by the load.
void dropSpaceThatIsNotContent(pugi::xml_node element, bool preserve) {
    preserve = preserves(element, preserve);
    if (!preserve && !holdsText(element)) {
        if (*element.value())
            element.text().set("");
        for (pugi::xml_node c = element.first_child(), next; c; c = next) {
            next = c.next_sibling();
            if (c.type() == pugi::node_pcdata)
                element.remove_child(c);
        }
    }
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            dropSpaceThatIsNotContent(c, preserve);
}

} // namespace

Document Document::open(const std::string& path) {
    useDocumentMemory();
    Document d;
    d.path_ = path;
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(platform::pathFromUtf8(path), ec))
        return d;

    d.stamp_ = stampOf(path); // before the read: a change while reading is then seen as one
    DecodedText text = decodeFile(path);
    refuseForbiddenControl(path, text);
    d.lineEnd_ = lineEndOf(text.utf8.data, text.utf8.size);
    // Only a reference can bring a control character, or one the encoding cannot hold, into a
    // parsed value.
    const bool hasCharacterReference =
        std::string_view(text.utf8.data, text.utf8.size).find("&#") != std::string_view::npos;
    // The parser drops the indentation; dropping it first keeps it out of the document's memory,
    // the file's text plus 64 bytes per element and 40 per attribute. Offsets into the text the
    // parser reads are mapped back to the file by where().
    MarkupScan scan = scanMarkup(text.utf8.data, text.utf8.size);
    unsigned options = kParseOptions;
    if (scan.spaceIsContent) {
        // Text beside elements, or xml:space: the parser keeps every whitespace text of the text
        // as it was, and the load drops those that are not content.
        text = decodeFile(path);
        scan.size = text.utf8.size;
        options |= pugi::parse_ws_pcdata;
    }
    d.spaceDropped_ = !scan.spaceIsContent;
    releaseTailOfBlock(text.utf8.data, scan.size);
    char* data = text.utf8.release();
    pugi::xml_parse_result r =
        d.doc_->load_buffer_inplace_own(data, scan.size, options, pugi::encoding_utf8);
    if (!r) {
        // The parser changes the buffer in place; count lines on a fresh copy of the text.
        DecodedText again = decodeFile(path);
        size_t at = size_t(std::max<ptrdiff_t>(r.offset, 0));
        if (d.spaceDropped_)
            at = offsetBeforeDroppingSpace(again.utf8.data, again.utf8.size, at);
        throw Error(place(path, again.utf8.data, again.utf8.size, at) +
                    ": not well-formed XML: " + r.description());
    }
    d.encoding_ = text.encoding;
    d.bom_ = text.bom;
    d.loaded_ = true; // from here on errors can name their place
    d.refuseWhatTheParserTook(scan, hasCharacterReference);
    if (scan.spaceIsContent) {
        dropSpaceThatIsNotContent(d.root(), false);
        d.spaceIsContent_ = true;
    }
    return d;
}

// The parser takes more than XML allows; what it took is refused here, with its place. Faults
// are reported once the parser has found none of its own: a file cut short or no XML at all is
// better described by its words.
void Document::refuseWhatTheParserTook(const MarkupScan& scan, bool checkValues) {
    for (pugi::xml_node n = doc_->first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_doctype && std::strstr(n.value(), "<!ENTITY"))
            throw Error(where(n) + ": the DOCTYPE declares entities; tidylander neither expands "
                                   "nor fetches entities and could not write them back faithfully");
    if (scan.fault) {
        const DecodedText text = decodeFile(path_);
        throw Error(place(path_, text.utf8.data, text.utf8.size, scan.faultAt) + ": " + scan.fault);
    }
    const unsigned beyond = encoding_ == Encoding::Latin1  ? 0xC4
                            : encoding_ == Encoding::Ascii ? 0x80
                                                           : 0x100;
    const Refusal refused = firstRefusal(*doc_, checkValues, beyond);
    switch (refused.kind) {
    case Refusal::None:
        break;
    case Refusal::TooDeep:
        throw Error(where(refused.node) + ": elements nested more than " +
                    std::to_string(kMaxDepth) +
                    " levels deep; tidylander refuses such a file, as its save would indent "
                    "every line by its depth");
    case Refusal::Comment:
        throw Error(where(refused.node) +
                    ": not well-formed XML: a comment holds \"--\" or ends in \"-\"");
    case Refusal::ControlCharacter:
        throw Error(where(refused.node) +
                    ": not well-formed XML: a character reference to a character that XML does "
                    "not allow");
    case Refusal::DuplicateAttribute:
        throw Error(where(refused.node) + ": not well-formed XML: the attribute \"" +
                    quoted(refused.attribute) + "\" is given twice");
    }
    carriageReturnInText_ = refused.carriageReturnInText;
    beyondEncoding_ = refused.beyondEncoding;
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
        size_t at = size_t(offset);
        if (spaceDropped_)
            at = offsetBeforeDroppingSpace(text.utf8.data, text.utf8.size, at);
        at = std::min(at, text.utf8.size - 1);
        if (node.type() != pugi::node_pcdata) {
            while (at > 0 && text.utf8.data[at] != '<')
                --at;
        }
        return place(path_, text.utf8.data, text.utf8.size, at);
    } catch (const Error&) {
        return path_;
    }
}

bool Document::canHold(std::string_view utf8) const {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    if (invalidUtf8At(s, utf8.size()) != std::string::npos)
        return false;
    // XML 1.0 cannot hold these control characters in any encoding.
    return std::none_of(s, s + utf8.size(), [](unsigned char c) {
        return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
    });
}

void Document::noteStored(std::string_view value, bool inText, bool besideMarkup) const {
    if (inText && value.find('\r') != std::string_view::npos)
        carriageReturnInText_ = true;
    // Latin-1 holds U+0080..U+00FF, whose UTF-8 lead bytes are C2 and C3.
    const unsigned char beyond = encoding_ == Encoding::Latin1  ? 0xC4
                                 : encoding_ == Encoding::Ascii ? 0x80
                                                                : 0;
    if (beyond && std::any_of(value.begin(), value.end(),
                              [&](char c) { return static_cast<unsigned char>(c) >= beyond; }))
        beyondEncoding_ = true;
    if (inText && besideMarkup)
        spaceIsContent_ = true;
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

// Passes UTF-8 output on in the file's encoding with the file's line ends. A character the
// encoding cannot hold becomes a character reference: the save refuses beforehand every place
// where XML has none, so each one stands in text or an attribute value.
class Recoder final : public pugi::xml_writer {
public:
    Recoder(pugi::xml_writer& out, Encoding encoding, LineEnd lineEnd)
        : out_(out), encoding_(encoding), lineEnd_(lineEnd) {}
    void write(const void* data, size_t size) override {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            take(p[i]);
        out_.write(buf_.data(), buf_.size());
        buf_.clear();
    }

private:
    void take(unsigned char b) {
        if (need_ > 0) {
            cp_ = (cp_ << 6) | (b & 0x3F);
            if (--need_ == 0)
                lineEnd(cp_);
            return;
        }
        need_ = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        cp_ = need_ == 0 ? b : b & (0x3F >> need_);
        if (need_ == 0)
            lineEnd(cp_);
    }
    void lineEnd(uint32_t cp) {
        const bool afterCr = previous_ == '\r';
        previous_ = cp;
        if (cp != '\n' || lineEnd_ == LineEnd::Lf)
            return put(cp);
        if (lineEnd_ == LineEnd::Cr) {
            if (!afterCr)
                put('\r');
            return;
        }
        if (!afterCr)
            put('\r');
        put('\n');
    }
    void put(uint32_t cp) {
        switch (encoding_) {
        case Encoding::Utf8:
            return appendUtf8(buf_, cp);
        case Encoding::Latin1:
        case Encoding::Ascii:
            if (cp < (encoding_ == Encoding::Latin1 ? 0x100u : 0x80u))
                buf_ += char(cp);
            else
                buf_ += "&#" + std::to_string(cp) + ";";
            return;
        case Encoding::Utf16LE:
        case Encoding::Utf16BE:
            if (cp >= 0x10000) {
                unit(0xD800 + ((cp - 0x10000) >> 10));
                return unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
            }
            return unit(cp);
        }
    }
    void unit(uint32_t u) {
        const char hi = char(u >> 8), lo = char(u & 0xFF);
        buf_ += encoding_ == Encoding::Utf16LE ? lo : hi;
        buf_ += encoding_ == Encoding::Utf16LE ? hi : lo;
    }
    pugi::xml_writer& out_;
    Encoding encoding_;
    LineEnd lineEnd_;
    uint32_t cp_ = 0;
    int need_ = 0;
    uint32_t previous_ = 0;
    std::string buf_;
};

// Empty text nodes lent to the elements whose children the save must not indent, for as long as
// it lives: pugixml adds no whitespace next to text, and writes nothing for an empty one.
class SpaceKeepers {
public:
    explicit SpaceKeepers(pugi::xml_node root) { lend(root, false); }
    ~SpaceKeepers() {
        for (pugi::xml_node n : lent_)
            n.parent().remove_child(n);
    }
    SpaceKeepers(const SpaceKeepers&) = delete;
    SpaceKeepers& operator=(const SpaceKeepers&) = delete;

private:
    static bool isText(pugi::xml_node n) {
        return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
    }
    void lend(pugi::xml_node element, bool preserve) {
        preserve = preserves(element, preserve);
        if (element.first_child() && (preserve || holdsText(element))) {
            bool afterText = *element.value() != '\0';
            for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
                if (!afterText && !isText(c))
                    lent_.push_back(element.insert_child_before(pugi::node_pcdata, c));
                afterText = isText(c);
            }
            if (!afterText)
                lent_.push_back(element.append_child(pugi::node_pcdata));
        }
        for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element)
                lend(c, preserve);
    }
    std::vector<pugi::xml_node> lent_;
};

// Where XML has no character reference: a name, a comment, an instruction, CDATA, a DOCTYPE.
struct Unreferenced {
    pugi::xml_node node;
    const char* what = nullptr;
};

Unreferenced firstBeyondWithoutReference(const pugi::xml_document& doc, unsigned char beyond) {
    struct Walker final : pugi::xml_tree_walker {
        unsigned char beyond = 0x80;
        Unreferenced found;
        bool holds(const char* s) const {
            for (; *s; ++s)
                if (static_cast<unsigned char>(*s) >= beyond)
                    return true;
            return false;
        }
        bool for_each(pugi::xml_node& n) override {
            const bool element = n.type() == pugi::node_element;
            if (element && holds(n.name()))
                found = {n, "the element name"};
            for (pugi::xml_attribute a = n.first_attribute(); a && !found.what;
                 a = a.next_attribute())
                if (holds(a.name()))
                    found = {n, "an attribute name"};
            if (!found.what && !element && n.type() != pugi::node_pcdata && holds(n.value()))
                found = {n, n.type() == pugi::node_comment ? "a comment"
                            : n.type() == pugi::node_cdata ? "a CDATA section"
                                                           : "markup"};
            return !found.what;
        }
    } walker;
    walker.beyond = beyond;
    pugi::xml_node(doc).traverse(walker);
    return walker.found;
}

} // namespace

void Document::save(const std::string& destination) const {
    if (!loaded_)
        throw Error((destination.empty() ? path_ : destination) +
                    ": nothing to save: no file was loaded from \"" + path_ + "\"");
    if (destination.empty())
        throw Error(path_ + ": no destination to save to");
    // Looked at before anything is written, so that a refusal leaves no file behind.
    refuseWhatCannotBeWritten(destination);

    AtomicFile file(destination, {path_, stamp_});

    serialize(file);
    file.commit();
}

void Document::refuseWhatCannotBeWritten(const std::string& destination) const {
    if (beyondEncoding_) {
        const bool latin1 = encoding_ == Encoding::Latin1;
        const Unreferenced found = firstBeyondWithoutReference(*doc_, latin1 ? 0xC4 : 0x80);
        if (found.what)
            throw Error(destination + ": cannot save: " + where(found.node) + ": " + found.what +
                        " holds a character that " + (latin1 ? "ISO-8859-1" : "US-ASCII") +
                        " cannot hold, and XML has no character reference there");
    }
    if (!carriageReturnInText_)
        return;
    const TextCarriageReturns returns = findTextCarriageReturns(*doc_);
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

// pugixml writes the document; the writers between it and `out` add what it cannot do itself,
// each only for the documents that need it.
void Document::serialize(pugi::xml_writer& out) const {
    const bool recode =
        lineEnd_ != LineEnd::Lf ||
        (beyondEncoding_ && (encoding_ == Encoding::Latin1 || encoding_ == Encoding::Ascii));
    pugi::xml_encoding enc = pugi::encoding_utf8;
    if (!recode && encoding_ == Encoding::Utf16LE)
        enc = pugi::encoding_utf16_le;
    else if (!recode && encoding_ == Encoding::Utf16BE)
        enc = pugi::encoding_utf16_be;
    else if (!recode && encoding_ == Encoding::Latin1)
        enc = pugi::encoding_latin1;
    unsigned flags = pugi::format_indent | pugi::format_no_declaration;
    if (bom_)
        flags |= pugi::format_write_bom;

    Recoder recoder(out, encoding_, lineEnd_);
    pugi::xml_writer& target = recode ? static_cast<pugi::xml_writer&>(recoder) : out;
    std::optional<SpaceKeepers> keepers;
    if (spaceIsContent_)
        keepers.emplace(doc_->document_element());
    const TextCarriageReturns returns =
        carriageReturnInText_ ? findTextCarriageReturns(*doc_) : TextCarriageReturns{};
    if (returns.at.empty()) {
        doc_->save(target, "\t", flags, enc);
        return;
    }
    const LentCharacter lent(returns);
    CarriageReturnWriter rewriter(target, returns.lent, enc);
    doc_->save(rewriter, "\t", flags, enc);
    rewriter.finish();
}

} // namespace tidy
