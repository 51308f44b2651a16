// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/CarriageReturns.h"

#include "landxml/Error.h"

#include <cstring>
#include <string_view>

namespace tidy::detail {

namespace {

struct CarriageReturnWalker final : pugi::xml_tree_walker {
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
            noteReferences(value);
            break;
        }
        return true;
    }
    // Marks the characters whose two-digit references "&#NN;" the value holds.
    void noteReferences(const char* value) {
        for (const char* r = std::strstr(value, "&#"); r; r = std::strstr(r + 2, "&#")) {
            const auto digit = [](char c) { return c >= '0' && c <= '9'; };
            if (digit(r[2]) && digit(r[3]) && r[4] == ';') {
                const int code = (r[2] - '0') * 10 + (r[3] - '0');
                if (code < 32)
                    taken[code] = true;
            }
        }
    }
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

} // namespace

TextCarriageReturns findTextCarriageReturns(pugi::xml_document& doc) {
    CarriageReturnWalker walker;
    doc.traverse(walker);
    for (char c = 1; c < 32 && !walker.found.lent; ++c)
        if (c != '\t' && c != '\n' && c != '\r' && !walker.taken[int(c)])
            walker.found.lent = c;
    return walker.found;
}

void refuseUnwritable(const Document& doc, const TextCarriageReturns& returns,
                      const std::string& destination) {
    if (returns.cdata)
        throw Error(destination + ": cannot save: " + doc.where(returns.cdata) +
                    ": a CDATA section holds a carriage return, which every reader would "
                    "take for a line feed");
    if (!returns.at.empty() && !returns.lent)
        throw Error(destination +
                    ": cannot save: a carriage return in element text cannot be written back "
                    "faithfully, as the comments, processing instructions, CDATA sections or "
                    "DOCTYPE of the document hold every one of the texts \"&#01;\" to "
                    "\"&#31;\"");
}

LentCharacter::LentCharacter(const TextCarriageReturns& returns) : at_(returns.at) {
    for (char* c : at_)
        *c = returns.lent;
}

LentCharacter::~LentCharacter() {
    for (char* c : at_)
        *c = '\r';
}

CarriageReturnWriter::CarriageReturnWriter(pugi::xml_writer& out, char lent,
                                           pugi::xml_encoding encoding)
    : out_(out),
      unit_(encoding == pugi::encoding_utf16_le || encoding == pugi::encoding_utf16_be ? 2 : 1) {
    const char code[] = {'&', '#', char('0' + lent / 10), char('0' + lent % 10), ';'};
    from_ = encodedAs(std::string_view(code, sizeof code), encoding);
    to_ = encodedAs("&#13;", encoding);
}

void CarriageReturnWriter::write(const void* data, size_t size) {
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

void CarriageReturnWriter::finish() {
    out_.write(pending_.data(), pending_.size());
    written_ += pending_.size();
    pending_.clear();
}

} // namespace tidy::detail
