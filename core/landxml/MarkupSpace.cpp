// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/MarkupSpace.h"

#include "core/landxml/XmlGrammar.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace tidy {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A table of the bytes that stop a loop over text or an attribute value.
constexpr std::array<bool, 256> stops(std::string_view bytes, bool nonAscii = false) {
    std::array<bool, 256> table{};
    for (char c : bytes)
        table[static_cast<unsigned char>(c)] = true;
    for (std::size_t c = 0x80; nonAscii && c < 0x100; ++c)
        table[c] = true;
    return table;
}
constexpr std::array<bool, 256> kInText = stops("<&]");
constexpr std::array<bool, 256> kInValue = stops("<&\"'");
// The parser takes every byte above ASCII into a name, as XML takes only some characters: a
// name that holds one is read again by the rules.
constexpr std::array<bool, 256> kInTag = stops(">\"':", true);

// Whether `c` may stand in a name: after "<?xml" it makes the target another one.
bool continuesName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

enum class Token { None, StartTag, EndTag, Other, Text, Space };

// One reading of the markup, as the parser reads it, with what the parser lets pass. Offsets are
// those of the text as it was: the text is only ever changed behind what was read.
class Scanner {
public:
    Scanner(const char* text, std::size_t size) : t_(text), n_(size) {}

    // Calls drop(begin, end) for each run of whitespace between two pieces of markup that the
    // parser would skip, in order, while it returns true.
    template <class Drop> void run(Drop drop);

    MarkupScan found;

private:
    const char* t_;
    std::size_t n_;
    std::size_t depth_ = 0;
    bool rootSeen_ = false;
    bool doctypeSeen_ = false;
    Token prev_ = Token::None; // None only before the first markup

    void fault(std::size_t at, const char* what) {
        if (!found.fault) {
            found.fault = what;
            found.faultAt = at;
        }
    }
    void saw(Token token) { prev_ = token; }
    void texty(std::size_t end);
    void reference(std::size_t at);
    std::size_t text(std::size_t at);
    std::size_t markup(std::size_t i);
    std::size_t tag(std::size_t i);
    std::size_t endOfTag(std::size_t i);
    void grammar(std::size_t from, std::size_t end,
                 detail::GrammarFault (*check)(std::string_view));
    void names(std::size_t i, std::size_t end);
    bool nonAsciiName_ = false; // in the tag endOfTag read last
    std::size_t declaration(std::size_t i);
    std::size_t doctype(std::size_t i);
    std::size_t endOfDoctype(std::size_t i);
    std::size_t endOfInternalSubset(std::size_t i);
    std::size_t past(std::size_t from, std::string_view end) const {
        const std::size_t at = std::string_view(t_, n_).find(end, from);
        return at == npos ? npos : at + end.size();
    }
};

// Text or CDATA that does not stand alone between its element's tags makes the whitespace
// beside it content. `end` is where it ends.
void Scanner::texty(std::size_t end) {
    if (prev_ != Token::StartTag || end + 1 >= n_ || t_[end] != '<' || t_[end + 1] != '/')
        found.spaceIsContent = true;
    prev_ = Token::Text;
}

void Scanner::reference(std::size_t at) {
    if (const char* what = detail::referenceFault(std::string_view(t_ + at, n_ - at)))
        fault(at, what);
}

void Scanner::grammar(std::size_t from, std::size_t end,
                      detail::GrammarFault (*check)(std::string_view)) {
    if (const detail::GrammarFault f = check(std::string_view(t_ + from, end - from)))
        fault(from + f.at, f.what);
}

// The names of the tag from `i` to `end`: each run of bytes outside its values that the parser
// read as one.
void Scanner::names(std::size_t i, std::size_t end) {
    for (std::size_t k = i + 1; k < end;) {
        if (t_[k] == '"' || t_[k] == '\'') {
            k = std::string_view(t_, end).find(t_[k], k + 1) + 1;
            continue;
        }
        std::size_t stop = k;
        while (stop < end && std::string_view(" \t\r\n=/>\"'").find(t_[stop]) == npos)
            ++stop;
        if (stop > k)
            grammar(k, stop, detail::checkName);
        k = std::max(stop, k + 1);
    }
}

// Text that is not only whitespace, from `at` (its first other character) to the next markup.
std::size_t Scanner::text(std::size_t at) {
    if (depth_ == 0)
        fault(at, rootSeen_ ? "not well-formed XML: text after the root element"
                            : "not well-formed XML: text before the root element");
    for (std::size_t i = at;; ++i) {
        // Text between markup is short in a terrain model: a loop beats a call to memchr.
        while (i < n_ && !kInText[static_cast<unsigned char>(t_[i])])
            ++i;
        if (i == n_ || t_[i] == '<') {
            texty(i);
            return i;
        }
        if (t_[i] == '&')
            reference(i);
        else if (i + 2 < n_ && t_[i + 1] == ']' && t_[i + 2] == '>')
            fault(i, "not well-formed XML: \"]]>\" in text");
    }
}

