// The game scene against a loopback server, its question queue and the
// character chooser. Real keys, clicks and drawing are the end-to-end test's.
#include <gtest/gtest.h>

#include "CChooseINI.h"
#include "CMain.h"
#include "CMemMan.h"
#include "GBFont.h"
#include "GameDialog.h"
#include "GameProtocol.h"
#include "InputState.h"
#include "LogFile.h"
#include "NetTestFixture.h"
#include "QuilDataManager.h"
#include "QuilTransfers.h"
#include "TextTestGL.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using Platform::MessageKind;
using Platform::WindowMessage;

// Key downs come from the arrow keys' block, as the movement keys do.
void Post(MessageKind kind, uint32_t code, int32_t x = 0, int32_t y = 0, int32_t wheel = 0) {
    WindowMessage message;
    message.kind = kind;
    message.code = code;
    message.extended = kind == MessageKind::KeyDown;
    message.x = x;
    message.y = y;
    message.wheelDelta = wheel;
    if (!TypedCharQueue::HandleMessage(message)) MouseState::HandleMessage(message);
}

void Type(const std::string& text) {
    for (char c : text)
        Post(MessageKind::Char, static_cast<uint8_t>(c));
}

std::string WindowText(const G::TextWindow& window) {
    std::string all;
    for (size_t i = 0; i < window.GetLineCount(); ++i)
        all += G::Text(window.GetLine(i).text).AsText() + "|";
    return all;
}

std::string Character(const std::string& version, const std::string& name) {
    return version + "\nName=" + name + "\nPassword=pw" + name + "\nColors=%(+.147:=@\nDesc=" + name +
           " desc\nSpec=12\n";
}

class Scenes : public TextTest::SceneSuite {};

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
        ASSERT_TRUE(NetTest::WaitUntil(5, [this] { return scene->IsConnected(); }));
        Frame();
    }
    void TearDown() override {
        if (scene) delete2(scene);
        TypedCharQueue::Clear();
        MouseState::EndFrame();
    }
    // One frame of the scene with the input gathered since the last one.
    void Frame() {
        scene->Update(0.016f);
        TypedCharQueue::Clear();
        MouseState::EndFrame();
    }

    NetTest::ScriptServer server;
    CMain* scene = nullptr;
};

class GameDialogTest : public ::testing::Test {
  protected:
    GameDialog dialog;
    std::vector<std::string> heard;
    QuestionAnswer Asker(const std::string& name) {
        return [this, name](bool yes) { heard.push_back(name + (yes ? ":yes" : ":no")); };
    }
};

} // namespace

TEST(GameSceneRules, TextIsColouredByTheFirstByteAfterEveryLineFeed) {
    for (auto [first, color] :
         {std::pair{'(', 0xFFBFFFBFu}, {'>', 0xFFBFFFBFu}, {'a', 0xFFFFFFFFu}, {'\0', 0xFFFFFFFFu}})
        EXPECT_EQ(LineColorFor(first), color) << int(first);
    G::Text text = ColoredText("*star\n[box\nplain");
    std::vector<std::pair<size_t, uint32_t>> runs;
    for (const auto& run : text.GetColorRuns())
        runs.push_back({run.start, run.color});
    EXPECT_EQ(runs, (std::vector<std::pair<size_t, uint32_t>>{{0, 0xFFBFBFFFu}, {6, 0xFFFFBFBFu}, {11, 0xFFFFFFFFu}}));
}

