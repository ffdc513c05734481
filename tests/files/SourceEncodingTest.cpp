// What a source file holds before it becomes the listing: single-byte text,
// UTF-8 (converted at the user's word) or no text at all (refused).
#include <gtest/gtest.h>

#include "tests/support/TestFolder.h"

#include <filesystem>

#include "workbench/SourceEncoding.h"
#include "workbench/SourceFiles.h"
#include "tests/support/FakeScreens.h"

namespace {

namespace fs = std::filesystem;
using travin::Answer;
using travin::SourceKind;
using travin::testing::FakeBench;
using travin::testing::writeBytes;

struct KindCase {
    const char* name;
    std::vector<std::string> lines;
    SourceKind kind;
    std::string example;   // the first character beyond ASCII, for UTF-8
    int exampleLine;
};

class SourceKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(SourceKindTest, IsRecognised) {
    const KindCase& c = GetParam();
    const travin::SourceCheck check = travin::checkSource(c.lines);
    EXPECT_EQ(check.kind, c.kind);
    EXPECT_EQ(check.example, c.example);
    EXPECT_EQ(check.exampleLine, c.exampleLine);
    EXPECT_EQ(check.reason.empty(), c.kind != SourceKind::Binary);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SourceKindTest,
    ::testing::Values(
        KindCase{"Ascii", {"10 PRINT \"HI\"", "\tEND"}, SourceKind::SingleByte, "", 0},
        KindCase{"Empty", {}, SourceKind::SingleByte, "", 0},
        KindCase{"Utf8Euro", {"REM plain", "PRINT \"\xE2\x82\xAC \xC3\xA9\""}, SourceKind::Utf8, "\xE2\x82\xAC", 2},
        KindCase{"Utf8Quotes", {"\xE2\x80\x9Cquoted\xE2\x80\x9D"}, SourceKind::Utf8, "\xE2\x80\x9C", 1},
        // The same characters as Windows-1252 bytes are no valid UTF-8.
        KindCase{"Windows1252", {"PRINT \"\x80 \xE9 \x93\x94\""}, SourceKind::SingleByte, "", 0},
        // A lone continuation byte, an overlong form and a surrogate.
        KindCase{"StrayContinuation", {"A\xA9"}, SourceKind::SingleByte, "", 0},
        KindCase{"Overlong", {"\xC0\xAF"}, SourceKind::SingleByte, "", 0},
        KindCase{"Surrogate", {"\xED\xA0\x80"}, SourceKind::SingleByte, "", 0},
        KindCase{"CutShort", {"\xE2\x82"}, SourceKind::SingleByte, "", 0},
        KindCase{"Nul", {"10 PRINT", std::string("\x7F" "ELF\0\0", 6)}, SourceKind::Binary, "", 0},
        KindCase{"MostlyControl", {"\x01\x02\x03\x04\x05" "ab", "\x1B\x1C"}, SourceKind::Binary, "", 0},
        // A few control bytes in text are text: every byte 1 to 255 survives.
        KindCase{"SomeControl", {"10 PRINT \x01\x02", "20 END"}, SourceKind::SingleByte, "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Conversion, MapsToTheSingleByteSetAndNamesWhatItCannotHold) {
    const auto ok = travin::convertFromUtf8({"\xEF\xBB\xBFPRINT \"\xE2\x82\xAC \xC3\xA9 \xE2\x80\x9C\xE2\x80\x9D\""});
    EXPECT_TRUE(ok.outside.empty());
    EXPECT_EQ(ok.lines, std::vector<std::string>{"PRINT \"\x80 \xE9 \x93\x94\""});

    const auto bad = travin::convertFromUtf8({"ok", "A \xE2\x9C\x93 B", "\xF0\x9F\x98\x80"});
    ASSERT_EQ(bad.outside.size(), 2u);
    EXPECT_EQ(bad.outside[0].line, 2);
    EXPECT_EQ(bad.outside[0].character, U'\u2713');
    EXPECT_EQ(bad.outside[1].line, 3);
    EXPECT_EQ(travin::describeCharacter(U'\u2713'), "\xE2\x9C\x93 (U+2713)");
    EXPECT_EQ(travin::describeCharacter(U'\U0001F600'), "\xF0\x9F\x98\x80 (U+1F600)");
}

class OpenEncodingTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-encoding");
        bench = std::make_unique<FakeBench>(folder.string() + "/");
        bench->listing.setLines({"old"});
        bench->wb->state.fileName = "/old.tn";
    }
    void TearDown() override {
        bench.reset();
        fs::remove_all(folder);
    }
    std::string put(const std::string& name, const std::string& bytes) {
        writeBytes(folder / name, bytes);
        return (folder / name).string();
    }

