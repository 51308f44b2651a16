// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/KeptLayout.h"

#include "core/landxml/Error.h"
#include "core/landxml/MarkupSpace.h"
#include "core/landxml/Recoding.h"
#include "core/landxml/Utf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace tidy::detail {

namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::size_t kPiece = std::size_t(256) << 10;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A table of the bytes in `bytes`.
constexpr std::array<bool, 256> table(std::string_view bytes) {
    std::array<bool, 256> t{};
    for (char c : bytes)
        t[static_cast<unsigned char>(c)] = true;
    return t;
}
// What the parser reads otherwise than it stands, in an attribute value, text and CDATA.
constexpr std::array<bool, 256> kReadInValue = table("&\r\n\t");
constexpr std::array<bool, 256> kReadInText = table("&\r");
constexpr std::array<bool, 256> kReadInCdata = table("\r");
// What a written value or text may need a reference for.
constexpr std::array<bool, 256> kMayEscape = table("&<>\"'\r\t\n");

// Sixteen bytes at once, for the values and texts of a list of faces: a byte at a time, the end
// of each short value costs a mispredicted branch.
using Bytes = unsigned char __attribute__((vector_size(16)));
constexpr Bytes kLanes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

Bytes load16(const char* s) {
    Bytes v;
    std::memcpy(&v, s, sizeof v);
    return v;
}
// The lanes before `length`.
Bytes before(std::size_t length) {
    return (Bytes)(kLanes < static_cast<unsigned char>(std::min<std::size_t>(length, 16)));
}
bool any(Bytes marks) {
    std::uint64_t halves[2];
    std::memcpy(halves, &marks, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}
// The first lane `marks` sets, 16 for none.
unsigned firstLane(Bytes marks) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t halves[2];
        std::memcpy(halves, &marks, sizeof halves);
        if (halves[0])
            return unsigned(std::countr_zero(halves[0])) / 8;
        if (halves[1])
            return 8 + unsigned(std::countr_zero(halves[1])) / 8;
        return 16;
    } else {
        unsigned lane = 0;
        while (lane < 16 && !marks[lane])
            ++lane;
        return lane;
    }
}

// Whether none of the `length` bytes at `s` is one that `marks` (Bytes -> Bytes, nonzero lanes
// for the bytes sought) finds; `readable` bytes from `s` on may be read.
template <class Marks>
bool noneOf(const char* s, std::size_t length, std::size_t readable, Marks marks) {
    for (;;) {
        const std::size_t here = std::min<std::size_t>(length, 16);
        Bytes v = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
        if (readable >= 16)
            v = load16(s);
        else
            std::memcpy(&v, s, here);
        if (any(marks(v) & before(here)))
            return false;
        if (length <= 16)
            return true;
        s += 16;
        length -= 16;
        readable -= std::min<std::size_t>(readable, 16);
    }
}

// Bytes the parser reads otherwise than they stand in an attribute value: '&', and tab, line feed
// and carriage return, the only bytes below 0x20 the load let through. In a text only '&' and
// carriage return are, so a text with the others takes the full comparison.
Bytes readOtherwise(Bytes v) {
    return (Bytes)((v < 0x20) | (v == '&'));
}
Bytes mayEscape(Bytes v) {
    return (Bytes)((v < 0x20) | (v == '&') | (v == '<') | (v == '>') | (v == '"') | (v == '\''));
}

// One piece of element content in the file's text.
enum class Kind { Space, Text, StartTag, EmptyTag, EndTag, Comment, Instruction, Cdata, End };

struct Token {
    Kind kind = Kind::End;
    std::size_t begin = 0, end = 0;        // in the file's text
    std::size_t parsed = 0, parsedEnd = 0; // where it stands in the parsed text
};

