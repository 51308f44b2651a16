// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/XmlGrammar.h"

#include "core/landxml/MarkupSpace.h"

#include <algorithm>

namespace tidy::detail {

namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr const char* kName = "not well-formed XML: a character that XML does not allow in a name";
constexpr const char* kDeclaration =
    "not well-formed XML: the XML declaration must give version=\"1.x\", then optionally "
    "encoding=\"NAME\", then optionally standalone=\"yes\" or \"no\"";
constexpr const char* kReserved =
    "not well-formed XML: an instruction named \"xml\" in other letter case, a name XML "
    "reserves";
constexpr const char* kDoctype = "not well-formed XML: the DOCTYPE breaks XML's grammar here";
constexpr const char* kEntityDeclared =
    "the DOCTYPE declares entities; tidylander neither expands nor fetches entities and could "
    "not write them back faithfully";
constexpr const char* kParameterEntity =
    "the DOCTYPE refers to a parameter entity; tidylander neither expands nor fetches entities "
    "and could not write it back faithfully";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isNameStartCharacter(std::uint32_t c) {
    if (c < 0x80)
        return isAsciiLetter(char(c)) || c == ':' || c == '_';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C ||
           c == 0x200D || (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) ||
           (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameCharacter(std::uint32_t c) {
    return isNameStartCharacter(c) || (c < 0x80 && isDigit(char(c))) || c == '-' || c == '.' ||
           c == 0xB7 || (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

// The code point of the valid UTF-8 at s[i], and its length in `size`.
std::uint32_t codePointAt(std::string_view s, std::size_t i, std::size_t& size) {
    const auto lead = static_cast<unsigned char>(s[i]);
    size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    size = std::min(size, s.size() - i);
    std::uint32_t c = size == 1 ? lead : lead & (0x7Fu >> size);
    for (std::size_t k = 1; k < size; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    return c;
}

// Reads a DOCTYPE or an XML declaration by its productions. Each step returns whether it
// matched; fail() keeps the first place that broke the grammar.
class Reader {
public:
    Reader(std::string_view s, const char* what) : s_(s), what_(what) {}

    GrammarFault fault;
    std::size_t p = 0;

    bool fail(const char* what = nullptr) {
        if (!fault)
            fault = {std::min(p, s_.size()), what ? what : what_};
        return false;
    }
    bool at(char c) const { return p < s_.size() && s_[p] == c; }
    bool at(std::string_view word) const { return s_.substr(p, word.size()) == word; }
    bool take(std::string_view word) {
        if (!at(word))
            return false;
        p += word.size();
        return true;
    }
    bool space() {
        const std::size_t from = p;
        while (p < s_.size() && isSpace(s_[p]))
            ++p;
        return p > from;
    }
    // A Name, or with `token` an Nmtoken, whose first character may be any name character.
    bool name(bool token = false) {
        const std::size_t from = p;
        for (std::size_t size = 0; p < s_.size(); p += size) {
            const std::uint32_t c = codePointAt(s_, p, size);
            if (!(p == from && !token ? isNameStartCharacter(c) : isNameCharacter(c)))
                break;
        }
        return p > from || fail();
    }
    bool eq() {
        space();
        if (!take("="))
            return fail();
        space();
        return true;
    }
    // A quoted literal; its text goes to `value`.
    bool quoted(std::string_view& value) {
        if (!at('"') && !at('\''))
            return fail();
        const std::size_t close = s_.find(s_[p], p + 1);
        if (close == npos)
            return fail();
        value = s_.substr(p + 1, close - p - 1);
        p = close + 1;
        return true;
    }
    // A quoted literal none of whose characters `faultAt(offset)` finds a fault in.
    template <class Check> bool literal(Check faultAt) {
        std::string_view value;
        const std::size_t from = p + 1;
        if (!quoted(value))
            return false;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (const char* what = faultAt(from + i)) {
                p = from + i;
                return fail(what);
            }
        }
        return true;
    }
    bool attValue() {
        return literal([&](std::size_t at) {
            return s_[at] == '<' ? what_ : s_[at] == '&' ? referenceFault(s_.substr(at)) : nullptr;
        });
    }
    bool pubidLiteral() {
        return literal([&](std::size_t at) {
            const char c = s_[at];
            const bool allowed = isAsciiLetter(c) || isDigit(c) || c == ' ' || c == '\r' ||
                                 c == '\n' ||
                                 std::string_view("-'()+,./:=?;!*#@$_%").find(c) != npos;
            return allowed ? nullptr : what_;
        });
    }
    bool externalId(bool publicIdAlone = false) {
        std::string_view literal;
        if (take("SYSTEM"))
            return (space() || fail()) && quoted(literal);
        if (!take("PUBLIC") || !(space() || fail()) || !pubidLiteral())
            return fail();
        const std::size_t before = p;
        if (space() && (at('"') || at('\'')))
            return quoted(literal);
        p = before;
        return publicIdAlone || fail();
    }
    // Past "end" from here, or the end of the text.
    bool past(std::string_view end) {
        const std::size_t found = s_.find(end, p);
        p = found == npos ? s_.size() : found + end.size();
        return found != npos || fail();
    }
    // The end of a declaration in the subset: S? '>'.
    bool close() {
        space();
        return take(">") || fail();
    }

    bool doctype();

private:
    std::string_view s_;
    const char* what_;

    bool subset();
    bool piTarget();
    bool elementDecl();
    bool contentParticle();
    bool attlistDecl();
    bool attType();
};

bool Reader::piTarget() {
    const std::size_t from = p;
    if (!name())
        return false;
    if (p - from == 3 && (s_[from] | ' ') == 'x' && (s_[from + 1] | ' ') == 'm' &&
        (s_[from + 2] | ' ') == 'l') {
        p = from;
        return fail(s_.substr(from, 3) == "xml" ? nullptr : kReserved);
    }
    if (take("?>"))
        return true;
    return (space() || fail()) && past("?>");
}

// cp ::= (Name | choice | seq) ('?' | '*' | '+')?, choice and seq read alike: one kind of
// separator in a group.
bool Reader::contentParticle() {
    if (take("(")) {
        char separator = 0;
        do {
            space();
            if (!contentParticle())
                return false;
            space();
            if (at(')'))
                break;
            if (!(at('|') || at(',')) || (separator && !at(separator)))
                return fail();
            separator = s_[p++];
        } while (true);
        ++p;
    } else if (!name()) {
        return false;
    }
    if (at('?') || at('*') || at('+'))
        ++p;
    return true;
}

bool Reader::elementDecl() {
    if (!(space() || fail()) || !name() || !(space() || fail()))
        return false;
    if (take("EMPTY") || take("ANY"))
        return close();
    const std::size_t group = p;
    if (take("(")) {
        space();
        if (take("#PCDATA")) { // Mixed
            space();
            if (take(")"))
                return (take("*"), close());
            while (take("|")) {
                space();
                if (!name())
                    return false;
                space();
            }
            return (take(")*") || fail()) && close();
        }
        p = group;
    }
    return (at('(') || fail()) && contentParticle() && close();
}

bool Reader::attType() {
    for (std::string_view type :
         {"CDATA", "IDREFS", "IDREF", "ID", "ENTITY", "ENTITIES", "NMTOKENS", "NMTOKEN"}) {
        if (take(type)) {
            if (p < s_.size() && !isSpace(s_[p]))
                return fail();
            return true;
        }
    }
    const bool notation = take("NOTATION");
    if (notation && !(space() || fail()))
        return false;
    if (!take("("))
        return fail();
    do {
        space();
        if (!name(!notation))
            return false;
        space();
    } while (take("|"));
    return take(")") || fail();
}

bool Reader::attlistDecl() {
    if (!(space() || fail()) || !name())
        return false;
    while (space() && !at('>')) {
        if (!name() || !(space() || fail()) || !attType() || !(space() || fail()))
            return false;
        if (take("#REQUIRED") || take("#IMPLIED"))
            continue;
        if (take("#FIXED") && !(space() || fail()))
            return false;
        if (!attValue())
            return false;
    }
    return take(">") || fail();
}

// intSubset ::= (markupdecl | PEReference | S)*, up to the ']'.
bool Reader::subset() {
    while (p < s_.size() && !at(']')) {
        if (space())
            continue;
        if (at('%'))
            return fail(kParameterEntity);
        if (at("<!ENTITY")) {
            p = 0;
            return fail(kEntityDeclared);
        }
        bool read = false;
        if (take("<!--"))
            read = past("--") && (take(">") || fail());
        else if (take("<?"))
            read = piTarget();
        else if (take("<!ELEMENT"))
            read = elementDecl();
        else if (take("<!ATTLIST"))
            read = attlistDecl();
        else if (take("<!NOTATION"))
            read =
                (space() || fail()) && name() && (space() || fail()) && externalId(true) && close();
        else
            return fail();
        if (!read)
            return false;
    }
    return take("]") || fail();
}

// doctypedecl ::= '<!DOCTYPE' S Name (S ExternalID)? S? ('[' intSubset ']' S?)? '>'
bool Reader::doctype() {
    p = 9;
    if (!(space() || fail()) || !name())
        return false;
    if (space() && (at("SYSTEM") || at("PUBLIC")) && !externalId())
        return false;
    space();
    if (take("[") && !subset())
        return false;
    space();
    return (take(">") && p == s_.size()) || fail();
}

} // namespace

const char* referenceFault(std::string_view s) {
    for (std::string_view known : {"&lt;", "&gt;", "&amp;", "&apos;", "&quot;"})
        if (s.substr(0, known.size()) == known)
            return nullptr;
    constexpr const char* kUndeclaredEntity =
        "a reference to an undeclared entity; tidylander neither expands nor fetches entities "
        "and could not write it back faithfully";
    if (s.substr(0, 2) != "&#")
        return kUndeclaredEntity;
    std::size_t i = 2;
    const bool hex = i < s.size() && s[i] == 'x';
    i += hex;
    const std::size_t first = i;
    std::uint32_t value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        const char lower = char(c | 0x20);
        std::uint32_t digit;
        if (isDigit(c))
            digit = std::uint32_t(c - '0');
        else if (hex && lower >= 'a' && lower <= 'f')
            digit = std::uint32_t(lower - 'a' + 10);
        else
            break;
        // Past the last character of Unicode the exact value no longer matters.
        value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
    }
    if (i == first || i >= s.size() || s[i] != ';')
        return kUndeclaredEntity;
    return isXmlCharacter(value) ? nullptr
                                 : "not well-formed XML: a character reference to a character "
                                   "that XML does not allow";
}

GrammarFault checkName(std::string_view name) {
    for (std::size_t i = 0, size = 0; i < name.size(); i += size) {
        const std::uint32_t c = codePointAt(name, i, size);
        if (!(i == 0 ? isNameStartCharacter(c) : isNameCharacter(c)))
            return {i, kName};
    }
    return name.empty() ? GrammarFault{0, kName} : GrammarFault{};
}

GrammarFault checkDeclaration(std::string_view decl) {
    Reader r(decl, kDeclaration);
    // A quoted value that `allowed` takes, else the place of its first character it does not.
    const auto value = [&](const auto& allowed) {
        std::string_view v;
        if (!r.quoted(v))
            return false;
        const std::size_t bad = allowed(v);
        if (bad == npos)
            return true;
        r.p -= v.size() + 1 - bad;
        return r.fail();
    };
    const auto version = [](std::string_view v) {
        if (v.size() < 3 || v.substr(0, 2) != "1.")
            return std::size_t(0);
        return v.find_first_not_of("0123456789", 2);
    };
    const auto encodingName = [](std::string_view v) {
        if (v.empty() || !isAsciiLetter(v[0]))
            return std::size_t(0);
        return v.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-");
    };
    const auto yesOrNo = [](std::string_view v) { return v == "yes" || v == "no" ? npos : 0; };
    if (decl.substr(0, 5) != "<?xml") {
        r.p = 2;
        return r.fail(kReserved), r.fault;
    }
    r.p = 5;
    if (!r.space() || !r.take("version") || !r.eq() || !value(version))
        return r.fail(), r.fault;
    bool space = r.space();
    if (space && r.take("encoding")) {
        if (!r.eq() || !value(encodingName))
            return r.fault;
        space = r.space();
    }
    if (space && r.take("standalone") && (!r.eq() || !value(yesOrNo)))
        return r.fault;
    r.space();
    if (!r.take("?>") || r.p != decl.size())
        r.fail();
    return r.fault;
}

GrammarFault checkDoctype(std::string_view doctype) {
    Reader r(doctype, kDoctype);
    if (!r.doctype())
        r.fail(); // where a step said no without saying why
    return r.fault;
}

} // namespace tidy::detail
