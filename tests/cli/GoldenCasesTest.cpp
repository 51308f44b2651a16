// SPDX-License-Identifier: GPL-3.0-or-later
// Golden cases: every folder under tests/cases that holds `args` is one run of the real tidyland,
// in a fresh folder holding the case's other files. Its exit status, stdout, stderr and every file
// it created or changed must equal expected/ byte for byte; the run is made again with --json,
// whose output must equal expected/json.stdout (and json.stderr) and whose exit status and files
// must be those of the plain run. TIDY_UPDATE_CASES=1 rewrites expected/ from the runs instead, for
// a reviewer to read the diff.
#include "TestSupport.h"
#include "Tidyland.h"
#include "cli/CommandTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

namespace {

Files filesIn(const fs::path& folder) {
    Files files;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            files[e.path().filename().string()] = tidytest::readFile(e.path().string());
    return files;
}

// One argument a line; a line beginning with "# " says what the case is about.
std::vector<std::string> arguments(const std::string& text) {
    std::vector<std::string> args;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("# ", 0) != 0)
            args.push_back(line);
    return args;
}

// Whether the command reports with --json: every command of the table does.
bool reports(const std::vector<std::string>& args) {
    return !args.empty() && tidycli::findCommand(args[0]);
}

// What one run showed: "status", "stdout" and "stderr" (the streams only when not empty, and
// prefixed "json." for the JSON run) and the files it created or changed.
Files run(const fs::path& caseFolder, bool json) {
    Files inputs = filesIn(caseFolder);
    std::vector<std::string> args = arguments(inputs.at("args"));
    if (json)
        args.insert(args.begin() + 1, "--json");
    inputs.erase("args");
    tidytest::TempDir work;
    for (const auto& [name, content] : inputs)
        tidytest::writeFile(work.file(name), content);
    const fs::path here = fs::current_path();
    fs::current_path(work.path());
    const tidytest::Outcome r = tidytest::runTidyland(args);
    fs::current_path(here);

    const std::string prefix = json ? "json." : "";
    Files shown{{"status", r.signal ? "signal " + std::to_string(r.signal) + "\n"
                                    : std::to_string(r.status) + "\n"}};
    if (!r.out.empty())
        shown[prefix + "stdout"] = r.out;
    if (!r.err.empty())
        shown[prefix + "stderr"] = r.err;
    for (const auto& [name, content] : filesIn(work.path())) {
        const auto input = inputs.find(name);
        if (input == inputs.end() || input->second != content)
            shown[name] = content;
    }
    return shown;
}

std::vector<std::string> caseFolders() {
    std::vector<std::string> out;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(TIDY_CASES))
        if (e.is_regular_file() && e.path().filename() == "args")
            out.push_back(fs::relative(e.path().parent_path(), TIDY_CASES).string());
    std::sort(out.begin(), out.end());
    return out;
}

class GoldenCase : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, RunGivesTheExpectedOutput) {
    const fs::path folder = fs::path(TIDY_CASES) / GetParam();
    Files shown = run(folder, false);
    if (reports(arguments(tidytest::readFile((folder / "args").string())))) {
        Files json = run(folder, true), plain = shown;
        plain.erase("stdout");
        plain.erase("stderr");
        for (const char* stream : {"json.stdout", "json.stderr"})
            if (json.count(stream))
                shown[stream] = json.extract(stream).mapped();
        EXPECT_EQ(json, plain) << "with --json, the status and the files must be the same";
    }

    const fs::path expected = folder / "expected";
    const char* update = std::getenv("TIDY_UPDATE_CASES");
    if (update && std::string(update) == "1") {
        fs::remove_all(expected);
        fs::create_directory(expected);
        for (const auto& [name, content] : shown)
            tidytest::writeFile((expected / name).string(), content);
        return;
    }
    const Files want = fs::is_directory(expected) ? filesIn(expected) : Files{};
    for (const auto& [name, content] : want)
        EXPECT_EQ(shown.count(name) ? shown[name] : "(nothing)", content) << "expected/" << name;
    for (const auto& [name, content] : shown)
        EXPECT_TRUE(want.count(name)) << "expected/" << name << " is missing; the run gave:\n"
                                      << content;
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, ::testing::ValuesIn(caseFolders()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