// Past the '>' that closes a tag opened at `i`, quotes respected, as the parser reads an
// attribute value with a '>' in it; npos when the text ends first.
std::size_t Scanner::endOfTag(std::size_t i) {
    for (++i; i < n_; ++i) {
        const char c = t_[i];
        if (!kInTag[static_cast<unsigned char>(c)])
            continue;
        if (c == '>')
            return i + 1;
        if (static_cast<unsigned char>(c) >= 0x80) {
            nonAsciiName_ = true;
        } else if (c == '"' || c == '\'') {
            for (++i; i < n_; ++i) {
                const char v = t_[i];
                if (!kInValue[static_cast<unsigned char>(v)])
                    continue;
                if (v == c)
                    break;
                if (v == '<')
                    fault(i, "not well-formed XML: a \"<\" in an attribute value");
                else if (v == '&')
                    reference(i);
            }
            if (i == n_)
                return npos;
        } else if (c == ':' && i >= 3 && std::memcmp(t_ + i - 3, "xml", 3) == 0 && n_ - i > 5 &&
                   std::memcmp(t_ + i + 1, "space", 5) == 0) {
            found.spaceIsContent = true;
        }
    }
    return npos;
}

std::size_t Scanner::tag(std::size_t i) {
    nonAsciiName_ = false;
    const std::size_t end = endOfTag(i);
    if (end == npos)
        return npos;
    if (nonAsciiName_)
        names(i, end);
    if (t_[i + 1] == '/') {
        depth_ -= depth_ > 0;
        saw(Token::EndTag);
        return end;
    }
    if (depth_ == 0 && rootSeen_)
        fault(i, "not well-formed XML: a second root element");
    rootSeen_ = true;
    const bool empty = t_[end - 2] == '/';
    depth_ += !empty;
    saw(empty ? Token::Other : Token::StartTag);
    return end;
}

// The parser reads the declaration (target "xml" in any case) as attributes, quotes respected,
// and other instructions up to their first "?>".
std::size_t Scanner::declaration(std::size_t i) {
    // At the very start: after whitespace it is an instruction with a reserved target, and the
    // save, which keeps the file's bytes, would write back what no XML reader takes.
    if (prev_ != Token::None || i != 0)
        fault(i, "not well-formed XML: the XML declaration must stand at the start of the file");
    saw(Token::Other);
    char quote = 0;
    for (std::size_t k = i + 2; k + 1 < n_; ++k) {
        const char c = t_[k];
        if (c == '?' && t_[k + 1] == '>') {
            if (!quote) {
                grammar(i, k + 2, detail::checkDeclaration);
                return k + 2;
            }
            fault(k, "not well-formed XML: \"?>\" inside a value of the XML declaration");
        }
        if (quote && c == quote)
            quote = 0;
        else if (!quote && (c == '"' || c == '\''))
            quote = c;
    }
    return npos;
}

// At the ']' that ends an internal subset opened before `i`, or npos.
std::size_t Scanner::endOfInternalSubset(std::size_t i) {
    while (i < n_ && t_[i] != ']') {
        const char c = t_[i];
        if (c == '"' || c == '\'') {
            const char* close = static_cast<const char*>(std::memchr(t_ + i + 1, c, n_ - i - 1));
            i = close ? std::size_t(close - t_) + 1 : npos;
        } else if (std::string_view(t_ + i, n_ - i).substr(0, 4) == "<!--") {
            i = past(i + 4, "-->");
        } else if (std::string_view(t_ + i, n_ - i).substr(0, 2) == "<?") {
            i = past(i + 2, "?>");
        } else {
            ++i;
        }
        if (i == npos)
            return npos;
    }
    return i < n_ ? i : npos;
}

std::size_t Scanner::doctype(std::size_t i) {
    if (depth_ > 0 || rootSeen_)
        fault(i, "not well-formed XML: a DOCTYPE after the root element");
    else if (doctypeSeen_)
        fault(i, "not well-formed XML: a second DOCTYPE");
    doctypeSeen_ = true;
    saw(Token::Other);
    const std::size_t end = endOfDoctype(i);
    if (end != npos)
        grammar(i, end, detail::checkDoctype);
    return end;
}

// Past the '>' that closes the DOCTYPE at `i` as the parser reads it, or npos.
std::size_t Scanner::endOfDoctype(std::size_t i) {
    for (std::size_t k = i + 9; k < n_; ++k) {
        const char c = t_[k];
        if (c == '>')
            return k + 1;
        if (c == '"' || c == '\'') {
            const char* close = static_cast<const char*>(std::memchr(t_ + k + 1, c, n_ - k - 1));
            if (!close)
                return npos;
            k = std::size_t(close - t_);
        } else if (c == '[') {
            k = endOfInternalSubset(k + 1);
            if (k == npos)
                return npos;
            // After the subset only whitespace may stand before the '>'.
            for (++k; k < n_ && isSpace(t_[k]);)
                ++k;
            if (k < n_ && t_[k] != '>')
                fault(k, "not well-formed XML: the DOCTYPE goes on after its internal subset");
            return k < n_ ? k + 1 : npos;
        }
    }
    return npos;
}

