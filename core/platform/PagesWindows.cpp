// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Pages.h"

#include <windows.h>

namespace tidy::platform {

// Windows backs ordinary memory with small pages only (large ones need a privilege), so the
// mappings need no huge page alignment here.
void* mapPages(std::size_t size) {
    return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void unmapPages(void* base, std::size_t) {
    ::VirtualFree(base, 0, MEM_RELEASE);
}

void discardPages(void* at, std::size_t size) {
    // Decommitted and committed again: the memory goes back, and the pages read as zeros.
    ::VirtualFree(at, size, MEM_DECOMMIT);
    ::VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE);
}

} // namespace tidy::platform
