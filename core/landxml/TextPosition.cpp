// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/TextPosition.h"

#include <algorithm>

namespace tidy::detail {

std::pair<std::size_t, std::size_t> lineAndColumn(const char* text, std::size_t size,
                                                  std::size_t offset) {
    offset = std::min(offset, size);
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || (c == '\r' && (i + 1 >= size || text[i + 1] != '\n'))) {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

std::string place(const std::string& path, const char* text, std::size_t size, std::size_t offset) {
    auto [line, column] = lineAndColumn(text, size, offset);
    return path + ": line " + std::to_string(line) + ", column " + std::to_string(column);
}

LineEnd lineEndOf(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '\n')
            return LineEnd::Lf;
        if (text[i] == '\r')
            return i + 1 < size && text[i + 1] == '\n' ? LineEnd::CrLf : LineEnd::Cr;
    }
    return LineEnd::Lf;
}

} // namespace tidy::detail
