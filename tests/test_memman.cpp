#include <gtest/gtest.h>

#include "CMemMan.h"
#include "LogFile.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <cstdlib>
#include <string>

namespace {

int destroyed = 0;

struct Widget {
    int a = 1, b = 2, c = 3;  // 12 bytes
    Widget() = default;
    explicit Widget(int v) : a(v) {}
    ~Widget() { ++destroyed; }
};

// Constructed where a Widget is declared: same size, another name.
struct Gadget : Widget {
    explicit Gadget(int v) : Widget(v) {}
};

struct Base {
    virtual ~Base() { ++destroyed; }
    int base = 0;
};
struct Other {
    virtual ~Other() = default;
    int other = 0;
};
struct Derived : Other, Base {
    ~Derived() override { ++destroyed; }
    int derived = 0;
};

// Blocks a child leaks on purpose stay referenced, so a leak checker run
// on the child sees them as reachable.
void* kept[4];

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

// Message boxes of a child are written to "_boxes.txt" for the parent.
void RecordBoxes() {
    TestUtil::ClearLog("_boxes.txt");
    Platform::SetMessageBoxHook([](const std::string& text, const std::string& caption, bool) {
        std::string all = TestUtil::ReadFile("_boxes.txt") + "[" + caption + "]" + text;
        TestUtil::WriteFile("_boxes.txt", all);
        return true;
    });
}

// Delete errors mark the whole run as faulty, so they are made in a child
// process, which reports through its exit code how many destructors ran.
template <class Body>
void InChild(int expectedDestroyed, Body body) {
    EXPECT_EXIT(
        {
            body();
            std::exit(destroyed);
        },
        ::testing::ExitedWithCode(expectedDestroyed), "");
}

class MemManTest : public ::testing::Test {
protected:
    void SetUp() override {
        destroyed = 0;
        TestUtil::ClearLog("_error.txt");
        TestUtil::ClearLog("_boxes.txt");
    }
};

}  // namespace

