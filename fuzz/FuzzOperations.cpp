// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes, stored as a LandXML file, go through every operation of the
// tool with fixed answers: load, scan, edit and save in place and to a new file with both passes,
// renaming, colouring and a plain load and save. A refusal is fine when it is a tidy::Error that
// names the file. Anything else is a finding: a crash, a sanitizer report, a leak, another
// exception, a source file that changed, a stray or half-written file, a saved file that does
// not load again, a plain load and save that changes the content, a load that reads other
// content than pugixml reads from the file as it is, or a Latin-1 or US-ASCII file whose
// characters above its range (set by the setters) do not come back from a save.
#include "cleaning/EditAndSave.h"
#include "landxml/Document.h"
#include "landxml/Error.h"
#include "landxml/FileRun.h"
#include "landxml/Nodes.h"
#include "landxml/ScanDocument.h"
#include "surfaces/AssignSurfaceColors.h"
#include "surfaces/RenameSurfaces.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The save refuses every path into /dev, /dev/shm included, so the work folder is the usual
// temporary folder; a tmpfs there (TMPDIR) keeps the fsync of every save cheap.
const fs::path& workFolder() {
    static const fs::path folder = [] {
        std::string base = fs::temp_directory_path();
        std::string name = base + "/tidyfuzz-XXXXXX";
        if (!mkdtemp(name.data())) {
            std::perror("tidyfuzz: cannot create a work folder");
            std::abort();
        }
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(workFolder(), ec);
        });
        return fs::path(name);
    }();
    return folder;
}

std::string pathOf(const char* name) {
    return (workFolder() / name).string();
}

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "tidyfuzz finding: %s\n", what.c_str());
    std::abort();
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        finding("cannot write the input to " + path);
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