// The character a reference at `s` (just past its '&') stands for, appended to `out`; `s` moves
// past the ';'. The load refused every other reference; `e` bounds the walk all the same, since
// the file is read again for the save.
void appendReference(const char*& s, const char* e, std::string& out) {
    static constexpr std::pair<std::string_view, char> named[] = {
        {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'}};
    const std::string_view rest(s, std::size_t(e - s));
    for (const auto& [name, c] : named) {
        if (rest.starts_with(name)) {
            out += c;
            s += name.size();
            return;
        }
    }
    const bool hex = rest.size() > 1 && s[1] == 'x';
    std::uint32_t cp = 0;
    for (s += hex ? 2 : 1; s < e && *s != ';'; ++s) {
        const char lower = char(*s | 0x20);
        cp = cp * (hex ? 16 : 10) + std::uint32_t(lower >= 'a' ? lower - 'a' + 10 : *s - '0');
    }
    ++s;
    appendUtf8(out, cp);
}

enum class Read { Attribute, Text, Cdata };

// Whether the file's text [b, e) reads as `value` once the parser has done with it: references
// resolved (not in CDATA), CR LF and CR read as LF, and in an attribute value each whitespace
// character, or CR LF, as one blank.
bool readsAs(const char* b, const char* e, const char* value, Read read) {
    const std::array<bool, 256>& special = read == Read::Attribute ? kReadInValue
                                           : read == Read::Text    ? kReadInText
                                                                   : kReadInCdata;
    const char* s = b;
    while (s != e && !special[static_cast<unsigned char>(*s)])
        ++s;
    const std::size_t length = std::size_t(e - b);
    if (s == e)
        return std::strncmp(value, b, length) == 0 && value[length] == '\0';
    std::string read_;
    read_.reserve(length);
    for (s = b; s < e;) {
        const char c = *s;
        if (c == '&' && read != Read::Cdata) {
            ++s;
            appendReference(s, e, read_);
            continue;
        }
        ++s;
        if (c == '\r' && s < e && *s == '\n')
            ++s;
        if (read == Read::Attribute && isSpace(c))
            read_ += ' ';
        else
            read_ += c == '\r' ? '\n' : c;
    }
    return read_ == value;
}

// How `c` stands between quotes `quote`, or in element text (quote 0); empty when as it is.
std::string_view escape(char c, char quote) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return quote == '"' ? "&quot;" : "";
    case '\'':
        return quote == '\'' ? "&apos;" : "";
    case '\r':
        return "&#13;"; // read back as a line feed otherwise
    case '\t':
        return quote ? "&#9;" : ""; // an attribute value reads it as a blank
    case '\n':
        return quote ? "&#10;" : "";
    default:
        return "";
    }
}

class LayoutWriter {
public:
    LayoutWriter(const Document& doc, std::string_view original, const ParsedText& parsed,
                 const LayoutSinks& sinks, const std::string& destination)
        : doc_(doc), t_(original.data()), n_(original.size()), parsed_(parsed), sinks_(sinks),
          destination_(destination) {
        gathered_.reserve(kHandOver + kGathered);
    }

    void note(pugi::xml_node node, bool wholeSubtree);
    void run();

private:
    const Document& doc_;
    const char* t_;
    std::size_t n_;
    ParsedText parsed_;
    const LayoutSinks& sinks_;
    const std::string& destination_;

    std::size_t at_ = 0;       // the next byte of the file's text to read
    std::size_t parsedAt_ = 0; // where it stands in the parsed text
    bool afterMarkup_ = false;
    std::size_t written_ = 0;  // the text before this is written, or left out on purpose
    std::size_t flushed_ = 0;  // the text before this has gone to the sink
    std::size_t released_ = 0; // the text before this was last reported done
    std::string_view emptyTag_ = "/>";
    // Where both sinks are one, as for UTF-8, the short runs of the file's text and the changes
    // between them, a few dozen bytes each in a list of faces, are gathered here and handed over
    // together.
    static constexpr std::size_t kGathered = 4096, kHandOver = std::size_t(16) << 10;
    const bool gather_ = &sinks_.original == &sinks_.changed;
    std::string gathered_;

    // Elements by their place in the parsed text, not their address: where the allocator put
    // them must not steer even the hash tables' work, or a fixed fuzzing run would vary with it.
    struct Edited {
        pugi::xml_node element;
        bool wholeSubtree = false;
    };
    std::unordered_map<std::size_t, Edited> edited_;
    std::unordered_set<std::size_t> above_; // the elements that hold edited ones
    bool marked(std::size_t key) const { return edited_.count(key) > 0 || above_.count(key) > 0; }

    // Where a node of the file begins in the parsed text (inside its markup), or npos for a
    // node an operation made.
    std::size_t keyOf(pugi::xml_node n) const {
        // A name within the parsed text is that of an element, an instruction or a declaration
        // of the file: the type is asked only for the rest, one call fewer for each face.
        const auto key = [this](const char* p) {
            return p >= parsed_.data && p < parsed_.data + parsed_.size
                       ? std::size_t(p - parsed_.data)
                       : npos;
        };
        const std::size_t name = key(n.name());
        if (name != npos)
            return name;
        const pugi::xml_node_type type = n.type();
        return type == pugi::node_element || type == pugi::node_pi || type == pugi::node_declaration
                   ? npos
                   : key(n.value());
    }
    bool fromFile(pugi::xml_node n) const { return keyOf(n) != npos; }

