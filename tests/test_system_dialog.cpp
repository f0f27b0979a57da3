// A system message box that cannot be shown (here: the display it names has
// no server) says so in the error log and on standard error, and takes the
// Escape answer instead of failing silently.
#include <gtest/gtest.h>

#include "FoundationTest.h"
#include "SystemDialog.h"
#include "platform/PlatformSystem.h"

#include <cstdlib>

namespace {

class SystemDialogTest : public FoundationTest::ErrorLogTest {
  protected:
    void SetUp() override {
        ErrorLogTest::SetUp();
        Platform::SetMessageBoxHook(nullptr);
        setenv("DISPLAY", ":97", 1);
    }
    void TearDown() override { TestUtil::AnswerBoxesByDefault(); }
};

TEST_F(SystemDialogTest, BoxThatCannotBeShownIsReportedAndAnsweredAsEscape) {
    const struct {
        bool yesNo;
        bool answer;
        const char* said;
    } cases[] = {{true, false, "answered No"}, {false, true, "answered OK"}};
    for (const auto& c : cases) {
        TestUtil::ClearLog("_error.txt");
        testing::internal::CaptureStderr();
        EXPECT_EQ(SystemMessageBox("Graphics init failed.", "error", c.yesNo), c.answer);
        std::string stderrText = testing::internal::GetCapturedStderr();
        std::string log = ErrorText();
        EXPECT_TRUE(FoundationTest::StartsWith(log, "Warning: the message box \"error\" could not be shown ("));
        EXPECT_TRUE(FoundationTest::Contains(log, c.said));
        EXPECT_TRUE(FoundationTest::Contains(log, "It said:\nGraphics init failed.\n"));
        EXPECT_TRUE(FoundationTest::Contains(stderrText, log));
    }
}

} // namespace
