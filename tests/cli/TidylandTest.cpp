// SPDX-License-Identifier: GPL-3.0-or-later
// The command line as scripts see it: output and exit status of the real program.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

using tidytest::readFile;
using tidytest::TempDir;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Outcome tidyland(const std::vector<std::string>& args) {
    TempDir dir;
    std::string cmd = quote(TIDYLAND);
    for (const std::string& a : args)
        cmd += " " + quote(a);
    cmd += " 2>" + quote(dir.file("err")) + " </dev/null";
    Outcome r;
    FILE* p = popen(cmd.c_str(), "r");
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int s = pclose(p);
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    r.err = readFile(dir.file("err"));
    return r;
}

const char* kTwoSurfaces = R"(<?xml version="1.0" encoding="UTF-8"?>
<LandXML xmlns="http://www.landxml.org/schema/LandXML-1.2">
	<Surfaces>
		<Surface name="EG">
			<Definition surfType="TIN">
				<Faces>
					<F i="1" n="0 2 0">1 2 3</F>
					<F n="1 0 0">2 3 4</F>
				</Faces>
			</Definition>
		</Surface>
		<Surface name="FG &quot;new&quot;" />
	</Surfaces>
</LandXML>
)";

} // namespace

TEST(TidylandTest, VersionAndHelp) {
    Outcome v = tidyland({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "tidyland 2.0.5.98\n");
    Outcome h = tidyland({"--help"});
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("tidyland clean  [--triangles] [--curves] (--in-place | -o OUT)"),
              std::string::npos);
}

TEST(TidylandTest, UsageErrorsRunNothing) {
    TempDir dir;
    std::string a = dir.write("a.xml", kTwoSurfaces);
    std::string b = dir.write("b.xml", kTwoSurfaces);
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate", a},
        {"scan"},
        {"scan", "--triangles", a},
        {"clean", "--triangles", a},                         // no write mode
        {"clean", "--in-place", "-o", dir.file("o.xml"), a}, // both write modes
        {"clean", "-o", dir.file("o.xml"), a, b},            // -o with two files
        {"color", "--color", "EG=256", "--in-place", a},
        {"color", "--color", "EG", "--in-place", a},
        {"rename", "--name", "EG", "--in-place", a},
        {"rename", "--in-place", a, "--name"},
    };
    for (const auto& args : bad) {
        Outcome r = tidyland(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(readFile(a), kTwoSurfaces);
    EXPECT_EQ(dir.listing(), "a.xml b.xml");
}

TEST(TidylandTest, ScanJsonForSeveralFilesAndAMissingOne) {
    TempDir dir;
    std::string a = dir.write("a.xml", kTwoSurfaces);
    std::string missing = dir.file("missing.xml");
    std::string sample = tidytest::samplePath("sample.xml");
    Outcome r = tidyland({"scan", "--count-triangles", "--json", a, missing, sample});
    EXPECT_EQ(r.status, 1);
    // The sample has three surfaces and a comment among them.
    EXPECT_EQ(r.out, "{\"file\":\"" + a +
                         "\",\"surfaces\":[\"EG\",\"FG \\\"new\\\"\"],\"surfaceCount\":2,"
                         "\"triangleCount\":2}\n{\"file\":\"" +
                         missing + "\",\"error\":\"" + missing + ": no such file\"}\n{\"file\":\"" +
                         sample +
                         "\",\"surfaces\":[\"EG\",\"FG design\",\"Pond\"],\"surfaceCount\":4,"
                         "\"triangleCount\":34}\n");

    Outcome plain = tidyland({"scan", a});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, a + "\n  surfaces: EG, FG \"new\"\n  surfaceCount: 2\n");
}

