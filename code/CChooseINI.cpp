#include "CChooseINI.h"

#include "CMain.h"
#include "CMemMan.h"
#include "GLRender.h"
#include "InputState.h"
#include "LogFile.h"
#include "QuilDataManager.h"
#include "platform/PlatformSystem.h"

#include <cmath>

namespace {

const uint8_t KeyEnter = 28, KeyUp = 200, KeyDown = 208;
const float ListX = 310, ListY = 250;
const float LineStep = 32;  // each entry takes two 16-pixel lines

const char* const NoCharactersText =
    "ERROR: No valid player .ini files found.\n\nPlease verify that you put Halcyon inside of Quillmor's\n"
    "   Directory, as it relies on some of Quillmor's data files.";

}  // namespace

bool IsSettingsFileName(const std::string& fileName) {
    static const char* const names[] = {"settings.ini", "remember.ini", "window.ini", "options.ini",
                                        "sound.ini",    "colors.ini",   "install.ini", "desctags.ini"};
    for (const char* name : names)
        if (fileName == name) return true;
    return false;
}

int32_t MoveSelection(int32_t index, bool up, bool down, size_t count) {
    if (up) --index;
    if (down) ++index;
    if (index < 0) index = static_cast<int32_t>(count) - 1;
    if (index >= static_cast<int32_t>(count)) index = 0;
    return index;
}

void MarkerPosition(int32_t index, float phase, float& x, float& y) {
    x = 270 + 8 * std::sin(phase);
    y = ListY + LineStep * index - 12;
}

CChooseINI::CChooseINI() {
    BuildList();
    marker.Load("data\\pickINI.bmp", 1, false, 0);
    banner.SetFontSize(48);
    banner = "  Halcyon Client\n";
    banner.SetPosition(175, 30);
    banner.SetFont("times new roman");
    credits.SetFontSize(16);
    credits = "      -created by Orvek\n      halcyon-client.example/quillmor\n";
    credits.SetPosition(295, 90);
}

void CChooseINI::BuildList() {
    std::vector<std::string> names;
    Platform::ListFiles("", ".ini", [&names](const std::string& name) { names.push_back(name); });
    for (const std::string& name : names) {
        if (IsSettingsFileName(name) || !LoadPlayerIni(name)) continue;
        entries.push_back({ThePlayerRecord.Name + " (" + name + ")", name});
    }
    if (entries.empty()) {
        ErrorLog << "No valid player .ini files found.\n";
        listText = NoCharactersText;
        listText.SetPosition(200, 300);
        return;
    }
    std::string list;
    for (const CharacterEntry& entry : entries) list += entry.label + "\n\n";
    listText = list;
    listText.SetPosition(ListX, ListY);
}

void CChooseINI::Update(float seconds) {
    if (entries.empty()) return;  // the error text stays until the window is closed
    phase += 6.2831855f * seconds;
    selection = MoveSelection(selection, KeyboardState::WasKeyPressed(KeyUp), KeyboardState::WasKeyPressed(KeyDown),
                              entries.size());
    if (KeyboardState::WasKeyPressed(KeyEnter)) StartGame();
}

// The chosen file is read again: the list left the last file read in the record.
void CChooseINI::StartGame() {
    LoadPlayerIni(entries[selection].fileName);
    SceneManager::RemoveScene();
    SceneManager::AddScene(new2(CMain, CMain));
}

void CChooseINI::Draw() {
    G::Clear(0, true, true, false);
    G::Set2D();
    listText.Render();
    if (!entries.empty()) {
        float x = 0, y = 0;
        MarkerPosition(selection, phase, x, y);
        G::DrawTexture(x, y, marker, 1.0f);
    }
    banner.Render();
    credits.Render();
}
