// What the window and the keyboard parts of the platform layer share, and the
// translation steps the tests check on their own. Not for use above the layer.
#pragma once
#include <cstdint>
#include <string>

namespace Platform {

// Counts focus gains and losses since the window was made.
uint32_t FocusChangeCount();
bool WindowHasFocus();
// Typed UTF-8 text as Windows-1252 bytes; characters outside it are dropped.
void TranslateTypedText(const char* utf8, std::string& bytes);
// The virtual-key code of a navigation-block key (by scancode), else 0.
uint32_t NavigationVirtualKey(int scancode);

}  // namespace Platform
