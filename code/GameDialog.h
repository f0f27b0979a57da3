// Questions and messages that come up during play (a dream that failed, floor
// textures that could not be made), drawn inside the game window over the
// scene. A system dialog would stop the frame loop until answered: no
// drawing, no reading of the server, no quitting.
//
// One question is up at a time; later ones wait in the order asked. A
// question identical to one already up or waiting joins it instead of
// queueing again, and its one answer goes to every asker in the order they
// asked, so a server that sends thirty failing dreams gets one question and
// thirty replies. While a question is up it takes every key and click:
// Return answers Yes (or OK), Escape No, a click on a button that button.
//
//   AskGameQuestion("Erp", "Reset?", [](bool yes) { SendServerLine(yes ? "goback" : "tidewatcher"); });
//   ShowGameMessage("oops", "Something bad happened ...");
#pragma once
#include "GBFont.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// Gets true for Yes or OK.
using QuestionAnswer = std::function<void(bool yes)>;

struct GameQuestion {
    uint32_t serial = 0; // tells one question from the next one asked
    std::string caption, text;
    bool yesNo = false;
    std::vector<QuestionAnswer> askers;
};

class GameDialog {
  public:
    // `answer` may be empty (a message nobody waits on).
    void Ask(const std::string& caption, const std::string& text, bool yesNo, QuestionAnswer answer);
    // The question that is up, or null.
    const GameQuestion* Current() const { return questions.empty() ? nullptr : &questions.front(); }
    size_t WaitingCount() const { return questions.size(); }
    // Takes the question that is up down and then tells its askers, who may ask again.
    void Answer(bool yes);
    // A typed-character code (InputState.h): Enter is Yes, Escape No; other keys do nothing.
    void HandleKey(uint8_t code);
    // Forgets every question without answering (the game scene ends).
    void DropAll();

  private:
    std::deque<GameQuestion> questions;
    uint32_t lastSerial = 0;
};

// The game's questions, read and answered by the game scene.
extern GameDialog TheGameDialog;

void AskGameQuestion(const std::string& caption, const std::string& text, QuestionAnswer answer);
void ShowGameMessage(const std::string& caption, const std::string& text);

struct DialogRect {
    float x = 0, y = 0, width = 0, height = 0;
    bool Contains(int32_t px, int32_t py) const;
};

// Where the box, its text and its buttons go for a text of this height, in
// window pixels. A message has only the `yes` button (OK).
struct QuestionLayout {
    DialogRect box, captionBar, text, yes, no;
};
QuestionLayout LayoutQuestion(float textHeight, bool yesNo);
// The answer a click at (x, y) gives: 1 for Yes or OK, 0 for No, -1 off the buttons.
int ClickedAnswer(const QuestionLayout& layout, bool yesNo, int32_t x, int32_t y);

// Draws the question that is up and turns the frame's keys and clicks into
// its answer. The game scene owns one: its texts need the graphics.
class GameDialogView {
  public:
    // False when no question is up. Otherwise the question has taken every
    // typed key and the click of this frame, and the scene must not use them.
    bool TakeInput(GameDialog& dialog);
    void Draw(const GameDialog& dialog);

  private:
    void Prepare(const GameQuestion& question);

    uint32_t preparedSerial = 0;
    QuestionLayout layout;
    G::Text caption, text, yesLabel, noLabel;
};
