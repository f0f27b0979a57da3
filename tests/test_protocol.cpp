// The game protocol against a real loopback connection: a NetServer plays
// the game server, the client is the one the game scene would hand over.
#include <gtest/gtest.h>

#include "GameDialog.h"
#include "GameHooks.h"
#include "GameProtocol.h"
#include "ScriptServer.h"
#include "TestUtil.h"
#include "WorldMap.h"
#include "platform/PlatformSystem.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

std::vector<std::string> AllTexts() {
    std::vector<std::string> texts;
    std::string text;
    while (TakeText(text)) texts.push_back(text);
    return texts;
}

// Server x and y as the four base-95 characters of a cell field.
std::string Cell(int x, int y) { return EncodeBase95(x, true) + EncodeBase95(y, true); }

std::pair<int32_t, int32_t> View() {
    std::pair<int32_t, int32_t> cell;
    TheViewCell.Get(cell.first, cell.second);
    return cell;
}

// An avatar's grid cell, group, variant, pose, facing and first and last colour.
std::vector<int> Fields(const AvatarRecord& a) {
    return {a.cellX, a.cellY, a.group, a.variant, a.pose, a.facing, a.colours[0], a.colours[9]};
}

class Protocol : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(server.Accept(10));
        SetServerConnection(&client);
        ResetGameProtocol();
        ThePlayerRecord = PlayerRecord{"Orla", "s3cret", "#!!!!!!!!!!", "A quiet traveller.", 1, 2, true};
        TheAvatarList.Clear();
        TheDreamPortalList.Clear();
        TheTextQueue.Clear();
        TheWorldMap.Clear();
        TheWorldMap.Reset(10, 10);
        TheViewCell.Set(0, 0);
        TheGameHooks = GameHooks();
        TestUtil::ClearLog("_error.txt");
    }
    void TearDown() override {
        SetServerConnection(nullptr);
        TheGameHooks = GameHooks();
        TestUtil::AnswerBoxesByDefault();
    }

    // The server sends `bytes`; once they have all arrived, one frame's pump.
    void Deliver(const std::string& bytes) {
        ASSERT_TRUE(server.Send(bytes));
        ASSERT_TRUE(GameTest::WaitUntil(10, [&] { return client.ReceivedByteCount() >= bytes.size(); }));
        PumpServerInput();
    }
    // Exactly what the client sent since the last look, once `size` bytes have come.
    std::string Sent(size_t size) { return server.Next(size); }
    void LogIn() {
        Deliver("Welcome\nEND\n");
        ASSERT_EQ(Sent(20), "connect Orla s3cret\n");
        Deliver("&&&&&&&&&&&&&\n");
        Sent(45);
        ASSERT_EQ(CurrentLoginPhase(), LoginPhase::LoggedIn);
        AllTexts();
    }
    std::string Log() { return ReadFile("_error.txt"); }

    TestUtil::ScopedFolder folder{testing::UnitTest::GetInstance()->current_test_info()->name()};
    GameTest::ScriptServer server;
    NET::Client client;
};

}  // namespace

TEST_F(Protocol, GreetingEndAndTheLoginMarkerSendTheirExactLines) {
    PumpServerInput();  // nothing waiting: still the greeting
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::Greeting);
    Deliver("Welcome to the game\nxENDx\n");
    EXPECT_EQ(Sent(20), "connect Orla s3cret\n");
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"Welcome to the game", "xENDx"}));
    // The greeting is the first batch only: later lines are neither shown nor
    // answered, and twelve ampersands are not the marker.
    Deliver("xENDx\n");
    Deliver("abc&&&&&&&&&&&&\n");
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::AwaitingLogin);
    Deliver("abc&&&&&&&&&&&&&\n");
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::LoggedIn);
    EXPECT_EQ(Sent(45), "desc A quiet traveller.\ncolor #!!!!!!!!!!!\" \n");
    EXPECT_TRUE(AllTexts().empty());
}

TEST_F(Protocol, LinesAreFramedAcrossReads) {
    LogIn();
    Deliver("(one\n(two\n(hal");
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"one", "two"}));
    Deliver("f\n");
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"half"}));
    // A carriage return stays part of the line: "@" then a 5-byte cell field.
    Deliver("@" + Cell(3, 5) + "\r\n");
    EXPECT_EQ(View(), std::make_pair(5, 5));
}

