// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <cstddef>
#include <string>
#include <utility>

namespace tidy::detail {

// Line and column (1-based, columns in characters) of a byte offset in UTF-8 text. A lone
// carriage return ends a line as well; in CR LF the line feed does.
std::pair<std::size_t, std::size_t> lineAndColumn(const char* text, std::size_t size,
                                                  std::size_t offset);

// "path: line L, column C" of a byte offset in the file's UTF-8 text.
std::string place(const std::string& path, const char* text, std::size_t size, std::size_t offset);

// How the text ends its lines, by its first line end; Lf when it has none.
LineEnd lineEndOf(const char* text, std::size_t size);

} // namespace tidy::detail