// Past the markup that starts with the '<' at `i`, or npos where it is not closed.
std::size_t Scanner::markup(std::size_t i) {
    if (i + 1 < n_ && t_[i + 1] != '!' && t_[i + 1] != '?')
        return tag(i); // by far the most markup
    const std::string_view rest(t_ + i, n_ - i);
    if (rest.substr(0, 4) == "<!--") {
        saw(Token::Other);
        return past(i + 4, "-->");
    }
    if (rest.substr(0, 9) == "<![CDATA[") {
        if (depth_ == 0)
            fault(i, "not well-formed XML: a CDATA section outside the root element");
        const std::size_t end = past(i + 9, "]]>");
        if (end != npos)
            texty(end);
        return end;
    }
    if (rest.substr(0, 9) == "<!DOCTYPE")
        return doctype(i);
    if (rest.substr(0, 2) == "<!")
        return npos; // not XML: the parser says what
    const bool xml = rest.size() > 5 && (rest[2] | ' ') == 'x' && (rest[3] | ' ') == 'm' &&
                     (rest[4] | ' ') == 'l' && !continuesName(rest[5]);
    if (xml)
        return declaration(i);
    saw(Token::Other);
    std::size_t target = i + 2;
    while (target < n_ && !isSpace(t_[target]) && t_[target] != '?')
        ++target;
    if (std::any_of(t_ + i + 2, t_ + target, [](char c) { return c & 0x80; }))
        grammar(i + 2, target, detail::checkName);
    return past(i + 2, "?>");
}

template <class Drop> void Scanner::run(Drop drop) {
    std::size_t i = 0;
    while (i < n_ && isSpace(t_[i]))
        ++i;
    if (i < n_ && t_[i] != '<')
        i = text(i);
    while (i < n_) {
        const std::size_t end = markup(i);
        if (end == npos) {
            fault(i, "not well-formed XML: markup that is not closed");
            return;
        }
        std::size_t next = end;
        while (next < n_ && isSpace(t_[next]))
            ++next;
        if (next < n_ && t_[next] != '<') {
            i = text(next);
            continue;
        }
        if (next > end && next < n_) {
            saw(Token::Space);
            if (!found.spaceIsContent && !drop(end, next))
                return;
        }
        i = next;
    }
    if (depth_ > 0 || !rootSeen_)
        fault(n_, "not well-formed XML: the root element is not closed");
}

} // namespace

bool isXmlCharacter(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

MarkupScan scanMarkup(char* text, std::size_t size) {
    Scanner scanner(text, size);
    std::size_t out = 0;
    std::size_t keptFrom = 0;
    constexpr std::size_t kMarkEvery = std::size_t(16) << 10;
    std::size_t nextMark = kMarkEvery;
    scanner.run([&](std::size_t begin, std::size_t end) {
        std::memmove(text + out, text + keptFrom, begin - keptFrom);
        out += begin - keptFrom;
        keptFrom = end;
        if (out >= nextMark) {
            scanner.found.marks.emplace_back(out, end);
            nextMark = out + kMarkEvery;
        }
        return true;
    });
    std::memmove(text + out, text + keptFrom, size - keptFrom);
    scanner.found.size = out + size - keptFrom;
    return scanner.found;
}

std::size_t dropSpaceBetweenMarkup(char* text, std::size_t size) {
    return scanMarkup(text, size).size;
}

std::size_t offsetBeforeDroppingSpace(const char* original, std::size_t size, std::size_t offset) {
    std::size_t keptBefore = 0;
    std::size_t keptFrom = 0;
    std::size_t found = npos;
    Scanner scanner(original, size);
    scanner.run([&](std::size_t begin, std::size_t end) {
        if (offset < keptBefore + (begin - keptFrom)) {
            found = keptFrom + (offset - keptBefore);
            return false;
        }
        keptBefore += begin - keptFrom;
        keptFrom = end;
        return true;
    });
    if (found != npos)
        return found;
    return offset < keptBefore + (size - keptFrom) ? keptFrom + (offset - keptBefore) : size;
}

void offsetsBeforeDroppingSpace(const char* original, std::size_t size,
                                std::vector<std::size_t>& offsets) {
    std::vector<std::size_t> order(offsets.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return offsets[a] < offsets[b]; });
    std::size_t keptBefore = 0;
    std::size_t keptFrom = 0;
    std::size_t next = 0; // the first offset of `order` not mapped yet
    Scanner scanner(original, size);
    scanner.run([&](std::size_t begin, std::size_t end) {
        for (; next < order.size() && offsets[order[next]] < keptBefore + (begin - keptFrom);
             ++next)
            offsets[order[next]] = keptFrom + (offsets[order[next]] - keptBefore);
        keptBefore += begin - keptFrom;
        keptFrom = end;
        return next < order.size();
    });
    for (; next < order.size(); ++next) {
        std::size_t& offset = offsets[order[next]];
        offset = offset < keptBefore + (size - keptFrom) ? keptFrom + (offset - keptBefore) : size;
    }
}

} // namespace tidy
