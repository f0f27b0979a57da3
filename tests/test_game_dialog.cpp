// The in-game question queue: order, joining of repeated questions, the keys
// that answer, and askers that ask again. Drawing and real clicks are in the
// end-to-end dream test.
#include <gtest/gtest.h>

#include "GameDialog.h"
#include "InputState.h"

#include <string>
#include <vector>

namespace {

class GameDialogTest : public ::testing::Test {
  protected:
    GameDialog dialog;
    std::vector<std::string> heard;
    QuestionAnswer Asker(const std::string& name) {
        return [this, name](bool yes) { heard.push_back(name + (yes ? ":yes" : ":no")); };
    }
};

TEST_F(GameDialogTest, RepeatedQuestionsJoinTheWaitingOneAndAllAskersHearTheAnswer) {
    dialog.Ask("Erp", "Go back?", true, Asker("first"));
    dialog.Ask("oops", "Broken floors", false, nullptr);
    dialog.Ask("Erp", "Go back?", true, Asker("second"));
    dialog.Ask("Erp", "Go forward?", true, Asker("third"));
    dialog.Ask("oops", "Broken floors", false, nullptr);
    EXPECT_EQ(dialog.WaitingCount(), 3u);
    ASSERT_NE(dialog.Current(), nullptr);
    EXPECT_EQ(dialog.Current()->caption, "Erp");
    dialog.Answer(true);
    EXPECT_EQ(heard, (std::vector<std::string>{"first:yes", "second:yes"}));
    ASSERT_NE(dialog.Current(), nullptr);
    EXPECT_EQ(dialog.Current()->caption, "oops");
    EXPECT_FALSE(dialog.Current()->yesNo);
    dialog.Answer(false);
    ASSERT_NE(dialog.Current(), nullptr);
    EXPECT_EQ(dialog.Current()->text, "Go forward?");
    dialog.Answer(false);
    EXPECT_EQ(heard, (std::vector<std::string>{"first:yes", "second:yes", "third:no"}));
    EXPECT_EQ(dialog.Current(), nullptr);
}

TEST_F(GameDialogTest, ReturnIsYesEscapeIsNoOtherKeysWait) {
    const struct {
        uint8_t key;
        const char* heard; // null: still waiting
    } cases[] = {{TypedCharQueue::Enter, "q:yes"},
                 {0x1B, "q:no"},
                 {'y', nullptr},
                 {TypedCharQueue::Up, nullptr},
                 {TypedCharQueue::Backspace, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        heard.clear();
        dialog.DropAll();
        dialog.Ask("Erp", "Go back?", true, Asker("q"));
        dialog.HandleKey(c.key);
        EXPECT_EQ(heard, c.heard ? std::vector<std::string>{c.heard} : std::vector<std::string>{});
        EXPECT_EQ(dialog.Current() == nullptr, c.heard != nullptr);
    }
}

// Only a button answers a click; a message has no No button where a question has one.
TEST(QuestionLayoutTest, ClicksAnswerOnlyOnTheButtons) {
    QuestionLayout question = LayoutQuestion(32, true), message = LayoutQuestion(32, false);
    auto inside = [](const DialogRect& r) {
        return std::pair<int32_t, int32_t>(int32_t(r.x + r.width / 2), int32_t(r.y + r.height / 2));
    };
    const struct {
        const QuestionLayout& layout;
        bool yesNo;
        std::pair<int32_t, int32_t> at;
        int answer;
    } cases[] = {
        {question, true, inside(question.yes), 1},
        {question, true, inside(question.no), 0},
        {question, true, {int32_t(question.yes.x), int32_t(question.yes.y)}, 1},
        {question, true, {int32_t(question.yes.x + question.yes.width), int32_t(question.yes.y)}, -1},
        {question, true, {int32_t(question.no.x - 1), int32_t(question.no.y + 1)}, -1},
        {question, true, inside(question.box), -1},
        {message, false, inside(message.yes), 1},
        {message, false, inside(question.no), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.at.first) + "," + std::to_string(c.at.second));
        EXPECT_EQ(ClickedAnswer(c.layout, c.yesNo, c.at.first, c.at.second), c.answer);
    }
}

// An asker may raise the same question again from its answer: that is a new
// question, not a member of the one just answered.
TEST_F(GameDialogTest, AskingAgainFromAnAnswerRaisesANewQuestion) {
    dialog.Ask("Erp", "Go back?", true, [this](bool) { dialog.Ask("Erp", "Go back?", true, Asker("again")); });
    uint32_t first = dialog.Current()->serial;
    dialog.Answer(true);
    ASSERT_NE(dialog.Current(), nullptr);
    EXPECT_NE(dialog.Current()->serial, first);
    dialog.Answer(false);
    EXPECT_EQ(heard, std::vector<std::string>{"again:no"});
}

TEST_F(GameDialogTest, DroppedQuestionsAreNeverAnswered) {
    dialog.Ask("Erp", "Go back?", true, Asker("q"));
    dialog.DropAll();
    dialog.Answer(true);
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(dialog.Current(), nullptr);
}

} // namespace
