// The game protocol over loopback: against a NetServer that speaks only as the
// test tells it, then against the local server (login, the world lines, moves
// and walls, speech between two clients, day and dusk; dream visits are the
// end-to-end tests' part).
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "GameDialog.h"
#include "GameHooks.h"
#include "GameProtocol.h"
#include "GameServer.h"
#include "NetClient.h"
#include "NetTestFixture.h"
#include "QuilGfxLoader.h"
#include "SampleFolder.h"
#include "SampleLayout.h"
#include "SamplePalette.h"
#include "TestUtil.h"
#include "WorldMap.h"
#include "platform/PlatformSystem.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
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

// No world, no lines waiting, the protocol at the greeting.
void ResetWorld() {
    ResetGameProtocol();
    TheAvatarList.Clear();
    TheDreamPortalList.Clear();
    TheTextQueue.Clear();
    TheWorldMap.Clear();
    TheViewCell.Set(0, 0);
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
        ResetWorld();
        ThePlayerRecord = PlayerRecord{"Orla", "s3cret", "#!!!!!!!!!!", "A quiet traveller.", 1, 2, true};
        TheWorldMap.Reset(10, 10);
        TheGameHooks = GameHooks();
        TestUtil::ClearLog("_error.txt");
    }
    void TearDown() override {
        SetServerConnection(nullptr);
        TheGameHooks = GameHooks();
    }

    // The server sends `bytes`; once they have all arrived, `frames` frames' pumps.
    void Deliver(const std::string& bytes, int frames = 20) {
        ASSERT_TRUE(server.Send(bytes));
        ASSERT_TRUE(NetTest::WaitUntil(10, [&] { return client.ReceivedByteCount() >= bytes.size(); }));
        // A frame handles at least one line; on a slow machine the frame's
        // budget may leave the rest to the next frames.
        for (int frame = 0; frame < frames; ++frame) PumpServerInput();
    }
    void LogIn() {
        Deliver("Welcome\nEND\n");
        ASSERT_EQ(server.Next(20), "connect Orla s3cret\n");
        Deliver("&&&&&&&&&&&&&\n");
        server.Next(45);
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
    EXPECT_EQ(server.Next(20), "connect Orla s3cret\n");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"Welcome to the game", "xENDx"}));
    // The greeting is the first batch only: later lines are neither shown nor
    // answered, and twelve ampersands are not the marker.
    Deliver("xENDx\n");
    Deliver("abc&&&&&&&&&&&&\n");
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::AwaitingLogin);
    Deliver("abc&&&&&&&&&&&&&\n");
    EXPECT_EQ(CurrentLoginPhase(), LoginPhase::LoggedIn);
    EXPECT_EQ(server.Next(45), "desc A quiet traveller.\ncolor #!!!!!!!!!!!\" \n");
    EXPECT_TRUE(TakeTexts().empty());
}

TEST_F(Protocol, LinesAreFramedAcrossReadsAndAnOverlongOneIsDropped) {
    LogIn();
    Deliver("(one\n(two\n(hal");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"one", "two"}));
    Deliver("f\n");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"half"}));
    // A carriage return stays part of the line: "@" then a 5-byte cell field.
    Deliver("@" + Cell(3, 5) + "\r\n");
    EXPECT_EQ(View(), (GridCell{5, 5}));
    // An overlong line is dropped and the next one works.
    Deliver("(" + std::string(300 * 1024, 'z'));
    Deliver(std::string(1000, 'z') + "\n(after\n");
    EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"after"}));
    EXPECT_NE(Log().find("Warning: server line longer than 262144 bytes dropped.\n"), std::string::npos);
}

// The bytes of the moves are the game scene's test. Without a connection
// nothing is sent or read.
TEST_F(Protocol, MovesOutOfRangeAreRefusedAndLooksNameServerCells) {
    EXPECT_FALSE(SendMove(6));
    EXPECT_FALSE(SendMove(-1));
    // Grid (3, 2) of a map of height 4 is server (2, 3).
    TheWorldMap.Reset(3, 4);
    ASSERT_TRUE(SendLook(3, 2));
    EXPECT_EQ(server.Next(7), "l  \" #\n");
    SetServerConnection(nullptr);
    EXPECT_FALSE(SendMove(0));
    PumpServerInput();
}

TEST_F(Protocol, LoginRefusalTextRulesAndPortalsWithNameAndText) {
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
    EXPECT_EQ(DecodeBase95("\xC8"), -88); // a byte above 127 is a negative digit
    EXPECT_EQ(EncodeBase95(96, true), "!!");
    EXPECT_EQ(EncodeBase95(3, false), "#");
    EXPECT_EQ(EncodeBase95(98, false), "#");
    for (int v = 0; v <= 9024; ++v)
        ASSERT_EQ(DecodeBase95(EncodeBase95(v, true)), v) << v;
    DecodeBase95(std::string(50, '~')); // a long hostile field wraps: UBSan catches an overflow
}

