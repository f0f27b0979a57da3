#include <gtest/gtest.h>

#include "FoundationTest.h"
#include "LogFile.h"
#include "TestUtil.h"

#include <cerrno>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

using FoundationTest::Contains;
using FoundationTest::StartsWith;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// "   module: function - file - Line n", "   module: (external code)" or "  (Error?): (external code)".
bool IsFrameLine(const std::string& line) {
    static const std::regex frame(R"(   [^ :][^:]*: (\(external code\)|.* - .* - Line \d+)|  \(Error\?\): \(external code\))");
    return std::regex_match(line, frame);
}

// Recurses `depth` times, then takes the stack.
__attribute__((noinline)) std::string DeepStack(int depth) {
    if (depth == 0) return CallStackText();
    std::string text = DeepStack(depth - 1);
    text.push_back('\0');  // work after the call keeps every frame
    text.pop_back();
    return text;
}

__attribute__((noinline)) void MisusingOperation() { ReportMisuse("Error: misuse of the operation.\n"); }
__attribute__((noinline)) void FailingOperation() { ReportWithStack("Error: the operation failed.\n"); }

using LogFileTest = FoundationTest::ErrorLogTest;

}  // namespace

TEST_F(LogFileTest, AppendsWithoutSeparators) {
    LogFile log("_test.txt", true);
    log << "count " << -5 << " " << 12L << "\n";
    log << std::string("str") << std::string("in\0visible", 9) << "\n";
    log << "";
    log << static_cast<const char*>(nullptr);
    log << 3000000000u << " " << static_cast<unsigned long>(4294967295u) << "\n";
    log << 0.5 << " " << 1.0 / 3 << " " << 1e300 << "\n";
    EXPECT_EQ(TestUtil::ReadFile("_test.txt"),
              "count -5 12\nstrin\n-1294967296 -1\n0.5 0.33333333333333331483 1.0000000000000000525e+300\n");
}

// Past its ceiling a log says so once and writes nothing more.
TEST_F(LogFileTest, ConstructionEmptiesTheFileACeilingStopsItAndAFailedOpenIsSilent) {
    TestUtil::WriteFile("_old.txt", "from an earlier run\n");
    LogFile log("_old.txt", false);
    EXPECT_EQ(TestUtil::ReadFile("_old.txt"), "");
    log.SetCeiling(20);
    log << "new\n";
    EXPECT_EQ(TestUtil::ReadFile("_old.txt"), "new\n");
    log << "0123456789\n" << "abcdefghij\n" << "more\n";
    EXPECT_EQ(TestUtil::ReadFile("_old.txt"),
              "new\n0123456789\nWarning: _old.txt reached its ceiling of 20 bytes; nothing more is written to it.\n");

    LogFile lost("missing folder\\x.txt", true);
    lost << "dropped\n";
    EXPECT_FALSE(std::filesystem::exists("missing folder"));
}

TEST_F(LogFileTest, CallStackTextFormat) {
    std::string stack = CallStackText();
    std::vector<std::string> lines = Lines(stack);
    ASSERT_GE(lines.size(), 3u) << stack;
    // Source paths as the debug information gives them, in the system's own separators.
    const std::string slash(1, char(std::filesystem::path::preferred_separator));
    EXPECT_TRUE(StartsWith(lines[0], "   test_logfile: CallStackText"));
    EXPECT_TRUE(Contains(lines[0], "code" + slash + "LogFile.cpp - Line "));
    EXPECT_TRUE(StartsWith(lines[1], "   test_logfile: LogFileTest_CallStackTextFormat_Test::TestBody"));
    EXPECT_TRUE(Contains(lines[1], "tests" + slash + "test_logfile.cpp - Line "));
    for (const std::string& line : lines) EXPECT_TRUE(IsFrameLine(line)) << line;
}

TEST_F(LogFileTest, StacksStopAfterSixtyFourFrames) {
    std::vector<std::string> lines = Lines(DeepStack(80));
    ASSERT_EQ(lines.size(), 65u);
    EXPECT_EQ(lines[64], "  (Error while walking stack... over 64 walks... ending prematurely)");
    EXPECT_TRUE(Contains(lines[63], "DeepStack"));
    EXPECT_LT(Lines(DeepStack(3)).size(), 64u);
}

TEST_F(LogFileTest, DropFirstLineAndSystemErrorText) {
    EXPECT_EQ(DropFirstLine("no break"), "no break");
    EXPECT_EQ(DropFirstLine("first\nsecond\n"), "second\n");
    EXPECT_EQ(DropFirstLine("first\tsecond"), "second");  // any control character ends the line
    EXPECT_EQ(DropFirstLine(""), "");
    EXPECT_EQ(DropFirstLine("\n"), "");
#ifndef _WIN32
    errno = ENOENT;
    EXPECT_EQ(SystemErrorText(), "No such file or directory");
    errno = 0;
    EXPECT_EQ(SystemErrorText(), "");
#endif
}

TEST_F(LogFileTest, ReportFormsStartAtTheReportingFunction) {
    MisusingOperation();
    std::vector<std::string> lines = Lines(ErrorText());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_TRUE(StartsWith(ErrorText(), "Error: misuse of the operation.\n  -attempt made from:\n"));
    EXPECT_TRUE(Contains(lines[2], "MisusingOperation"));
    EXPECT_TRUE(Contains(lines[3], "ReportFormsStartAtTheReportingFunction"));
    EXPECT_EQ(lines.back(), "");  // the closing "\n" after the stack
    TestUtil::ClearLog("_error.txt");
    FailingOperation();
    lines = Lines(ErrorText());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(StartsWith(ErrorText(), "Error: the operation failed.\n  -call stack:\n"));
    EXPECT_TRUE(Contains(lines[2], "FailingOperation"));
}

// Two reports taking turns are both counted; eight newer ones push the first out, with its final count.
TEST_F(LogFileTest, RecentReportsAreCountedInsteadOfWrittenAgain) {
    LogFile log("_rep.txt", false);
    for (int i = 0; i < 12; ++i) {
        log.WriteReport("A\n  -call stack:\nframe\n");
        log.WriteReport("B\n");
    }
    for (int i = 0; i < 8; ++i) log.WriteReport("C" + std::to_string(i) + "\n");
    log.WriteReport("A\n  -call stack:\nframe\n");
    EXPECT_EQ(TestUtil::ReadFile("_rep.txt"),
              "A\n  -call stack:\nframe\nB\n"
              "  -repeated 10 more times: A\n  -repeated 10 more times: B\n"
              "C0\nC1\nC2\nC3\nC4\nC5\n  -repeated 11 more times: A\nC6\n"
              "  -repeated 11 more times: B\nC7\nA\n  -call stack:\nframe\n");
}