// Every node in document order with its kind, name, value and attributes: the content that a
// load and save must keep.
std::string content(const pugi::xml_document& doc) {
    struct Walker : pugi::xml_tree_walker {
        std::string out;
        bool for_each(pugi::xml_node& n) override {
            out += std::to_string(depth()) + " " + std::to_string(int(n.type())) + " <" + n.name() +
                   "> [" + n.value() + "]";
            for (pugi::xml_attribute a : n.attributes())
                out += std::string(" ") + a.name() + "=[" + a.value() + "]";
            out += "\n";
            return true;
        }
    } walker;
    const_cast<pugi::xml_document&>(doc).traverse(walker);
    return walker.out;
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
void expectCharactersAboveTheRangeKept(const uint8_t* data, size_t size, const char* encoding) {
    const std::string file = pathOf("narrow.xml"), saved = pathOf("narrow-saved.xml");
    fs::remove(saved); // the other encoding's
    const std::string declaration =
        std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>";
    const std::string text = declaration + std::string(reinterpret_cast<const char*>(data), size);
    writeBytes(file, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::string above = "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 ";
    for (size_t i = 0; i < std::min<size_t>(size, 8); ++i)
        appendUtf8(above, 0x100 + 37 * data[i]);
    refusedCleanly(file, saved, [&] {
        tidy::Document doc = tidy::Document::open(file);
        if (!doc.loaded() || !doc.root())
            return;
        tidy::setAttribute(doc, doc.root(), "above", above);
        tidy::setNodeText(doc, tidy::addChild(doc.root(), "Above"), above);
        doc.save(saved);
        const tidy::Document again = tidy::Document::open(saved);
        const pugi::xml_node added = again.root().last_child();
        if (tidy::attributeText(again.root(), "above") != above ||
            tidy::localName(added) != "Above" || tidy::nodeText(added) != above ||
            again.encoding() != doc.encoding())
            finding(std::string("characters above ") + encoding + " changed in a save:\n" +
                    readBytes(saved));
    });
}

tidy::EditAndSaveObserver quietObserver(const std::string& saveAsDestination) {
    return {.chooseSaveFile = [saveAsDestination] { return saveAsDestination; }};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string source = pathOf("in.xml");
    const std::string inPlace = pathOf("inplace.xml");
    const std::string cleaned = pathOf("cleaned.xml");
    const std::string renamed = pathOf("renamed.xml");
    const std::string colored = pathOf("colored.xml");
    const std::string plain = pathOf("plain.xml");
    const std::string plainAgain = pathOf("plain2.xml");
    const std::set<std::string> ours = {"in.xml",      "inplace.xml", "cleaned.xml",
                                        "renamed.xml", "colored.xml", "plain.xml",
                                        "plain2.xml",  "narrow.xml",  "narrow-saved.xml"};
    for (const auto& e : fs::directory_iterator(workFolder()))
        fs::remove(e.path());
    writeBytes(source, data, size);
    writeBytes(inPlace, data, size);
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Load and scan, as the open-and-scan operation does.
    bool loads = refusedCleanly(source, source, [&] {
        const tidy::Document doc = tidy::Document::open(source);
        tidy::ScanDocument(doc, true, {});
    });

    // Edit and save, both passes: to a new file, then over the file itself.
    const tidy::EditAndSaveOptions saveAs{true, true, true};
    if (refusedCleanly(source, cleaned,
                       [&] { tidy::EditAndSave(source, saveAs, quietObserver(cleaned)); }))
        expectLoads(cleaned, "edit and save as");
    const tidy::EditAndSaveOptions inPlaceOptions{true, true, false};
    if (refusedCleanly(inPlace, inPlace,
                       [&] { tidy::EditAndSave(inPlace, inPlaceOptions, quietObserver("")); }))
        expectLoads(inPlace, "edit and save");
    else if (readBytes(inPlace) != bytes)
        finding("a refused edit and save changed the file");

    // Renaming with answers that need escaping, an empty name, a cancel and a character that
    // Latin-1 and ASCII files cannot hold.
    int asked = 0;
    auto askName = [&](const std::string&) {
        switch (asked++ % 4) {
        case 0:
            return tidy::NameAnswer{true, "EG & <FG> \"new\" 'x' \xC3\xBC"};
        case 1:
            return tidy::NameAnswer{false, "ignored"};
        case 2:
            return tidy::NameAnswer{true, ""};
        default:
            return tidy::NameAnswer{true, "snow \xE2\x98\x83"};
        }
    };
    if (refusedCleanly(source, renamed, [&] {
            tidy::runOnFile(source, [&](tidy::Document& doc) {
                return tidy::RenameSurfaces(doc, {.askName = askName}).write ? renamed : "";
            });
        }))
        if (fs::exists(renamed))
            expectLoads(renamed, "renaming");

    // Colouring: the stored index, a cancel, the last palette entry.
    int picked = 0;
    auto pickColor = [&](const std::string&, std::int32_t preset) {
        const int answer = picked++ % 3;
        return answer == 0 ? preset : answer == 1 ? -1 : 255;
    };
    if (refusedCleanly(source, colored, [&] {
            tidy::runOnFile(source, [&](tidy::Document& doc) {
                return tidy::AssignSurfaceColors(doc, {.pickColor = pickColor}).write ? colored
                                                                                      : "";
            });
        }))
        if (fs::exists(colored))
            expectLoads(colored, "colouring");

    // A plain load and save leaves the document as it was and keeps the content, what it wrote
    // loads to the same content, and saving that writes the same bytes again.
    if (loads) {
        const tidy::Document doc = tidy::Document::open(source);
        const std::string before = content(doc.xml());
        // The load hands the parser less than the file (the whitespace it skips anyway): it must
        // read the same from that as from the file as it is. Other encodings are decoded first.
        const bool utf8 =
            doc.encoding() == tidy::Encoding::Utf8 || doc.encoding() == tidy::Encoding::Ascii;
        if (doc.loaded() && utf8 && !doc.hasByteOrderMark()) {
            pugi::xml_document direct;
            const unsigned options = pugi::parse_default | pugi::parse_declaration |
                                     pugi::parse_doctype | pugi::parse_pi | pugi::parse_comments |
                                     pugi::parse_embed_pcdata | pugi::parse_ws_pcdata;
            if (!direct.load_buffer(data, size, options, pugi::encoding_utf8))
                finding("the parser refuses the file as it is, the load took it");
            dropBlankTextThatIsNoContent(direct.document_element(), false);
            if (content(direct) != before)
                finding("the load read other content than the parser from the file:\n" +
                        content(direct) + "-- the load --\n" + before);
        }
        if (doc.loaded() && refusedCleanly(source, plain, [&] { doc.save(plain); })) {
            if (content(doc.xml()) != before)
                finding("a save changed the document:\n" + before + "-- became --\n" +
                        content(doc.xml()));
            try {
                const tidy::Document again = tidy::Document::open(plain);
                if (content(again.xml()) != before)
                    finding("a load and save changed the content:\n" + before + "-- became --\n" +
                            content(again.xml()));
                again.save(plainAgain);
                if (readBytes(plainAgain) != readBytes(plain))
                    finding("a second load and save wrote different bytes");
            } catch (const tidy::Error& e) {
                finding(std::string("a plain save does not load again: ") + e.what());
            }
        }
    }

    expectCharactersAboveTheRangeKept(data, size, "ISO-8859-1");
    expectCharactersAboveTheRangeKept(data, size, "US-ASCII");

    if (readBytes(source) != bytes)
        finding("the source file changed");
    for (const auto& e : fs::directory_iterator(workFolder()))
        if (!ours.count(e.path().filename().string()))
            finding("a stray file: " + e.path().filename().string());
    return 0;
}