TEST(TidylandTest, CleanToANewFileLeavesTheSource) {
    TempDir dir;
    std::string a = dir.write("a.xml", kTwoSurfaces);
    std::string out = dir.file("out.xml");
    Outcome r = tidyland({"clean", "--triangles", "--curves", "-o", out, "--json", a});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "{\"file\":\"" + a + "\",\"output\":\"" + out +
            "\",\"surfaces\":[\"EG\",\"FG \\\"new\\\"\"],\"surfaceCount\":2,"
            "\"removedTriangles\":1,\"curveCount\":0,\"adjustedCurves\":0,"
            "\"radiusDeviations\":0,\"possibleDeviations\":0,\"messages\":["
            "\" XML file checked, 1 triangle removed \","
            "\" The xml file is not adjusted. There were no curves with missing data. \"]}\n");
    EXPECT_EQ(readFile(a), kTwoSurfaces);
    std::string cleaned = readFile(out);
    EXPECT_EQ(cleaned.find("1 2 3"), std::string::npos);
    EXPECT_NE(cleaned.find("<F n=\"0 0 0\">2 3 4</F>"), std::string::npos) << cleaned;
}

TEST(TidylandTest, AFailedFileIsReportedAndLeftAsItWas) {
    TempDir dir;
    std::string bad = std::string(kTwoSurfaces);
    bad.replace(bad.find("i=\"1\""), 5, "i=\"x\"");
    std::string a = dir.write("a.xml", bad);
    std::string b = dir.write("b.xml", kTwoSurfaces);
    Outcome r = tidyland({"clean", "--triangles", "--in-place", a, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(a), bad);
    EXPECT_NE(readFile(b), kTwoSurfaces) << "the other file still ran";
    EXPECT_EQ(r.err.rfind("tidyland: " + a + ": line 7, column 6: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\"x\" is not a decimal integer"), std::string::npos) << r.err;
    EXPECT_EQ(dir.listing(), "a.xml b.xml");
}

TEST(TidylandTest, RenameAndColorAnswerFromTheirPairs) {
    TempDir dir;
    std::string a = dir.write("a.xml", kTwoSurfaces);
    std::string renamed = dir.file("renamed.xml");
    Outcome r = tidyland(
        {"rename", "--name", "EG=Existing=ground", "--name", "none=x", "-o", renamed, "--json", a});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"file\":\"" + a + "\",\"output\":\"" + renamed +
                         "\",\"surfaces\":[\"Existing=ground\",\"FG \\\"new\\\"\"]}\n");
    EXPECT_EQ(readFile(a), kTwoSurfaces);

    Outcome c =
        tidyland({"color", "--color", "Existing=ground=5", "--in-place", "--json", renamed});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out, "{\"file\":\"" + renamed + "\",\"output\":\"" + renamed +
                         "\",\"surfaces\":[{\"name\":\"Existing=ground\",\"color\":5},"
                         "{\"name\":\"FG \\\"new\\\"\",\"color\":0}]}\n");
    std::string colored = readFile(renamed);
    EXPECT_NE(colored.find("<Property label=\"M_Color\" value=\"5\" />"), std::string::npos)
        << colored;
}

// The plain report: every field, null as "-", messages without their outer blanks and their
// further lines indented.
TEST(TidylandTest, ReportForPeopleInPlace) {
    TempDir dir;
    std::string a = dir.write("a.xml", kTwoSurfaces);
    std::string s = dir.write("s.xml", readFile(tidytest::samplePath("sample.xml")));
    Outcome r = tidyland({"clean", "--curves", "--in-place", a, s});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << "nothing on stderr unless something goes wrong";
    EXPECT_EQ(r.out.substr(0, r.out.find(s)),
              a + "\n  output: " + a +
                  "\n  surfaces: \n  surfaceCount: -\n  removedTriangles: 0\n  curveCount: 0\n"
                  "  adjustedCurves: 0\n  radiusDeviations: 0\n  possibleDeviations: 0\n"
                  "  The xml file is not adjusted. There were no curves with missing data.\n");
    EXPECT_EQ(readFile(a), kTwoSurfaces) << "the file is written as the tool writes";
    EXPECT_NE(r.out.find("\n  curveCount: 3\n  adjustedCurves: 2\n"), std::string::npos) << r.out;
    EXPECT_NE(
        r.out.find(
            "\n  The xml file is adjusted by correcting one or more curves. Missing data \n"
            "  is added where needed. Check data before use!! \n"
            "  Reading the adjusted XML file back into Civil3D will deliver incorrect data.\n"),
        std::string::npos)
        << r.out;
}
