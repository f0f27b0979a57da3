#include <gtest/gtest.h>

#include "CMemMan.h"
#include "SharedResource_TCPP.h"
#include "TestUtil.h"

#include <algorithm>
#include <string>

namespace {

struct FakeRecord : SharedRecord {
    int object = 0;
    std::string name;
};

int releases = 0;
int lastReleased = 0;

// A resource kind as the graphics kinds are written.
class FakeHandle : public SharedResource<FakeRecord> {
public:
    FakeHandle() = default;
    FakeHandle(const FakeHandle& other) : SharedResource() { SRShare(other); }
    FakeHandle& operator=(const FakeHandle& other) {
        SRShare(other);
        return *this;
    }
    ~FakeHandle() override { SRFree(); }
    void Create(int object, const std::string& name) {
        SRAlloc();
        SRRecord()->object = object;
        SRRecord()->name = name;
    }
    void SRReleaseData() override {
        ++releases;
        lastReleased = SRRecord()->object;
    }
};

// A kind that forgot to let go in its destructor.
class ForgetfulHandle : public SharedResource<FakeRecord> {
public:
    void SRReleaseData() override {}
};

bool Listed(const FakeRecord* record) {
    const auto& registry = SharedResource<FakeRecord>::SRRegistry();
    return std::find(registry.begin(), registry.end(), record) != registry.end();
}

class SharedResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        releases = 0;
        TestUtil::ClearLog("_error.txt");
    }
};

}  // namespace

TEST_F(SharedResourceTest, LastHandleReleasesOnce) {
    size_t live = MemTrack::LiveAllocationCount();
    FakeHandle first;
    first.Create(11, "grass");
    FakeRecord* record = first.SRRecord();
    EXPECT_EQ(record->refCount, 1u);
    EXPECT_TRUE(Listed(record));
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live + 1);
    {
        FakeHandle second(first);
        EXPECT_EQ(second.SRRecord(), record);
        EXPECT_EQ(record->refCount, 2u);
        first.SRFree();
        EXPECT_EQ(first.SRRecord(), nullptr);
        EXPECT_EQ(record->refCount, 1u);
        EXPECT_EQ(releases, 0);
        EXPECT_TRUE(Listed(record));
    }
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(lastReleased, 11);
    EXPECT_FALSE(Listed(record));
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST_F(SharedResourceTest, ShareWithSelfAndWithEmptyHandles) {
    FakeHandle a;
    a.Create(1, "a");
    a = a;
    EXPECT_EQ(a.SRRecord()->refCount, 1u);
    a.SRShare(a);
    EXPECT_EQ(a.SRRecord()->refCount, 1u);

    FakeHandle empty;
    a = empty;  // lets go of its own record, then holds nothing
    EXPECT_EQ(a.SRRecord(), nullptr);
    EXPECT_EQ(releases, 1);

    FakeHandle b, c;
    b.Create(2, "b");
    c = b;
    c = b;  // sharing the same record again keeps one share
    EXPECT_EQ(b.SRRecord()->refCount, 2u);
}

TEST_F(SharedResourceTest, AllocOnASharedHandleLetsGoFirst) {
    FakeHandle a;
    a.Create(5, "shared");
    FakeHandle b(a);
    FakeRecord* old = a.SRRecord();
    b.Create(6, "own");
    EXPECT_NE(b.SRRecord(), old);
    EXPECT_EQ(b.SRRecord()->refCount, 1u);
    EXPECT_EQ(old->refCount, 1u);
    EXPECT_EQ(releases, 0);
    // The registry lists live records oldest first.
    const auto& registry = SharedResource<FakeRecord>::SRRegistry();
    auto oldAt = std::find(registry.begin(), registry.end(), old);
    auto newAt = std::find(registry.begin(), registry.end(), b.SRRecord());
    ASSERT_NE(oldAt, registry.end());
    ASSERT_NE(newAt, registry.end());
    EXPECT_LT(std::distance(registry.begin(), oldAt), std::distance(registry.begin(), newAt));
}

// The record of a handle that forgot SRFree stays alive until the memory
// manager lists it at exit, so this runs in a child process.
TEST_F(SharedResourceTest, ForgottenFreeIsReportedAndLeaked) {
    EXPECT_EXIT(
        {
            ForgetfulHandle* handle = new2(ForgetfulHandle, ForgetfulHandle);
            handle->SRAlloc();
            FakeRecord* record = handle->SRRecord();
            delete2(handle);
            std::exit(Listed(record) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(log.rfind("Warning: Base (SharedResource) being destructed, but resource still allocated.  Did child "
                        "not call SRFree in destructor?\n  -call stack:\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("Total memory leaks: " + std::to_string(sizeof(FakeRecord)) + " bytes in 1 allocation(s).\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Object \"ResType\" ("), std::string::npos) << log;
    EXPECT_NE(log.find("  -Allocated in code/SharedResource_TCPP.h line "), std::string::npos) << log;
}
