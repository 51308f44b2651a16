// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/KeptLayout.h"

#include "landxml/Error.h"
#include "landxml/MarkupSpace.h"
#include "landxml/Recoding.h"
#include "landxml/Utf8.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace tidy::detail {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One piece of element content in the file's text.
enum class Kind { Space, Text, StartTag, EmptyTag, EndTag, Comment, Instruction, Cdata, End };

struct Token {
    Kind kind = Kind::End;
    std::size_t begin = 0, end = 0;        // in the file's text
    std::size_t parsed = 0, parsedEnd = 0; // where it stands in the parsed text
};

// The character a reference at `s` (just past its '&') stands for, appended to `out`; `s` moves
// past the ';'. The load refused every other reference.
void appendReference(const char*& s, std::string& out) {
    static constexpr std::pair<std::string_view, char> named[] = {
        {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'}};
    for (const auto& [name, c] : named) {
        if (std::strncmp(s, name.data(), name.size()) == 0) {
            out += c;
            s += name.size();
            return;
        }
    }
    const bool hex = s[1] == 'x';
    std::uint32_t cp = 0;
    for (s += hex ? 2 : 1; *s != ';'; ++s) {
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
    const auto plain = [read](char c) {
        return c != '\r' && (read == Read::Cdata || c != '&') &&
               (read != Read::Attribute || (c != '\n' && c != '\t'));
    };
    const char* s = b;
    while (s != e && plain(*s))
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
            appendReference(s, read_);
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

// `value` as it stands between quotes `quote`, or as element text (quote 0).
std::string escaped(std::string_view value, char quote) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += quote == '"' ? "&quot;" : "\"";
            break;
        case '\'':
            out += quote == '\'' ? "&apos;" : "'";
            break;
        case '\r':
            out += "&#13;"; // read back as a line feed otherwise
            break;
        case '\t':
        case '\n':
            // An attribute value reads them as blanks.
            out += quote ? (c == '\t' ? "&#9;" : "&#10;") : std::string(1, c);
            break;
        default:
            out += c;
        }
    }
    return out;
}

class LayoutWriter {
public:
    LayoutWriter(const Document& doc, std::string_view original, const ParsedText& parsed,
                 const LayoutSinks& sinks, const std::string& destination)
        : doc_(doc), t_(original.data()), n_(original.size()), parsed_(parsed), sinks_(sinks),
          destination_(destination) {}

    void note(pugi::xml_node node, bool wholeSubtree);
    void run(pugi::xml_node root);

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
    std::string_view emptyTag_ = "/>";

    std::unordered_map<const void*, bool> edited_; // element, whole subtree
    std::unordered_set<const void*> above_;        // the elements that hold edited ones
    std::size_t left_ = 0;                         // edited elements not yet written

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

    void copyTo(std::size_t at) {
        if (at > written_) {
            sinks_.original.write(t_ + written_, at - written_);
            written_ = at;
            sinks_.doneBefore(at);
        }
    }
    void skipTo(std::size_t at) { written_ = std::max(written_, at); }
    void emit(std::string_view s) { sinks_.changed.write(s.data(), s.size()); }

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
    Token readTo(std::size_t key, Gap& gap);
    void skipElement();

    std::string_view spaceBefore(std::size_t at) const {
        std::size_t b = at;
        while (b > 0 && isSpace(t_[b - 1]))
            --b;
        return std::string_view(t_ + b, at - b);
    }

    void element(pugi::xml_node e, const Token& tag, bool whole, std::string_view space);
    void startTag(pugi::xml_node e, const Token& tag);
    void content(pugi::xml_node e, bool whole, std::string_view space);
    void text(pugi::xml_node node, const char* value, const Token& token);
    void changedText(pugi::xml_node node, const char* value, bool cdata);
    void added(pugi::xml_node n, std::string_view space, std::string_view indent);
};

// Past the '>' of a tag opened at `i`, quotes respected.
std::size_t LayoutWriter::endOfTag(std::size_t i) const {
    for (++i; i < n_; ++i) {
        const char c = t_[i];
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
        const void* lt = std::memchr(t_ + at_, '<', n_ - at_);
        k.end = lt ? std::size_t(static_cast<const char*>(lt) - t_) : n_;
        std::size_t i = at_;
        while (i < k.end && isSpace(t_[i]))
            ++i;
        k.kind = i == k.end ? Kind::Space : Kind::Text;
        // Whitespace alone between two pieces of markup is not in the parsed text.
        const bool dropped = parsed_.spaceDropped && k.kind == Kind::Space && afterMarkup_ && lt;
        parsedAt_ += dropped ? 0 : k.end - at_;
        k.parsedEnd = parsedAt_;
        at_ = k.end;
        afterMarkup_ = false;
        return k;
    }
    const std::string_view rest(t_ + at_, n_ - at_);
    if (rest.substr(0, 4) == "<!--") {
        k.kind = Kind::Comment;
        k.end = past(at_ + 4, "-->");
    } else if (rest.substr(0, 9) == "<![CDATA[") {
        k.kind = Kind::Cdata;
        k.end = past(at_ + 9, "]]>");
    } else if (rest.substr(0, 2) == "<?") {
        k.kind = Kind::Instruction;
        k.end = past(at_ + 2, "?>");
    } else if (rest.substr(0, 2) == "</") {
        k.kind = Kind::EndTag;
        k.end = past(at_ + 2, ">");
    } else {
        k.end = endOfTag(at_);
        k.kind = t_[k.end - 2] == '/' ? Kind::EmptyTag : Kind::StartTag;
        if (k.kind == Kind::EmptyTag)
            emptyTag_ = t_[k.end - 3] == ' ' ? " />" : "/>";
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
    auto [it, added] = edited_.emplace(node.internal_object(), wholeSubtree);
    it->second = it->second || wholeSubtree;
    left_ += added;
    for (pugi::xml_node up = node.parent(); up && above_.insert(up.internal_object()).second;
         up = up.parent()) {
    }
}

void LayoutWriter::run(pugi::xml_node root) {
    if (left_ > 0 && root && fromFile(root)) {
        const std::size_t key = keyOf(root) - 1; // its '<'
        at_ = parsed_.spaceDropped ? offsetBeforeDroppingSpace(t_, n_, key) : key;
        parsedAt_ = key;
        copyTo(at_);
        const Token tag = next();
        const auto it = edited_.find(root.internal_object());
        element(root, tag, it != edited_.end() && it->second, spaceBefore(tag.begin));
    }
    copyTo(n_);
}

void LayoutWriter::element(pugi::xml_node e, const Token& tag, bool whole, std::string_view space) {
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
                emit(escaped(e.value(), 0));
            for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
                added(c, {}, {});
            emit(std::string("</") + e.name() + ">");
        }
    } else {
        copyTo(tag.end);
        content(e, whole, space);
    }
    if (edited_.count(e.internal_object()) && --left_ == 0)
        copyTo(n_); // nothing else changed
}