// Typed letters and Enter that moved would reach the server in the typing test below.
TEST(GameSceneRules, ScrollBarAndTransferLineGeometry) {
    EXPECT_FALSE(IsOnScrollBar(740, 301)); // 741 begins the drag below
    EXPECT_FALSE(IsOnScrollBar(763, 556));
    EXPECT_TRUE(IsOnScrollBar(763, 555));
    EXPECT_NEAR(ScrollForDrag(540), 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(TransferLineY(0, 2), 256);
    EXPECT_FLOAT_EQ(TransferLineY(1, 2), 280); // one line alone is the end-to-end test's
}

// Backspace and Enter on an empty line do nothing; the movement keys are the end-to-end test's.
TEST_F(GameScene, ConnectsAndSaysSoAndTypedLinesGoOutRewrittenWithTwoLineFeeds) {
    EXPECT_EQ(WindowText(scene->Window()), "Connecting to quillmor server at 127.0.0.1 on port " +
                                               std::to_string(server.Port()) + " ...\n|Connected to server.\n|");
    Type("\b\rhelx\blo");
    Frame();
    EXPECT_EQ(scene->InputLine(), "hello");
    Type("\r/Bob hi\r:waves\r`raw\r\"q\r");
    Frame();
    EXPECT_EQ(scene->InputLine(), "");
    EXPECT_EQ(server.Next(37), "\"hello\n\nwh Bob hi\n\n:waves\n\nraw\n\n\"\"q\n\n");
}

TEST_F(GameScene, ScrollBarDragAndWheel) {
    for (int i = 0; i < 40; ++i)
        QueueText("line " + std::to_string(i));
    Frame();
    Post(MessageKind::MouseMove, 0, 741, 301);
    Post(MessageKind::ButtonDown, 0, 741, 301);
    Frame();
    EXPECT_FLOAT_EQ(scene->Window().GetScroll(), 0.0f); // 301 is above 316: clamped
    Post(MessageKind::MouseMove, 0, 741, 428);
    Frame();
    EXPECT_NEAR(scene->Window().GetScroll(), 0.5f, 1e-5);
    Post(MessageKind::ButtonUp, 0, 741, 428);
    Post(MessageKind::MouseMove, 0, 741, 540);
    Frame();
    EXPECT_NEAR(scene->Window().GetScroll(), 0.5f, 1e-5); // released: the move does not drag
    Post(MessageKind::Wheel, 0, 741, 540, 240);           // two notches away from the user: two steps up
    Frame();
    EXPECT_NEAR(scene->Window().GetScroll(), 0.4f, 1e-5);
}

TEST_F(GameScene, ClosedConnectionKeepsTheTypedLine) {
    server.Close();
    ASSERT_TRUE(NetTest::WaitUntil(1, [&] { return !scene->IsConnected(); }));
    Type("still here\r");
    Post(MessageKind::KeyDown, Platform::VirtualKey::Up);
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
}

TEST_F(Scenes, GameWithoutAnAddressFileSaysSoAndTypingStaysLocal) {
    TestUtil::ScopedFolder folder("no_address");
    CMain* scene = new2(CMain, CMain);
    std::string text;
    NetTest::WaitUntil(5, [&] {
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

TEST_F(Scenes, ChooserListsCharactersSkipsSettingsAndBrokenFiles) {
    TestUtil::ScopedFolder folder("listing");
    TestUtil::WriteFile("Bramble.ini", Character("V1.6", "Bramble"));
    TestUtil::WriteFile("Aster.ini", Character("V1.6 char", "Aster"));
    TestUtil::WriteFile("Old.ini", Character("V1.5", "Elder"));
    TestUtil::WriteFile("settings.ini", Character("V1.6", "Hidden"));
    TestUtil::WriteFile("window.ini", Character("V1.6", "Window"));
    TestUtil::WriteFile("mysettings.ini", Character("V1.6", "Mine"));
#ifndef _WIN32
    TestUtil::WriteFile("Settings.ini", Character("V1.6", "Shown")); // other capitals: not the game's file
#endif
    TestUtil::WriteFile("Broken.ini", "V1.6\nName=Broken\n\nPassword=x\nColors=y\nDesc=z\nSpec=12\n");
    TestUtil::WriteFile("notes.txt", Character("V1.6", "Text"));
    TestUtil::WriteFile("data/pickINI.bmp", TestUtil::ReadFile(TestUtil::SourceDir() + "/data/pickINI.bmp"));

    CChooseINI chooser;
    std::vector<std::string> expected{"Aster (Aster.ini)", "Bramble (Bramble.ini)", "Elder (Old.ini)"};
#ifndef _WIN32
    expected.push_back("Shown (Settings.ini)"); // a file of its own only where names keep their case
#endif
    expected.push_back("Mine (mysettings.ini)"); // the settings names are whole names
    std::string listing;
    for (const std::string& label : expected)
        listing += label + "\n\n";
    G::Text list = chooser.ListText();
    EXPECT_EQ(list.AsText(), listing);
    EXPECT_EQ(list.GetX(), 310);
    EXPECT_EQ(list.GetY(), 250);
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_NE(log.find("Warning: player ini file \"Old.ini\" not a recognized version.\n"), std::string::npos);
    EXPECT_NE(log.find("Error: Could not load all vital data fields from player .ini: Broken.ini\n"),
              std::string::npos);
    EXPECT_EQ(log.find("Failed to load"), std::string::npos) << log;
    chooser.Draw(); // the list and the marker leave this corner as cleared
    EXPECT_EQ(GLTest::ReadPixels(0, 0, 1, 1).data[0] & 0xFFFFFF, 0u);
}

// Keys cannot be sent to it here: it reads the real keyboard.
TEST_F(Scenes, ChooserInAnEmptyFolderShowsTheErrorText) {
    TestUtil::ScopedFolder folder("empty");
    TestUtil::WriteFile("settings.ini", Character("V1.6", "Hidden"));
    CChooseINI chooser;
    EXPECT_TRUE(chooser.Entries().empty());
    G::Text list = chooser.ListText();
    EXPECT_EQ(list.AsText(),
              "ERROR: No valid player .ini files found.\n\nPlease verify that you put Halcyon inside of Quillmor's\n"
              "   Directory, as it relies on some of Quillmor's data files.");
    EXPECT_EQ(list.GetX(), 200);
    EXPECT_EQ(list.GetY(), 300);
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_error.txt"), "No valid player .ini files found.\n"), 1);
}

TEST(ChooserSelection, WrapsAtBothEndsAndBothKeysCancel) {
    EXPECT_EQ(MoveSelection(0, true, false, 3), 2);
    EXPECT_EQ(MoveSelection(2, false, true, 3), 0);
    EXPECT_EQ(MoveSelection(1, true, true, 3), 1);
    EXPECT_EQ(MoveSelection(0, false, true, 1), 0);
}

TEST(ChooserMarker, SwingsEightPixelsAroundItsColumnOncePerTurn) {
    const float turn = 6.2831855f;
    for (auto [row, time, wantX, wantY] :
         {std::tuple{0, 0.0f, 270.0f, 238.0f}, {2, turn / 4, 278.0f, 302.0f}, {1, turn * 3 / 4, 262.0f, 270.0f}}) {
        float x = 0, y = 0;
        MarkerPosition(row, time, x, y);
        EXPECT_NEAR(x, wantX, 1e-4) << row;
        EXPECT_FLOAT_EQ(y, wantY) << row;
    }
}

TEST_F(GameDialogTest, RepeatedQuestionsJoinTheWaitingOneAndAllAskersHearTheAnswer) {
    dialog.Ask("Erp", "Go back?", true, Asker("first"));
    dialog.Ask("oops", "Broken floors", false, nullptr);
    dialog.Ask("Erp", "Go back?", true, Asker("second"));
    dialog.Ask("Erp", "Go forward?", true, Asker("third"));
    dialog.Ask("oops", "Broken floors", false, nullptr);
    EXPECT_EQ(dialog.WaitingCount(), 3u);
    for (bool yes : {true, false, false})
        dialog.Answer(yes);
    EXPECT_EQ(heard, (std::vector<std::string>{"first:yes", "second:yes", "third:no"}));
    EXPECT_EQ(dialog.Current(), nullptr);
}

// Return as yes is the end-to-end test's.
TEST_F(GameDialogTest, EscapeIsNoOtherKeysWait) {
    dialog.Ask("Erp", "Go back?", true, Asker("q"));
    for (uint8_t key : {uint8_t('y'), TypedCharQueue::Up, TypedCharQueue::Backspace})
        dialog.HandleKey(key);
    EXPECT_TRUE(heard.empty());
    dialog.HandleKey(0x1B);
    EXPECT_EQ(heard, std::vector<std::string>{"q:no"});
}

// Only a button answers a click; a message has no No button where a question has one.
// A click in the middle of a button is the end-to-end test's.
TEST(QuestionLayoutTest, ClicksAnswerOnlyOnTheButtons) {
    QuestionLayout question = LayoutQuestion(32, true), message = LayoutQuestion(32, false);
    auto inside = [](const DialogRect& r) {
        return std::make_pair(int32_t(r.x + r.width / 2), int32_t(r.y + r.height / 2));
    };
    const struct {
        const QuestionLayout& layout;
        bool yesNo;
        std::pair<int32_t, int32_t> at;
        int answer;
    } cases[] = {{question, true, {int32_t(question.yes.x), int32_t(question.yes.y)}, 1},
                 {question, true, {int32_t(question.yes.x + question.yes.width), int32_t(question.yes.y)}, -1},
                 {question, true, {int32_t(question.no.x - 1), int32_t(question.no.y + 1)}, -1},
                 {message, false, {int32_t(message.yes.x), int32_t(message.yes.y)}, 1},
                 {message, false, inside(question.no), -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.at.first) + "," + std::to_string(c.at.second));
        EXPECT_EQ(ClickedAnswer(c.layout, c.yesNo, c.at.first, c.at.second), c.answer);
    }
}

// An asker may raise the same question again from its answer: that is a new
// question, not a member of the one just answered.
TEST_F(GameDialogTest, AskingAgainFromAnAnswerRaisesANewQuestion) {
    dialog.Ask("Erp", "Go back?", true, [this](bool) { dialog.Ask("Erp", "Go back?", true, Asker("again")); });
    dialog.Answer(true);
    ASSERT_NE(dialog.Current(), nullptr);
    dialog.Answer(false);
    EXPECT_EQ(heard, std::vector<std::string>{"again:no"});
}
