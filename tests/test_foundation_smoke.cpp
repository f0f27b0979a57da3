#include <gtest/gtest.h>

#include "CMemMan.h"
#include "CThread.h"
#include "FileUtil.h"
#include "LogFile.h"
#include "TestUtil.h"

namespace {
struct Node {
    int value;
    explicit Node(int v) : value(v) {}
};
}  // namespace

TEST(FoundationSmoke, TrackedObjectRoundTrip) {
    size_t before = MemTrack::LiveAllocationCount();
    Node* n = new2(Node, Node(7));
    EXPECT_EQ(n->value, 7);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), before + 1);
    delete2(n);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), before);
}

TEST(FoundationSmoke, CallStackNamesThisTest) {
    std::string stack = CallStackText();
    EXPECT_NE(stack.find("CallStackText"), std::string::npos) << stack;
    EXPECT_NE(stack.find("test_foundation_smoke.cpp"), std::string::npos) << stack;
}