    // The file's own text is passed on in runs as long as the changes allow, in pieces, each
    // let go once written: a terrain model is hundreds of megabytes.
    void copyTo(std::size_t at) {
        written_ = std::max(written_, at);
        if (written_ - flushed_ >= kPiece)
            flush();
    }
    void flush() {
        while (written_ > flushed_) {
            const std::size_t piece = std::min(written_ - flushed_, kPiece);
            if (gather_ && piece < kGathered) {
                gathered_.append(t_ + flushed_, piece);
                if (gathered_.size() >= kHandOver)
                    handOver();
            } else {
                handOver();
                sinks_.original.write(t_ + flushed_, piece);
            }
            flushed_ += piece;
            // Reported as it passes the end of a piece, which is as often as the view lets go:
            // in a list of faces a change comes every few dozen bytes.
            if (flushed_ / kPiece != released_ / kPiece) {
                sinks_.doneBefore(flushed_);
                released_ = flushed_;
            }
        }
    }
    void skipTo(std::size_t at) {
        flush();
        written_ = flushed_ = std::max(written_, at);
    }
    void emit(std::string_view s) {
        flush();
        if (!gather_)
            return sinks_.changed.write(s.data(), s.size());
        gathered_.append(s);
        if (gathered_.size() >= kHandOver)
            handOver();
    }
    void handOver() {
        if (gathered_.empty())
            return;
        sinks_.original.write(gathered_.data(), gathered_.size());
        gathered_.clear();
    }
    // `value` between quotes `quote`, or as element text (quote 0).
    void emitEscaped(const char* value, char quote) {
        if (parsed32(value)) {
            for (std::size_t k = 0; k < 32; k += 16) {
                const Bytes mine = load16(value + k);
                const unsigned end = firstLane((Bytes)(mine == 0));
                if (any(mayEscape(mine) & before(end)))
                    break;
                if (end < 16)
                    return emit(std::string_view(value, k + end));
            }
        }
        emitEscaped(std::string_view(value), quote);
    }
    void emitEscaped(std::string_view value, char quote) {
        if (noneOf(value.data(), value.size(), value.size(), mayEscape))
            return emit(value);
        std::size_t plain = 0;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (!kMayEscape[static_cast<unsigned char>(value[i])])
                continue;
            const std::string_view reference = escape(value[i], quote);
            if (reference.empty())
                continue;
            emit(value.substr(plain, i - plain));
            emit(reference);
            plain = i + 1;
        }
        emit(value.substr(plain));
    }

    [[noreturn]] void changedUnderneath() const {
        throw Error(destination_ + ": cannot save: the text of \"" + doc_.path() +
                    "\" no longer matches the document read from it");
    }

    std::size_t past(std::size_t from, std::string_view end) const {
        const std::size_t at = std::string_view(t_, n_).find(end, from);
        if (at == npos)
            changedUnderneath();
        return at + end.size();
    }
    std::size_t endOfTag(std::size_t i) const;
    // Where the nodes the document no longer holds stand among an element's content.
    struct Gap {
        std::size_t firstGone = npos;
        std::size_t lastGoneEnd = 0;
    };
    Token next();
    std::size_t seek(std::size_t parsed);
    Token readTo(std::size_t key, Gap& gap);
    void skipElement();

    std::string_view spaceBefore(std::size_t at) const {
        std::size_t b = at;
        while (b > 0 && isSpace(t_[b - 1]))
            --b;
        return std::string_view(t_ + b, at - b);
    }

    // An element of the file with attributes and a text and nothing in it, as every face of a
    // terrain model is: read in one pass instead of token by token.
    struct Simple {
        static constexpr std::size_t kMaxAttributes = 8;
        struct Attribute {
            std::size_t name, nameEnd, value, valueEnd; // the value without its quotes
        };
        std::array<Attribute, kMaxAttributes> attributes;
        std::size_t count = 0;
        std::size_t nameEnd = 0; // past the element's name
        std::size_t tagEnd = 0;  // past the start tag
        std::size_t textEnd = 0; // at the end tag; tagEnd for an empty-element tag
        std::size_t end = 0;     // past the end tag
        bool emptyTag = false;
    };
    bool readSimple(std::size_t lt, Simple& s) const;
    // Whether `p`, a name or value of the document, stands in the parsed text with 32 bytes from
    // it on there: a value the operations wrote in place, such as a renumbered "n".
    bool parsed32(const char* p) const {
        return p >= parsed_.data && p < parsed_.data + parsed_.size &&
               std::size_t(parsed_.data + parsed_.size - p) >= 32;
    }
    // Where `c` next stands from `from` on, or npos; the first 32 bytes looked at sixteen at
    // once, as the values and texts it is sought past are short.
    std::size_t find(std::size_t from, char c) const {
        for (int k = 0; k < 2 && from + 16 <= n_; ++k, from += 16) {
            const unsigned lane =
                firstLane((Bytes)(load16(t_ + from) == static_cast<unsigned char>(c)));
            if (lane < 16)
                return from + lane;
        }
        const void* at = from < n_ ? std::memchr(t_ + from, c, n_ - from) : nullptr;
        return at ? std::size_t(static_cast<const char*>(at) - t_) : npos;
    }
    // Whether the file's text [b, e) reads as `value`; the common case, a short value that reads
    // as it stands, compared sixteen bytes at once.
    bool sameAs(std::size_t b, std::size_t e, const char* value, Read read) const {
        const std::size_t length = e - b;
        if (length < 32 && b + 32 <= n_ && parsed32(value)) {
            bool plain = true, same = true;
            for (std::size_t k = 0; k <= length; k += 16) {
                const Bytes file = load16(t_ + b + k);
                const Bytes within = before(length - k);
                plain = plain && !any(readOtherwise(file) & within);
                same = same && !any((Bytes)(file != load16(value + k)) & within);
            }
            if (plain)
                return same && value[length] == '\0';
            return readsAs(t_ + b, t_ + e, value, read);
        }
        if (!noneOf(t_ + b, e - b, n_ - b, readOtherwise))
            return readsAs(t_ + b, t_ + e, value, read);
        return std::strncmp(value, t_ + b, e - b) == 0 && value[e - b] == '\0';
    }
    bool simpleChild(pugi::xml_node c, std::size_t key, bool whole, Gap& gap,
                     std::size_t& childTag);

    void element(pugi::xml_node e, const Token& tag, bool whole, std::string_view space);
    void startTag(pugi::xml_node e, const Token& tag);
    void attribute(pugi::xml_attribute& a, std::size_t& lastEnd, const Simple::Attribute& read);
    void addedAttributes(pugi::xml_attribute a, std::size_t lastEnd, char quote);
    void content(pugi::xml_node e, bool whole, std::string_view space);
    bool onlyText(pugi::xml_node e);
    void text(pugi::xml_node node, const char* value, const Token& token);
    void changedText(pugi::xml_node node, const char* value, bool cdata);
    void added(pugi::xml_node n, std::string_view space, std::string_view indent);
};

