#include "GameDialog.h"

#include "GLRender.h"
#include "InputState.h"

#include <cmath>

GameDialog TheGameDialog;

namespace {

const uint8_t EscapeCode = 0x1B;
const float WindowWidth = 800, WindowHeight = 600;
const float BoxWidth = 460, CaptionHeight = 26, Margin = 16;
const float ButtonWidth = 90, ButtonHeight = 28, ButtonGap = 16;
// Packed 0xAABBGGRR.
const uint32_t BoxColor = 0xF0302A26;
const uint32_t CaptionColor = 0xFF7A5230;
const uint32_t ButtonColor = 0xFF5A5048;
const uint32_t EdgeColor = 0xFFC8C8C8;

void DrawFilled(const DialogRect& r, uint32_t color) {
    G::DrawRect(r.x, r.y, r.width, r.height, color, color, color, color);
}

void DrawEdge(const DialogRect& r) {
    float right = r.x + r.width, bottom = r.y + r.height;
    G::DrawLine2D(r.x, r.y, EdgeColor, right, r.y, EdgeColor);
    G::DrawLine2D(right, r.y, EdgeColor, right, bottom, EdgeColor);
    G::DrawLine2D(right, bottom, EdgeColor, r.x, bottom, EdgeColor);
    G::DrawLine2D(r.x, bottom, EdgeColor, r.x, r.y, EdgeColor);
}

void PlaceLabel(G::Text& label, const std::string& value, const DialogRect& button) {
    label = value;
    float left = 0, top = 0, right = 0, bottom = 0;
    label.SetPosition(0, 0);
    label.Measure(left, top, right, bottom);
    label.SetPosition(std::floor(button.x + (button.width - right) / 2),
                      std::floor(button.y + (button.height - bottom) / 2));
}

void DrawButton(const DialogRect& button, G::Text& label) {
    DrawFilled(button, ButtonColor);
    DrawEdge(button);
    label.Render();
}

} // namespace

void GameDialog::Ask(const std::string& caption, const std::string& text, bool yesNo, QuestionAnswer answer) {
    for (GameQuestion& waiting : questions) {
        if (waiting.caption != caption || waiting.text != text || waiting.yesNo != yesNo) continue;
        if (answer) waiting.askers.push_back(std::move(answer));
        return;
    }
    GameQuestion question;
    question.serial = ++lastSerial;
    question.caption = caption;
    question.text = text;
    question.yesNo = yesNo;
    if (answer) question.askers.push_back(std::move(answer));
    questions.push_back(std::move(question));
}

void GameDialog::Answer(bool yes) {
    if (questions.empty()) return;
    GameQuestion answered = std::move(questions.front());
    questions.pop_front();
    for (QuestionAnswer& asker : answered.askers)
        asker(yes);
}

void GameDialog::HandleKey(uint8_t code) {
    if (code == TypedCharQueue::Enter)
        Answer(true);
    else if (code == EscapeCode)
        Answer(false);
}

void GameDialog::DropAll() {
    questions.clear();
}

void AskGameQuestion(const std::string& caption, const std::string& text, QuestionAnswer answer) {
    TheGameDialog.Ask(caption, text, true, std::move(answer));
}

void ShowGameMessage(const std::string& caption, const std::string& text) {
    TheGameDialog.Ask(caption, text, false, nullptr);
}

bool DialogRect::Contains(int32_t px, int32_t py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
}

QuestionLayout LayoutQuestion(float textHeight, bool yesNo) {
    QuestionLayout layout;
    float height = CaptionHeight + Margin + textHeight + Margin + ButtonHeight + Margin;
    layout.box = {std::floor((WindowWidth - BoxWidth) / 2), std::floor((WindowHeight - height) / 2), BoxWidth, height};
    const DialogRect& box = layout.box;
    layout.captionBar = {box.x, box.y, box.width, CaptionHeight};
    layout.text = {box.x + Margin, box.y + CaptionHeight + Margin, box.width - 2 * Margin, textHeight};
    float buttonsTop = box.y + height - Margin - ButtonHeight;
    float centre = box.x + box.width / 2;
    if (yesNo) {
        layout.yes = {centre - ButtonGap / 2 - ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight};
        layout.no = {centre + ButtonGap / 2, buttonsTop, ButtonWidth, ButtonHeight};
    } else {
        layout.yes = {centre - ButtonWidth / 2, buttonsTop, ButtonWidth, ButtonHeight};
    }
    return layout;
}

int ClickedAnswer(const QuestionLayout& layout, bool yesNo, int32_t x, int32_t y) {
    if (layout.yes.Contains(x, y)) return 1;
    if (yesNo && layout.no.Contains(x, y)) return 0;
    return -1;
}

// Laid out once per question: the box's height follows its wrapped text.
void GameDialogView::Prepare(const GameQuestion& question) {
    if (question.serial == preparedSerial) return;
    preparedSerial = question.serial;
    text = question.text;
    text.SetWidth(static_cast<int>(BoxWidth - 2 * Margin));
    text.SetPosition(0, 0);
    float left = 0, top = 0, right = 0, bottom = 0;
    text.Measure(left, top, right, bottom);
    layout = LayoutQuestion(bottom - top, question.yesNo);
    text.SetPosition(layout.text.x, layout.text.y);
    caption = question.caption;
    caption.SetPosition(layout.captionBar.x + 10, layout.captionBar.y + 5);
    PlaceLabel(yesLabel, question.yesNo ? "Yes" : "OK", layout.yes);
    if (question.yesNo) PlaceLabel(noLabel, "No", layout.no);
}

// Keys typed after the last question was answered in the same frame are
// dropped with the rest: they were typed at the box.
bool GameDialogView::TakeInput(GameDialog& dialog) {
    if (!dialog.Current()) return false;
    while (TypedCharQueue::HasTypedInput()) {
        uint8_t code = TypedCharQueue::NextTypedChar();
        if (dialog.Current()) dialog.HandleKey(code);
    }
    const GameQuestion* question = dialog.Current();
    if (!question || !MouseState::LeftClicked()) return true;
    Prepare(*question);
    int32_t x = 0, y = 0;
    MouseState::GetPosition(x, y);
    int answer = ClickedAnswer(layout, question->yesNo, x, y);
    if (answer >= 0) dialog.Answer(answer == 1);
    return true;
}

void GameDialogView::Draw(const GameDialog& dialog) {
    const GameQuestion* question = dialog.Current();
    if (!question) return;
    Prepare(*question);
    G::Set2D();
    G::SetRenderState(G::RenderState::Blend, true);
    DrawFilled(layout.box, BoxColor);
    DrawFilled(layout.captionBar, CaptionColor);
    DrawEdge(layout.box);
    caption.Render();
    text.Render();
    DrawButton(layout.yes, yesLabel);
    if (question->yesNo) DrawButton(layout.no, noLabel);
}
