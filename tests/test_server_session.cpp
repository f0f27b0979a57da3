// The local server spoken to over loopback with the client's own protocol
// code: login, the world lines, moves and walls, speech between two clients,
// day and dusk. Dream visits are the end-to-end tests' part.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "CMemMan.h"
#include "GameProtocol.h"
#include "GameServer.h"
#include "LogFile.h"
#include "NetClient.h"
#include "NetTestFixture.h"
#include "QuilGfxLoader.h"
#include "SampleFolder.h"
#include "SampleLayout.h"
#include "SamplePalette.h"
#include "TestUtil.h"
#include "WorldMap.h"

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
        ResetGameProtocol();
        TheAvatarList.Clear();
        TheDreamPortalList.Clear();
        TheTextQueue.Clear();
        TheWorldMap.Clear();
        TheViewCell.Set(0, 0);
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
            for (const std::string& line : NetTest::TakeTexts())
                shown += line + "\n";
            return shown.find(text) != std::string::npos;
        });
    }

    GridCell View() {
        GridCell c;
        TheViewCell.Get(c.x, c.y);
        return c;
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
    bool Walk(int code, int steps) {
        while (steps-- > 0 && Move(code)) {
        }
        return steps < 0;
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

TEST_F(ServerSession, LoginBringsTheVillageWithTheAvatarAndPortals) {
    ASSERT_TRUE(EnterVillage()) << reports;
    ASSERT_TRUE(RunUntil([] { return TheDreamPortalList.Count() == 3; }));
    EXPECT_EQ(TheWorldMap.N, SampleLayout::VillageWidth + SampleLayout::VillageHeight);
    GridCell view = View();
    EXPECT_EQ(view, (GridCell{SampleLayout::VillageStart.x, SampleLayout::VillageStart.y}));
    const AvatarRecord* me = TheAvatarList.FindAt(view.x, view.y);
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(me->colours[0], '%' - 32);
    EXPECT_EQ(me->colours[9], '@' - 32);
    EXPECT_TRUE(Shows("Welcome to Brindlemere, Aster!")) << shown;
    EXPECT_NE(reports.find("Aster entered Brindlemere"), std::string::npos);
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
    ASSERT_TRUE(Move(Left));    // (63, 65)
    ASSERT_TRUE(Walk(Down, 9)); // (72, 65)
    ASSERT_TRUE(Walk(Left, 9)); // (72, 56), the door step
    ASSERT_TRUE(Move(Down));    // (73, 56), beside the door
    EXPECT_FALSE(Move(Left)) << "the house's south wall";
    EXPECT_EQ(View(), (GridCell{73, 56}));
    EXPECT_EQ(FacingAt(73, 56), 0) << "blocked, the character still turns toward the wall";
    ASSERT_TRUE(Move(Up));
    EXPECT_TRUE(Move(Left)) << "through the door";
    EXPECT_EQ(View(), (GridCell{72, 55}));
}

TEST_F(ServerSession, SpeechWhispersAndEmotesReachTheOtherClient) {
    ASSERT_TRUE(EnterVillage());
    RawPlayer bramble;
    ASSERT_TRUE(LogInRaw(bramble, "Bramble", "thornberry"));
    ASSERT_TRUE(RunUntil([] { return TheAvatarList.Count() == 2; }));
    EXPECT_TRUE(bramble.Saw("(Welcome to Brindlemere, Bramble!"));

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

TEST_F(ServerSession, LookFloorAndObjectChangesAndDusk) {
    ASSERT_TRUE(EnterVillage());
    GridCell me = View();
    SendLook(me.x, me.y);
    EXPECT_TRUE(Shows("You see Aster. A tester.")) << shown;
    SendLook(SampleLayout::VillageCentre.x, SampleLayout::VillageCentre.y);
    EXPECT_TRUE(Shows("You see a mosaic and the well.")) << shown;

    SendServerLine("dig");
    ASSERT_TRUE(RunUntil([&] { return TheWorldMap.GetFloor(me.x, me.y) == uint16_t(Floor::Dirt); }));
    SendServerLine("plant");
    ASSERT_TRUE(RunUntil([&] { return TheWorldMap.GetObject(me.x, me.y) == uint16_t(Item::Flowers); }));

    const RgbPalette dusk = DuskPalette();
    const int probe = Shade(Ramp::Grass, 8);
    SendServerLine("dusk");
    ASSERT_TRUE(
        RunUntil([&] { return GamePalette[probe].red == dusk[probe].r && GamePalette[probe].blue == dusk[probe].b; }));
    EXPECT_TRUE(server->IsDusk());
    ASSERT_TRUE(RunUntil([] { return TheDreamPortalList.Count() == 3 && TheAvatarList.Count() == 1; }))
        << "the map is sent again so the floors take the new palette; the portals and characters follow it";
}

TEST_F(ServerSession, OverlongLineDisconnectsOnlyThatClient) {
    ASSERT_TRUE(EnterVillage());
    RawPlayer rude;
    ASSERT_TRUE(rude.link.Connect("127.0.0.1", server->GamePort()));
    ASSERT_TRUE(NetTest::Send(rude.link, std::string(6000, 'x')));
    ASSERT_TRUE(RunUntil([&] { return reports.find("longer than") != std::string::npos; }));
    ASSERT_TRUE(RunUntil([&] { return !rude.link.IsConnected(); }));
    EXPECT_TRUE(Move(Right)) << "the server still answers the well-behaved client";
}

} // namespace