// Past the '>' of a tag opened at `i`, quotes respected.
std::size_t LayoutWriter::endOfTag(std::size_t i) const {
    static constexpr std::array<bool, 256> stops = table(">\"'");
    for (++i; i < n_; ++i) {
        const char c = t_[i];
        if (!stops[static_cast<unsigned char>(c)])
            continue;
        if (c == '>')
            return i + 1;
        if (c == '"' || c == '\'') {
            const void* close = std::memchr(t_ + i + 1, c, n_ - i - 1);
            if (!close)
                break;
            i = std::size_t(static_cast<const char*>(close) - t_);
        }
    }
    changedUnderneath();
}

Token LayoutWriter::next() {
    Token k{Kind::End, at_, at_, parsedAt_};
    if (at_ >= n_)
        return k;
    if (t_[at_] != '<') {
        // Texts between markup are short in a terrain model: loops beat calls to memchr.
        std::size_t i = at_;
        while (i < n_ && isSpace(t_[i]))
            ++i;
        k.kind = i == n_ || t_[i] == '<' ? Kind::Space : Kind::Text;
        while (i < n_ && t_[i] != '<')
            ++i;
        k.end = i;
        // Whitespace alone between two pieces of markup is not in the parsed text.
        const bool dropped =
            parsed_.spaceDropped && k.kind == Kind::Space && afterMarkup_ && i < n_;
        parsedAt_ += dropped ? 0 : k.end - at_;
        k.parsedEnd = parsedAt_;
        at_ = k.end;
        afterMarkup_ = false;
        return k;
    }
    const char second = at_ + 1 < n_ ? t_[at_ + 1] : '\0';
    const std::string_view rest(t_ + at_, n_ - at_);
    if (second == '/') {
        std::size_t i = at_ + 2;
        while (i < n_ && t_[i] != '>')
            ++i;
        if (i == n_)
            changedUnderneath();
        k.kind = Kind::EndTag;
        k.end = i + 1;
    } else if (second != '!' && second != '?') {
        k.end = endOfTag(at_);
        k.kind = t_[k.end - 2] == '/' ? Kind::EmptyTag : Kind::StartTag;
        if (k.kind == Kind::EmptyTag)
            emptyTag_ = t_[k.end - 3] == ' ' ? " />" : "/>";
    } else if (rest.substr(0, 4) == "<!--") {
        k.kind = Kind::Comment;
        k.end = past(at_ + 4, "-->");
    } else if (rest.substr(0, 9) == "<![CDATA[") {
        k.kind = Kind::Cdata;
        k.end = past(at_ + 9, "]]>");
    } else {
        k.kind = Kind::Instruction;
        k.end = past(at_ + 2, "?>");
    }
    parsedAt_ += k.end - at_;
    k.parsedEnd = parsedAt_;
    at_ = k.end;
    afterMarkup_ = true;
    return k;
}

// Reads on to the token that holds `key` in the parsed text, or with npos to the element's end
// tag; the nodes met on the way are those the document no longer holds.
Token LayoutWriter::readTo(std::size_t key, Gap& gap) {
    for (;;) {
        const Token k = next();
        if (k.kind == Kind::End || (k.kind == Kind::EndTag && key != npos))
            changedUnderneath();
        if (k.kind == Kind::EndTag || (k.parsed <= key && key < k.parsedEnd))
            return k;
        if (k.kind == Kind::Space)
            continue;
        if (gap.firstGone == npos)
            gap.firstGone = k.begin;
        if (k.kind == Kind::StartTag)
            skipElement();
        gap.lastGoneEnd = at_;
    }
}

// Reads on to the end of the element whose start tag was just read.
void LayoutWriter::skipElement() {
    for (std::size_t depth = 1; depth > 0;) {
        const Token k = next();
        if (k.kind == Kind::StartTag)
            ++depth;
        else if (k.kind == Kind::EndTag)
            --depth;
        else if (k.kind == Kind::End)
            changedUnderneath();
    }
}

