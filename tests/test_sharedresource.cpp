#include <gtest/gtest.h>

#include "CMemMan.h"
#include "FoundationTest.h"
#include "SharedResource_TCPP.h"

#include <algorithm>
#include <string>

using FoundationTest::Contains;
using FoundationTest::StartsWith;

namespace {

struct FakeRecord : SharedRecord {
    int object = 0;
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
    void Create(int object) {
        SRAlloc();
        SRRecord()->object = object;
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

// Where the registry lists a record, -1 when it does not.
long Position(const FakeRecord* record) {
    const auto& registry = SharedResource<FakeRecord>::SRRegistry();
    auto at = std::find(registry.begin(), registry.end(), record);
    return at == registry.end() ? -1 : std::distance(registry.begin(), at);
}

using SharedResourceTest = FoundationTest::ErrorLogTest;

}  // namespace

TEST_F(SharedResourceTest, SharesAreCountedOnceAndTheLastHandleReleases) {
    size_t live = MemTrack::LiveAllocationCount();
    FakeHandle a, b, empty;
    a.Create(1);
    a = a;
    a.SRShare(a);
    FakeRecord* first = a.SRRecord();
    EXPECT_EQ(first->refCount, 1u);
    {
        FakeHandle c(a);
        b = a;
        b = a;  // sharing the same record again keeps one share
        EXPECT_EQ(first->refCount, 3u);
        b.Create(2);  // lets go of the shared record first
        EXPECT_EQ(first->refCount, 2u);
        // The registry lists live records oldest first.
        EXPECT_GE(Position(first), 0);
        EXPECT_LT(Position(first), Position(b.SRRecord()));
        a.SRFree();
        EXPECT_EQ(a.SRRecord(), nullptr);
        EXPECT_EQ(releases, 0);
    }
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(lastReleased, 1);
    EXPECT_EQ(Position(first), -1);
    b = empty;  // lets go of its own record, then holds nothing
    EXPECT_EQ(b.SRRecord(), nullptr);
    EXPECT_EQ(lastReleased, 2);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
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
            std::exit(Position(record) >= 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::string log = ErrorText();
    EXPECT_TRUE(StartsWith(log, "Warning: Base (SharedResource) being destructed, but resource still allocated.  "
                                "Did child not call SRFree in destructor?\n  -call stack:\n"));
    std::string size = std::to_string(sizeof(FakeRecord));
    EXPECT_TRUE(Contains(log, "Object \"ResType\" (" + size +
                                  " bytes total):\n  -Allocated in code/SharedResource_TCPP.h line "));
}
