#include <gtest/gtest.h>

#include "CMemMan.h"
#include "FoundationTest.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <cstdlib>
#include <malloc.h>
#include <string>

using FoundationTest::Contains;
using FoundationTest::StartsWith;

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
};
struct Other {
    virtual ~Other() = default;
};
struct Derived : Other, Base {
    ~Derived() override { ++destroyed; }
};

// Blocks a child leaks on purpose stay referenced, so a leak checker run on the child sees them as reachable.
void* volatile kept[4];

std::string Boxes() { return TestUtil::ReadFile("_boxes.txt"); }
std::string In(int line) { return "tests/test_memman.cpp line " + std::to_string(line); }

// Delete errors mark the whole run as faulty and the exit report runs when the program ends, so such cases run in a
// child process. It writes its message boxes to "_boxes.txt" and tells through its exit code how many destructors ran.
template <class Body>
void InChild(int expectedDestroyed, Body body) {
    EXPECT_EXIT(
        {
            Platform::SetMessageBoxHook([](const std::string& text, const std::string& caption, bool yesNo) {
                TestUtil::WriteFile("_boxes.txt", Boxes() + "[" + caption + (yesNo ? "?" : "") + "]" + text);
                return true;
            });
            body();
            std::exit(destroyed);
        },
        ::testing::ExitedWithCode(expectedDestroyed), "");
}

class MemManTest : public FoundationTest::ErrorLogTest {
protected:
    void SetUp() override {
        ErrorLogTest::SetUp();
        destroyed = 0;
        TestUtil::ClearLog("_boxes.txt");
    }
};

const char* const CriticalBox =
    "[Critical Memory Error]Critical memory management errors occured.\nCheck _error.txt for details.\n";

}  // namespace

TEST_F(MemManTest, TrackedObjectsAndArraysComeAndGo) {
    size_t live = MemTrack::LiveAllocationCount();
    Widget* w = new2(Widget, Widget(7));
    Widget* many = new2_array(Widget, 5);
    EXPECT_EQ(many[4].c, 3);
    Derived* d = new2(Derived, Derived);
    Base* b = d;
    ASSERT_NE(static_cast<void*>(b), static_cast<void*>(d));
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live + 3);
    delete2(w);
    EXPECT_EQ(destroyed, 1);
    delete2_array(many);
    EXPECT_EQ(destroyed, 6);
    delete2(b);  // through a secondary base: ~Derived, then ~Base
    EXPECT_EQ(destroyed, 8);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
#ifdef __GLIBC__
    // The block really goes back to the heap (glibc maps blocks this large;
    // a sanitizer's allocator does not show them here and LeakSanitizer checks).
    const size_t mapped = mallinfo2().hblkhd, size = 8 << 20;
    char* big = new2_array(char, size);
    const bool seen = mallinfo2().hblkhd >= mapped + size;
    delete2_array(big);
    if (seen) {
        EXPECT_EQ(mallinfo2().hblkhd, mapped);
    }
#endif
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(MemManTest, DeclarationMustBeginWithTheTypeName) {
    MemTrack::CheckTypeName("G::TextWindow(40,300,700,250,60)", "G::TextWindow");
    EXPECT_EQ(ErrorText(), "");

    Widget* w = new2(Widget, Gadget(5));
    EXPECT_EQ(w->a, 5);  // the allocation still proceeds
    EXPECT_TRUE(StartsWith(ErrorText(), "object declaration doesn't match type name provided to new2.\n"
                                        "  -type name: Widget\n  -object dec: Gadget(5)\n"
                                        "  -call stack:\n   test_memman: CallStackText"));
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
    EXPECT_TRUE(StartsWith(log, "Error: delete used on memory that doesn't exist.\n"
                                "  -delete call made in " + In(line) +
                                "\n  -call stack:\n   test_memman: MemTrack::CheckDelete"));
    EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
    EXPECT_EQ(Boxes(), CriticalBox);
}

TEST_F(MemManTest, NullDeleteIsReportedWithTheCriticalBoxAtExit) {
    int line = __LINE__ + 3;
    InChild(0, [] {
        Widget* none = nullptr;
        delete2(none);
    });
    EXPECT_TRUE(StartsWith(ErrorText(), "Error: delete being used on a null pointer.\n"
                                        "  -delete call made in " + In(line) +
                                        ".\n  -call stack:\n   test_memman: MemTrack::CheckDelete"));
    EXPECT_EQ(Boxes(), CriticalBox);
}