TEST_F(Protocol, AnOverlongLineIsDroppedAndTheNextOneWorks) {
    LogIn();
    Deliver("(" + std::string(300 * 1024, 'z'));
    Deliver(std::string(1000, 'z') + "\n(after\n");
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"after"}));
    EXPECT_NE(Log().find("Warning: server line longer than 262144 bytes dropped.\n"), std::string::npos);
}

TEST_F(Protocol, CommandsGoOutAsTheirExactBytes) {
    for (int code = 0; code < 6; ++code) ASSERT_TRUE(SendMove(code));
    EXPECT_EQ(Sent(20), "m 9\nm 7\nm 1\nm 3\n<\n>\n");
    EXPECT_FALSE(SendMove(6));
    EXPECT_FALSE(SendMove(-1));
    // Grid (3, 2) of a map of height 4 is server (2, 3).
    TheWorldMap.Reset(3, 4);
    ASSERT_TRUE(SendLook(3, 2));
    EXPECT_EQ(Sent(7), "l  \" #\n");
    ASSERT_TRUE(SendServerLine("\"hello\n"));
    EXPECT_EQ(Sent(8), "\"hello\n\n");
}

TEST_F(Protocol, NothingIsSentOrReadWithoutAConnection) {
    SetServerConnection(nullptr);
    EXPECT_FALSE(SendServerLine("x"));
    EXPECT_FALSE(SendMove(0));
    PumpServerInput();
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::Greeting);
    SetServerConnection(&client);
    client.Disconnect();
    EXPECT_FALSE(SendServerLine("x"));
}

TEST_F(Protocol, LoginRefusalAndTextRules) {
    LogIn();
    HandleServerLine("Nope.");
    HandleServerLine("Nope. ");
    HandleServerLine("Invalid Name or password.");
    HandleServerLine("(");                    // too short
    HandleServerLine("(a\tb\xC8" "c");        // tab and byte 200 dropped
    HandleServerLine("[bracketed");
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"Server reported error while trying to log in.",
                                                     "Server reported error while trying to log in.", "abc",
                                                     "bracketed"}));
}

TEST_F(Protocol, AvatarsArePutMovedAndRemoved) {
    LogIn();
    const std::string colours = "!\"#$%&'()*";
    const std::string standEast = EncodeBase95(38, true);  // group 1, pose 1, facing 3
    HandleServerLine("<" + colours + Cell(3, 5) + standEast);
    ASSERT_EQ(TheAvatarList.Count(), 1u);
    EXPECT_EQ(Fields(*TheAvatarList.begin()), (std::vector<int>{5, 5, 1, 0, 1, 3, 1, 10}));

    // "<" on an occupied cell replaces; a shorter line is ignored.
    HandleServerLine("<" + colours + Cell(3, 5) + EncodeBase95(501, true));
    HandleServerLine("<" + colours + Cell(3, 5) + "!");
    ASSERT_EQ(TheAvatarList.Count(), 1u);
    EXPECT_EQ(TheAvatarList.begin()->variant, 2);

    // "/" moves from the old cell to the new one; equal cells keep one avatar.
    HandleServerLine("/" + colours + Cell(4, 5) + standEast + Cell(3, 5));
    ASSERT_EQ(TheAvatarList.Count(), 1u);
    EXPECT_EQ(TheAvatarList.begin()->cellX, 6);
    HandleServerLine("/" + colours + Cell(4, 5) + standEast + Cell(4, 5));
    EXPECT_EQ(TheAvatarList.Count(), 1u);
    HandleServerLine("/" + colours + Cell(1, 1) + standEast + Cell(4, 5).substr(0, 3));  // 20 bytes
    EXPECT_EQ(TheAvatarList.Count(), 1u);
    EXPECT_EQ(TheAvatarList.begin()->cellX, 6);

    HandleServerLine(")" + Cell(4, 5).substr(0, 3));  // 4 bytes: ignored
    EXPECT_EQ(TheAvatarList.Count(), 1u);
    HandleServerLine(")" + Cell(4, 5));
    EXPECT_EQ(TheAvatarList.Count(), 0u);
}

