// The game's own data files and stores: player .ini files, map files and
// where their cells land, and the stores' ceilings.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "GameProtocol.h"
#include "QuilDataManager.h"
#include "TestUtil.h"
#include "WorldMap.h"

using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

std::string Record() {
    const PlayerRecord& r = ThePlayerRecord;
    return r.Name + "|" + r.Password + "|" + r.Colors + "|" + r.Desc + "|" + std::to_string(r.Spec1) + "|" +
           std::to_string(r.Spec2) + (r.loaded ? "|loaded" : "");
}

// Builds a map file: the header lines, "BODY", then the three layers from
// functions of the server cell (x, y).
struct MapWriter {
    int W = 0, H = 0;
    std::string magic = "MAP V01.10 Quillmor";
    std::string extraHeader;
    std::function<uint16_t(int, int)> floor = [](int x, int y) { return uint16_t(x * 100 + y); };
    std::function<uint16_t(int, int)> object = [](int x, int y) { return uint16_t(1000 + x * 10 + y); };
    std::function<uint8_t(int, int)> wallX = [](int x, int y) { return uint8_t(1 + x + y); };
    std::function<uint8_t(int, int)> wallY = [](int x, int y) { return uint8_t(100 + x + y); };

    std::string Header() const {
        return magic + "\nheight=" + std::to_string(H) + "\nwidth=" + std::to_string(W) + "\n" + extraHeader +
               "BODY\n";
    }
    std::string Body() const {
        std::string body;
        auto word = [&body](uint16_t v) { body += char(v & 0xFF), body += char(v >> 8); };
        for (int x = 0; x < W; ++x)
            for (int y = 0; y < H; ++y) word(floor(x, y));
        for (int x = 0; x < W; ++x)
            for (int y = 0; y < H; ++y) word(object(x, y));
        for (int x = 0; x < W; ++x) {
            for (int y = 0; y < H; ++y) body += char(wallX(x, y));
            for (int y = 0; y < H; ++y) body += char(wallY(x, y));
        }
        return body;
    }
    void Write(const std::string& path) const { WriteFile(path, Header() + Body()); }
};

class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheWorldMap.Clear();
        TestUtil::ClearLog("_error.txt");
    }
    std::string Log() { return ReadFile("_error.txt"); }
    // Each case in a folder of its own, so files of one case never feed another.
    TestUtil::ScopedFolder folder{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

std::vector<int> Layers(int X, int Y) {
    return {TheWorldMap.GetFloor(X, Y), TheWorldMap.GetObject(X, Y), TheWorldMap.GetWallX(X, Y),
            TheWorldMap.GetWallY(X, Y)};
}

// Every server cell's layers land on the grid cell it converts to; every
// other grid cell keeps the defaults.
void ExpectGrid(const MapWriter& m) {
    for (int x = 0; x < m.W; ++x)
        for (int y = 0; y < m.H; ++y) {
            const GridCell g = ServerToGrid(x, y, m.H);
            EXPECT_EQ(Layers(g.x, g.y), (std::vector<int>{m.floor(x, y), m.object(x, y), m.wallX(x, y), m.wallY(x, y)}))
                << "server " << x << "," << y;
        }
    int defaults = 0;
    for (int Y = 0; Y < TheWorldMap.N; ++Y)
        for (int X = 0; X < TheWorldMap.N; ++X)
            defaults += Layers(X, Y) == std::vector<int>{MapCell::NoFloor, 0, 0, 0};
    EXPECT_EQ(defaults, TheWorldMap.N * TheWorldMap.N - m.W * m.H);
}

} // namespace

TEST_F(DataFileTest, PlayerIniKeysVersionsAndMessages) {
    const std::string complete = "V1.6\nName=N\nPassword=P\nColors=C\nDesc=D\n";
    struct Case {
        const char* file;
        std::string text;  // no file when empty
        bool loads;
        std::string record, log;
    } cases[] = {
        {"good.ini",
         "V1.6 character\r\nName=Orla\r\nPassword=s3cret\r\nColors=#!!!!!!!!!!\r\n"
         "Desc=A quiet traveller.\r\nSpec=12\r\n",
         true, "Orla|s3cret|#!!!!!!!!!!|A quiet traveller.|1|2|loaded", ""},
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
        EXPECT_EQ(Log(), c.log) << c.file;
    }
}

