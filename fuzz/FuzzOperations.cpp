// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes, stored as a LandXML file, go through every operation of the
// tool with fixed answers: load, scan, edit and save in place and to a new file with both passes,
// renaming, colouring and a plain load and save. A refusal is fine when it is a tidy::Error that
// names the file. Anything else is a finding: a crash, a sanitizer report, a leak, another
// exception, a source file that changed, a stray or half-written file, a saved file that does
// not load again, a plain load and save that changes the content, a load that reads other
// content than pugixml reads from the file as it is, or a Latin-1 or US-ASCII file whose
// characters above its range (set by the setters) do not come back from a save.
#include "core/cleaning/EditAndSave.h"
#include "core/landxml/Document.h"
#include "core/landxml/Error.h"
#include "core/landxml/FileRun.h"
#include "core/landxml/Nodes.h"
#include "core/surfaces/AssignSurfaceColors.h"
#include "core/surfaces/RenameSurfaces.h"
#include "core/surfaces/ScanDocument.h"

#include "TestSupport.h"
#include "landxml/XmlDump.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

using tidytest::dump;
using tidytest::readFile;
using tidytest::writeFile;

// The save refuses every path into /dev, /dev/shm included, so the work folder is the usual
// temporary folder; a tmpfs there (TMPDIR) keeps the fsync of every save cheap.
std::string pathOf(const char* name) {
    static const tidytest::TempDir folder;
    return folder.file(name);
}

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "tidyfuzz finding: %s\n", what.c_str());
    std::abort();
}

// A refusal must name a file the operation was given.
void expectNamed(const tidy::Error& e, const std::string& file, const std::string& other = "") {
    const std::string message = e.what();
    if (message.rfind(file + ":", 0) != 0 && (other.empty() || message.rfind(other + ":", 0) != 0))
        finding("an error that names no file: " + message);
}

// Runs `operation`, which reads `source` and may write `output`. A refusal must name one of
// them and leave `output` unwritten. Returns whether it succeeded.
template <typename Operation>
bool refusedCleanly(const std::string& source, const std::string& output, Operation&& operation) {
    try {
        operation();
        return true;
    } catch (const tidy::Error& e) {
        expectNamed(e, source, output);
        if (output != source && fs::exists(output))
            finding("a refused operation wrote " + output + ": " + e.what());
        return false;
    } catch (const std::exception& e) {
        finding(std::string("an exception other than tidy::Error: ") + e.what());
    }
}

// What the tool wrote, it must read again.
void expectLoads(const std::string& saved, const char* by) {
    try {
        const tidy::Document again = tidy::Document::open(saved);
        if (!again.loaded())
            finding(std::string(by) + " reported success but wrote no file");
    } catch (const tidy::Error& e) {
        finding(std::string("the file written by ") + by + " does not load again: " + e.what());
    }
}

// The whitespace-only text that is content, as XML has it: under xml:space="preserve", or in an
// element that holds other text. pugixml keeps all of it with parse_ws_pcdata; this drops the
// rest, as a plain reading of the rule.
void dropBlankTextThatIsNoContent(pugi::xml_node element, bool preserve) {
    if (const pugi::xml_attribute space = element.attribute("xml:space"))
        preserve = std::string(space.value()) == "preserve";
    const auto blank = [](const char* s) {
        return std::string(s).find_first_not_of(" \t\r\n") == std::string::npos;
    };
    bool text = !blank(element.value());
    for (pugi::xml_node c : element.children())
        text |=
            c.type() == pugi::node_cdata || (c.type() == pugi::node_pcdata && !blank(c.value()));
    if (!preserve && !text) {
        element.text().set("");
        for (pugi::xml_node c = element.first_child(), next; c; c = next) {
            next = c.next_sibling();
            if (c.type() == pugi::node_pcdata)
                element.remove_child(c);
        }
    }
    for (pugi::xml_node c : element.children())
        if (c.type() == pugi::node_element)
            dropBlankTextThatIsNoContent(c, preserve);
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
    }
    out += char(0x80 | (cp & 0x3F));
}

