// The game protocol against a real loopback connection: a NetServer plays
// the game server, the client is the one the game scene would hand over.
#include <gtest/gtest.h>

#include "GameDialog.h"
#include "GameHooks.h"
#include "GameProtocol.h"
#include "NetTestFixture.h"
#include "TestUtil.h"
#include "WorldMap.h"
#include "platform/PlatformSystem.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using NetTest::TakeTexts;
using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

// Server x and y as the four base-95 characters of a cell field.
std::string Cell(int x, int y) {
    return EncodeBase95(x, true) + EncodeBase95(y, true);
}

GridCell View() {
    GridCell cell;
    TheViewCell.Get(cell.x, cell.y);
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

    // The server sends `bytes`; once they have all arrived, `frames` frames' pumps.
    void Deliver(const std::string& bytes, int frames = 20) {
        ASSERT_TRUE(server.Send(bytes));
        ASSERT_TRUE(NetTest::WaitUntil(10, [&] { return client.ReceivedByteCount() >= bytes.size(); }));
        // A frame handles at least one line; on a slow machine the frame's
        // budget may leave the rest to the next frames.
        for (int frame = 0; frame < frames; ++frame) PumpServerInput();
    }
    // Exactly what the client sent since the last look, once `size` bytes have come.
    std::string Sent(size_t size) { return server.Next(size); }
    void LogIn() {
        Deliver("Welcome\nEND\n");
        ASSERT_EQ(Sent(20), "connect Orla s3cret\n");
        Deliver("&&&&&&&&&&&&&\n");
        Sent(45);
        ASSERT_EQ(CurrentLoginPhase(), LoginPhase::LoggedIn);
        TakeTexts();
    }
    std::string Log() { return ReadFile("_error.txt"); }

    TestUtil::ScopedFolder folder{testing::UnitTest::GetInstance()->current_test_info()->name()};
    NetTest::ScriptServer server;
    NET::Client client;
};

} // namespace

TEST_F(Protocol, GreetingEndAndTheLoginMarkerSendTheirExactLines) {
    PumpServerInput(); // nothing waiting: still the greeting
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::Greeting);
    Deliver("Welcome to the game\nxENDx\n");
    EXPECT_EQ(Sent(20), "connect Orla s3cret\n");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"Welcome to the game", "xENDx"}));
    // The greeting is the first batch only: later lines are neither shown nor
    // answered, and twelve ampersands are not the marker.
    Deliver("xENDx\n");
    Deliver("abc&&&&&&&&&&&&\n");
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::AwaitingLogin);
    Deliver("abc&&&&&&&&&&&&&\n");
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::LoggedIn);
    EXPECT_EQ(Sent(45), "desc A quiet traveller.\ncolor #!!!!!!!!!!!\" \n");
    EXPECT_TRUE(TakeTexts().empty());
}

TEST_F(Protocol, LinesAreFramedAcrossReads) {
    LogIn();
    Deliver("(one\n(two\n(hal");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"one", "two"}));
    Deliver("f\n");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"half"}));
    // A carriage return stays part of the line: "@" then a 5-byte cell field.
    Deliver("@" + Cell(3, 5) + "\r\n");
    EXPECT_EQ(View(), (GridCell{5, 5}));
}

TEST_F(Protocol, AnOverlongLineIsDroppedAndTheNextOneWorks) {
    LogIn();
    Deliver("(" + std::string(300 * 1024, 'z'));
    Deliver(std::string(1000, 'z') + "\n(after\n");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"after"}));
    EXPECT_NE(Log().find("Warning: server line longer than 262144 bytes dropped.\n"), std::string::npos);
}

// The bytes of the moves are the game scene's test.
TEST_F(Protocol, MovesOutOfRangeAreRefusedAndLooksNameServerCells) {
    EXPECT_FALSE(SendMove(6));
    EXPECT_FALSE(SendMove(-1));
    // Grid (3, 2) of a map of height 4 is server (2, 3).
    TheWorldMap.Reset(3, 4);
    ASSERT_TRUE(SendLook(3, 2));
    EXPECT_EQ(Sent(7), "l  \" #\n");
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
    HandleServerLine("("); // too short
    HandleServerLine("(a\tb\xC8"
                     "c"); // tab and byte 200 dropped
    HandleServerLine("[bracketed");
    EXPECT_EQ(TakeTexts(),
              (std::vector<std::string>{"Server reported error while trying to log in.",
                                        "Server reported error while trying to log in.", "abc", "bracketed"}));
}

