#include <gtest/gtest.h>

#include "platform/PlatformSystem.h"

int main(int argc, char** argv) {
    // A test never waits on a real dialog: boxes take their default answer
    // unless a test installs its own hook.
    Platform::SetMessageBoxHook([](const std::string&, const std::string&, bool yesNo) { return !yesNo; });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
