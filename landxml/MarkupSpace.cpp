// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/MarkupSpace.h"

#include <cstring>
#include <string_view>

namespace tidy {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Past the '>' that closes a tag opened at `i`, quotes respected, as the parser reads an
// attribute value with a '>' in it; npos when the text ends first.
std::size_t endOfTag(const char* text, std::size_t size, std::size_t i) {
    for (++i; i < size; ++i) {
        const char c = text[i];
        if (c == '>')
            return i + 1;
        if (c == '"' || c == '\'') {
            // Values are short: a loop beats a call to memchr.
            for (++i; i < size && text[i] != c; ++i) {
            }
            if (i == size)
                return npos;
        }
    }
    return npos;
}

// Whether `c` may stand in a name: after "<?xml" it makes the target another one.
bool continuesName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

// Past the "?>" that closes a processing instruction opened at `i`. The parser ends one at the
// first "?>", but reads the XML declaration (target "xml" in any case) as attributes, quotes
// respected: where its first "?>" stands inside quotes the two readings differ, and npos says so.
std::size_t endOfProcessingInstruction(const char* text, std::size_t size, std::size_t i) {
    const std::string_view rest(text + i, size - i);
    const bool declaration = rest.size() > 5 && (rest[2] | ' ') == 'x' && (rest[3] | ' ') == 'm' &&
                             (rest[4] | ' ') == 'l' && !continuesName(rest[5]);
    if (!declaration) {
        const std::size_t at = rest.find("?>", 2);
        return at == npos ? npos : i + at + 2;
    }
    char quote = 0;
    for (i += 2; i + 1 < size; ++i) {
        const char c = text[i];
        if (c == '?' && text[i + 1] == '>')
            return quote ? npos : i + 2;
        if (quote && c == quote)
            quote = 0;
        else if (!quote && (c == '"' || c == '\''))
            quote = c;
    }
    return npos;
}

// Past the markup that starts with the '<' at `i`, or npos where this reading stops.
std::size_t endOfMarkup(const char* text, std::size_t size, std::size_t i) {
    if (i + 1 < size && text[i + 1] != '!' && text[i + 1] != '?')
        return endOfTag(text, size, i); // by far the most markup
    const std::string_view rest(text + i, size - i);
    auto past = [&](std::size_t from, std::string_view end) {
        const std::size_t at = rest.find(end, from);
        return at == npos ? npos : i + at + end.size();
    };
    if (rest.substr(0, 4) == "<!--")
        return past(4, "-->");
    if (rest.substr(0, 9) == "<![CDATA[")
        return past(9, "]]>");
    if (rest.substr(0, 2) == "<!")
        return npos; // a DOCTYPE, whose internal subset has markup of its own, or not XML
    if (rest.substr(0, 2) == "<?")
        return endOfProcessingInstruction(text, size, i);
    return endOfTag(text, size, i);
}

// Calls drop(begin, end) for each run of whitespace between a '>' that ends markup and the '<'
// of the next, in order, while it returns true. The runs are only ever ahead of what was read,
// so the caller may move the text before a run over what came earlier.
template <class Drop> void forEachDroppedRun(const char* text, std::size_t size, Drop drop) {
    std::size_t i = 0;
    while (i < size) {
        // Text between markup is short in a terrain model: a loop beats a call to memchr.
        while (i < size && text[i] != '<')
            ++i;
        if (i == size)
            return;
        const std::size_t end = endOfMarkup(text, size, i);
        if (end == npos)
            return;
        std::size_t next = end;
        while (next < size && isSpace(text[next]))
            ++next;
        if (next > end && next < size && text[next] == '<' && !drop(end, next))
            return;
        i = next;
    }
}

} // namespace

std::size_t dropSpaceBetweenMarkup(char* text, std::size_t size) {
    std::size_t out = 0;
    std::size_t keptFrom = 0;
    forEachDroppedRun(text, size, [&](std::size_t begin, std::size_t end) {
        std::memmove(text + out, text + keptFrom, begin - keptFrom);
        out += begin - keptFrom;
        keptFrom = end;
        return true;
    });
    std::memmove(text + out, text + keptFrom, size - keptFrom);
    return out + size - keptFrom;
}

std::size_t offsetBeforeDroppingSpace(const char* original, std::size_t size, std::size_t offset) {
    std::size_t keptBefore = 0;
    std::size_t keptFrom = 0;
    std::size_t found = npos;
    forEachDroppedRun(original, size, [&](std::size_t begin, std::size_t end) {
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

} // namespace tidy
