#include <gtest/gtest.h>

#include "TestUtil.h"

int main(int argc, char** argv) {
    // A test never waits on a real dialog.
    TestUtil::AnswerBoxesByDefault();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
