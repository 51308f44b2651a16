// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/FileBuffer.h"

#include "core/platform/Files.h"

#include <pugixml.hpp>

#include <cstring>
#include <new>

namespace tidy::detail {

FileBuffer::FileBuffer(std::size_t n)
    : data(static_cast<char*>(pugi::get_memory_allocation_function()(n ? n : 1))), size(n) {
    if (!data)
        throw std::bad_alloc();
}

FileBuffer::~FileBuffer() {
    if (data)
        pugi::get_memory_deallocation_function()(data);
}

FileBuffer readFileBuffer(const std::string& path,
                          const std::function<void(std::string_view start)>& lookAtStart) {
    FileBuffer buf;
    buf.size = platform::readWholeFile(path, lookAtStart, [&buf](std::size_t size) {
        buf = FileBuffer(size);
        return buf.data;
    });
    return buf;
}

FileBuffer copyToFileBuffer(std::string_view text) {
    FileBuffer b(text.size());
    std::memcpy(b.data, text.data(), text.size());
    return b;
}

} // namespace tidy::detail
