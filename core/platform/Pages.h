// SPDX-License-Identifier: GPL-3.0-or-later
// Memory straight from the system, in whole pages, for the document arena.
#pragma once

#include <cstddef>

namespace tidy::platform {

// Where the system can back memory with huge pages, the size of one; mappings start on such a
// boundary so that they can be backed that way from the first touch.
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kSmallPage = 4096;

// `size` bytes (a multiple of kSmallPage) of zeroed, writable memory, or nullptr.
void* mapPages(std::size_t size);
// Gives back all of what mapPages returned.
void unmapPages(void* base, std::size_t size);
// Hands the memory of whole pages back to the system while keeping their addresses: they read
// as zeros if touched again.
void discardPages(void* at, std::size_t size);

} // namespace tidy::platform