void LayoutWriter::note(pugi::xml_node node, bool wholeSubtree) {
    // A node an operation made is written with the element of the file that holds it.
    while (node && !fromFile(node))
        node = node.parent();
    if (!node || node.type() != pugi::node_element)
        return;
    auto [it, added] = edited_.emplace(keyOf(node), Edited{node, wholeSubtree});
    it->second.wholeSubtree = it->second.wholeSubtree || wholeSubtree;
    for (pugi::xml_node up = node.parent(); up && fromFile(up) && above_.insert(keyOf(up)).second;
         up = up.parent()) {
    }
}

// Where the byte at `parsed` of the parsed text, a '<', stands in the file's text, from where the
// reading stands now or from the nearest mark of the load ahead of it.
std::size_t LayoutWriter::seek(std::size_t parsed) {
    if (!parsed_.spaceDropped)
        return parsed;
    const auto& marks = *parsed_.marks;
    auto mark = std::upper_bound(marks.begin(), marks.end(), std::make_pair(parsed, npos));
    if (mark != marks.begin() && std::prev(mark)->first >= parsed_.rootStart &&
        std::prev(mark)->second > at_) {
        --mark;
        parsedAt_ = mark->first;
        at_ = mark->second;
        afterMarkup_ = true;
    } else if (at_ == 0) {
        // Before the first mark stands the prolog, which takes the load's own reading.
        return offsetBeforeDroppingSpace(t_, n_, parsed);
    }
    for (;;) {
        const std::size_t before = at_;
        const Token k = next();
        if (k.kind == Kind::End || k.parsed > parsed)
            changedUnderneath();
        if (k.parsed == parsed && k.kind != Kind::Space)
            return before;
    }
}

void LayoutWriter::run() {
    // Each edited element that no other holds is written in step with the file; between them
    // the file's text goes out as it is.
    std::vector<std::pair<std::size_t, pugi::xml_node>> outermost;
    for (const auto& [key, edited] : edited_) {
        bool held = false;
        for (pugi::xml_node up = edited.element.parent(); up && !held; up = up.parent())
            held = edited_.count(keyOf(up)) > 0;
        if (!held)
            outermost.emplace_back(key, edited.element);
    }
    std::sort(outermost.begin(), outermost.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [key, node] : outermost) {
        const std::size_t at = seek(key - 1);
        copyTo(at);
        at_ = at;
        parsedAt_ = key - 1;
        const Token tag = next();
        element(node, tag, false, spaceBefore(tag.begin));
    }
    copyTo(n_);
    flush();
    handOver();
}

void LayoutWriter::element(pugi::xml_node e, const Token& tag, bool whole, std::string_view space) {
    // Within an element changed as a whole, nothing is looked up.
    if (!whole) {
        const auto it = edited_.find(keyOf(e));
        whole = it != edited_.end() && it->second.wholeSubtree;
    }
    startTag(e, tag);
    if (tag.kind == Kind::EmptyTag) {
        // Children added to an empty element open it.
        if (!*e.value() && !e.first_child()) {
            copyTo(tag.end);
        } else {
            copyTo(tag.end - 2);
            skipTo(tag.end);
            emit(">");
            if (*e.value())
                emitEscaped(e.value(), 0);
            for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
                added(c, {}, {});
            emit(std::string("</") + e.name() + ">");
        }
    } else {
        copyTo(tag.end);
        if (!onlyText(e))
            content(e, whole, space);
    }
}

// The content of an element that holds nothing but its own text, as nearly every element of a
// terrain model does, read without the general walk: written, and true, when the file holds
// only text there too.
bool LayoutWriter::onlyText(pugi::xml_node e) {
    if (e.first_child())
        return false;
    std::size_t lt = at_;
    while (lt < n_ && t_[lt] != '<')
        ++lt;
    if (lt + 1 >= n_ || t_[lt + 1] != '/')
        return false;
    const char* value = e.value();
    const std::size_t length = lt - at_;
    std::size_t parsedLength = length;
    if (!*value) {
        std::size_t i = at_;
        while (i < lt && isSpace(t_[i]))
            ++i;
        if (i != lt)
            return false; // the text is gone: the general walk leaves it out
        parsedLength = parsed_.spaceDropped ? 0 : length;
    } else if (value != parsed_.data + parsedAt_ ||
               !readsAs(t_ + at_, t_ + lt, value, Read::Text)) {
        copyTo(at_);
        skipTo(lt);
        emitEscaped(value, 0);
    }
    std::size_t gt = lt + 2;
    while (gt < n_ && t_[gt] != '>')
        ++gt;
    if (gt == n_)
        changedUnderneath();
    parsedAt_ += parsedLength + (gt + 1 - lt);
    at_ = gt + 1;
    afterMarkup_ = true;
    copyTo(at_);
    return true;
}