TEST_F(Protocol, FloorObjectAndViewCellRules) {
    LogIn();
    std::vector<std::pair<int, int>> dirty;
    TheGameHooks.markFloorDirty = [&dirty](int32_t x, int32_t y) { dirty.push_back({x, y}); };
    HandleServerLine("1" + Cell(3, 5) + EncodeBase95(321, true));
    EXPECT_EQ(TheWorldMap.GetFloor(5, 5), 321);
    EXPECT_EQ(dirty, (std::vector<std::pair<int, int>>{{5, 5}}));
    HandleServerLine("1" + Cell(3, 5) + "!");  // 6 bytes
    EXPECT_EQ(TheWorldMap.GetFloor(5, 5), 321);
    EXPECT_EQ(dirty.size(), 1u);

    HandleServerLine(">" + Cell(3, 5) + EncodeBase95(77, true));
    EXPECT_EQ(TheWorldMap.GetObject(5, 5), 77);
    HandleServerLine(">" + Cell(3, 5) + "!");
    EXPECT_EQ(TheWorldMap.GetObject(5, 5), 77);

    HandleServerLine("@" + Cell(2, 4));  // X = 2 + 2, Y = 2 + 5 - 2
    EXPECT_EQ(View(), std::make_pair(4, 5));
    HandleServerLine("@" + Cell(0, 0).substr(0, 3));
    EXPECT_EQ(View(), std::make_pair(4, 5));
}

TEST_F(Protocol, PortalsAreAddedWithNameAndTextAndRemoved) {
    LogIn();
    HandleServerLine("]s" + Cell(3, 5) + "xxPortal one two");
    HandleServerLine("]s" + Cell(3, 5) + "xxLonely");
    HandleServerLine("]s" + Cell(3, 5) + "x");  // 7 bytes
    auto portals = [] {
        std::string all;
        for (const DreamPortal& p : TheDreamPortalList)
            all += std::to_string(p.cellX) + "," + std::to_string(p.cellY) + " " + p.name + "/" + p.text + "|";
        return all;
    };
    EXPECT_EQ(portals(), "5,5 Portal/onetwo|5,5 Lonely/|");
    // Only the first portal at the cell goes.
    HandleServerLine("]t" + Cell(3, 5));
    EXPECT_EQ(portals(), "5,5 Lonely/|");
}

TEST_F(Protocol, DreamLineStartsTheDownloadThroughTheHook) {
    LogIn();
    std::vector<std::string> started;
    TheGameHooks.startDreamDownload = [&started](const std::string& id, int32_t type, const std::string& folder) {
        started.push_back(id + "|" + std::to_string(type) + "|" + folder);
    };
    TheAvatarList.Append(AvatarRecord());
    TheDreamPortalList.Append(DreamPortal());
    HandleServerLine("]q dreamA extra");
    EXPECT_EQ(started, (std::vector<std::string>{"dreamA|0|hlcn_tmp\\dreamA"}));
    EXPECT_EQ(TheAvatarList.Count(), 0u);
    EXPECT_EQ(TheDreamPortalList.Count(), 0u);
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"> Downloading Dream..."}));
}

TEST_F(Protocol, MapLineLoadsTheMapAndHandsTheFloorShapesOver) {
    LogIn();
    WriteFile("maps/town.map", "MAP V01.10 Quillmor\nheight=4\nwidth=3\nBODY\n" + std::string(72, '\0'));
    WriteFile("patches/default/floors.fsh", std::string("\x01\x00\x00\x00\x01\x01\x00\x00\x05", 9));
    size_t handed = 0;
    TheGameHooks.installFloorTextures = [&handed](const ShapeList& shapes) {
        handed = shapes.size();
        return false;
    };
    TheGameDialog.DropAll();
    TheAvatarList.Append(AvatarRecord());
    HandleServerLine(";maps\\town.map");
    EXPECT_TRUE(TheWorldMap.MapLoaded);
    EXPECT_EQ(TheWorldMap.N, 7);
    EXPECT_EQ(TheAvatarList.Count(), 0u);
    EXPECT_EQ(handed, 1u);
    ASSERT_EQ(TheGameDialog.WaitingCount(), 1u);
    EXPECT_EQ(TheGameDialog.Current()->caption, "oops");
    EXPECT_EQ(TheGameDialog.Current()->text.substr(0, 22), "Something bad happened");
    EXPECT_FALSE(TheGameDialog.Current()->yesNo);
    TheGameDialog.DropAll();

    HandleServerLine(";a.ma");  // 5 bytes: ignored
    EXPECT_TRUE(TheWorldMap.MapLoaded);
}

