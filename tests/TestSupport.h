// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tidytest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Path of `name` inside the folder, as text.
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    // Writes `content` to `name` inside the folder and returns its path.
    std::string write(std::string_view name, std::string_view content) const;
    // Names of the entries in the folder, sorted.
    std::string listing() const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view content);

// A locale that writes numbers with a decimal comma, by this system's name for it.
extern const char* const kDecimalCommaLocale;

// Paths of the project's test data, samples and the shared real exports.
std::string dataPath(std::string_view name);
std::string samplePath(std::string_view name);
std::string realDataPath(std::string_view name);

// The rows of a table in the test data: one row a line, fields separated by ";", lines that are
// blank or begin with "#" skipped. In a field "\t", "\r", "\n", "\\" and "\xHH" stand for a tab, a
// carriage return, a line feed, a backslash and the byte HH (";" is "\x3b").
std::vector<std::vector<std::string>> dataTable(std::string_view name);

} // namespace tidytest