// Reads the element whose '<' stands at `lt` when it has the simple shape, `<F n="..">text</F>`
// or `<F n=".."/>` with any names and attributes and no markup in the text. False for anything
// else, which the token walk takes; names and values are delimited as startTag does.
bool LayoutWriter::readSimple(std::size_t lt, Simple& s) const {
    static constexpr std::array<bool, 256> nameStops = table(" \t\r\n/>=\"'<");
    // An end tag, a comment, a CDATA section or an instruction: none is an element, though
    // the name reading below would take "!--" or "?pi" for a name.
    if (lt + 1 >= n_ || t_[lt + 1] == '/' || t_[lt + 1] == '!' || t_[lt + 1] == '?')
        return false;
    std::size_t i = lt + 1;
    while (i < n_ && !nameStops[static_cast<unsigned char>(t_[i])])
        ++i;
    if (i == lt + 1)
        return false;
    s.nameEnd = i;
    s.count = 0;
    for (;;) {
        while (i < n_ && isSpace(t_[i]))
            ++i;
        if (i == n_)
            return false;
        if (t_[i] == '>' || t_[i] == '/')
            break;
        if (s.count == Simple::kMaxAttributes)
            return false;
        const std::size_t name = i;
        while (i < n_ && !nameStops[static_cast<unsigned char>(t_[i])])
            ++i;
        // A blank around '=' is left to the general reading.
        if (i + 1 >= n_ || i == name || t_[i] != '=' || (t_[i + 1] != '"' && t_[i + 1] != '\''))
            return false;
        const std::size_t nameEnd = i;
        const char quote = t_[i + 1];
        const std::size_t value = i + 2;
        i = find(value, quote);
        if (i == npos)
            return false;
        s.attributes[s.count++] = {name, nameEnd, value, i};
        ++i;
    }
    s.emptyTag = t_[i] == '/';
    if (s.emptyTag) {
        if (i + 1 == n_ || t_[i + 1] != '>')
            return false;
        s.tagEnd = s.textEnd = s.end = i + 2;
        return true;
    }
    s.tagEnd = ++i;
    i = find(i, '<');
    if (i == npos || i + 1 >= n_ || t_[i + 1] != '/')
        return false;
    s.textEnd = i;
    // Mostly the name and '>' straight away; names are short, a call to compare them is not.
    const std::size_t nameLength = s.nameEnd - lt - 1;
    if (i + 2 + nameLength < n_ && t_[i + 2 + nameLength] == '>') {
        std::size_t same = 0;
        while (same < nameLength && t_[lt + 1 + same] == t_[i + 2 + same])
            ++same;
        if (same == nameLength) {
            s.end = i + 3 + nameLength;
            return true;
        }
    }
    while (i < n_ && t_[i] != '>')
        ++i;
    if (i == n_)
        return false;
    s.end = i + 1;
    return true;
}

// Reads on to the child `c`, at `key` in the parsed text, and writes it, while the content up
// to it and the child itself have the simple shape: the faces of a terrain model are read here,
// those gone and those kept. False where the token walk has to go on from where this stopped,
// having written nothing of `c`.
bool LayoutWriter::simpleChild(pugi::xml_node c, std::size_t key, bool whole, Gap& gap,
                               std::size_t& childTag) {
    Simple s;
    for (;;) {
        // The file's pages are read here for the first time; the hardware does not fetch ahead
        // across them by itself.
        if (at_ + 1024 < n_)
            __builtin_prefetch(t_ + at_ + 1024);
        std::size_t lt = at_;
        if (lt + 16 <= n_) {
            const Bytes v = load16(t_ + lt);
            lt += firstLane((Bytes) ~((v == ' ') | (v == '\t') | (v == '\n') | (v == '\r')));
        }
        while (lt < n_ && isSpace(t_[lt]))
            ++lt;
        if (lt == n_ || t_[lt] != '<' || !readSimple(lt, s))
            return false;
        // Whitespace alone after markup is not in the parsed text, nor a text of whitespace alone.
        const bool dropsSpace = parsed_.spaceDropped && afterMarkup_;
        const std::size_t parsedLt = parsedAt_ + (dropsSpace ? 0 : lt - at_);
        if (parsedLt + 1 > key)
            return false;
        std::size_t text = s.tagEnd;
        while (text < s.textEnd && isSpace(t_[text]))
            ++text;
        const bool spaceOnly = text == s.textEnd;
        const std::size_t textLength = s.textEnd - s.tagEnd;
        const std::size_t parsedLength = (s.tagEnd - lt) +
                                         (spaceOnly && parsed_.spaceDropped ? 0 : textLength) +
                                         (s.end - s.textEnd);
        if (parsedLt + 1 == key) {
            if (c.first_child())
                return false;
            const char* value = c.value();
            // A text gone, or one given to an element that had none, takes the general reading.
            if (*value ? s.emptyTag || spaceOnly : !spaceOnly)
                return false;
            if (gap.firstGone != npos) {
                copyTo(gap.firstGone);
                skipTo(lt);
                gap.firstGone = npos;
            }
            childTag = lt;
            if (whole || marked(key)) {
                std::size_t lastEnd = s.nameEnd;
                pugi::xml_attribute a = c.first_attribute();
                for (std::size_t k = 0; k < s.count; ++k)
                    attribute(a, lastEnd, s.attributes[k]);
                addedAttributes(a, lastEnd, s.count ? t_[lastEnd - 1] : '"');
                const std::size_t parsedText = parsedLt + (s.tagEnd - lt);
                if (*value && (value != parsed_.data + parsedText ||
                               !sameAs(s.tagEnd, s.textEnd, value, Read::Text))) {
                    copyTo(s.tagEnd);
                    skipTo(s.textEnd);
                    emitEscaped(value, 0);
                }
            }
        } else if (gap.firstGone == npos) {
            gap.firstGone = lt;
        }
        if (s.emptyTag)
            emptyTag_ = t_[s.end - 3] == ' ' ? " />" : "/>";
        at_ = s.end;
        parsedAt_ = parsedLt + parsedLength;
        afterMarkup_ = true;
        if (parsedLt + 1 == key) {
            copyTo(at_);
            return true;
        }
        gap.lastGoneEnd = at_;
    }
}