// The input under a Latin-1 or US-ASCII declaration, with characters above the encoding's range
// set into an attribute and a text: a save must bring them back, as references.
void expectCharactersAboveTheRangeKept(const std::string& bytes, const char* encoding) {
    const std::string file = pathOf("narrow.xml"), saved = pathOf("narrow-saved.xml");
    fs::remove(saved); // the other encoding's
    writeFile(file, std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>" + bytes);
    std::string above = "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 ";
    for (size_t i = 0; i < std::min<size_t>(bytes.size(), 8); ++i)
        appendUtf8(above, 0x100 + 37 * uint8_t(bytes[i]));
    refusedCleanly(file, saved, [&] {
        tidy::Document doc = tidy::Document::open(file);
        if (!doc.loaded() || !doc.root())
            return;
        tidy::setAttribute(doc, doc.root(), "above", above);
        tidy::setNodeText(doc, tidy::addChild(doc, doc.root(), "Above"), above);
        doc.save(saved);
        const tidy::Document again = tidy::Document::open(saved);
        const pugi::xml_node added = again.root().last_child();
        if (tidy::attributeText(again.root(), "above") != above ||
            tidy::localName(added) != "Above" || tidy::nodeText(added) != above ||
            again.encoding() != doc.encoding())
            finding(std::string("characters above ") + encoding + " changed in a save:\n" +
                    readFile(saved));
    });
}

tidy::EditAndSaveObserver quietObserver(const std::string& saveAsDestination) {
    return {.chooseSaveFile = [saveAsDestination] { return saveAsDestination; }};
}

// An edit of `source` saved to `destination` when it asks for a save: refused cleanly, or what
// it wrote loads again.
void expectEditLoads(const std::string& source, const std::string& destination, const char* what,
                     const std::function<bool(tidy::Document&)>& edit) {
    if (refusedCleanly(source, destination,
                       [&] {
                           tidy::runOnFile(source, [&](tidy::Document& doc) {
                               return edit(doc) ? destination : std::string();
                           });
                       }) &&
        fs::exists(destination))
        expectLoads(destination, what);
}

// Scan, edit and save with both passes to a new file and in place, renaming with answers that
// need escaping, a cancel, an empty name and a character Latin-1 and ASCII cannot hold, and
// colouring with the stored index, a cancel and the last palette entry. Whether the file loads.
bool runEveryOperation(const std::string& bytes) {
    const std::string source = pathOf("in.xml"), inPlace = pathOf("inplace.xml");
    const std::string cleaned = pathOf("cleaned.xml"), renamed = pathOf("renamed.xml");
    const std::string colored = pathOf("colored.xml");
    const bool loads = refusedCleanly(
        source, source, [&] { tidy::ScanDocument(tidy::Document::open(source), true, {}); });
    if (refusedCleanly(source, cleaned, [&] {
            tidy::EditAndSave(source, {true, true, true}, quietObserver(cleaned));
        }))
        expectLoads(cleaned, "edit and save as");
    if (refusedCleanly(inPlace, inPlace, [&] {
            tidy::EditAndSave(inPlace, {true, true, false}, quietObserver(""));
        }))
        expectLoads(inPlace, "edit and save");
    else if (readFile(inPlace) != bytes)
        finding("a refused edit and save changed the file");

    const tidy::NameAnswer answers[] = {{true, "EG & <FG> \"new\" 'x' \xC3\xBC"},
                                        {false, "ignored"},
                                        {true, ""},
                                        {true, "snow \xE2\x98\x83"}};
    int asked = 0, picked = 0;
    const auto askName = [&](const std::string&) { return answers[asked++ % 4]; };
    expectEditLoads(source, renamed, "renaming", [&](tidy::Document& doc) {
        return tidy::RenameSurfaces(doc, {.askName = askName}).write;
    });
    const auto pickColor = [&](const std::string&, std::int32_t preset) {
        const int answer = picked++ % 3;
        return answer == 0 ? preset : answer == 1 ? -1 : 255;
    };
    expectEditLoads(source, colored, "colouring", [&](tidy::Document& doc) {
        return tidy::AssignSurfaceColors(doc, {.pickColor = pickColor}).write;
    });
    return loads;
}

// The load hands the parser less than the file (the whitespace it skips anyway): it must read
// the same from that as from the file as it is. Other encodings are decoded first.
void expectTheParserReadsTheSame(const tidy::Document& doc, const std::string& bytes) {
    const bool utf8 =
        doc.encoding() == tidy::Encoding::Utf8 || doc.encoding() == tidy::Encoding::Ascii;
    if (!doc.loaded() || !utf8 || bytes.starts_with("\xEF\xBB\xBF"))
        return;
    pugi::xml_document direct;
    const unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype |
                             pugi::parse_pi | pugi::parse_comments | pugi::parse_embed_pcdata |
                             pugi::parse_ws_pcdata;
    if (!direct.load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_utf8))
        finding("the parser refuses the file as it is, the load took it");
    dropBlankTextThatIsNoContent(direct.document_element(), false);
    if (dump(direct) != dump(doc.xml()))
        finding("the load read other content than the parser from the file:\n" + dump(direct) +
                "-- the load --\n" + dump(doc.xml()));
}

// A plain load and save leaves the document as it was and writes the file byte for byte.
void expectPlainLoadAndSaveKeepTheContent(const std::string& bytes) {
    const std::string source = pathOf("in.xml"), plain = pathOf("plain.xml");
    const tidy::Document doc = tidy::Document::open(source);
    const std::string before = dump(doc.xml());
    expectTheParserReadsTheSame(doc, bytes);
    if (!doc.loaded() || !refusedCleanly(source, plain, [&] { doc.save(plain); }))
        return;
    if (dump(doc.xml()) != before)
        finding("a save changed the document:\n" + before + "-- became --\n" + dump(doc.xml()));
    // A save writes the file's own bytes around what the operations changed: here nothing.
    if (readFile(plain) != bytes)
        finding("a plain load and save changed the bytes:\n" + readFile(plain));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::set<std::string> ours = {"in.xml",      "inplace.xml",     "cleaned.xml",
                                        "renamed.xml", "colored.xml",     "plain.xml",
                                        "narrow.xml",  "narrow-saved.xml"};
    const fs::path folder = fs::path(pathOf("in.xml")).parent_path();
    for (const auto& e : fs::directory_iterator(folder))
        fs::remove(e.path());
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    writeFile(pathOf("in.xml"), bytes);
    writeFile(pathOf("inplace.xml"), bytes);
    if (runEveryOperation(bytes))
        expectPlainLoadAndSaveKeepTheContent(bytes);
    expectCharactersAboveTheRangeKept(bytes, "ISO-8859-1");
    expectCharactersAboveTheRangeKept(bytes, "US-ASCII");
    if (readFile(pathOf("in.xml")) != bytes)
        finding("the source file changed");
    for (const auto& e : fs::directory_iterator(folder))
        if (!ours.count(e.path().filename().string()))
            finding("a stray file: " + e.path().filename().string());
    return 0;
}
