#include <gtest/gtest.h>

#include "GameProtocol.h"
#include "TestUtil.h"
#include "WorldMap.h"

#include <functional>

using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

// Builds a map file: the header lines, "BODY", then the three layers from
// functions of the server cell (x, y).
struct MapWriter {
    int W = 0, H = 0;
    std::string magic = "MAP V01.10 Quillmor";
    std::string extraHeader;
    std::string bodyLine = "BODY";
    std::function<uint16_t(int, int)> floor = [](int x, int y) { return uint16_t(x * 100 + y); };
    std::function<uint16_t(int, int)> object = [](int x, int y) { return uint16_t(1000 + x * 10 + y); };
    std::function<uint8_t(int, int)> wallX = [](int x, int y) { return uint8_t(1 + x + y); };
    std::function<uint8_t(int, int)> wallY = [](int x, int y) { return uint8_t(100 + x + y); };

    std::string Header() const {
        return magic + "\nheight=" + std::to_string(H) + "\nwidth=" + std::to_string(W) + "\n" + extraHeader +
               bodyLine + "\n";
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

class MapFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheWorldMap.Clear();
        TestUtil::ClearLog("_error.txt");
    }
    std::string Log() { return ReadFile("_error.txt"); }
    // Each case in a folder of its own, so files of one case never feed another.
    TestUtil::ScopedFolder folder{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

void ExpectServerCell(const MapWriter& m, int x, int y) {
    GridCell g = ServerToGrid(x, y, m.H);
    EXPECT_EQ(TheWorldMap.GetFloor(g.x, g.y), m.floor(x, y)) << x << "," << y;
    EXPECT_EQ(TheWorldMap.GetObject(g.x, g.y), m.object(x, y)) << x << "," << y;
    EXPECT_EQ(TheWorldMap.GetWallX(g.x, g.y), m.wallX(x, y)) << x << "," << y;
    EXPECT_EQ(TheWorldMap.GetWallY(g.x, g.y), m.wallY(x, y)) << x << "," << y;
}

}  // namespace

TEST_F(MapFileTest, EveryLayerLandsOnTheConvertedCell) {
    MapWriter m;
    m.W = 3, m.H = 4;
    m.Write("small.map");
    ASSERT_TRUE(LoadMapFile("small.map"));
    EXPECT_TRUE(TheWorldMap.MapLoaded);
    EXPECT_EQ(TheWorldMap.N, 7);
    EXPECT_EQ(TheWorldMap.W, 3);
    EXPECT_EQ(TheWorldMap.H, 4);
    EXPECT_EQ(TheWorldMap.Cells().size(), 49u);
    // Server (0, 0) is grid (0, 2); server (2, 3) is grid (3, 2).
    EXPECT_EQ(TheWorldMap.GetFloor(0, 2), m.floor(0, 0));
    EXPECT_EQ(TheWorldMap.GetFloor(3, 2), m.floor(2, 3));
    for (int x = 0; x < m.W; ++x)
        for (int y = 0; y < m.H; ++y) ExpectServerCell(m, x, y);
    EXPECT_EQ(Log(), "");
}

TEST_F(MapFileTest, CellsNoServerCellReachesKeepTheDefaults) {
    MapWriter m;
    m.W = 5, m.H = 6;
    m.Write("defaults.map");
    ASSERT_TRUE(LoadMapFile("defaults.map"));
    std::vector<bool> reached(size_t(TheWorldMap.N) * TheWorldMap.N, false);
    for (int x = 0; x < m.W; ++x)
        for (int y = 0; y < m.H; ++y) {
            GridCell g = ServerToGrid(x, y, m.H);
            if (TheWorldMap.Inside(g.x, g.y)) reached[size_t(g.y) * TheWorldMap.N + g.x] = true;
        }
    int unreached = 0;
    for (int Y = 0; Y < TheWorldMap.N; ++Y)
        for (int X = 0; X < TheWorldMap.N; ++X) {
            if (reached[size_t(Y) * TheWorldMap.N + X]) continue;
            ++unreached;
            EXPECT_EQ(TheWorldMap.GetFloor(X, Y), MapCell::NoFloor);
            EXPECT_EQ(TheWorldMap.GetObject(X, Y), 0);
            EXPECT_EQ(TheWorldMap.GetWallX(X, Y), 0);
            EXPECT_EQ(TheWorldMap.GetWallY(X, Y), 0);
        }
    EXPECT_GT(unreached, 0);
}

TEST_F(MapFileTest, AccessOutsideTheGridIsHarmless) {
    MapWriter m;
    m.W = 2, m.H = 2;
    m.Write("tiny.map");
    ASSERT_TRUE(LoadMapFile("tiny.map"));
    EXPECT_EQ(TheWorldMap.GetFloor(-1, 0), 0);
    EXPECT_EQ(TheWorldMap.GetObject(4, 0), 0);
    TheWorldMap.SetFloor(4, 4, 7);
    TheWorldMap.SetObject(0, -1, 7);
    for (const MapCell& c : TheWorldMap.Cells()) EXPECT_NE(c.object, 7);
    TheWorldMap.SetFloor(3, 3, 9);
    EXPECT_EQ(TheWorldMap.GetFloor(3, 3), 9);
}

TEST_F(MapFileTest, HeaderRulesAndTheirMessages) {
    EXPECT_FALSE(LoadMapFile("absent.map"));
    EXPECT_EQ(Log(), "Failed to load quil .map file: absent.map\n");

    MapWriter m;
    m.W = 2, m.H = 3;
    m.magic = "MAP V01.09 Quillmor";
    m.extraHeader = "name=test\nrating=all\n";
    m.Write("old.map");
    TestUtil::ClearLog("_error.txt");
    ASSERT_TRUE(LoadMapFile("old.map"));
    EXPECT_EQ(Log(), "Warning: Unrecognized map version found in map file: old.map\n"
                     "  -load may potentially be invalid.\n");
    ExpectServerCell(m, 1, 2);

    // A carriage return stays part of the line: "BODY\r" is not "BODY".
    m.magic = "MAP V01.10 Quillmor";
    m.bodyLine = "BODY\r";
    m.Write("crlf.map");
    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(LoadMapFile("crlf.map"));
    EXPECT_EQ(Log(), "Error: Format of file unrecognized: crlf.map\n");
    EXPECT_FALSE(TheWorldMap.MapLoaded);
    EXPECT_EQ(TheWorldMap.N, 0);
}

TEST_F(MapFileTest, ShortSizeLinesReadAsZero) {
    // "height" followed by one digit is 7 bytes: not a height line.
    WriteFile("short.map", "MAP V01.10 Quillmor\nheight4\nwidth=3\nBODY\n");
    ASSERT_TRUE(LoadMapFile("short.map"));
    EXPECT_EQ(TheWorldMap.H, 0);
    EXPECT_EQ(TheWorldMap.W, 3);
    EXPECT_EQ(TheWorldMap.N, 3);

    WriteFile("empty.map", "MAP V01.10 Quillmor\nheight=0\nwidth=0\nBODY\n");
    ASSERT_TRUE(LoadMapFile("empty.map"));
    EXPECT_TRUE(TheWorldMap.MapLoaded);
    EXPECT_EQ(TheWorldMap.N, 0);
    EXPECT_TRUE(TheWorldMap.Cells().empty());
}

TEST_F(MapFileTest, ShortBodyKeepsDefaultsAndSaysSo) {
    MapWriter m;
    m.W = 4, m.H = 4;
    std::string full = m.Header() + m.Body();
    // Only the floor layer and one byte of the objects.
    WriteFile("cut.map", full.substr(0, m.Header().size() + 2 * 16 + 1));
    ASSERT_TRUE(LoadMapFile("cut.map"));
    EXPECT_NE(Log().find("Warning: map file body ended early: cut.map\n"), std::string::npos) << Log();
    for (int x = 0; x < m.W; ++x)
        for (int y = 0; y < m.H; ++y) {
            GridCell g = ServerToGrid(x, y, m.H);
            if (!TheWorldMap.Inside(g.x, g.y)) continue;  // this diamond pokes out of the grid
            EXPECT_EQ(TheWorldMap.GetFloor(g.x, g.y), m.floor(x, y));
            EXPECT_EQ(TheWorldMap.GetObject(g.x, g.y), 0);
            EXPECT_EQ(TheWorldMap.GetWallX(g.x, g.y), 0);
        }
}

TEST_F(MapFileTest, HostileSizesAreRefusedWithoutAllocating) {
    WriteFile("huge.map", "MAP V01.10 Quillmor\nheight=99999999999\nwidth=2000000000\nBODY\n");
    EXPECT_FALSE(LoadMapFile("huge.map"));
    EXPECT_NE(Log().find("Error: Unusable map size (width 2000000000, height 2147483647) in map file: huge.map\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(TheWorldMap.N, 0);

    TestUtil::ClearLog("_error.txt");
    WriteFile("negative.map", "MAP V01.10 Quillmor\nheight=-5\nwidth=9\nBODY\n");
    EXPECT_FALSE(LoadMapFile("negative.map"));
    EXPECT_NE(Log().find("Unusable map size (width 9, height -5)"), std::string::npos) << Log();
}

TEST_F(MapFileTest, AHeaderWithoutLineBreaksIsBounded) {
    WriteFile("noline.map", std::string(1 << 20, 'x'));
    EXPECT_FALSE(LoadMapFile("noline.map"));
    EXPECT_NE(Log().find("Error: Format of file unrecognized: noline.map\n"), std::string::npos);
}

TEST_F(MapFileTest, ALoadReplacesTheWholeMapAndAFailureEmptiesIt) {
    MapWriter m;
    m.W = 3, m.H = 3;
    m.Write("a.map");
    ASSERT_TRUE(LoadMapFile("a.map"));
    TheWorldMap.SetObject(1, 1, 4242);
    ASSERT_TRUE(LoadMapFile("a.map"));
    EXPECT_NE(TheWorldMap.GetObject(1, 1), 4242);
    EXPECT_FALSE(LoadMapFile("missing.map"));
    EXPECT_FALSE(TheWorldMap.MapLoaded);
    EXPECT_EQ(TheWorldMap.N, 0);
    // W and H stay from the last load that got past the header.
    EXPECT_EQ(TheWorldMap.W, 3);
}
