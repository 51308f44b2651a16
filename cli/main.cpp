// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland: the window's operations for scripts and batches.
#include <version.h>

#include <cstring>
#include <iostream>

namespace {

constexpr const char* kUsage = R"(usage:
  tidyland scan   [--count-triangles] [--json] FILE...
  tidyland clean  [--triangles] [--curves] (--in-place | -o OUT) [--json] FILE...
  tidyland rename [--name OLD=NEW]... (--in-place | -o OUT) [--json] FILE...
  tidyland color  [--color NAME=INDEX]... (--in-place | -o OUT) [--json] FILE...
  tidyland --help
  tidyland --version
)";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "tidyland " << tidy::kVersion << "\n";
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << kUsage;
        return 0;
    }
    std::cerr << "tidyland: "
              << (argc < 2 ? "no command given"
                           : std::string("unknown command or option: ") + argv[1])
              << "\n"
              << kUsage;
    return 2;
}