TEST_F(Protocol, PortalsAreAddedWithNameAndTextAndRemoved) {
    LogIn();
    HandleServerLine("]s" + Cell(3, 5) + "xxPortal one two");
    HandleServerLine("]s" + Cell(3, 5) + "xxLonely");
    HandleServerLine("]s" + Cell(3, 5) + "x"); // 7 bytes
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

TEST_F(Protocol, FilesOutsideTheGameFolderAreNeverOpened) {
    LogIn();
    WriteFile("inside.map", "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n");
    for (const std::string& line :
         {std::string(";..\\inside.map"), std::string(";/etc/passwd"), std::string(";maps\\..\\..\\x.map"),
          std::string(";C:\\x.map"), std::string(";..\0inside.map", 14)}) {
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

TEST(Base95, DecodesAndEncodesTheGamesDigits) {
    EXPECT_EQ(DecodeBase95("!!"), 96);
    EXPECT_EQ(DecodeBase95(""), 0);
    EXPECT_EQ(DecodeBase95("~~"), 9024);
    EXPECT_EQ(DecodeBase95("\xC8"), -88); // a byte above 127 is a negative digit
    EXPECT_EQ(EncodeBase95(96, true), "!!");
    EXPECT_EQ(EncodeBase95(3, false), "#");
    EXPECT_EQ(EncodeBase95(98, false), "#");
    for (int v = 0; v <= 9024; ++v)
        ASSERT_EQ(DecodeBase95(EncodeBase95(v, true)), v) << v;
    DecodeBase95(std::string(50, '~')); // a long hostile field wraps: UBSan catches an overflow
}

TEST(Coordinates, GridToServerInvertsServerToGridOnWholeMaps) {
    GridCell a = ServerToGrid(0, 0, 4), b = ServerToGrid(2, 3, 4);
    EXPECT_EQ(a, (GridCell{0, 2}));
    EXPECT_EQ(b, (GridCell{3, 2}));
    // The round trip also means no two server cells share a grid cell.
    for (int W : {1, 2, 3, 8, 51})
        for (int H : {1, 2, 4, 7, 50, 99})
            for (int x = 0; x < W; ++x)
                for (int y = 0; y < H; ++y) {
                    GridCell g = ServerToGrid(x, y, H);
                    ASSERT_EQ(GridToServer(g.x, g.y, H), (GridCell{x, y})) << W << "x" << H << " " << x << "," << y;
                    ASSERT_LT(g.x, W + H);
                    ASSERT_LT(g.y, W + H);
                }
}

TEST(AvatarFrame, BandsPosesAndFacings) {
    struct Case {
        int frame, group, variant, pose, facing;
    };
    const Case cases[] = {{0, 0, 0, 0, 0},   {501, 0, 2, 0, 2}, {38, 1, 0, 1, 3}, {17, 0, 0, 1, 2}, {20, 0, 0, 1, 1},
                          {2, 0, 0, 3, 2},   {7, 0, 0, 2, 3},   {12, 0, 0, 4, 1}, {13, 0, 0, 0, 0}, {16, 0, 0, 4, 0},
                          {61, 3, 0, 0, 2},  {100, 4, 0, 1, 1}, {41, 2, 0, 0, 2}, {85, 4, 0, 0, 3}, {119, 5, 0, 1, 0},
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
    Deliver(";a.map\n;a.map\n;a.map\n;a.map\n;a.map\n(after\n", 1);
    EXPECT_LE(handled.size(), 2u);
    EXPECT_TRUE(TakeTexts().empty());
    for (int frame = 0; frame < 10 && handled.size() < 5; ++frame)
        PumpServerInput();
    EXPECT_EQ(handled, "mmmmm");
    PumpServerInput();
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"after"}));
}

// The shapes come from the file only when its size or time changed. A hook
// that cannot install them has the player told.
TEST_F(Protocol, MapLinesHandOverTheFloorShapesRereadOnlyWhenTheFileChanged) {
    LogIn();
    WriteFile("maps/town.map", "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n");
    const std::string path = "patches/default/floors.fsh";
    WriteFile(path, std::string("\x01\x00\x00\x00\x01\x01\x00\x00\x05", 9));
    std::vector<int> pixels;
    TheGameHooks.installFloorTextures = [&pixels](const ShapeList& shapes) {
        pixels.push_back(shapes.empty() ? -1 : shapes[0].rows[0][0]);
        return pixels.size() < 3;
    };
    TheGameDialog.DropAll();
    HandleServerLine(";maps\\town.map");
    EXPECT_TRUE(TheWorldMap.MapLoaded);
    const auto time = std::filesystem::last_write_time(path);
    WriteFile(path, std::string("\x01\x00\x00\x00\x01\x01\x00\x00\x07", 9));
    std::filesystem::last_write_time(path, time);
    HandleServerLine(";maps\\town.map");
    std::filesystem::last_write_time(path, time + std::chrono::seconds(1));
    HandleServerLine(";maps\\town.map");
    EXPECT_EQ(pixels, (std::vector<int>{5, 5, 7}));
    ASSERT_EQ(TheGameDialog.WaitingCount(), 1u);
    const GameQuestion& shown = *TheGameDialog.Current();
    EXPECT_EQ(shown.caption + ": " + shown.text.substr(0, 22) + (shown.yesNo ? " ?" : ""),
              "oops: Something bad happened");
    TheGameDialog.DropAll();
}

// Each kind of line does its own job only: a case that ran on into the next
// one would put, remove or move something the line never named. Short lines
// and cells outside the map change nothing. The dream line's download is the
// transfer test's part.
TEST_F(Protocol, EachLineKindTouchesOnlyWhatItNames) {
    LogIn();
    const std::string colours = "!\"#$%&'()*", frame = EncodeBase95(38, true), pad = "!!!!";
    std::string dirty;
    TheGameHooks.markFloorDirty = [&dirty](int32_t x, int32_t y) {
        dirty += std::to_string(x) + "," + std::to_string(y);
    };
    auto at = [](GridCell g) { return std::to_string(g.x) + "," + std::to_string(g.y); };
    // Avatars, floor cells marked dirty, floor and object at grid (5, 5), view, portals, texts.
    auto state = [&](std::string avatars, std::string marked, int floor, int object, std::string view, size_t portals,
                     size_t texts) {
        return "avatars " + avatars + " dirty " + marked + " floor " + std::to_string(floor) + " object " +
               std::to_string(object) + " view " + view + " portals " + std::to_string(portals) + " texts " +
               std::to_string(texts);
    };
    const int none = MapCell::NoFloor;
    const std::string five = "5,5", untouched = state(five, "", none, 0, "0,0", 0, 0);
    WriteFile(Cell(3, 5) + "x.map", "MAP V01.10 Quillmor\nheight=10\nwidth=10\nBODY\n" + std::string(600, '\0'));
    const std::pair<std::string, std::string> cases[] = {
        {"(" + Cell(3, 5) + "text", state(five, "", none, 0, "0,0", 0, 1)},
        {"[" + Cell(3, 5) + "text", state(five, "", none, 0, "0,0", 0, 1)},
        {")" + Cell(3, 5).substr(0, 3), untouched},
        {"<" + colours + Cell(3, 5) + EncodeBase95(501, true), state(five, "", none, 0, "0,0", 0, 0)}, // replaces
        {")" + Cell(3, 5) + pad + "!!" + Cell(4, 5) + "!!" + Cell(4, 5), state("", "", none, 0, "0,0", 0, 0)},
        {"/" + colours + Cell(4, 5) + frame + Cell(3, 5), state(at(ServerToGrid(4, 5, 10)), "", none, 0, "0,0", 0, 0)},
        {"/" + colours + Cell(1, 1) + frame + Cell(3, 5).substr(0, 3), untouched},
        {"/" + colours + Cell(3, 5) + frame + Cell(3, 5), state(five, "", none, 0, "0,0", 0, 0)},
        {"/" + colours + Cell(30, 0) + frame + Cell(3, 5), untouched},
        {"1" + Cell(3, 5) + EncodeBase95(321, true) + pad + Cell(4, 5) + frame, state(five, five, 321, 0, "0,0", 0, 0)},
        {"1" + Cell(3, 5) + "!", untouched},
        {"<" + colours + Cell(4, 5) + "!", untouched},
        {"<" + colours + Cell(30, 0) + frame, untouched},
        {";" + Cell(3, 5) + "x.map", state("", "", 0, 0, "0,0", 0, 0)},
        {";a.ma", untouched},
        {"]q dreamA extra", state("", "", none, 0, "0,0", 0, 1)}, // "> Downloading Dream..."
        {">" + Cell(3, 5) + EncodeBase95(77, true) + pad + Cell(4, 5), state(five, "", none, 77, "0,0", 0, 0)},
        {">" + Cell(3, 5) + "!", untouched},
        {"@" + Cell(2, 4), state(five, "", none, 0, "4,5", 0, 0)}, // X = 2 + 2, Y = 2 + 5 - 2
        {"@" + Cell(2, 4).substr(0, 3), untouched},
        {"@s" + Cell(3, 5) + "xxPortal",
         state(five, "", none, 0, at(ServerToGrid(DecodeBase95("s "), DecodeBase95("# "), 10)), 0, 0)},
        {"]s" + Cell(30, 0) + "xxPortal", untouched}};
    for (const auto& [line, expected] : cases) {
        TheAvatarList.Clear();
        TheWorldMap.Reset(10, 10);
        HandleServerLine("<" + colours + Cell(3, 5) + frame);
        TheViewCell.Set(0, 0);
        dirty.clear();
        HandleServerLine(line);
        std::string avatars;
        for (const AvatarRecord& a : TheAvatarList)
            avatars += at({a.cellX, a.cellY});
        EXPECT_EQ(state(avatars, dirty, TheWorldMap.GetFloor(5, 5), TheWorldMap.GetObject(5, 5), at(View()),
                        TheDreamPortalList.Count(), TakeTexts().size()),
                  expected)
            << line;
    }
}
