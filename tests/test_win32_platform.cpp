// What only the Win32 side of the platform layer does: the Windows version
// classes of the system information, and real message boxes answered by key
// presses (found with xwininfo, answered through xdotool from the host).
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/PlatformSystem.h"
#include "platform/win32/OsVersion.h"

#include <thread>

using Platform::OsPlatform;

TEST(OsVersion, GetVersionExNumbersGiveTheirClassAndText) {
    struct Case {
        OsPlatform platform;
        uint32_t major, minor;
        int versionClass;
        const char* text;
    };
    const Case cases[] = {
        {OsPlatform::NT, 3, 51, 1, "Something really old..."},
        {OsPlatform::NT, 4, 0, 2, "Windows NT3"},
        {OsPlatform::Windows9x, 4, 0, 3, "Windows 95"},
        {OsPlatform::Other, 4, 0, 0, "Unable to determine..."},
        {OsPlatform::Windows9x, 4, 9, 0, "Unable to determine..."},
        {OsPlatform::Windows9x, 4, 10, 4, "Windows 98"},
        {OsPlatform::Windows9x, 4, 89, 4, "Windows 98"},
        {OsPlatform::Windows9x, 4, 90, 5, "Windows ME"},
        {OsPlatform::Windows9x, 4, 91, 0, "Unable to determine..."},
        {OsPlatform::NT, 5, 0, 6, "Windows 2000"},
        {OsPlatform::NT, 5, 1, 7, "Windows XP"},
        {OsPlatform::NT, 5, 2, 8, "Windows 2003"},
        {OsPlatform::NT, 5, 3, 9, "Something really new...?"},
        {OsPlatform::NT, 10, 0, 9, "Something really new...?"},
    };
    for (const Case& c : cases) {
        int versionClass = Platform::ClassifyOsVersion(c.platform, c.major, c.minor);
        EXPECT_EQ(versionClass, c.versionClass) << c.major << "." << c.minor;
        EXPECT_EQ(Platform::OsVersionText(versionClass), c.text);
    }
    // Wine answers as a current Windows does.
    EXPECT_EQ(Platform::OperatingSystemClass(), 9);
    EXPECT_EQ(Platform::OperatingSystemName(), "Something really new...?");
}

// Each box is answered by pressing the key once the box is on screen (mapped: a key sent while Wine is still
// setting the box up is lost).
TEST(RealMessageBox, EnterAnswersYesEscapeAnswersOkAndNIsNo) {
    struct Case {
        std::string caption;
        bool yesNo;
        std::string key;
        bool answer;
    };
    Platform::SetMessageBoxHook(nullptr);
    for (const Case& c : {Case{"halcyon box one", true, "Return", true}, Case{"halcyon box two", false, "Escape", true},
                          Case{"halcyon box three", true, "n", false}}) {
        std::thread answer([&c] {
            TestUtil::HostShell("for i in $(seq 300); do id=$(xwininfo -root -tree | grep '\"" + c.caption +
                                "\"' | awk '{print $1}' | head -1); [ -n \"$id\" ] && xwininfo -id $id | grep -q "
                                "IsViewable && break; id=; sleep 0.1; done; [ -n \"$id\" ] && timeout 10 xdotool "
                                "windowfocus --sync $id sleep 0.5 key " +
                                c.key);
        });
        bool yes = false;
        std::string failure;
        EXPECT_TRUE(Platform::ShowMessageBox("a question", c.caption, c.yesNo, yes, failure)) << failure;
        answer.join();
        EXPECT_EQ(yes, c.answer) << c.caption;
    }
}
