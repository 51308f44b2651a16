// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace tidytest {

TempDir::TempDir() {
    // A random name until one is free (mkdtemp is POSIX only); create_directory refuses a folder
    // that exists. Its length is fixed: the fuzzers' fixed run must meet the same paths.
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string number = std::to_string(random());
        std::filesystem::path candidate =
            base /
            ("tidytest-" + std::string(10 - std::min<size_t>(number.size(), 10), '0') + number);
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so they can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(std::string_view name, std::string_view content) const {
    std::string p = file(name);
    writeFile(p, content);
    return p;
}

std::string TempDir::listing() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : " ") + n;
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

#ifdef _WIN32
const char* const kDecimalCommaLocale = "German_Germany.1252";
#else
const char* const kDecimalCommaLocale = "de_DE.UTF-8";
#endif

std::string dataPath(std::string_view name) {
    return std::string(TIDY_TEST_DATA) + "/" + std::string(name);
}
std::string samplePath(std::string_view name) {
    return std::string(TIDY_SAMPLES) + "/" + std::string(name);
}
std::string realDataPath(std::string_view name) {
    return std::string(TIDY_REALDATA) + "/" + std::string(name);
}

namespace {

std::string unescape(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char code = field[++i];
        if (code == 'x' && i + 2 < field.size()) {
            out += static_cast<char>(std::stoi(std::string(field.substr(i + 1, 2)), nullptr, 16));
            i += 2;
            continue;
        }
        out += code == 't' ? '\t' : code == 'r' ? '\r' : code == 'n' ? '\n' : code;
    }
    return out;
}

} // namespace

std::vector<std::vector<std::string>> dataTable(std::string_view name) {
    std::istringstream in(readFile(dataPath(name)));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // a checkout with CR LF line ends; a CR in a field is written "\r"
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string>& row = rows.emplace_back();
        for (std::size_t start = 0;;) {
            const std::size_t end = line.find(';', start);
            row.push_back(unescape(std::string_view(line).substr(start, end - start)));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    if (rows.empty())
        throw std::runtime_error("no rows in " + dataPath(name));
    return rows;
}

} // namespace tidytest
