// SPDX-License-Identifier: GPL-3.0-or-later
// What tidyland says is what happened: its exit status and its messages, when the command line,
// standard output, memory or the file's own values are against it.
#include "TestSupport.h"
#include "Tidyland.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

using namespace tidytest;

namespace {

std::string surveyWith(const std::string& surfaceName, const std::string& faceI,
                       const std::string& colorValue) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LandXML>\n<Surfaces>\n<Surface name=\"" +
           surfaceName + "\">\n<Definition surfType=\"TIN\"><Faces><F i=\"" + faceI +
           "\">1 2 3</F></Faces></Definition>\n<Feature code=\"Quillmarch\"><Property "
           "label=\"M_Color\" value=\"" +
           colorValue + "\"/></Feature>\n</Surface>\n</Surfaces>\n</LandXML>\n";
}

// A survey of about `bytes` bytes, many small elements.
std::string largeSurvey(size_t bytes) {
    std::string text = "<LandXML><Surfaces><Surface name=\"EG\"><Definition><Faces>";
    text.reserve(bytes + 100);
    while (text.size() < bytes)
        text += "<F>1 2 3</F>";
    return text + "</Faces></Definition></Surface></Surfaces></LandXML>";
}

struct Truth {
    const char* what;
    const char* command;  // the arguments, split at blanks; "FILE" stands for the file, "OUT"
                          // for out.png beside it
    std::string fileName; // in a fresh folder
    std::function<std::string()> content; // none: the file does not exist
    ChildOptions options;
    int status;
    std::string err = {}; // stderr holds this; "" means it is empty
    std::string out = {}; // stdout holds this
    size_t errAtMost = 0;
};

const std::string kSmallSurvey = surveyWith("EG", "1", "3");
const std::string kLongValue(5 << 20, '9');
const std::function<std::string()> kSmall = [] { return kSmallSurvey; };
const ChildOptions kAsUsual{}, kReportToFullDisk{false, {}, {}, {}, "/dev/full"};

const Truth kTruths[] = {
    {"report to a full disk", "scan FILE", "survey.xml", kSmall, kReportToFullDisk, 1,
     "tidyland: cannot write the report to standard output: No space left on device"},
    {"JSON report to a full disk", "scan --json FILE", "survey.xml", kSmall, kReportToFullDisk, 1,
     "cannot write the report to standard output"},
    {"help to a full disk", "--help", "", nullptr, kReportToFullDisk, 1, ""},
    {"a name that is not UTF-8", "scan --json FILE", "caf\xE9 \x80 \xE0\xA0\x80 \xC3\xA9.xml",
     kSmall, kAsUsual, 0, "",
     "caf\xEE\xBF\xA9 \xEE\xBE\x80 \xE0\xA0\x80 \xC3\xA9.xml\",\"surfaces\":[\"EG\"]"},
    {"a 5 MB face attribute", "clean --triangles --in-place FILE", "survey.xml",
     [] { return surveyWith("EG", kLongValue, "3"); }, kAsUsual, 1,
     "attribute \"i\": \"999999999999999999999999999999999999999999999999999999999999...\" is "
     "out of range",
     "", 300},
    {"a 5 MB surface name with a bad colour", "color --in-place FILE", "survey.xml",
     [] { return surveyWith(kLongValue, "0", "red"); }, kAsUsual, 1, "(surface \"9999", "", 300},
    {"a 5 MB encoding name", "scan FILE", "survey.xml",
     [] { return "<?xml version=\"1.0\" encoding=\"" + kLongValue + "\"?>\n<LandXML/>\n"; },
     kAsUsual, 1, "survey.xml: the file declares encoding=\"9999", "", 300},
    {"memory runs out", "scan --count-triangles FILE", "large.xml",
     [] { return largeSurvey(64 << 20); }, ChildOptions{false, {}, {}, 160 << 20}, 1,
     "large.xml: not enough memory to load it\n"},
    {"memory runs out drawing", "render -o OUT FILE", "large.xml",
     [] { return largeSurvey(64 << 20); }, ChildOptions{false, {}, {}, 160 << 20}, 1,
     "large.xml: not enough memory to load it\n"},
    {"no XML: refused from its start, not read whole", "scan FILE", "zero.xml",
     [] { return std::string("<LandXML>") + '\0' + largeSurvey(64 << 20); },
     ChildOptions{false, {}, {}, 48 << 20}, 1,
     "zero.xml: line 1, column 10: not well-formed XML: the control character U+0000"},
    {"drawing past the file size limit", "render -o OUT FILE", "sample.xml",
     [] { return readFile(samplePath("sample.xml")); }, ChildOptions{false, 1024}, 1,
     "out.png: cannot save: cannot write", "", 300},
};

} // namespace

TEST(CommandLineTruthTest, StatusAndMessagesTellWhatHappened) {
#if defined(__SANITIZE_ADDRESS__)
    constexpr bool sanitized = true; // its shadow memory does not fit under a memory limit
#else
    constexpr bool sanitized = false;
#endif
    for (const Truth& t : kTruths) {
        SCOPED_TRACE(t.what);
        if (sanitized && t.options.memoryLimit)
            continue;
        TempDir dir;
        const std::string file = dir.file(t.fileName);
        const std::string bytes = t.content ? t.content() : "";
        if (t.content)
            writeFile(file, bytes);
        std::vector<std::string> args;
        std::istringstream words(t.command);
        for (std::string word; words >> word;)
            args.push_back(word == "FILE" ? file : word == "OUT" ? dir.file("out.png") : word);
        const Outcome r = runTidyland(args, t.options);
        EXPECT_EQ(r.status, t.status) << r.err;
        if (t.err.empty()) {
            EXPECT_EQ(r.err, "");
        }
        EXPECT_NE(r.err.find(t.err), std::string::npos) << r.err.substr(0, 1000);
        EXPECT_NE(r.out.find(t.out), std::string::npos) << r.out.substr(0, 1000);
        if (t.errAtMost) {
            EXPECT_LE(r.err.size(), t.errAtMost);
        }
        if (t.content && t.status != 0) {
            EXPECT_TRUE(readFile(file) == bytes) << "the file changed";
        }
        EXPECT_EQ(dir.listing(), t.content ? t.fileName : "") << "a file was left behind";
    }
}