    fs::path folder;
    std::unique_ptr<FakeBench> bench;
};

struct Utf8Answer {
    const char* name;
    Answer answer;
    std::vector<std::string> listing;
    std::string fileName;   // "" = the file opened
};

class OpenUtf8Test : public OpenEncodingTest, public ::testing::WithParamInterface<Utf8Answer> {};

TEST_P(OpenUtf8Test, AsksAndFollowsTheAnswer) {
    const Utf8Answer& c = GetParam();
    const std::string path = put("utf8.tn", "10 PRINT \"\xE2\x82\xAC\"\r\n20 REM caf\xC3\xA9\r\n");
    bench->notices.answers = {c.answer};
    bench->wb->files.OpenFile(path);
    ASSERT_EQ(bench->notices.questions.size(), 1u);
    const std::string& q = bench->notices.questions[0].text;
    EXPECT_NE(q.find("\"utf8.tn\" holds UTF-8 text (\xE2\x82\xAC on line 1)"), std::string::npos) << q;
    EXPECT_EQ(bench->listing.lines(), c.listing);
    EXPECT_EQ(bench->wb->state.fileName, c.fileName.empty() ? path : c.fileName);
    EXPECT_TRUE(bench->notices.errorBoxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenUtf8Test,
    ::testing::Values(Utf8Answer{"YesConverts", Answer::Yes, {"10 PRINT \"\x80\"", "20 REM caf\xE9", ""}, ""},
                      Utf8Answer{"NoKeepsTheBytes",
                                 Answer::No,
                                 {"10 PRINT \"\xE2\x82\xAC\"", "20 REM caf\xC3\xA9", ""},
                                 ""},
                      Utf8Answer{"CancelOpensNothing", Answer::Cancel, {"old"}, "/old.tn"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenEncodingTest, ACharacterOutsideTheSetIsNamedWithItsLineAndNothingOpens) {
    const std::string path = put("tick.tn", "10 PRINT \"\xC3\xA9\"\r\n20 PRINT \"\xE2\x9C\x93\"\r\n");
    bench->notices.answers = {Answer::Yes};
    bench->wb->files.OpenFile(path);
    ASSERT_EQ(bench->notices.errorBoxes.size(), 1u);
    const std::string& box = bench->notices.errorBoxes[0];
    EXPECT_EQ(box.rfind("Cannot open file " + path + ".", 0), 0u) << box;
    EXPECT_NE(box.find("Line 2: \xE2\x9C\x93 (U+2713)"), std::string::npos) << box;
    EXPECT_EQ(bench->listing.lines(), std::vector<std::string>{"old"});
    EXPECT_EQ(bench->wb->state.fileName, "/old.tn");
}

TEST_F(OpenEncodingTest, AWindows1252FileOpensAsBeforeWithoutAQuestion) {
    const std::string path = put("cp.tn", "10 PRINT \"\x80 \xE9\"\r\n");
    bench->wb->files.OpenFile(path);
    EXPECT_TRUE(bench->notices.questions.empty());
    EXPECT_EQ(bench->listing.lines(), (std::vector<std::string>{"10 PRINT \"\x80 \xE9\"", ""}));
}

TEST_F(OpenEncodingTest, ABinaryFileIsRefusedWithTheReason) {
    const std::string path = put("prog.bin", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16));
    bench->wb->files.OpenFile(path);
    ASSERT_EQ(bench->notices.errorBoxes.size(), 1u);
    EXPECT_EQ(bench->notices.errorBoxes[0], "Cannot open file " + path + ". It holds NUL bytes: it is not a text file.");
    EXPECT_TRUE(bench->notices.questions.empty());
    EXPECT_EQ(bench->listing.lines(), std::vector<std::string>{"old"});
    EXPECT_EQ(bench->wb->state.fileName, "/old.tn");
}

}  // namespace
