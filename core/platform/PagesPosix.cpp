// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Pages.h"

#include <cstdint>
#include <sys/mman.h>

namespace tidy::platform {

void* mapPages(std::size_t size) {
    // Mapped a huge page larger than asked, then trimmed to start on a huge page boundary.
    const std::size_t reserved = size + kHugePage;
    void* raw =
        ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto rawStart = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t start = (rawStart + kHugePage - 1) / kHugePage * kHugePage;
    if (start > rawStart)
        ::munmap(raw, start - rawStart);
    const std::uintptr_t end = start + size;
    if (rawStart + reserved > end)
        ::munmap(reinterpret_cast<void*>(end), rawStart + reserved - end);
    void* base = reinterpret_cast<void*>(start);
    // Without huge pages (switched off, or an old kernel) small pages serve as well.
    ::madvise(base, size, MADV_HUGEPAGE);
    return base;
}

void unmapPages(void* base, std::size_t size) {
    ::munmap(base, size);
}

void discardPages(void* at, std::size_t size) {
    ::madvise(at, size, MADV_DONTNEED);
}

} // namespace tidy::platform
