// SPDX-License-Identifier: GPL-3.0-or-later
// The naive floor of the benchmark: what any program that loads and saves the whole file with
// pugixml pays, using pugixml's default memory management and the tool's parse and save options.
//
//     naive_floor IN OUT
#include <pugixml.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: naive_floor IN OUT\n");
        return 2;
    }
    constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                       pugi::parse_doctype | pugi::parse_pi | pugi::parse_comments;
    pugi::xml_document doc;
    const pugi::xml_parse_result loaded = doc.load_file(argv[1], kParseOptions);
    if (!loaded) {
        std::fprintf(stderr, "naive_floor: %s: %s\n", argv[1], loaded.description());
        return 1;
    }
    if (!doc.save_file(argv[2], "\t", pugi::format_indent | pugi::format_no_declaration)) {
        std::fprintf(stderr, "naive_floor: %s: cannot save\n", argv[2]);
        return 1;
    }
    return 0;
}