TEST_F(MemManTest, WrongDeleteOperatorIsReportedAndDestroysWhatWasMade) {
    int allocLine = __LINE__ + 2;
    InChild(3, [] {
        Widget* many = new2_array(Widget, 3);
        delete2(many);
    });
    EXPECT_TRUE(StartsWith(ErrorText(), "Error: Wrong delete operator used when freeing memory.\n"
                                        "  -Delete (non-array) used on memory allocated with new array.\n"
                                        "  -delete call made in " + In(allocLine + 1) +
                                        ".\n  -call made on memory that was allocated in " + In(allocLine) +
                                        ".\n  -call stack:\n   test_memman: MemTrack::CheckDelete"));
    EXPECT_EQ(Boxes(), CriticalBox);
    TestUtil::ClearLog("_error.txt");
    TestUtil::ClearLog("_boxes.txt");
    InChild(1, [] {
        Widget* w = new2(Widget, Widget);
        delete2_array(w);
    });
    EXPECT_TRUE(Contains(ErrorText(), "  -Delete array used on memory allocated with new (non-array).\n"));
    EXPECT_EQ(Boxes(), CriticalBox);
}

TEST_F(MemManTest, DamagedGuardsAreReportedOnDelete) {
    int line = __LINE__ + 2;
    InChild(1, [] {
        Widget* w = new2(Widget, Widget);
        reinterpret_cast<unsigned char*>(w)[sizeof(Widget)] = 0;  // one byte past the end
        delete2(w);
    });
    std::string log = ErrorText();
    EXPECT_TRUE(StartsWith(log, "WARNING: Damage to memory AFTER an allocation.\n  -object: Widget\n"
                                "  -Allocated in " + In(line) +
                                ".\n  -Call stack for allocation:\n   test_memman: MemTrack::TrackAllocation"));
    size_t deleteStack = log.find("  -Call stack for this delete:\n   test_memman: CallStackText");
    ASSERT_NE(deleteStack, std::string::npos) << log;
    // The allocation's stack reaches the test that allocated.
    EXPECT_TRUE(Contains(log.substr(0, deleteStack), "MemManTest_DamagedGuardsAreReportedOnDelete_Test::TestBody"));
    EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
    EXPECT_EQ(Boxes(), CriticalBox);
}

TEST_F(MemManTest, ImpossibleArraySizesAreRefused) {
    EXPECT_EQ(new2_array(Widget, SIZE_MAX / 4), nullptr);
    EXPECT_TRUE(StartsWith(ErrorText(),
                           "Out of memory trying to alloc?  A call to now must have failed...\n  -call stack:\n"));
}

// --- the exit report ---------------------------------------------------------

TEST_F(MemManTest, LeaksAreListedNewestFirstAtExit) {
    const int objectLine = __LINE__ + 4;
    const int arrayLine = __LINE__ + 4;
    InChild(1, [] {
        Widget* gone = new2(Widget, Widget);
        kept[0] = new2(Widget, Widget(1));
        kept[1] = new2_array(Widget, 2);
        delete2(gone);
    });
    std::string log = ErrorText();
    EXPECT_TRUE(StartsWith(log, "\nTotal memory leaks: 36 bytes in 2 allocation(s).\n"
                                "\n -- List of memory leaks --\n"
                                "Array of \"Widget\" (24 bytes total):\n"
                                "  -Allocated in " + In(arrayLine) +
                                ".\n  -call stack of allocation:\n   test_memman: MemTrack::TrackAllocation"));
    EXPECT_TRUE(Contains(log, "\nObject \"Widget\" (12 bytes total):\n  -Allocated in " + In(objectLine) +
                                  ".\n  -call stack of allocation:\n"));
    EXPECT_EQ(Boxes(), "[Memory Leaks]Memory was allocated and never freed.\n36 byte(s) leaked.\n"
                       "2 total unfreed allocations.\nSee _error.txt for details.\n");
}

TEST_F(MemManTest, DamageFoundAtExitShowsTheCriticalBoxFirst) {
    const int line = __LINE__ + 2;
    InChild(0, [] {
        Widget* w = new2(Widget, Widget);
        kept[2] = w;
        reinterpret_cast<unsigned char*>(w)[-1] = 0x5A;  // the last bytes of both guards
        reinterpret_cast<unsigned char*>(w)[sizeof(Widget) + 7] = 0;
    });
    std::string log = ErrorText();
    EXPECT_TRUE(StartsWith(log, "WARNING: Damage to memory BEFORE an allocation.\n"
                                "WARNING: Damage to memory AFTER an allocation.\n  -object: Widget\n"
                                "  -Allocated in " + In(line) + ".\n  -Call stack for allocation:\n"));
    EXPECT_TRUE(Contains(log, "  -Call stack for this check:\n"));
    EXPECT_TRUE(Contains(log, "\n\n\nTotal memory leaks: 12 bytes in 1 allocation(s).\n"));
    EXPECT_EQ(Boxes(), std::string(CriticalBox) +
                           "[Memory Leaks]Memory was allocated and never freed.\n12 byte(s) leaked.\n"
                           "1 total unfreed allocations.\nSee _error.txt for details.\n");
}