TEST_F(DataFileTest, PlayerIniOverlongLineIsCutNotGrown) {
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
TEST_F(DataFileTest, StoreCeilingsKeepWhatCameFirstAndWarnOnce) {
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
    std::string log = Log();
    for (const char* warning : {"Warning: more characters on the map", "Warning: more dream portals on the map",
                                "Warning: more text waiting for the text window"})
        EXPECT_EQ(TestUtil::CountOf(log, warning), 1) << log;
}

// The second, smaller map replaces the whole first one.
TEST_F(DataFileTest, EveryLayerLandsOnTheConvertedCellAndTheRestKeepTheDefaults) {
    MapWriter small, old;
    small.W = 3, small.H = 4;
    old.W = 2, old.H = 3;
    old.magic = "MAP V01.09 Quillmor";
    old.extraHeader = "name=test\nrating=all\n";
    const std::string warning = "Warning: Unrecognized map version found in map file: old.map\n"
                                "  -load may potentially be invalid.\n";
    for (auto [m, file, log] : {std::tuple{small, "small.map", ""}, {old, "old.map", warning.c_str()}}) {
        TestUtil::ClearLog("_error.txt");
        m.Write(file);
        ASSERT_TRUE(LoadMapFile(file));
        EXPECT_EQ(TheWorldMap.N, m.W + m.H);
        EXPECT_EQ(std::make_pair(TheWorldMap.W, TheWorldMap.H), std::make_pair(m.W, m.H));
        ExpectGrid(m);
        EXPECT_EQ(Log(), log);
    }
}

TEST_F(DataFileTest, ShortBodyKeepsDefaultsAndSaysSo) {
    MapWriter m;
    m.W = 2, m.H = 4;
    // Only the floor layer and one byte of the objects.
    WriteFile("cut.map", (m.Header() + m.Body()).substr(0, m.Header().size() + 2 * 8 + 1));
    ASSERT_TRUE(LoadMapFile("cut.map"));
    EXPECT_EQ(Log(), "Warning: map file body ended early: cut.map\n"
                     "  -cells it does not reach keep their defaults.\n");
    m.object = [](int, int) { return uint16_t(0); };
    m.wallX = m.wallY = [](int, int) { return uint8_t(0); };
    ExpectGrid(m);
}

TEST_F(DataFileTest, BrokenHeadersAndTheirMessages) {
    struct Case {
        const char* file;
        std::string text;  // no file when empty
        bool loads;
        int W, H, N;  // W and H checked for the maps that load
        std::string log;
    } cases[] = {
        {"absent.map", "", false, 0, 0, 0, "Failed to load quil .map file: absent.map\n"},
        // A carriage return stays part of the line: "BODY\r" is not "BODY".
        {"crlf.map", "MAP V01.10 Quillmor\nheight=4\nwidth=3\nBODY\r\n", false, 0, 0, 0,
         "Error: Format of file unrecognized: crlf.map\n"},
        {"empty.map", "MAP V01.10 Quillmor\nheight=0\nwidth=0\nBODY\n", true, 0, 0, 0, ""},
        // "height" followed by one digit is 7 bytes: not a height line.
        {"short.map", "MAP V01.10 Quillmor\nheight4\nwidth=3\nBODY\n", true, 3, 0, 3, ""},
        // Hostile sizes are refused before anything is allocated, and a failed load empties the map.
        {"huge.map", "MAP V01.10 Quillmor\nheight=99999999999\nwidth=2000000000\nBODY\n", false, 0, 0, 0,
         "Error: Unusable map size (width 2000000000, height 2147483647) in map file: huge.map\n"},
        {"negative.map", "MAP V01.10 Quillmor\nheight=-5\nwidth=9\nBODY\n", false, 0, 0, 0,
         "Error: Unusable map size (width 9, height -5) in map file: negative.map\n"},
        // A header without line breaks is read with a bound.
        {"noline.map", std::string(1 << 20, 'x'), false, 0, 0, 0,
         "Warning: Unrecognized map version found in map file: noline.map\n"
         "  -load may potentially be invalid.\nError: Format of file unrecognized: noline.map\n"},
    };
    for (const Case& c : cases) {
        TestUtil::ClearLog("_error.txt");
        if (!c.text.empty()) WriteFile(c.file, c.text);
        EXPECT_EQ(LoadMapFile(c.file), c.loads) << c.file;
        EXPECT_EQ(TheWorldMap.MapLoaded, c.loads) << c.file;
        EXPECT_EQ(Log(), c.log) << c.file;
        EXPECT_EQ(TheWorldMap.N, c.N) << c.file;
        if (c.loads) {
            EXPECT_EQ(std::make_pair(TheWorldMap.W, TheWorldMap.H), std::make_pair(c.W, c.H)) << c.file;
        }
    }
}

TEST_F(DataFileTest, AccessOutsideTheGridIsHarmless) {
    MapWriter m;
    m.W = 2, m.H = 2;
    m.Write("tiny.map");
    ASSERT_TRUE(LoadMapFile("tiny.map"));
    EXPECT_EQ(Layers(-1, 0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(Layers(4, 0), (std::vector<int>{0, 0, 0, 0}));
    TheWorldMap.SetFloor(4, 4, 7);
    TheWorldMap.SetObject(0, -1, 7);
    for (const MapCell& c : TheWorldMap.Cells()) EXPECT_NE(c.object, 7);
    TheWorldMap.SetFloor(3, 3, 9);
    EXPECT_EQ(TheWorldMap.GetFloor(3, 3), 9);
}