// Writes the start tag with the values that changed, and the attributes added after the last.
void LayoutWriter::startTag(pugi::xml_node e, const Token& tag) {
    std::size_t i = tag.begin + 1;
    while (!isSpace(t_[i]) && t_[i] != '/' && t_[i] != '>')
        ++i;
    std::size_t lastEnd = i; // past the element name or the last value's quote
    char quote = '"';
    pugi::xml_attribute a = e.first_attribute();
    for (;;) {
        while (isSpace(t_[i]))
            ++i;
        if (t_[i] == '/' || t_[i] == '>')
            break;
        const std::size_t name = i;
        while (t_[i] != '=' && !isSpace(t_[i]))
            ++i;
        const std::string_view attributeName(t_ + name, i - name);
        while (t_[i] != '"' && t_[i] != '\'')
            ++i;
        quote = t_[i];
        const std::size_t value = i + 1;
        i = std::size_t(static_cast<const char*>(std::memchr(t_ + value, quote, n_ - value)) - t_);
        if (!a || attributeName != a.name()) {
            copyTo(lastEnd); // an attribute taken away, with the space before it
            skipTo(i + 1);
        } else {
            if (!readsAs(t_ + value, t_ + i, a.value(), Read::Attribute)) {
                copyTo(value);
                skipTo(i);
                emit(escaped(a.value(), quote));
            }
            a = a.next_attribute();
        }
        lastEnd = ++i;
    }
    for (; a; a = a.next_attribute()) {
        copyTo(lastEnd);
        emit(std::string(" ") + a.name() + "=" + quote + escaped(a.value(), quote) + quote);
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
        return emit(escaped(value, 0));
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
    const auto found = edited_.find(e.internal_object());
    whole = whole || (found != edited_.end() && found->second);
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
                emit(escaped(e.value(), 0));
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
                const auto it = edited_.find(c.internal_object());
                if (whole || it != edited_.end() || above_.count(c.internal_object())) {
                    element(c, k, whole, childSpace);
                    if (left_ == 0)
                        return;
                } else if (k.kind == Kind::StartTag) {
                    skipElement();
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
    std::string tag = std::string(space) + "<" + n.name();
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
        tag += std::string(" ") + a.name() + "=\"" + escaped(a.value(), '"') + "\"";
    if (!n.first_child() && !*n.value())
        return emit(tag + std::string(emptyTag_));
    emit(tag + ">");
    bool holdsText = *n.value() != '\0';
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        holdsText = holdsText || c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata;
    if (*n.value())
        emit(escaped(n.value(), 0));
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
    writer.run(doc.root());
}

} // namespace tidy::detail
