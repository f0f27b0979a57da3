// The game scene against a loopback server: the connection messages, typed
// lines and their rewriting, movement keys, coloured server text, the scroll
// bar and wheel, a lost connection, and the transfers ended with the scene.
#include <gtest/gtest.h>

#include "CMain.h"
#include "CMemMan.h"
#include "GBFont.h"
#include "GameProtocol.h"
#include "InputState.h"
#include "LogFile.h"
#include "ScriptServer.h"
#include "QuilDataManager.h"
#include "QuilTransfers.h"
#include "TextTestGL.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <string>
#include <vector>

namespace {

using Platform::MessageKind;
using Platform::WindowMessage;

void Post(MessageKind kind, uint32_t code = 0, bool extended = false) {
    WindowMessage message;
    message.kind = kind;
    message.code = code;
    message.extended = extended;
    if (!TypedCharQueue::HandleMessage(message)) MouseState::HandleMessage(message);
}

void Type(const std::string& text) {
    for (char c : text) Post(MessageKind::Char, static_cast<uint8_t>(c));
}

void Mouse(MessageKind kind, int32_t x, int32_t y, int32_t wheel = 0) {
    WindowMessage message;
    message.kind = kind;
    message.x = x;
    message.y = y;
    message.wheelDelta = wheel;
    MouseState::HandleMessage(message);
}

std::string WindowText(const G::TextWindow& window) {
    std::string all;
    for (size_t i = 0; i < window.GetLineCount(); ++i) {
        G::Text line = window.GetLine(i).text;
        all += line.AsText() + "|";
    }
    return all;
}

class GameScene : public TextTest::SceneSuite {
protected:
    void SetUp() override {
        SceneSuite::SetUp();
        TestUtil::WriteFile("data/quil_ip.txt", "127.0.0.1 " + std::to_string(server.Port()) + "\n");
        TestUtil::WriteFile("data/quilfile_ip.txt", "127.0.0.1 1\n");
        ResetGameProtocol(LoginPhase::LoggedIn);
        scene = new2(CMain, CMain);
        ASSERT_TRUE(server.Accept(5));
        // The connection is made on its own thread; a frame announces it.
        ASSERT_TRUE(GameTest::WaitUntil(5, [this] { return scene->IsConnected(); }));
        Frame();
    }
    void TearDown() override {
        delete2(scene);
        TypedCharQueue::Clear();
        MouseState::EndFrame();
    }
    // One frame of the scene with the input gathered since the last one.
    void Frame() {
        scene->Update(0.016f);
        TypedCharQueue::Clear();
        MouseState::EndFrame();
    }

    GameTest::ScriptServer server;
    CMain* scene = nullptr;
};

}  // namespace

TEST(GameSceneRules, TextIsColouredByTheFirstByteAfterEveryLineFeed) {
    for (auto [first, color] : {std::pair{'(', 0xFFBFFFBFu}, {'>', 0xFFBFFFBFu}, {'a', 0xFFFFFFFFu}, {'\0', 0xFFFFFFFFu}})
        EXPECT_EQ(LineColorFor(first), color) << int(first);
    G::Text text = ColoredText("*star\n[box\nplain");
    EXPECT_EQ(text.AsText(), "*star\n[box\nplain");
    std::vector<std::pair<size_t, uint32_t>> runs;
    for (const auto& run : text.GetColorRuns()) runs.push_back({run.start, run.color});
    EXPECT_EQ(runs, (std::vector<std::pair<size_t, uint32_t>>{{0, 0xFFBFBFFFu}, {6, 0xFFFFBFBFu}, {11, 0xFFFFFFFFu}}));
}

TEST(GameSceneRules, TypedLinesAreRewrittenByTheirFirstByte) {
    EXPECT_EQ(RewriteTypedLine("hello\n"), "\"hello\n");
    EXPECT_EQ(RewriteTypedLine("/Bob hi\n"), "wh Bob hi\n");
    EXPECT_EQ(RewriteTypedLine(":waves\n"), ":waves\n");
    EXPECT_EQ(RewriteTypedLine("`raw line\n"), "raw line\n");
    EXPECT_EQ(RewriteTypedLine("\"quoted\n"), "\"\"quoted\n");
}

