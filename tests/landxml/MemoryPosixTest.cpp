// SPDX-License-Identifier: GPL-3.0-or-later
// What the document arena hands back to the system, as mincore(2) sees it.
#include "core/landxml/Memory.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <vector>

// The file's text gives back what the indentation took once it is dropped; the rest of the
// block stays as it was, and freeing it still returns everything.
TEST(MemoryTest, TheTailOfALargeBlockGoesBackToTheSystem) {
    tidy::useDocumentMemory();
    constexpr std::size_t kPage = 4096, kPages = 1024, kSize = kPages * kPage;
    constexpr std::size_t kUsed = 16 * kPage + 100;
    char* block = static_cast<char*>(pugi::get_memory_allocation_function()(kSize));
    ASSERT_NE(block, nullptr);
    std::memset(block, 'x', kSize);
    auto residentPages = [&](std::size_t from, std::size_t to) {
        std::vector<unsigned char> pages((to - from) / kPage);
        EXPECT_EQ(::mincore(block + from, to - from, pages.data()), 0);
        return std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; });
    };
    ASSERT_EQ(residentPages(0, kSize), std::ptrdiff_t(kPages));
    tidy::releaseTailOfBlock(block, kUsed);
    EXPECT_EQ(residentPages(17 * kPage, kSize), 0);
    EXPECT_EQ(residentPages(0, 17 * kPage), 17);
    EXPECT_EQ(std::count(block, block + kUsed, 'x'), std::ptrdiff_t(kUsed));
    pugi::get_memory_deallocation_function()(block);
    EXPECT_EQ(tidy::documentMemoryUse().liveBlocks, 0u);
    EXPECT_EQ(tidy::documentMemoryUse().mappedBytes, 0u);
}