TEST_F(MemManTest, TrackedObjectsAndArraysComeAndGo) {
    size_t live = MemTrack::LiveAllocationCount();
    Widget* w = new2(Widget, Widget(7));
    EXPECT_EQ(w->a, 7);
    Widget* many = new2_array(Widget, 5);
    EXPECT_EQ(many[4].c, 3);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live + 2);
    // Guards fence the payload on both sides.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(w);
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(bytes[-i], 0xA5) << i;
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(bytes[sizeof(Widget) + i], 0xA5) << i;
    delete2(w);
    EXPECT_EQ(destroyed, 1);
    delete2_array(many);
    EXPECT_EQ(destroyed, 6);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(MemManTest, DeleteThroughASecondaryBaseFindsTheBlock) {
    size_t live = MemTrack::LiveAllocationCount();
    Derived* d = new2(Derived, Derived);
    Base* b = d;
    ASSERT_NE(static_cast<void*>(b), static_cast<void*>(d));
    delete2(b);
    EXPECT_EQ(destroyed, 2);  // ~Derived, then ~Base
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(MemManTest, DeclarationMustBeginWithTheTypeName) {
    MemTrack::CheckTypeName("CThread(ThreadProcedure,\"NetClient\",this)", "CThread");
    MemTrack::CheckTypeName("G::TextWindow(40,300,700,250,60)", "G::TextWindow");
    EXPECT_EQ(ErrorText(), "");

    Widget* w = new2(Widget, Gadget(5));
    EXPECT_EQ(w->a, 5);  // the allocation still proceeds
    std::string log = ErrorText();
    EXPECT_EQ(log.rfind("object declaration doesn't match type name provided to new2.\n"
                        "  -type name: Widget\n"
                        "  -object dec: Gadget(5)\n"
                        "  -call stack:\n"
                        "   test_memman: CallStackText",
                        0),
              0u)
        << log;
    delete2(w);
}

TEST_F(MemManTest, DoubleDeleteIsReported) {
    int line = __LINE__ + 4;
    InChild(1, [] {  // the second delete runs no destructor
        Widget* w = new2(Widget, Widget);
        delete2(w);
        delete2(w);
    });
    std::string log = ErrorText();
    std::string head = "Error: delete used on memory that doesn't exist.\n"
                       "  -delete call made in tests/test_memman.cpp line " +
                       std::to_string(line) + "\n  -call stack:\n   test_memman: MemTrack::CheckDelete";
    EXPECT_EQ(log.rfind(head, 0), 0u) << log;
    EXPECT_NE(log.find("MemManTest_DoubleDeleteIsReported_Test::TestBody()"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
    EXPECT_FALSE(MemTrack::HadCriticalErrors());
}

TEST_F(MemManTest, NullDeleteIsReported) {
    int line = __LINE__ + 3;
    InChild(0, [] {
        Widget* none = nullptr;
        delete2(none);
    });
    std::string log = ErrorText();
    EXPECT_EQ(log.rfind("Error: delete being used on a null pointer.\n  -delete call made in tests/test_memman.cpp line " +
                            std::to_string(line) + ".\n  -call stack:\n   test_memman: MemTrack::CheckDelete",
                        0),
              0u)
        << log;
}

TEST_F(MemManTest, ArrayDeletedAsObjectIsReportedAndDestroyedElementByElement) {
    int allocLine = __LINE__ + 2;
    InChild(3, [] {
        Widget* many = new2_array(Widget, 3);
        delete2(many);
    });
    int deleteLine = allocLine + 1;
    std::string log = ErrorText();
    EXPECT_EQ(log.rfind("Error: Wrong delete operator used when freeing memory.\n"
                        "  -Delete (non-array) used on memory allocated with new array.\n"
                        "  -delete call made in tests/test_memman.cpp line " +
                            std::to_string(deleteLine) +
                            ".\n"
                            "  -call made on memory that was allocated in tests/test_memman.cpp line " +
                            std::to_string(allocLine) + ".\n  -call stack:\n   test_memman: MemTrack::CheckDelete",
                        0),
              0u)
        << log;
}

TEST_F(MemManTest, ObjectDeletedAsArrayIsDestroyedOnce) {
    InChild(1, [] {
        Widget* w = new2(Widget, Widget);
        delete2_array(w);
    });
    EXPECT_NE(ErrorText().find("  -Delete array used on memory allocated with new (non-array).\n"), std::string::npos);
}

TEST_F(MemManTest, DamagedGuardsAreReportedOnDelete) {
    int line = __LINE__ + 2;
    InChild(1, [] {
        Widget* w = new2(Widget, Widget);
        reinterpret_cast<unsigned char*>(w)[sizeof(Widget)] = 0;  // one byte past the end
        delete2(w);
    });
    std::string log = ErrorText();
    std::string head = "WARNING: Damage to memory AFTER an allocation.\n"
                       "  -object: Widget\n"
                       "  -Allocated in tests/test_memman.cpp line " +
                       std::to_string(line) + ".\n  -Call stack for allocation:\n   test_memman: MemTrack::TrackAllocation";
    EXPECT_EQ(log.rfind(head, 0), 0u) << log;
    size_t deleteStack = log.find("  -Call stack for this delete:\n   test_memman: CallStackText");
    ASSERT_NE(deleteStack, std::string::npos) << log;
    // The allocation's stack reaches the test that allocated.
    EXPECT_NE(log.substr(0, deleteStack).find("MemManTest_DamagedGuardsAreReportedOnDelete_Test::TestBody()"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("BEFORE"), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 2), "\n\n");

    TestUtil::ClearLog("_error.txt");
    InChild(1, [] {
        Widget* front = new2(Widget, Widget);
        reinterpret_cast<unsigned char*>(front)[-8] = 0;
        reinterpret_cast<unsigned char*>(front)[sizeof(Widget) + 7] = 0;
        delete2(front);
    });
    log = ErrorText();
    EXPECT_EQ(log.rfind("WARNING: Damage to memory BEFORE an allocation.\n"
                        "WARNING: Damage to memory AFTER an allocation.\n  -object: Widget\n",
                        0),
              0u)
        << log;
}

TEST_F(MemManTest, ImpossibleArraySizesAreRefused) {
    Widget* huge = new2_array(Widget, SIZE_MAX / 4);
    EXPECT_EQ(huge, nullptr);
    EXPECT_EQ(ErrorText().rfind("Out of memory trying to alloc?  A call to now must have failed...\n  -call stack:\n", 0),
              0u);
}

// --- the exit report, in child processes that end normally ------------------

TEST_F(MemManTest, CleanExitShowsNoBox) {
    EXPECT_EXIT(
        {
            RecordBoxes();
            Widget* w = new2(Widget, Widget);
            delete2(w);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(TestUtil::ReadFile("_boxes.txt"), "");
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(MemManTest, LeaksAreListedNewestFirstAtExit) {
    const int objectLine = __LINE__ + 6;
    const int arrayLine = __LINE__ + 6;
    EXPECT_EXIT(
        {
            RecordBoxes();
            Widget* gone = new2(Widget, Widget);
            kept[0] = new2(Widget, Widget(1));
            kept[1] = new2_array(Widget, 2);
            delete2(gone);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::string log = ErrorText();
    std::string expected = "\nTotal memory leaks: 36 bytes in 2 allocation(s).\n"
                           "\n -- List of memory leaks --\n"
                           "Array of \"Widget\" (24 bytes total):\n"
                           "  -Allocated in tests/test_memman.cpp line " +
                           std::to_string(arrayLine) +
                           ".\n  -call stack of allocation:\n   test_memman: MemTrack::TrackAllocation";
    EXPECT_EQ(log.rfind(expected, 0), 0u) << log;
    std::string object = "\nObject \"Widget\" (12 bytes total):\n  -Allocated in tests/test_memman.cpp line " +
                         std::to_string(objectLine) + ".\n  -call stack of allocation:\n";
    EXPECT_NE(log.find(object), std::string::npos) << log;
    EXPECT_EQ(TestUtil::ReadFile("_boxes.txt"),
              "[Memory Leaks]Memory was allocated and never freed.\n36 byte(s) leaked.\n"
              "2 total unfreed allocations.\nSee _error.txt for details.\n");
}

TEST_F(MemManTest, DamageFoundAtExitShowsTheCriticalBoxFirst) {
    const int line = __LINE__ + 4;
    EXPECT_EXIT(
        {
            RecordBoxes();
            Widget* w = new2(Widget, Widget);
            kept[2] = w;
            reinterpret_cast<unsigned char*>(w)[-1] = 0x5A;
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::string log = ErrorText();
    std::string head = "WARNING: Damage to memory BEFORE an allocation.\n  -object: Widget\n"
                       "  -Allocated in tests/test_memman.cpp line " +
                       std::to_string(line) + ".\n  -Call stack for allocation:\n";
    EXPECT_EQ(log.rfind(head, 0), 0u) << log;
    EXPECT_NE(log.find("  -Call stack for this check:\n"), std::string::npos);
    EXPECT_NE(log.find("\n\n\nTotal memory leaks: 12 bytes in 1 allocation(s).\n"), std::string::npos) << log;
    EXPECT_EQ(TestUtil::ReadFile("_boxes.txt"),
              "[Critical Memory Error]Critical memory management errors occured.\nCheck _error.txt for details.\n"
              "[Memory Leaks]Memory was allocated and never freed.\n12 byte(s) leaked.\n"
              "1 total unfreed allocations.\nSee _error.txt for details.\n");
}

TEST_F(MemManTest, ADeleteErrorAloneShowsTheCriticalBox) {
    EXPECT_EXIT(
        {
            RecordBoxes();
            Widget* none = nullptr;
            delete2(none);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(TestUtil::ReadFile("_boxes.txt"),
              "[Critical Memory Error]Critical memory management errors occured.\nCheck _error.txt for details.\n");
}
