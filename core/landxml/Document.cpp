// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Document.h"

#include "core/landxml/ContentSpace.h"
#include "core/landxml/Decoding.h"
#include "core/landxml/Error.h"
#include "core/landxml/KeptLayout.h"
#include "core/landxml/MarkupSpace.h"
#include "core/landxml/Memory.h"
#include "core/landxml/Recoding.h"
#include "core/landxml/TextPosition.h"
#include "core/landxml/Utf8.h"
#include "core/landxml/WellFormedness.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Files.h"

#include <algorithm>
#include <cstring>
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
    parsed_ = text.utf8.data;
    parsedSize_ = scan.size;
    if (spaceDropped_)
        marks_ = std::move(scan.marks);
    parseInPlace(*doc_, path_, std::move(text.utf8), scan.size, options, spaceDropped_);
    loaded_ = true; // from here on errors can name their place
    refuseWhatTheParserTook(*this, scan);
    if (scan.spaceIsContent)
        dropSpaceThatIsNotContent(root(), false);
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

std::vector<std::size_t> Document::lines(const std::vector<pugi::xml_node>& nodes) const {
    std::vector<std::size_t> result(nodes.size(), 0);
    if (!loaded_ || nodes.empty())
        return result;
    // A UTF-8 file is its own text, after its byte-order mark: read through a mapping of the
    // file, without a second copy of it in memory.
    const bool asStored = encoding_ == Encoding::Utf8 || encoding_ == Encoding::Ascii;
    std::optional<platform::FileView> view;
    DecodedText text;
    if (asStored)
        view.emplace(path_);
    else
        text = decodeFile(path_);
    const std::size_t skip = asStored && bom_ ? 3 : 0;
    const char* data = asStored ? view->data() + skip : text.utf8.data;
    const std::size_t size = asStored ? std::max(view->size(), skip) - skip : text.utf8.size;
    if (size == 0)
        return result;
    std::vector<std::size_t> offsets(nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k)
        offsets[k] = std::size_t(std::max<ptrdiff_t>(nodes[k].offset_debug(), 0));
    if (spaceDropped_)
        offsetsBeforeDroppingSpace(data, size, offsets);
    std::vector<std::size_t> order(nodes.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        order[k] = k;
        offsets[k] = std::min(offsets[k], size - 1);
        // As in where(): the '<' that opens the markup.
        if (nodes[k].type() != pugi::node_pcdata)
            while (offsets[k] > 0 && data[offsets[k]] != '<')
                --offsets[k];
    }
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return offsets[a] < offsets[b]; });
    std::size_t line = 1;
    std::size_t at = 0;
    for (const std::size_t k : order) {
        // A line ends at each line feed and at each carriage return without one after it; both
        // found by fast searches, as there may be millions of lines before an example.
        const char* const to = data + offsets[k];
        const auto find = [to](const char* from, char c) {
            return static_cast<const char*>(std::memchr(from, c, std::size_t(to - from)));
        };
        for (const char* lf = find(data + at, '\n'); lf; lf = find(lf + 1, '\n'))
            ++line;
        for (const char* cr = find(data + at, '\r'); cr; cr = find(cr + 1, '\r'))
            if (cr + 1 == data + size || cr[1] != '\n')
                ++line;
        at = offsets[k];
        if (nodes[k].offset_debug() >= 0)
            result[k] = line;
    }
    if (view && !view->intact())
        std::fill(result.begin(), result.end(), 0); // the file changed underneath: unknown
    return result;
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

void Document::noteEdited(pugi::xml_node node, bool wholeSubtree) {
    // An operation changes the same element many times over, one after the other.
    if (!edited_.empty() && edited_.back().first == node)
        edited_.back().second = edited_.back().second || wholeSubtree;
    else
        edited_.emplace_back(node, wholeSubtree);
}

void Document::save(const std::string& destination) const {
    if (!loaded_)
        throw Error((destination.empty() ? path_ : destination) +
                    ": nothing to save: no file was loaded from \"" + path_ + "\"");
    if (destination.empty())
        throw Error(path_ + ": no destination to save to");
    // The file is read again for its own bytes; another version of it would not fit the changes.
    const auto anotherVersion = [&] {
        throw Error(destination +
                    ": cannot save: " + (destination == path_ ? "the file" : quotedText(path_)) +
                    " was changed on disk after it was read; it is left as it is: load it "
                    "again and repeat the work");
    };
    if (stampOf(path_) != stamp_)
        anotherVersion();
    AtomicFile file(destination, {path_, stamp_});
    if (encoding_ == Encoding::Utf8 || encoding_ == Encoding::Ascii) {
        // Mapped rather than read: the document already holds the file's size several times.
        platform::FileView view(path_);
        const std::size_t bom = bom_ ? 3 : 0;
        if (view.size() != static_cast<std::size_t>(stamp_.size))
            anotherVersion();
        try {
            write(file, std::string_view(view.data() + bom, view.size() - bom), destination,
                  [&view, bom](std::size_t at) { view.doneBefore(at + bom); });
        } catch (const Error&) {
            if (view.intact() && stampOf(path_) == stamp_)
                throw;
            anotherVersion(); // what the write met is that change
        }
        if (!view.intact())
            anotherVersion();
    } else {
        const DecodedText text = decodeFile(path_);
        write(file, std::string_view(text.utf8.data, text.utf8.size), destination,
              [](std::size_t) {});
    }
    if (stampOf(path_) != stamp_)
        anotherVersion();
    file.commit();
}

void Document::write(pugi::xml_writer& out, std::string_view original,
                     const std::string& destination,
                     const std::function<void(std::size_t)>& doneBefore) const {
    if (bom_) {
        const std::string_view mark = encoding_ == Encoding::Utf16LE   ? "\xFF\xFE"
                                      : encoding_ == Encoding::Utf16BE ? "\xFE\xFF"
                                                                       : "\xEF\xBB\xBF";
        out.write(mark.data(), mark.size());
    }
    // The file's own text goes out as it came; only UTF-8 takes any change as it is.
    Recoder recoder(out, encoding_, LineEnd::Lf);
    const bool eightBit = encoding_ == Encoding::Utf8 || encoding_ == Encoding::Ascii;
    const LayoutSinks sinks{eightBit ? out : recoder, encoding_ == Encoding::Utf8 ? out : recoder,
                            doneBefore};
    const pugi::xml_node root = doc_->document_element();
    const std::size_t rootStart =
        root && root.name() >= parsed_ && root.name() < parsed_ + parsedSize_
            ? std::size_t(root.name() - parsed_)
            : parsedSize_;
    writeKeepingLayout(*this, original, {parsed_, parsedSize_, spaceDropped_, &marks_, rootStart},
                       edited_, sinks, destination);
}

} // namespace tidy