TEST(Coordinates, GridToServerInvertsServerToGridOnWholeMaps) {
    EXPECT_EQ(ServerToGrid(0, 0, 4), (GridCell{0, 2}));
    EXPECT_EQ(ServerToGrid(2, 3, 4), (GridCell{3, 2}));
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
    const Case cases[] = {{0, 0, 0, 0, 0},  {501, 0, 2, 0, 2}, {38, 1, 0, 1, 3},  {17, 0, 0, 1, 2},  {20, 0, 0, 1, 1},
                          {2, 0, 0, 3, 2},  {7, 0, 0, 2, 3},   {12, 0, 0, 4, 1},  {13, 0, 0, 0, 0},  {16, 0, 0, 4, 0},
                          {41, 2, 0, 0, 2}, {100, 4, 0, 1, 1}, {119, 5, 0, 1, 0}, {620, 5, 2, 1, 1}, {540, 1, 2, 1, 1}};
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

namespace {

// A second player that logs in by hand and keeps every line it receives.
struct RawPlayer {
    NET::Client link;
    std::string received;

    void Send(const std::string& line) { NetTest::Send(link, line + "\n"); }
    bool Saw(const std::string& text) const { return received.find(text) != std::string::npos; }
};

constexpr int Up = 0, Left = 1, Down = 2, Right = 3; // "m 9" -X, "m 7" -Y, "m 1" +X, "m 3" +Y

class ServerSession : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(GenerateSampleFolder("."));
        ServerOptions options;
        options.gamePort = 0;
        options.wanderers = 0; // nobody wanders into the paths the tests walk
        options.report = [this](const std::string& text) { reports += text + "\n"; };
        server = std::make_unique<GameServer>(options);
        ASSERT_TRUE(server->Start()) << reports;
        ResetWorld();
        client = new2(NET::Client, NET::Client());
        SetServerConnection(client);
    }

    void TearDown() override {
        SetServerConnection(nullptr);
        delete2(client);
        server.reset();
    }

    // Runs server rounds and client frames until `done` holds (or 5 s pass).
    bool RunUntil(const std::function<bool()>& done, RawPlayer* other = nullptr) {
        auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            server->Step(now += 0.01);
            PumpServerInput();
            if (other) other->received += NetTest::Drain(other->link);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    bool LogIn(const std::string& name, const std::string& password) {
        ThePlayerRecord = PlayerRecord{name, password, "%(+.147:=@", "A tester.", 0, 3, true};
        return client->Connect("127.0.0.1", server->GamePort());
    }
    // The view cell and the characters follow the map line, perhaps frames
    // later when the lines take longer than a frame's budget.
    bool EnterVillage() {
        return LogIn("Aster", "starlight") && RunUntil([&] {
                   GridCell view = View();
                   return TheWorldMap.W == SampleLayout::VillageWidth && TheAvatarList.FindAt(view.x, view.y);
               });
    }

    bool LogInRaw(RawPlayer& player, const std::string& name, const std::string& password) {
        if (!player.link.Connect("127.0.0.1", server->GamePort()) ||
            !RunUntil([&] { return player.Saw("END\n"); }, &player))
            return false;
        player.Send("connect " + name + " " + password);
        if (!RunUntil([&] { return player.Saw(LoginMarker); }, &player)) return false;
        player.Send("desc Raw player.");
        player.Send("color 08<@DHLPTX#! ");
        return RunUntil([&] { return player.Saw(";village.map"); }, &player);
    }

    // Runs until the text window has shown `text` at some point of the test.
    bool Shows(const std::string& text) {
        return RunUntil([&] {
            for (const std::string& line : TakeTexts())
                shown += line + "\n";
            return shown.find(text) != std::string::npos;
        });
    }

    // Sends one move and waits for the server's answer: a new view cell, or
    // (when blocked) the character turned in place.
    bool Move(int code) {
        GridCell before = View();
        size_t avatars = TheAvatarList.Count();
        const AvatarRecord* me = TheAvatarList.FindAt(before.x, before.y);
        int facing = me ? me->facing : -1;
        if (!SendMove(code)) return false;
        RunUntil([&] {
            const AvatarRecord* now = TheAvatarList.FindAt(before.x, before.y);
            return !(View() == before) || (now && now->facing != facing) || TheAvatarList.Count() != avatars;
        });
        return !(View() == before);
    }
    int FacingAt(int x, int y) {
        const AvatarRecord* avatar = TheAvatarList.FindAt(x, y);
        return avatar ? avatar->facing : -1;
    }

    TestUtil::ScopedFolder folder{"server_session"};
    std::string reports, shown;
    std::unique_ptr<GameServer> server;
    NET::Client* client = nullptr;
    double now = 0;
};

TEST_F(ServerSession, LoginBringsTheVillageThenLooksDiggingPlantingAndDusk) {
    ASSERT_TRUE(EnterVillage()) << reports;
    ASSERT_TRUE(RunUntil([] { return TheDreamPortalList.Count() == 3; }));
    GridCell view = View();
    EXPECT_EQ(view, (GridCell{SampleLayout::VillageStart.x, SampleLayout::VillageStart.y}));
    const AvatarRecord* me = TheAvatarList.FindAt(view.x, view.y);
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(me->colours[0], '%' - 32);
    EXPECT_EQ(me->colours[9], '@' - 32);
    EXPECT_TRUE(Shows("Welcome to Brindlemere, Aster!")) << shown;
    EXPECT_NE(reports.find("Aster entered Brindlemere"), std::string::npos);

    SendLook(view.x, view.y);
    EXPECT_TRUE(Shows("You see Aster. A tester.")) << shown;
    SendLook(SampleLayout::VillageCentre.x, SampleLayout::VillageCentre.y);
    EXPECT_TRUE(Shows("You see a mosaic and the well.")) << shown;

    SendServerLine("dig");
    ASSERT_TRUE(RunUntil([&] { return TheWorldMap.GetFloor(view.x, view.y) == uint16_t(Floor::Dirt); }));
    SendServerLine("plant");
    ASSERT_TRUE(RunUntil([&] { return TheWorldMap.GetObject(view.x, view.y) == uint16_t(Item::Flowers); }));

    const RgbPalette dusk = DuskPalette();
    const int probe = Shade(Ramp::Grass, 8);
    SendServerLine("dusk");
    ASSERT_TRUE(
        RunUntil([&] { return GamePalette[probe].red == dusk[probe].r && GamePalette[probe].blue == dusk[probe].b; }));
    EXPECT_TRUE(server->IsDusk());
    ASSERT_TRUE(RunUntil([] { return TheDreamPortalList.Count() == 3 && TheAvatarList.Count() == 1; }))
        << "the map is sent again so the floors take the new palette; the portals and characters follow it";
}

TEST_F(ServerSession, WrongPasswordShowsTheLoginError) {
    ASSERT_TRUE(LogIn("Aster", "not-the-password"));
    ASSERT_TRUE(Shows("Server reported error while trying to log in.")) << shown;
    EXPECT_FALSE(TheWorldMap.MapLoaded);
    EXPECT_NE(reports.find("login refused for \"Aster\""), std::string::npos);
}

TEST_F(ServerSession, MovesChangeTheViewCellAndTheAvatarAndWallsBlock) {
    ASSERT_TRUE(EnterVillage());
    GridCell start = View();
    ASSERT_TRUE(Move(Right));
    EXPECT_EQ(View(), (GridCell{start.x, start.y + 1}));
    EXPECT_EQ(FacingAt(start.x, start.y + 1), 2);
    ASSERT_TRUE(Move(Left));
    EXPECT_EQ(TheAvatarList.Count(), 1u);

    // From the plaza along the road to the door of the red-tiled house north-east of it.
    ASSERT_TRUE(Move(Left)); // (63, 65)
    for (int code : {Down, Left}) // to (72, 65), then to (72, 56), the door step
        for (int step = 0; step < 9; ++step)
            ASSERT_TRUE(Move(code)) << step;
    ASSERT_TRUE(Move(Down)); // (73, 56), beside the door
    EXPECT_FALSE(Move(Left)) << "the house's south wall";
    EXPECT_EQ(View(), (GridCell{73, 56}));
    EXPECT_EQ(FacingAt(73, 56), 0) << "blocked, the character still turns toward the wall";
    ASSERT_TRUE(Move(Up));
    EXPECT_TRUE(Move(Left)) << "through the door";
    EXPECT_EQ(View(), (GridCell{72, 55}));
}

// A rude client's overlong line disconnects only that client: the speech
// between the others goes on.
TEST_F(ServerSession, OverlongLineDisconnectsOnlyThatClientAndSpeechReachesTheOther) {
    ASSERT_TRUE(EnterVillage());
    RawPlayer rude;
    ASSERT_TRUE(rude.link.Connect("127.0.0.1", server->GamePort()));
    ASSERT_TRUE(NetTest::Send(rude.link, std::string(6000, 'x')));
    ASSERT_TRUE(RunUntil([&] { return reports.find("longer than") != std::string::npos; }));
    ASSERT_TRUE(RunUntil([&] { return !rude.link.IsConnected(); }));
    RawPlayer bramble;
    ASSERT_TRUE(LogInRaw(bramble, "Bramble", "thornberry"));
    ASSERT_TRUE(RunUntil([] { return TheAvatarList.Count() == 2; }));

    const std::pair<const char*, const char*> said[] = {
        {"\"hello there\n", "(Aster: hello there\n"}, // a typed line: the text, then an empty line
        {":waves", "(Aster waves\n"},
        {"wh bramble psst", "[Aster whispers, \"psst\" to you.\n"}};
    for (const auto& [line, heard] : said) {
        SendServerLine(line);
        EXPECT_TRUE(RunUntil([&] { return bramble.Saw(heard); }, &bramble)) << heard;
    }
    EXPECT_TRUE(Shows("You whisper \"psst\" to Bramble."));
    EXPECT_TRUE(Shows("Aster: hello there")) << "the speaker hears itself";
    bramble.Send("\"hi Aster");
    EXPECT_TRUE(Shows("Bramble: hi Aster"));
}

} // namespace
