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

std::string Record() {
    const PlayerRecord& r = ThePlayerRecord;
    return r.Name + "|" + r.Password + "|" + r.Colors + "|" + r.Desc + "|" + std::to_string(r.Spec1) + "|" +
           std::to_string(r.Spec2) + (r.loaded ? "|loaded" : "");
}

}  // namespace

TEST(PlayerIni, KeysVersionsAndMessages) {
    TestUtil::ScopedFolder folder("ini");
    const std::string complete = "V1.6\nName=N\nPassword=P\nColors=C\nDesc=D\n";
    struct Case {
        const char* file;
        std::string text;  // no file when empty
        bool loads;
        std::string record, log;
    } cases[] = {
        {"good.ini", GoodIni, true, "Orla|s3cret|#!!!!!!!!!!|A quiet traveller.|1|2|loaded", ""},
        {"absent.ini", "", false, "||||0|0", "Failed to open player ini file: absent.ini\n"},
        // Desc is tested first, so the mixed line is a Desc line, cut by 5 bytes.
        {"mixed.ini", "V1.6\nColors=abcDesc=x\nName=N\nPassword=P\nColors=C\nSpec=34\n", true,
         "N|P|C|s=abcDesc=x|3|4|loaded", ""},
        {"onedigit.ini", complete + "Spec=1\n", false, "N|P|C|D|0|0",
         "Error: Could not load all vital data fields from player .ini: onedigit.ini\n"},
        // Signed bytes: a byte 200 after "Spec=" gives 200 - 256 - 48.
        {"signed.ini", complete + "Spec=\xC8" "0\n", true, "N|P|C|D|-104|0|loaded", ""},
    };
    for (const Case& c : cases) {
        ThePlayerRecord = PlayerRecord();
        TestUtil::ClearLog("_error.txt");
        if (!c.text.empty()) WriteFile(c.file, c.text);
        EXPECT_EQ(LoadPlayerIni(c.file), c.loads) << c.file;
        EXPECT_EQ(Record(), c.record) << c.file;
        EXPECT_EQ(ReadFile("_error.txt"), c.log) << c.file;
    }
}

TEST(PlayerIni, OverlongLineIsCutNotGrown) {
    TestUtil::ScopedFolder folder("long");
    WriteFile("long.ini", "V1.6\nName=N\nPassword=P\nColors=C\nSpec=12\nDesc=" + std::string(300000, 'd') + "\n");
    ASSERT_TRUE(LoadPlayerIni("long.ini"));
    EXPECT_LT(ThePlayerRecord.Desc.size(), 70000u);
    EXPECT_GT(ThePlayerRecord.Desc.size(), 60000u);
}

// Several records on one cell: the stores act on the first one.
TEST(Stores, AvatarListFindsAndRemovesTheFirstRecordAtACell) {
    AvatarList list;
    for (int pose : {1, 2}) {
        AvatarRecord r;
        r.cellX = 1, r.cellY = 2, r.pose = pose;
        list.Append(r);
    }
    ASSERT_NE(list.FindAt(1, 2), nullptr);
    EXPECT_EQ(list.FindAt(1, 2)->pose, 1);
    EXPECT_EQ(list.FindAt(2, 1), nullptr);
    list.RemoveAt(9, 9);
    list.RemoveAt(1, 2);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.FindAt(1, 2)->pose, 2);
}

// What a hostile server could pile up stops at each store's ceiling, with one warning.
TEST(Stores, CeilingsKeepWhatCameFirstAndWarnOnce) {
    TestUtil::ScopedFolder folder("ceilings");
    TestUtil::ClearLog("_error.txt");
    AvatarList avatars;
    DreamPortalList portals;
    TextQueue texts;
    for (size_t i = 0; i < MaxAvatars + 2; ++i) {
        AvatarRecord r;
        r.cellX = int32_t(i);
        EXPECT_EQ(avatars.Append(r), i < MaxAvatars);
    }
    EXPECT_EQ(avatars.FindAt(int32_t(MaxAvatars - 1), 0)->cellX, int32_t(MaxAvatars - 1));
    for (size_t i = 0; i < MaxDreamPortals + 2; ++i)
        EXPECT_EQ(portals.Append(DreamPortal{0, 0, std::string(MaxPortalFieldLength + 5, 'n'), "t"}),
                  i < MaxDreamPortals);
    EXPECT_EQ(portals.begin()->name.size(), MaxPortalFieldLength);
    for (size_t i = 0; i < MaxQueuedTexts + 2; ++i) texts.QueueText("x");
    EXPECT_EQ(texts.Count(), MaxQueuedTexts);
    std::string out;
    while (texts.TakeText(out)) {}
    texts.QueueText(std::string(MaxQueuedTextBytes, 'b'));
    texts.QueueText("c");
    ASSERT_TRUE(texts.TakeText(out));
    EXPECT_FALSE(texts.TakeText(out));
    EXPECT_EQ(out.size(), MaxQueuedTextBytes);  // taking from an empty queue leaves the output alone
    std::string log = ReadFile("_error.txt");
    for (const char* warning : {"Warning: more characters on the map", "Warning: more dream portals on the map",
                                "Warning: more text waiting for the text window"})
        EXPECT_EQ(TestUtil::CountOf(log, warning), 1) << log;
}
