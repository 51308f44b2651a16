// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Memory.h"

#include "TestSupport.h"
#include "core/landxml/Document.h"
#include "core/landxml/Nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using tidy::Document;
using tidy::documentMemoryUse;
using tidytest::TempDir;

namespace {

// A surface with `faces` faces: about 40 bytes of text and one pugixml node each.
std::string terrain(int faces) {
    std::string xml = "<LandXML><Surfaces><Surface name=\"s\"><Definition><Faces>";
    for (int i = 0; i < faces; ++i)
        xml += "<F n=\"" + std::to_string(i) + " 0 0\">1 2 3</F>";
    return xml + "</Faces></Definition></Surface></Surfaces></LandXML>";
}

pugi::xml_node facesOf(const Document& doc) {
    pugi::xml_node node = doc.root();
    for (const char* name : {"Surfaces", "Surface", "Definition", "Faces"})
        node = tidy::findNode(node, name);
    return node;
}

// No block of any document is held and no chunk stays mapped.
void expectNothingHeld() {
    EXPECT_EQ(documentMemoryUse().liveBlocks, 0u);
    EXPECT_EQ(documentMemoryUse().mappedBytes, 0u);
}

} // namespace

// A window runs operation after operation in one process: each must give its memory back, so
// that the hundredth costs what the first did.
TEST(MemoryTest, EveryOperationGivesItsDocumentMemoryBack) {
    TempDir dir;
    // The small one fits in a first chunk; the large one's text takes a mapping of its own.
    const std::string small = dir.write("small.xml", terrain(200));
    const std::string large = dir.write("large.xml", terrain(40000));
    std::optional<std::size_t> firstPeak;
    for (int run = 0; run < 5; ++run) {
        for (const std::string& path : {small, large}) {
            Document doc = Document::open(path);
            pugi::xml_node faces = facesOf(doc);
            // Change it the way the passes do: remove faces, rewrite attributes.
            for (pugi::xml_node f = faces.first_child(); f;) {
                pugi::xml_node next = f.next_sibling();
                if (tidy::attributeText(f, "n").front() % 2)
                    faces.remove_child(f);
                else
                    tidy::setAttribute(doc, f, "n", "renumbered and longer than before");
                f = next;
            }
            doc.save(dir.file("out.xml"));
            EXPECT_GT(documentMemoryUse().liveBlocks, 0u);
            if (path == large) {
                const std::size_t peak = documentMemoryUse().mappedBytes;
                if (!firstPeak)
                    firstPeak = peak;
                EXPECT_EQ(peak, *firstPeak) << "run " << run;
            }
        }
        expectNothingHeld();
    }
}

TEST(MemoryTest, DocumentsFreedInAnyOrderGiveAllBack) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i)
        paths.push_back(dir.write("d" + std::to_string(i) + ".xml", terrain(3000 * (i + 1))));
    {
        std::vector<Document> open;
        for (const std::string& path : paths)
            open.push_back(Document::open(path));
        // Release the second and the last first, then the rest.
        open.erase(open.begin() + 1);
        open.pop_back();
        EXPECT_GT(documentMemoryUse().mappedBytes, 0u);
        EXPECT_EQ(tidy::childCount(facesOf(open.front())), 3000) << "what is still open is intact";
    }
    expectNothingHeld();
}

TEST(MemoryTest, BlocksAreAlignedForAnyObject) {
    tidy::useDocumentMemory();
    const auto allocate = pugi::get_memory_allocation_function();
    const auto release = pugi::get_memory_deallocation_function();
    std::vector<void*> blocks;
    for (std::size_t size : {1u, 7u, 24u, 33u, 4095u, 32808u, 100000u, 3u << 20}) {
        void* block = allocate(size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u);
        // The whole block is usable (AddressSanitizer watches the edges).
        static_cast<char*>(block)[0] = 1;
        static_cast<char*>(block)[size - 1] = 1;
        blocks.push_back(block);
    }
    EXPECT_GE(documentMemoryUse().mappedBytes, std::size_t(3) << 20);
    for (void* block : blocks)
        release(block);
    expectNothingHeld();
}

// pugixml's default memory is the C heap; a document made before the switch frees its memory
// through the new functions, which must hand it back to the heap.
TEST(MemoryTest, HeapMemoryFromBeforeTheSwitchGoesBackToTheHeap) {
    auto early = std::make_unique<pugi::xml_document>();
    pugi::xml_node root = early->append_child("r");
    for (int i = 0; i < 5000; ++i)
        root.append_child("F").append_attribute("n").set_value(i);
    void* fromHeap = std::malloc(64);
    tidy::useDocumentMemory();
    pugi::get_memory_deallocation_function()(fromHeap);
    early.reset();
    expectNothingHeld();
}
