// SPDX-License-Identifier: GPL-3.0-or-later
// Small LandXML documents for the surface editing tests, and comparison by content.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace surfacetest {

// A LandXML document (UTF-8, default namespace) whose root holds `body`.
std::string landXml(std::string_view body);

// `count` empty Surface elements named prefix1, prefix2, ...
std::string numberedSurfaces(int count, std::string_view prefix = "S");

// The document's content in one fixed form (no declaration, no indentation), so two documents
// compare equal when their elements, attributes, texts and comments are the same.
std::string canonical(const std::string& xml);
// The same for a file, read in whatever encoding it declares.
std::string canonicalFile(const std::string& path);

// The "name" of every child element of Surfaces, in order, as UTF-8.
std::vector<std::string> surfaceNames(const std::string& path);

} // namespace surfacetest