// Writes the start tag with the values that changed, and the attributes added after the last.
void LayoutWriter::startTag(pugi::xml_node e, const Token& tag) {
    // The tag ends in '>' within the text (next() found it), so no walk below runs past it; the
    // end check guards a file that changed under the save all the same.
    const std::size_t end = tag.end;
    const auto at = [&](std::size_t i) {
        if (i >= end)
            changedUnderneath();
        return t_[i];
    };
    std::size_t i = tag.begin + 1;
    while (!isSpace(at(i)) && t_[i] != '/' && t_[i] != '>')
        ++i;
    std::size_t lastEnd = i; // past the element name or the last value's quote
    char quote = '"';
    pugi::xml_attribute a = e.first_attribute();
    for (;;) {
        while (isSpace(at(i)))
            ++i;
        if (t_[i] == '/' || t_[i] == '>')
            break;
        const std::size_t name = i;
        while (at(i) != '=' && !isSpace(t_[i]))
            ++i;
        const std::size_t nameEnd = i;
        while (at(i) != '"' && t_[i] != '\'')
            ++i;
        quote = t_[i];
        const std::size_t value = i + 1;
        const void* close = std::memchr(t_ + value, quote, end - std::min(end, value));
        if (!close)
            changedUnderneath();
        i = std::size_t(static_cast<const char*>(close) - t_);
        attribute(a, lastEnd, {name, nameEnd, value, i});
        ++i;
    }
    addedAttributes(a, lastEnd, quote);
}

// One attribute read from the start tag: `a`, the document's attribute in its place, is
// written where its value changed and taken on to the next; one the document no longer holds is
// left out with the space before it. `lastEnd` moves past the value's closing quote.
void LayoutWriter::attribute(pugi::xml_attribute& a, std::size_t& lastEnd,
                             const Simple::Attribute& read) {
    // Without an attribute, the name is "", which a name in the file never is.
    const std::size_t nameLength = read.nameEnd - read.name;
    const char* name = a.name();
    std::size_t same = 0;
    while (same < nameLength && name[same] == t_[read.name + same])
        ++same;
    if (same != nameLength || name[nameLength] != '\0') {
        copyTo(lastEnd);
        skipTo(read.valueEnd + 1);
    } else {
        if (!sameAs(read.value, read.valueEnd, a.value(), Read::Attribute)) {
            copyTo(read.value);
            skipTo(read.valueEnd);
            emitEscaped(a.value(), t_[read.valueEnd]);
        }
        a = a.next_attribute();
    }
    lastEnd = read.valueEnd + 1;
}

// The attributes from `a` on, added after the last one the file holds.
void LayoutWriter::addedAttributes(pugi::xml_attribute a, std::size_t lastEnd, char quote) {
    for (; a; a = a.next_attribute()) {
        copyTo(lastEnd);
        emit(std::string(" ") + a.name() + "=" + quote);
        emitEscaped(a.value(), quote);
        emit(std::string_view(&quote, 1));
    }
}

// Writes a text of the file, or what the document now holds in its place.
void LayoutWriter::text(pugi::xml_node node, const char* value, const Token& token) {
    const bool cdata = token.kind == Kind::Cdata;
    const std::size_t b = cdata ? token.begin + 9 : token.begin;
    const std::size_t e = cdata ? token.end - 3 : token.end;
    if (readsAs(t_ + b, t_ + e, value, cdata ? Read::Cdata : Read::Text)) {
        copyTo(token.end);
        return;
    }
    copyTo(token.begin);
    skipTo(token.end);
    changedText(node, value, cdata);
}

