// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "landxml/AtomicFile.h"

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <string_view>

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

    // Whether `utf8` is text XML can hold: valid UTF-8 of characters XML allows. Any such text
    // can be stored in a value: where the file's encoding cannot hold a character, the save
    // writes a character reference.
    bool canHold(std::string_view utf8) const;

    // Writes the whole document to `destination` atomically, in the source's encoding and with
    // its line ends, a character that encoding cannot hold in text or an attribute value as a
    // character reference (one in a name, comment, processing instruction or CDATA section,
    // which have none, is refused before anything is written): a
    // temporary file in the destination's folder is renamed over it only once it is complete.
    // An existing destination keeps its permissions; a symbolic link keeps pointing at its
    // replaced target. Refuses a document that was never loaded. A carriage return in element
    // text is written as "&#13;"; for that the save briefly changes those characters in the
    // tree, so no other thread may read the document while it saves.
    void save(const std::string& destination) const;

    pugi::xml_document& xml() { return *doc_; }
    const pugi::xml_document& xml() const { return *doc_; }

private:
    // The setters change the document through noteStored.
    friend void setAttribute(Document& doc, pugi::xml_node node, const char* name,
                             std::string_view value);
    friend void setNodeText(Document& doc, pugi::xml_node node, std::string_view text);
    friend pugi::xml_node addChild(Document& doc, pugi::xml_node parent, std::string_view name);

    Document();
    void load();
    void refuseWhatCannotBeWritten(const std::string& destination) const;
    void serialize(pugi::xml_writer& out) const;
    // Tells the save what a setter stored, so that it looks for what needs care only when there
    // can be some: `value` as element text (`inText`) or an attribute value, `besideMarkup` when
    // the element also holds other children. The load finds those of the file by itself.
    void noteStored(std::string_view value, bool inText, bool besideMarkup);

    std::unique_ptr<pugi::xml_document> doc_;
    std::string path_;
    Encoding encoding_ = Encoding::Utf8;
    bool bom_ = false;
    bool loaded_ = false;
    FileStamp stamp_; // of the file as it was read; a save does not replace another version
    LineEnd lineEnd_ = LineEnd::Lf;
    // Whether the load dropped whitespace before parsing, which where() maps back.
    bool spaceDropped_ = true;
    // Off for almost every file: the save then needs no look at the text.
    bool carriageReturnInText_ = false;
    bool beyondEncoding_ = false; // a value holds a character the encoding cannot
    bool spaceIsContent_ = false; // text beside elements, or xml:space="preserve"
};

} // namespace tidy