TEST_F(Protocol, FilesOutsideTheGameFolderAreNeverOpened) {
    LogIn();
    WriteFile("inside.map", "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n");
    for (const std::string& line : {std::string(";..\\inside.map"), std::string(";/etc/passwd"),
                                    std::string(";maps\\..\\..\\x.map"), std::string(";C:\\x.map"),
                                    std::string(";..\0inside.map", 14)}) {
        ASSERT_TRUE(LoadMapFile("inside.map"));
        TestUtil::ClearLog("_error.txt");
        HandleServerLine(line);
        EXPECT_FALSE(TheWorldMap.MapLoaded) << line;
        EXPECT_NE(Log().find("Error: Refused to open a map file outside the game's folder: \""), std::string::npos)
            << line << ": " << Log();
        EXPECT_EQ(Log().find("Failed to load quil .map file"), std::string::npos) << Log();
    }
    GamePalette.fill(ColorWord());
    TestUtil::ClearLog("_error.txt");
    HandleServerLine("]cc..\\..\\pal.pcx");
    EXPECT_EQ(Log(), "Error: Refused to open a palette outside the game's folder: \"..\\..\\pal.pcx\"\n");
}

TEST_F(Protocol, PaletteLineLoadsFromThePatchesFolder) {
    LogIn();
    std::string pcx(128, '\0');
    for (int i = 0; i < 256; ++i) pcx += {char(i), char(i), char(255 - i)};
    WriteFile("patches/default/day.pcx", pcx);
    HandleServerLine("]ccday.pcx");
    EXPECT_EQ(GamePalette[10].red, 10);
    EXPECT_EQ(GamePalette[10].blue, 245);
    HandleServerLine("]cc");  // 3 bytes: ignored
    EXPECT_EQ(Log(), "");
}

TEST(Base95, DecodesAndEncodesTheGamesDigits) {
    EXPECT_EQ(DecodeBase95("!!"), 96);
    EXPECT_EQ(DecodeBase95(""), 0);
    EXPECT_EQ(DecodeBase95("~~"), 9024);
    EXPECT_EQ(DecodeBase95("\xC8"), -88);  // a byte above 127 is a negative digit
    EXPECT_EQ(EncodeBase95(96, true), "!!");
    EXPECT_EQ(EncodeBase95(3, false), "#");
    EXPECT_EQ(EncodeBase95(98, false), "#");
    for (int v = 0; v <= 9024; ++v) ASSERT_EQ(DecodeBase95(EncodeBase95(v, true)), v) << v;
    DecodeBase95(std::string(50, '~'));  // a long hostile field wraps: UBSan catches an overflow
}

TEST(Coordinates, GridToServerInvertsServerToGridOnWholeMaps) {
    GridCell a = ServerToGrid(0, 0, 4), b = ServerToGrid(2, 3, 4);
    EXPECT_EQ(a, (GridCell{0, 2}));
    EXPECT_EQ(b, (GridCell{3, 2}));
    for (int W : {1, 2, 3, 8, 51})
        for (int H : {1, 2, 4, 7, 50, 99}) {
            std::vector<bool> used(size_t(W + H) * (W + H), false);
            for (int x = 0; x < W; ++x)
                for (int y = 0; y < H; ++y) {
                    GridCell g = ServerToGrid(x, y, H);
                    ASSERT_EQ(GridToServer(g.x, g.y, H), (GridCell{x, y})) << W << "x" << H << " " << x << "," << y;
                    ASSERT_LT(g.x, W + H);
                    ASSERT_LT(g.y, W + H);
                    if (g.y < 0) continue;
                    // No two server cells share a grid cell.
                    ASSERT_FALSE(used[size_t(g.y) * (W + H) + g.x]);
                    used[size_t(g.y) * (W + H) + g.x] = true;
                }
        }
}

TEST(AvatarFrame, BandsPosesAndFacings) {
    struct Case { int frame, group, variant, pose, facing; };
    const Case cases[] = {{0, 0, 0, 0, 0},   {501, 0, 2, 0, 2}, {38, 1, 0, 1, 3},   {17, 0, 0, 1, 2}, {20, 0, 0, 1, 1},
                          {2, 0, 0, 3, 2},   {7, 0, 0, 2, 3},   {12, 0, 0, 4, 1},   {13, 0, 0, 0, 0}, {16, 0, 0, 4, 0},
                          {61, 3, 0, 0, 2},  {100, 4, 0, 1, 1}, {41, 2, 0, 0, 2},   {85, 4, 0, 0, 3}, {119, 5, 0, 1, 0},
                          {620, 5, 2, 1, 1}, {540, 1, 2, 1, 1}};
    for (const Case& c : cases) {
        AvatarRecord r = ParseAvatarFrame("", EncodeBase95(c.frame, true));
        EXPECT_EQ(Fields(r), (std::vector<int>{0, 0, c.group, c.variant, c.pose, c.facing, 0, 0})) << c.frame;
    }
}

