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
    dialog.Ask("oops", "Broken floors", false, nullptr);
    EXPECT_EQ(dialog.WaitingCount(), 2u);
    ASSERT_NE(dialog.Current(), nullptr);
    EXPECT_EQ(dialog.Current()->caption, "Erp");
    dialog.Answer(true);
    EXPECT_EQ(heard, (std::vector<std::string>{"first:yes", "second:yes"}));
    ASSERT_NE(dialog.Current(), nullptr);
    EXPECT_EQ(dialog.Current()->caption, "oops");
    EXPECT_FALSE(dialog.Current()->yesNo);
    dialog.Answer(false);
    EXPECT_EQ(dialog.Current(), nullptr);
}

TEST_F(GameDialogTest, ReturnIsYesEscapeIsNoOtherKeysWait) {
    const struct {
        uint8_t key;
        const char* heard;  // null: still waiting
    } cases[] = {{TypedCharQueue::Enter, "q:yes"}, {0x1B, "q:no"}, {'y', nullptr}, {TypedCharQueue::Up, nullptr},
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

}  // namespace
