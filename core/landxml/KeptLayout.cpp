// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/KeptLayout.h"

#include "core/landxml/Error.h"
#include "core/landxml/MarkupSpace.h"
#include "core/landxml/Recoding.h"
#include "core/landxml/Utf8.h"

#include <algorithm>
#include <array>
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
          destination_(destination) {}

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
    std::size_t written_ = 0; // the text before this is written, or left out on purpose
    std::size_t flushed_ = 0; // the text before this has gone to the sink
    std::string_view emptyTag_ = "/>";

    std::unordered_map<const void*, bool> edited_; // element, whole subtree
    std::unordered_set<const void*> above_;        // the elements that hold edited ones

    // Where a node of the file begins in the parsed text (inside its markup), or npos for a
    // node an operation made.
    std::size_t keyOf(pugi::xml_node n) const {
        const pugi::xml_node_type type = n.type();
        const char* p =
            type == pugi::node_element || type == pugi::node_pi || type == pugi::node_declaration
                ? n.name()
                : n.value();
        return p >= parsed_.data && p < parsed_.data + parsed_.size ? std::size_t(p - parsed_.data)
                                                                    : npos;
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
            sinks_.original.write(t_ + flushed_, piece);
            flushed_ += piece;
            sinks_.doneBefore(flushed_);
        }
    }
    void skipTo(std::size_t at) {
        flush();
        written_ = flushed_ = std::max(written_, at);
    }
    void emit(std::string_view s) {
        flush();
        sinks_.changed.write(s.data(), s.size());
    }
    // `value` between quotes `quote`, or as element text (quote 0).
    void emitEscaped(std::string_view value, char quote) {
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
    void skipElement(bool keep);

    std::string_view spaceBefore(std::size_t at) const {
        std::size_t b = at;
        while (b > 0 && isSpace(t_[b - 1]))
            --b;
        return std::string_view(t_ + b, at - b);
    }

    void element(pugi::xml_node e, const Token& tag, bool whole, std::string_view space);
    void startTag(pugi::xml_node e, const Token& tag);
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
            skipElement(false);
        gap.lastGoneEnd = at_;
    }
}

// Reads on to the end of the element whose start tag was just read; with `keep`, writing it as it
// goes, so that its text need not be held at once.
void LayoutWriter::skipElement(bool keep) {
    for (std::size_t depth = 1; depth > 0;) {
        if (keep && at_ - written_ >= kPiece)
            copyTo(at_);
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
    auto [it, added] = edited_.emplace(node.internal_object(), wholeSubtree);
    it->second = it->second || wholeSubtree;
    for (pugi::xml_node up = node.parent(); up && above_.insert(up.internal_object()).second;
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
    for (const auto& [object, whole] : edited_) {
        const pugi::xml_node node(static_cast<pugi::xml_node_struct*>(const_cast<void*>(object)));
        bool held = false;
        for (pugi::xml_node up = node.parent(); up && !held; up = up.parent())
            held = edited_.count(up.internal_object()) > 0;
        if (!held)
            outermost.emplace_back(keyOf(node), node);
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
}

void LayoutWriter::element(pugi::xml_node e, const Token& tag, bool whole, std::string_view space) {
    // Within an element changed as a whole, nothing is looked up.
    if (!whole) {
        const auto it = edited_.find(e.internal_object());
        whole = it != edited_.end() && it->second;
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
        const std::size_t nameLength = i - name;
        while (at(i) != '"' && t_[i] != '\'')
            ++i;
        quote = t_[i];
        const std::size_t value = i + 1;
        const void* close = std::memchr(t_ + value, quote, end - std::min(end, value));
        if (!close)
            changedUnderneath();
        i = std::size_t(static_cast<const char*>(close) - t_);
        if (!a || std::strncmp(a.name(), t_ + name, nameLength) != 0 ||
            a.name()[nameLength] != '\0') {
            copyTo(lastEnd); // an attribute taken away, with the space before it
            skipTo(i + 1);
        } else {
            if (!readsAs(t_ + value, t_ + i, a.value(), Read::Attribute)) {
                copyTo(value);
                skipTo(i);
                emitEscaped(a.value(), quote);
            }
            a = a.next_attribute();
        }
        lastEnd = ++i;
    }
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
    std::string_view childSpace;
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
                std::string indent;
                if (childSpace.size() > space.size() && childSpace.substr(0, space.size()) == space)
                    indent = childSpace.substr(space.size());
                else if (childSpace.find_first_of("\r\n") != npos)
                    indent = "\t";
                added(c, childSpace, indent);
            }
        } else {
            const Token k = readTo(key, gap);
            if (gap.firstGone != npos) {
                copyTo(gap.firstGone);
                skipTo(k.begin);
                gap.firstGone = npos;
            }
            if (k.kind == Kind::StartTag || k.kind == Kind::EmptyTag) {
                childSpace = spaceBefore(k.begin);
                if (whole || edited_.count(c.internal_object()) ||
                    above_.count(c.internal_object())) {
                    element(c, k, whole, childSpace);
                } else if (k.kind == Kind::StartTag) {
                    skipElement(true);
                }
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