// A text as the document now holds it: element text with references where it needs them, or a
// CDATA section, which has none.
void LayoutWriter::changedText(pugi::xml_node node, const char* value, bool cdata) {
    if (!cdata)
        return emitEscaped(value, 0);
    const unsigned beyond = firstByteBeyond(doc_.encoding());
    for (const char* c = value; *c; ++c) {
        if (*c == '\r')
            throw Error(destination_ + ": cannot save: " + doc_.where(node) +
                        ": a CDATA section holds a carriage return, which every reader would "
                        "take for a line feed");
        if (static_cast<unsigned char>(*c) >= beyond)
            throw Error(destination_ + ": cannot save: " + doc_.where(node) +
                        ": a CDATA section holds a character that the file's encoding cannot "
                        "hold, and XML has no character reference there");
    }
    std::string out = "<![CDATA[";
    for (const char* c = value; *c; ++c) {
        out += *c;
        if (c[0] == ']' && c[1] == ']' && c[2] == '>')
            out += "]]><![CDATA[";
    }
    emit(out + "]]>");
}

// The element's children in step with its content in the file: what the document no longer
// holds is left out with the whitespace that led to it, what it gained is written after the
// child before it, indented like that child.
void LayoutWriter::content(pugi::xml_node e, bool whole, std::string_view space) {
    Gap gap;
    std::size_t childTag = npos; // where the last child of the file read begins
    // The text kept in the element itself comes first.
    pugi::xml_node c = e.first_child();
    bool ownText = *e.value() != '\0';
    for (;;) {
        const pugi::xml_node child = ownText ? e : c;
        if (!ownText && !c)
            break;
        const std::size_t key =
            ownText ? (e.value() >= parsed_.data && e.value() < parsed_.data + parsed_.size
                           ? std::size_t(e.value() - parsed_.data)
                           : npos)
                    : keyOf(c);
        if (key == npos) {
            if (ownText) {
                emitEscaped(e.value(), 0);
            } else {
                const std::string_view childSpace =
                    childTag == npos ? std::string_view() : spaceBefore(childTag);
                std::string indent;
                if (childSpace.size() > space.size() && childSpace.substr(0, space.size()) == space)
                    indent = childSpace.substr(space.size());
                else if (childSpace.find_first_of("\r\n") != npos)
                    indent = "\t";
                added(c, childSpace, indent);
            }
        } else if (ownText || !simpleChild(c, key, whole, gap, childTag)) {
            const Token k = readTo(key, gap);
            if (gap.firstGone != npos) {
                copyTo(gap.firstGone);
                skipTo(k.begin);
                gap.firstGone = npos;
            }
            if (k.kind == Kind::StartTag || k.kind == Kind::EmptyTag) {
                childTag = k.begin;
                const std::string_view childSpace = spaceBefore(k.begin);
                // An element nothing changed in is read the same way: its simple children go
                // through the fast reading, where the token walk cost a rename some 40 ms on a
                // surface of 25 MB. Written as it is read, it is never held at once.
                if (whole || k.kind == Kind::StartTag || marked(keyOf(c)))
                    element(c, k, whole, childSpace);
            } else if (k.kind == Kind::Text || k.kind == Kind::Space || k.kind == Kind::Cdata) {
                text(child, ownText ? e.value() : c.value(), k);
            }
            copyTo(at_);
        }
        if (ownText)
            ownText = false;
        else
            c = c.next_sibling();
    }
    const Token k = readTo(npos, gap);
    // After the last child gone comes the whitespace that leads to the end tag.
    if (gap.firstGone != npos)
        skipTo(gap.lastGoneEnd);
    copyTo(k.end);
}

// Writes a node an operation made, after `space`, its children each on a line of their own one
// `indent` further in where `space` begins a line.
void LayoutWriter::added(pugi::xml_node n, std::string_view space, std::string_view indent) {
    switch (n.type()) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
        return changedText(n, n.value(), n.type() == pugi::node_cdata);
    case pugi::node_element:
        break;
    default: {
        struct Collect final : pugi::xml_writer {
            std::string text;
            void write(const void* data, size_t size) override {
                text.append(static_cast<const char*>(data), size);
            }
        } out;
        n.print(out, "", pugi::format_raw);
        emit(space);
        return emit(out.text);
    }
    }
    emit(std::string(space) + "<" + n.name());
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        emit(std::string(" ") + a.name() + "=\"");
        emitEscaped(a.value(), '"');
        emit("\"");
    }
    if (!n.first_child() && !*n.value())
        return emit(emptyTag_);
    emit(">");
    bool holdsText = *n.value() != '\0';
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        holdsText = holdsText || c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata;
    if (*n.value())
        emitEscaped(n.value(), 0);
    const std::string inner = holdsText ? std::string() : std::string(space) + std::string(indent);
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        added(c, inner, indent);
    emit((holdsText ? std::string() : std::string(space)) + "</" + n.name() + ">");
}

} // namespace

void writeKeepingLayout(const Document& doc, std::string_view original, const ParsedText& parsed,
                        const std::vector<std::pair<pugi::xml_node, bool>>& edited,
                        const LayoutSinks& sinks, const std::string& destination) {
    LayoutWriter writer(doc, original, parsed, sinks, destination);
    for (const auto& [node, whole] : edited)
        writer.note(node, whole);
    writer.run();
}

} // namespace tidy::detail
