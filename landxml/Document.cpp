// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/Document.h"

#include "landxml/AtomicFile.h"
#include "landxml/CarriageReturns.h"
#include "landxml/ContentSpace.h"
#include "landxml/Decoding.h"
#include "landxml/Error.h"
#include "landxml/MarkupSpace.h"
#include "landxml/Memory.h"
#include "landxml/Recoding.h"
#include "landxml/TextPosition.h"
#include "landxml/Utf8.h"
#include "landxml/WellFormedness.h"
#include "landxml/platform/Files.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

namespace tidy {

using namespace detail;

namespace {

// parse_embed_pcdata keeps the text of an element that starts with text in the element itself
// instead of a node of its own: a third less memory for a terrain model's points and faces.
// childCount still counts that text as the child it is.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                   pugi::parse_doctype | pugi::parse_pi | pugi::parse_comments |
                                   pugi::parse_embed_pcdata;

// Parses the first `size` bytes of `text` in place; the document takes the buffer over. A fault
// is reported at its place in the file, whose text is read again: the parser changed this one.
// With `spaceDropped`, the whitespace between markup was dropped from `text` before.
void parseInPlace(pugi::xml_document& doc, const std::string& path, FileBuffer text, size_t size,
                  unsigned options, bool spaceDropped) {
    releaseTailOfBlock(text.data, size);
    const pugi::xml_parse_result r =
        doc.load_buffer_inplace_own(text.release(), size, options, pugi::encoding_utf8);
    if (r)
        return;
    const DecodedText again = decodeFile(path);
    size_t at = size_t(std::max<ptrdiff_t>(r.offset, 0));
    if (spaceDropped)
        at = offsetBeforeDroppingSpace(again.utf8.data, again.utf8.size, at);
    throw Error(place(path, again.utf8.data, again.utf8.size, at) +
                ": not well-formed XML: " + r.description());
}

// What pugixml writes itself: the file's encoding, or UTF-8 for the recoder to convert.
pugi::xml_encoding writtenEncoding(Encoding encoding, bool recode) {
    if (recode)
        return pugi::encoding_utf8;
    switch (encoding) {
    case Encoding::Utf16LE:
        return pugi::encoding_utf16_le;
    case Encoding::Utf16BE:
        return pugi::encoding_utf16_be;
    case Encoding::Latin1:
        return pugi::encoding_latin1;
    default:
        return pugi::encoding_utf8;
    }
}

} // namespace

Document::Document() : doc_(std::make_unique<pugi::xml_document>()) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

Document Document::open(const std::string& path) {
    useDocumentMemory();
    Document d;
    d.path_ = path;
    std::error_code ec;
    const auto type = path.empty()
                          ? std::filesystem::file_type::not_found
                          : std::filesystem::status(platform::pathFromUtf8(path), ec).type();
    if (type == std::filesystem::file_type::not_found)
        return d;
    // Something that is there but no file is named as what it is; a path that cannot be looked
    // at (a folder on the way without permission) is read, which says why not.
    if (type == std::filesystem::file_type::directory)
        throw Error(path + ": is a folder");
    if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::none)
        throw Error(path + ": not a regular file");

    d.stamp_ = stampOf(path); // before the read: a change while reading is then seen as one
    d.load();
    return d;
}

void Document::load() {
    DecodedText text = decodeFile(path_);
    refuseForbiddenControl(path_, text);
    lineEnd_ = lineEndOf(text.utf8.data, text.utf8.size);
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
        text = decodeFile(path_);
        scan.size = text.utf8.size;
        options |= pugi::parse_ws_pcdata;
    }
    spaceDropped_ = !scan.spaceIsContent;
    encoding_ = text.encoding;
    bom_ = text.bom;
    parseInPlace(*doc_, path_, std::move(text.utf8), scan.size, options, spaceDropped_);
    loaded_ = true; // from here on errors can name their place
    const ValuesToWriteBack values = refuseWhatTheParserTook(*this, scan, hasCharacterReference);
    carriageReturnInText_ = values.carriageReturnInText;
    beyondEncoding_ = values.beyondEncoding;
    if (scan.spaceIsContent) {
        dropSpaceThatIsNotContent(root(), false);
        spaceIsContent_ = true;
    }
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

void Document::noteStored(std::string_view value, bool inText, bool besideMarkup) {
    if (inText && value.find('\r') != std::string_view::npos)
        carriageReturnInText_ = true;
    const unsigned beyond = firstByteBeyond(encoding_);
    if (beyond < 0x100 && std::any_of(value.begin(), value.end(), [&](char c) {
            return static_cast<unsigned char>(c) >= beyond;
        }))
        beyondEncoding_ = true;
    if (inText && besideMarkup)
        spaceIsContent_ = true;
}

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
    if (beyondEncoding_)
        refuseBeyondWithoutReference(*this, destination);
    if (carriageReturnInText_)
        refuseUnwritable(*this, findTextCarriageReturns(*doc_), destination);
}

// pugixml writes the document; the writers between it and `out` add what it cannot do itself,
// each only for the documents that need it.
void Document::serialize(pugi::xml_writer& out) const {
    const bool recode =
        lineEnd_ != LineEnd::Lf ||
        (beyondEncoding_ && (encoding_ == Encoding::Latin1 || encoding_ == Encoding::Ascii));
    const pugi::xml_encoding enc = writtenEncoding(encoding_, recode);
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
