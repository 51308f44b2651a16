// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/AtomicFile.h"

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidy {

// How a LandXML file was stored, so that a save writes it back the same way.
enum class Encoding { Utf8, Utf16LE, Utf16BE, Latin1, Ascii };
enum class LineEnd { Lf, CrLf, Cr };

// One operation's in-memory LandXML document. Each operation opens its own and drops it at the
// end; nothing of it survives between operations.
class Document {
public:
    // Nothing at `path` gives an empty document and no error. A folder, a device, a FIFO or a
    // socket there, a file that cannot be read, is not well-formed or declares an encoding or
    // entities the tool cannot write back faithfully throws Error naming the file and the place.
    static Document open(const std::string& path);

    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    ~Document();

    // Whether a file was loaded; false when no file existed at the path.
    bool loaded() const { return loaded_; }
    const std::string& path() const { return path_; }

    // The root element, or an empty node when nothing was loaded.
    pugi::xml_node root() const;

    Encoding encoding() const { return encoding_; }
    // The line ends the file came with, by its first one; the save writes the same.
    LineEnd lineEnd() const { return lineEnd_; }

    // "file: line L, column C" for a node of this document; just the file when unknown.
    std::string where(pugi::xml_node node) const;
    // The line of each node, in one reading of the file however many nodes; 0 when unknown.
    std::vector<std::size_t> lines(const std::vector<pugi::xml_node>& nodes) const;

    // Whether `utf8` is text XML can hold: valid UTF-8 of characters XML allows. Any such text
    // can be stored in a value: where the file's encoding cannot hold a character, the save
    // writes a character reference.
    bool canHold(std::string_view utf8) const;

    // Writes the document to `destination` atomically: the file as it was read, byte for byte,
    // with what the operations changed (through the setters below and noteEdited) written where
    // it stands, in the file's encoding; a character the encoding cannot hold becomes a
    // character reference. Everything else (indentation, quotes, references, empty-element
    // forms, comments, line ends) stays as it was. A temporary file in the destination's folder
    // is renamed over it only once it is complete. An existing destination keeps its
    // permissions; a symbolic link keeps pointing at its replaced target. Refuses a document
    // that was never loaded, and one whose file changed on disk since it was read.
    void save(const std::string& destination) const;

    // Tells the save that an operation changed `node` (an element): its attributes, its text or
    // its children; with `wholeSubtree` anything below it as well. A node an operation made
    // counts as a change of the element of the file that holds it. The setters of Nodes.h call
    // it; an operation that changes the tree through pugixml itself must.
    void noteEdited(pugi::xml_node node, bool wholeSubtree = false);

    pugi::xml_document& xml() { return *doc_; }
    const pugi::xml_document& xml() const { return *doc_; }

private:
    Document();
    void load();
    void write(pugi::xml_writer& out, std::string_view original, const std::string& destination,
               const std::function<void(std::size_t)>& doneBefore) const;

    std::unique_ptr<pugi::xml_document> doc_;
    std::string path_;
    Encoding encoding_ = Encoding::Utf8;
    bool bom_ = false;
    bool loaded_ = false;
    FileStamp stamp_; // of the file as it was read; a save does not replace another version
    LineEnd lineEnd_ = LineEnd::Lf;
    // Whether the load dropped whitespace before parsing, which where() maps back.
    bool spaceDropped_ = true;
    // The text the parser read in place; the document's names and values point into it.
    const char* parsed_ = nullptr;
    std::size_t parsedSize_ = 0;
    // Where the parsed text stands in the file's, now and then (MarkupScan::marks).
    std::vector<std::pair<std::size_t, std::size_t>> marks_;
    std::vector<std::pair<pugi::xml_node, bool>> edited_; // node, whole subtree
};

} // namespace tidy
