// The system's own message boxes, for the places where no game loop runs:
// start-up failures and the exit report. During play questions are drawn in
// the game window instead (GameDialog.h).
#pragma once
#include <string>

// Shows the box and waits for the answer: true for OK or Yes. A box that
// cannot be shown is said in "_error.txt" and on standard error, with its
// text, and answers as if the user had pressed Escape: OK for a message, No
// for a question.
bool SystemMessageBox(const std::string& text, const std::string& caption, bool yesNo);