// The movement keys themselves are checked through the scene below.
TEST(GameSceneRules, MoveTableAndScrollBarGeometry) {
    EXPECT_EQ(MoveCodeForKey(TypedCharQueue::Enter), -1);
    EXPECT_EQ(MoveCodeForKey('m'), -1);
    EXPECT_TRUE(IsOnScrollBar(741, 301));
    EXPECT_FALSE(IsOnScrollBar(740, 301));
    EXPECT_FALSE(IsOnScrollBar(763, 556));
    EXPECT_TRUE(IsOnScrollBar(763, 555));
    EXPECT_FLOAT_EQ(ScrollForDrag(316), 0.0f);
    EXPECT_NEAR(ScrollForDrag(540), 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(TransferLineY(0, 2), 256);
    EXPECT_FLOAT_EQ(TransferLineY(1, 2), 280);
    EXPECT_FLOAT_EQ(TransferLineY(0, 1), 280);
}

TEST_F(GameScene, ConnectsAndSaysSo) {
    EXPECT_TRUE(scene->IsConnected());
    EXPECT_EQ(WindowText(scene->Window()), "Connecting to quillmor server at 127.0.0.1 on port " +
                                               std::to_string(server.Port()) + " ...\n|Connected to server.\n|");
}

TEST_F(GameScene, TypedLinesGoOutRewrittenWithTwoLineFeeds) {
    Type("hello");
    Post(MessageKind::Char, 0x0D);
    Frame();
    EXPECT_EQ(scene->InputLine(), "");
    Type("/Bob hi\r:waves\r`raw\r");
    Frame();
    EXPECT_EQ(server.Next(32), "\"hello\n\nwh Bob hi\n\n:waves\n\nraw\n\n");
}

TEST_F(GameScene, BackspaceEmptyEnterAndMovementKeys) {
    Post(MessageKind::Char, 0x08);  // on an empty line: nothing
    Post(MessageKind::Char, 0x0D);  // empty line: nothing sent
    Type("ab");
    Post(MessageKind::Char, 0x08);
    Frame();
    EXPECT_EQ(scene->InputLine(), "a");
    using namespace Platform::VirtualKey;
    for (uint32_t key : {Up, Prior, Left, Home, Down, End, Right, Next, Delete, Insert})
        Post(MessageKind::KeyDown, key, true);
    Frame();
    EXPECT_EQ(scene->InputLine(), "a");
    EXPECT_EQ(server.Next(36), "m 9\nm 9\nm 7\nm 7\nm 1\nm 1\nm 3\nm 3\n<\n>\n");
}

TEST_F(GameScene, ServerTextReachesTheWindowInItsColours) {
    ASSERT_TRUE(server.Send("(Welcome home.\n[Bob whispers\n"));
    for (int i = 0; i < 100 && scene->Window().GetLineCount() < 4; ++i) {
        Frame();
        Platform::SleepMilliseconds(5);
    }
    ASSERT_EQ(scene->Window().GetLineCount(), 4u);
    G::Text welcome = scene->Window().GetLine(2).text;
    EXPECT_EQ(welcome.AsText(), "Welcome home.");  // the protocol drops the marker byte
    QueueText("*Star line\n>second");
    Frame();
    ASSERT_EQ(scene->Window().GetLineCount(), 5u);
    const G::ColorRunList& runs = scene->Window().GetLine(4).text.GetColorRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].color, LineColorFor('*'));
    EXPECT_EQ(runs[1].color, LineColorFor('>'));
}

TEST_F(GameScene, ScrollBarDragAndWheel) {
    for (int i = 0; i < 40; ++i) QueueText("line " + std::to_string(i));
    Frame();
    Mouse(MessageKind::MouseMove, 741, 301);
    Mouse(MessageKind::ButtonDown, 741, 301);
    Frame();
    EXPECT_TRUE(scene->IsDragging());
    EXPECT_FLOAT_EQ(scene->Window().GetScroll(), 0.0f);  // 301 is above 316: clamped
    Mouse(MessageKind::MouseMove, 741, 428);
    Frame();
    EXPECT_NEAR(scene->Window().GetScroll(), 0.5f, 1e-5);
    Mouse(MessageKind::ButtonUp, 741, 428);
    Mouse(MessageKind::MouseMove, 741, 540);
    Frame();
    EXPECT_FALSE(scene->IsDragging());
    EXPECT_NEAR(scene->Window().GetScroll(), 0.5f, 1e-5);
    Mouse(MessageKind::Wheel, 741, 540, -120);  // a notch toward the user: +1 step
    Frame();
    EXPECT_NEAR(scene->Window().GetScroll(), 0.55f, 1e-5);
    Mouse(MessageKind::Wheel, 741, 540, 240);
    Frame();
    EXPECT_NEAR(scene->Window().GetScroll(), 0.45f, 1e-5);
    // A click beside the bar does not drag.
    Mouse(MessageKind::MouseMove, 740, 301);
    Mouse(MessageKind::ButtonDown, 740, 301);
    Frame();
    EXPECT_FALSE(scene->IsDragging());
    Mouse(MessageKind::ButtonUp, 740, 301);
}

TEST_F(GameScene, ClosedConnectionKeepsTheTypedLine) {
    server.Close();
    for (int i = 0; i < 200 && scene->IsConnected(); ++i) Platform::SleepMilliseconds(5);
    ASSERT_FALSE(scene->IsConnected());
    Type("still here\r");
    Post(MessageKind::KeyDown, Platform::VirtualKey::Up, true);
    Frame();
    EXPECT_EQ(scene->InputLine(), "still here");
    EXPECT_EQ(WindowText(scene->Window()).find("SEND TO SERVER FAILED!"), std::string::npos);
}

TEST_F(GameScene, EndingTheSceneEndsEveryTransfer) {
    StartDreamDownload("first", TransferDream, "hlcn_tmp\\first");
    StartDreamDownload("second", TransferDream, "hlcn_tmp\\second");
    ASSERT_EQ(TheTransferList.size(), 2u);
    delete2(scene);
    scene = nullptr;
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_EQ(TestUtil::ReadFile("_error.txt").find("doesn't exist"), std::string::npos);
    scene = new2(CMain, CMain);  // TearDown deletes one
}

TEST(GameSceneWithoutServer, MissingAddressFileIsReportedAndTypingStaysLocal) {
    ASSERT_TRUE(TextTest::StartGraphics());
    {
        TestUtil::ScopedFolder folder("no_address");
        CMain* scene = new2(CMain, CMain);
        std::string text;
        GameTest::WaitUntil(5, [&] {
            scene->Update(0);
            return (text = WindowText(scene->Window())).find("FAILED") != std::string::npos;
        });
        EXPECT_EQ(text, "Failed to load quil's ip and port from \\data\\quil_ip.txt file.\n|"
                        "CONNECTION TO SERVER FAILED.\n|");
        EXPECT_NE(TestUtil::ReadFile("_error.txt").find("Failed to load quil's ip and port from file.\n"),
                  std::string::npos);
        Type("hi\r");
        scene->Update(0);
        TypedCharQueue::Clear();
        EXPECT_EQ(scene->InputLine(), "hi");
        delete2(scene);
    }
    G::FreeTextResources();
    TextTest::StopGraphics();
}