TEST(AvatarFrame, ColoursShortCodesAndTheOutOfRangeWarning) {
    // A one-byte frame code stops the parse after the colours.
    EXPECT_EQ(Fields(ParseAvatarFrame("!\"#$%&'()*", "!")), (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 10}));
    // A short colour code gives no colours.
    EXPECT_EQ(Fields(ParseAvatarFrame("!\"#", EncodeBase95(38, true))), (std::vector<int>{0, 0, 1, 0, 1, 3, 0, 0}));

    TestUtil::ClearLog("_error.txt");
    // Group 5 with 21 left over: 21 mod 21 = 0 gives pose 4.
    EXPECT_EQ(Fields(ParseAvatarFrame("", EncodeBase95(121, true))), (std::vector<int>{0, 0, 5, 0, 4, 0, 0, 0}));
    EXPECT_EQ(ReadFile("_error.txt"), "Warning: Animation frame could not be correctly parsed: 121\n");
}

// Each map line here takes 3 ms, so a frame's budget holds at most two.
TEST_F(Protocol, LinesBeyondTheFrameBudgetWaitForTheNextFramesInOrder) {
    LogIn();
    std::string handled;
    TheGameHooks.installFloorTextures = [&handled](const ShapeList&) {
        handled += "m";
        Platform::SleepMilliseconds(3);
        return true;
    };
    Deliver(";a.map\n;a.map\n;a.map\n;a.map\n;a.map\n(after\n");
    EXPECT_LE(handled.size(), 2u);
    EXPECT_TRUE(AllTexts().empty());
    for (int frame = 0; frame < 10 && handled.size() < 5; ++frame) PumpServerInput();
    EXPECT_EQ(handled, "mmmmm");
    PumpServerInput();
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"after"}));
}

TEST_F(Protocol, LinesForCellsOutsideTheMapAreIgnored) {
    LogIn();
    const std::string colours = "!\"#$%&'()*", frame = EncodeBase95(38, true);
    // A 10 x 10 map is a 20 x 20 grid: server x 30 lands at X 30.
    HandleServerLine("<" + colours + Cell(30, 0) + frame);
    HandleServerLine("/" + colours + Cell(30, 0) + frame + Cell(3, 5));
    HandleServerLine("]s" + Cell(30, 0) + "xxPortal");
    EXPECT_EQ(TheAvatarList.Count(), 0u);
    EXPECT_EQ(TheDreamPortalList.Count(), 0u);
    HandleServerLine("<" + colours + Cell(3, 5) + frame);
    HandleServerLine("]s" + Cell(3, 5) + "xxPortal");
    EXPECT_EQ(TheAvatarList.Count(), 1u);
    EXPECT_EQ(TheDreamPortalList.Count(), 1u);
}

// The shapes come from the file only when its size or time changed.
TEST_F(Protocol, MapLinesRereadTheFloorShapesOnlyWhenTheFileChanged) {
    LogIn();
    WriteFile("town.map", "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n");
    const std::string path = "patches/default/floors.fsh";
    WriteFile(path, std::string("\x01\x00\x00\x00\x01\x01\x00\x00\x05", 9));
    std::vector<int> pixels;
    TheGameHooks.installFloorTextures = [&pixels](const ShapeList& shapes) {
        pixels.push_back(shapes.empty() ? -1 : shapes[0].rows[0][0]);
        return true;
    };
    HandleServerLine(";town.map");
    const auto time = std::filesystem::last_write_time(path);
    WriteFile(path, std::string("\x01\x00\x00\x00\x01\x01\x00\x00\x07", 9));
    std::filesystem::last_write_time(path, time);
    HandleServerLine(";town.map");
    std::filesystem::last_write_time(path, time + std::chrono::seconds(1));
    HandleServerLine(";town.map");
    EXPECT_EQ(pixels, (std::vector<int>{5, 5, 7}));
}
