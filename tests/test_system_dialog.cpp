// A system message box that cannot be shown (here: the display it names has no server) says so in the error log and on
// standard error, and takes the Escape answer instead of failing silently.
#include <gtest/gtest.h>

#include "FoundationTest.h"
#include "SystemDialog.h"
#include "platform/PlatformSystem.h"

#include <cstdlib>

TEST(SystemDialog, BoxThatCannotBeShownIsReportedAndAnsweredAsEscape) {
    Platform::SetMessageBoxHook(nullptr);
    setenv("DISPLAY", ":97", 1);
    for (bool yesNo : {true, false}) {
        TestUtil::ClearLog("_error.txt");
        testing::internal::CaptureStderr();
        EXPECT_EQ(SystemMessageBox("Graphics init failed.", "error", yesNo), !yesNo);
        std::string stderrText = testing::internal::GetCapturedStderr();
        std::string log = TestUtil::ReadFile("_error.txt");
        EXPECT_TRUE(FoundationTest::StartsWith(log, "Warning: the message box \"error\" could not be shown ("));
        EXPECT_TRUE(FoundationTest::Contains(log, std::string("); it was answered ") + (yesNo ? "No" : "OK") +
                                                      " without the user. It said:\nGraphics init failed.\n"));
        EXPECT_TRUE(FoundationTest::Contains(stderrText, log));
    }
}
