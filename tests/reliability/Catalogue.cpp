// SPDX-License-Identifier: GPL-3.0-or-later
#include "Catalogue.h"

#include "TestSupport.h"
#include "Tidyland.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tidytest {

namespace {

unsigned operationsNamed(const std::string& words) {
    if (words == "all")
        return kEveryOperation;
    unsigned ops = 0;
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        const auto* op = std::find_if(std::begin(kOperations), std::end(kOperations),
                                      [&](Operation o) { return word == operationName(o); });
        if (word != "none" && op == std::end(kOperations))
            throw std::runtime_error("unknown operation \"" + word + "\"");
        ops |= word == "none" ? 0 : unsigned(*op);
    }
    return ops;
}

BadFile readSidecar(const std::string& name) {
    std::istringstream in(readFile(catalogueFolder() + "/" + name + ".expect"));
    BadFile entry{name, 0, "", ""};
    bool refusedGiven = false;
    for (std::string line; std::getline(in, line);) {
        const auto colon = line.find(": ");
        const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
        if (colon == std::string::npos)
            throw std::runtime_error(name + ".expect: \"" + line + "\" is not \"key: value\"");
        if (key == "refused")
            entry.refusing = operationsNamed(value);
        else if (key == "place")
            entry.place = value;
        else if (key == "says")
            entry.says = value;
        else
            throw std::runtime_error(name + ".expect: unknown key \"" + key + "\"");
        refusedGiven |= key == "refused";
    }
    if (!refusedGiven || (entry.refusing && entry.says.empty()))
        throw std::runtime_error(name + ".expect: needs \"refused\" and, when refused, \"says\"");
    return entry;
}

std::vector<BadFile> readCatalogue() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(catalogueFolder()))
        if (e.path().extension() != ".expect")
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::stable_partition(names.begin(), names.end(), [](auto& n) { return n == "good.xml"; });
    std::vector<BadFile> entries;
    for (const std::string& name : names)
        entries.push_back(readSidecar(name));
    return entries;
}

} // namespace

const std::vector<BadFile>& catalogue() {
    static const std::vector<BadFile> entries = readCatalogue();
    return entries;
}

const BadFile& firstRefusedBy(Operation op) {
    for (const BadFile& entry : catalogue())
        if (entry.refusing & op)
            return entry;
    throw std::runtime_error(std::string("no entry is refused by ") + operationName(op));
}

std::vector<std::string> Command::on(const std::string& file, const std::string& out) const {
    std::vector<std::string> with = args;
    for (std::string& a : with)
        a = a == "FILE" ? file : a == "OUT" ? out : a;
    return with;
}

std::vector<Command> everyCommand() {
    const std::string name = std::string(kSurfaceName) + "=" + std::string(kNewName);
    const std::string color = std::string(kSurfaceName) + "=" + std::to_string(kNewColor);
    std::vector<Command> commands = {{Scan, false, {"scan", "FILE"}}};
    for (Command c : {Command{Triangles, false, {"clean", "--triangles"}},
                      Command{Curves, false, {"clean", "--curves"}},
                      Command{Rename, false, {"rename", "--name", name}},
                      Command{Color, false, {"color", "--color", color}}}) {
        commands.push_back(c);
        commands.back().args.insert(commands.back().args.end(), {"--in-place", "FILE"});
        c.toNewFile = true;
        c.args.insert(c.args.end(), {"-o", "OUT", "FILE"});
        commands.push_back(c);
    }
    return commands;
}

std::vector<std::vector<std::string>> writingCommands(const std::string& file,
                                                      const std::string& output) {
    std::vector<std::vector<std::string>> commands;
    for (const Command& c : everyCommand())
        if (c.op != Scan && c.toNewFile == !output.empty())
            commands.push_back(c.on(file, output));
    return commands;
}

std::string commandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args)
        line += (line.empty() ? "" : " ") + a;
    return line;
}

std::string noFileName(NoFile kind) {
    const char* names[] = {"Missing", "Folder", "Unreadable", "Fifo", "Device"};
    return names[int(kind)];
}

std::string makeNoFile(const TempDir& dir, NoFile kind) {
    chmod(dir.path().c_str(), 0755);
    const std::string path = dir.file("survey.xml");
    if (kind == NoFile::Folder) {
        std::filesystem::create_directory(path);
        dir.write("survey.xml/inside.txt", "kept");
    } else if (kind == NoFile::Unreadable) {
        dir.write("survey.xml", catalogueBytes(catalogue().front()));
        chmod(path.c_str(), ::geteuid() == 0 ? 0600 : 0);
    } else if (kind == NoFile::Fifo) {
        mkfifo(path.c_str(), 0644);
    } else if (kind == NoFile::Device) {
        std::filesystem::create_symlink("/dev/null", path);
    }
    return path;
}

void expectNoFileKept(const TempDir& dir, NoFile kind) {
    EXPECT_EQ(dir.listing(), kind == NoFile::Missing ? "" : "survey.xml");
    const std::string path = dir.file("survey.xml");
    chmod(path.c_str(), 0755);
    if (kind == NoFile::Fifo || kind == NoFile::Device) {
        EXPECT_EQ(std::filesystem::symlink_status(path).type(),
                  kind == NoFile::Fifo ? std::filesystem::file_type::fifo
                                       : std::filesystem::file_type::symlink);
    } else if (kind != NoFile::Missing) {
        EXPECT_EQ(readFile(kind == NoFile::Folder ? path + "/inside.txt" : path),
                  kind == NoFile::Folder ? "kept" : catalogueBytes(catalogue().front()));
    }
}

void expectRefused(const Outcome& r, const std::string& beginning, const std::string& says) {
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind(beginning, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    EXPECT_EQ(r.out, "");
}

std::string catalogueFolder() {
    return TIDY_BADINPUT;
}

std::string catalogueBytes(const BadFile& entry) {
    return readFile(catalogueFolder() + "/" + entry.name);
}

} // namespace tidytest
