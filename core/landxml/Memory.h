// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace tidy {

// Routes pugixml's memory through large chunks backed by transparent huge pages, so that
// loading a terrain model of hundreds of megabytes costs a few hundred page faults rather than
// a hundred thousand. pugixml asks for 32 KiB pages and hands them back one by one; a chunk is
// returned to the system as soon as its last page comes back, so a process that runs many
// operations holds no document memory between them. Takes effect for the whole process on the
// first call; later calls do nothing. Memory that pugixml took from the C heap before then is
// still handed back to the C heap. Safe to call from any thread.
void useDocumentMemory();

// Hands the pages of `block` past its first `used` bytes back to the system, when the block has
// a mapping of its own (the file's text): what is past `used` must not be read again. The block
// is freed as before.
void releaseTailOfBlock(void* block, std::size_t used);

// What the chunks hold right now.
struct DocumentMemoryUse {
    std::size_t mappedBytes = 0; // address space taken from the system, chunks and large blocks
    std::size_t liveBlocks = 0;  // blocks handed out and not yet given back
};
DocumentMemoryUse documentMemoryUse();

} // namespace tidy
