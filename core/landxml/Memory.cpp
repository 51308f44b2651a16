// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Memory.h"

#include "core/platform/Pages.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>

// GCC says so with __SANITIZE_ADDRESS__, clang (the fuzzer's compiler) only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TIDY_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TIDY_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(TIDY_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#define TIDY_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define TIDY_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define TIDY_POISON(address, size) ((void)(address), (void)(size))
#define TIDY_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace tidy {

namespace {

using platform::kHugePage;
using platform::kSmallPage;
constexpr std::size_t kLargestChunk = std::size_t(64) << 20;
// The file's text and other blocks this large get a mapping of their own, which goes back to the
// system the moment the block is freed.
constexpr std::size_t kOwnMappingFrom = std::size_t(1) << 20;
constexpr std::size_t kAlignment = 16;

std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

struct Mapping {
    char* base = nullptr;
    std::size_t size = 0;
    std::size_t used = 0; // blocks are cut from the front; freed space is not reused
    std::size_t live = 0; // blocks handed out and not yet given back
    bool isChunk = false; // false: one large block of its own
};

// Chunks cut into blocks front to back. Freed blocks are only counted: pugixml frees a page when
// it empties, and all of them when its document goes, so a chunk is whole again soon enough and
// a free list would buy nothing.
class Arena {
public:
    void* allocate(std::size_t size) {
        size = roundUp(std::max<std::size_t>(size, 1), kAlignment);
        const std::lock_guard lock(mutex_);
        if (size >= kOwnMappingFrom) {
            Mapping* own = map(roundUp(size, kSmallPage));
            if (!own)
                return nullptr;
            own->used = own->size;
            return handOut(*own, own->base, size);
        }
        if (!current_ || current_->size - current_->used < size) {
            // Chunks grow with what is in use: a small document takes one huge page, a large
            // one reaches the largest chunks after a few steps.
            const std::size_t chunk =
                std::clamp(roundUp(chunkBytes_, kHugePage), kHugePage, kLargestChunk);
            Mapping* fresh = map(chunk);
            if (!fresh)
                return nullptr;
            fresh->isChunk = true;
            chunkBytes_ += chunk;
            current_ = fresh;
        }
        char* block = current_->base + current_->used;
        current_->used += size;
        return handOut(*current_, block, size);
    }

    // False when `block` did not come from here.
    bool deallocate(void* block) {
        const auto address = reinterpret_cast<std::uintptr_t>(block);
        const std::lock_guard lock(mutex_);
        auto it = mappings_.upper_bound(address); // keyed by end address
        if (it == mappings_.end() || reinterpret_cast<std::uintptr_t>(it->second.base) > address)
            return false;
        Mapping& mapping = it->second;
        --liveBlocks_;
        if (--mapping.live > 0)
            return true;
        if (&mapping == current_)
            current_ = nullptr;
        if (mapping.isChunk)
            chunkBytes_ -= mapping.size;
        unmap(it);
        return true;
    }

    void releaseTail(void* block, std::size_t used) {
        const auto address = reinterpret_cast<std::uintptr_t>(block);
        const std::lock_guard lock(mutex_);
        auto it = mappings_.upper_bound(address);
        if (it == mappings_.end() || it->second.isChunk ||
            reinterpret_cast<std::uintptr_t>(it->second.base) != address)
            return;
        const std::size_t from = roundUp(used, kSmallPage);
        if (from >= it->second.size)
            return;
        // The mapping stays whole, so that freeing the block unmaps it as any other; the pages
        // come back zeroed should anything touch them.
        platform::discardPages(it->second.base + from, it->second.size - from);
        TIDY_POISON(it->second.base + from, it->second.size - from);
    }

    DocumentMemoryUse use() {
        const std::lock_guard lock(mutex_);
        return {mappedBytes_, liveBlocks_};
    }

private:
    void* handOut(Mapping& mapping, char* block, std::size_t size) {
        ++mapping.live;
        ++liveBlocks_;
        TIDY_UNPOISON(block, size);
        return block;
    }

    // A fresh mapping of `size` bytes (a multiple of the small page).
    Mapping* map(std::size_t size) {
        char* base = static_cast<char*>(platform::mapPages(size));
        if (!base)
            return nullptr;
        TIDY_POISON(base, size);
        mappedBytes_ += size;
        Mapping& mapping = mappings_[reinterpret_cast<std::uintptr_t>(base) + size];
        mapping.base = base;
        mapping.size = size;
        return &mapping;
    }

    void unmap(std::map<std::uintptr_t, Mapping>::iterator it) {
        Mapping& mapping = it->second;
        TIDY_UNPOISON(mapping.base, mapping.size);
        platform::unmapPages(mapping.base, mapping.size);
        mappedBytes_ -= mapping.size;
        mappings_.erase(it);
    }

    std::mutex mutex_;
    std::map<std::uintptr_t, Mapping> mappings_;
    Mapping* current_ = nullptr;
    std::size_t chunkBytes_ = 0;
    std::size_t mappedBytes_ = 0;
    std::size_t liveBlocks_ = 0;
};

// Never destroyed: a document that outlives main() still gives its memory back here.
Arena& arena() {
    static Arena* const instance = new Arena;
    return *instance;
}

void* allocateDocumentMemory(std::size_t size) {
    return arena().allocate(size);
}

void freeDocumentMemory(void* block) {
    // pugixml's own default is the C heap: what it took there before the switch goes back there.
    if (block && !arena().deallocate(block))
        std::free(block);
}

} // namespace

void useDocumentMemory() {
    static std::once_flag once;
    std::call_once(once, [] {
        pugi::set_memory_management_functions(allocateDocumentMemory, freeDocumentMemory);
    });
}

void releaseTailOfBlock(void* block, std::size_t used) {
    arena().releaseTail(block, used);
}

DocumentMemoryUse documentMemoryUse() {
    return arena().use();
}

} // namespace tidy
