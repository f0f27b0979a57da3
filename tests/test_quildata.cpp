#include <gtest/gtest.h>

#include "QuilDataManager.h"
#include "TestUtil.h"

using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

const char* const GoodIni =
    "V1.6 character\r\n"
    "Name=Orla\r\n"
    "Password=s3cret\r\n"
    "Colors=#!!!!!!!!!!\r\n"
    "Desc=A quiet traveller.\r\n"
    "Spec=12\r\n";

class PlayerIniTest : public ::testing::Test {
protected:
    void SetUp() override {
        ThePlayerRecord = PlayerRecord();
        TestUtil::ClearLog("_error.txt");
    }
    std::string Log() { return ReadFile("_error.txt"); }
    // Each case in a folder of its own, so files of one case never feed another.
    TestUtil::ScopedFolder folder{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

}  // namespace

TEST_F(PlayerIniTest, ReadsAllFiveKeysWithWindowsLineEnds) {
    WriteFile("good.ini", GoodIni);
    ASSERT_TRUE(LoadPlayerIni("good.ini"));
    EXPECT_EQ(ThePlayerRecord.Name, "Orla");
    EXPECT_EQ(ThePlayerRecord.Password, "s3cret");
    EXPECT_EQ(ThePlayerRecord.Colors, "#!!!!!!!!!!");
    EXPECT_EQ(ThePlayerRecord.Desc, "A quiet traveller.");
    EXPECT_EQ(ThePlayerRecord.Spec1, 1);
    EXPECT_EQ(ThePlayerRecord.Spec2, 2);
    EXPECT_TRUE(ThePlayerRecord.loaded);
    EXPECT_EQ(Log(), "");
}

TEST_F(PlayerIniTest, OtherVersionWarnsButLoads) {
    std::string text = GoodIni;
    text.replace(0, 4, "V1.5");
    WriteFile("old.ini", text);
    EXPECT_TRUE(LoadPlayerIni("old.ini"));
    EXPECT_EQ(Log(), "Warning: player ini file \"old.ini\" not a recognized version.\n");
}

TEST_F(PlayerIniTest, MissingFileAndMissingKeysAreReported) {
    EXPECT_FALSE(LoadPlayerIni("absent.ini"));
    EXPECT_EQ(Log(), "Failed to open player ini file: absent.ini\n");

    TestUtil::ClearLog("_error.txt");
    // Keys after the first empty line are not read.
    WriteFile("gap.ini", "V1.6\nName=A\nPassword=B\n\nColors=C\nDesc=D\nSpec=11\n");
    EXPECT_FALSE(LoadPlayerIni("gap.ini"));
    EXPECT_EQ(Log(), "Error: Could not load all vital data fields from player .ini: gap.ini\n");
    EXPECT_FALSE(ThePlayerRecord.loaded);
    // Values read before the failure stay, as the record is never cleared.
    EXPECT_EQ(ThePlayerRecord.Name, "A");
}

TEST_F(PlayerIniTest, KeyOrderDecidesAndValuesAreCutFromTheLineStart) {
    WriteFile("mixed.ini",
              "V1.6\nColors=abcDesc=x\nName=N\nPassword=P\nColors=C\nSpec=34\n");
    // Desc is tested first, so the mixed line is a Desc line, cut by 5 bytes.
    ASSERT_TRUE(LoadPlayerIni("mixed.ini"));
    EXPECT_EQ(ThePlayerRecord.Desc, "s=abcDesc=x");
    EXPECT_EQ(ThePlayerRecord.Colors, "C");
}

TEST_F(PlayerIniTest, ShortSpecLineLeavesTheFileIncomplete) {
    WriteFile("spec.ini", "V1.6\nName=N\nPassword=P\nColors=C\nDesc=D\nSpec=1\n");
    EXPECT_FALSE(LoadPlayerIni("spec.ini"));
    // Signed bytes: a byte 200 after "Spec=" gives 200 - 256 - 48.
    WriteFile("spec2.ini", "V1.6\nName=N\nPassword=P\nColors=C\nDesc=D\nSpec=\xC8" "0\n");
    ASSERT_TRUE(LoadPlayerIni("spec2.ini"));
    EXPECT_EQ(ThePlayerRecord.Spec1, -56 - 48);
    EXPECT_EQ(ThePlayerRecord.Spec2, 0);
}

TEST_F(PlayerIniTest, OverlongLineIsCutNotGrown) {
    std::string text = "V1.6\nName=N\nPassword=P\nColors=C\nSpec=12\nDesc=" + std::string(300000, 'd') + "\n";
    WriteFile("long.ini", text);
    ASSERT_TRUE(LoadPlayerIni("long.ini"));
    EXPECT_LT(ThePlayerRecord.Desc.size(), 70000u);
    EXPECT_GT(ThePlayerRecord.Desc.size(), 60000u);
}

TEST(AvatarListTest, FindRemoveAndAppendWorkOnTheFirstRecordAtACell) {
    AvatarList list;
    AvatarRecord a, b, c;
    a.cellX = 1, a.cellY = 2, a.pose = 1;
    b.cellX = 1, b.cellY = 2, b.pose = 2;
    c.cellX = 5, c.cellY = 5;
    list.Append(a);
    list.Append(b);
    list.Append(c);
    ASSERT_NE(list.FindAt(1, 2), nullptr);
    EXPECT_EQ(list.FindAt(1, 2)->pose, 1);
    EXPECT_EQ(list.FindAt(2, 1), nullptr);
    list.RemoveAt(1, 2);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.FindAt(1, 2)->pose, 2);
    list.RemoveAt(9, 9);  // nothing there
    EXPECT_EQ(list.Count(), 2u);
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}

TEST(DreamPortalListTest, RemovesOnlyTheFirstPortalAtACell) {
    DreamPortalList list;
    list.Append({3, 4, "one", ""});
    list.Append({3, 4, "two", ""});
    list.RemoveAt(3, 4);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.begin()->name, "two");
}

TEST(TextQueueTest, TakeOnEmptyLeavesOutputAndOrderIsKept) {
    TextQueue queue;
    std::string out = "unchanged";
    EXPECT_FALSE(queue.TakeText(out));
    EXPECT_EQ(out, "unchanged");
    queue.QueueText("first");
    queue.QueueText("second");
    ASSERT_TRUE(queue.TakeText(out));
    EXPECT_EQ(out, "first");
    ASSERT_TRUE(queue.TakeText(out));
    EXPECT_EQ(out, "second");
    EXPECT_FALSE(queue.TakeText(out));
}

TEST(ViewCellTest, StartsAtOriginAndKeepsWhatWasSet) {
    ViewCell view;
    int32_t x = -1, y = -1;
    view.Get(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    view.Set(7, -3);
    view.Get(x, y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, -3);
}
