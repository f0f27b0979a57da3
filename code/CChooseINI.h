// The first scene: lists the character files of the game's folder, lets the
// user pick one with the arrow keys and Enter, and starts the game with it.
#pragma once
#include "GBFont.h"
#include "GLTexture.h"
#include "SceneManager.h"

#include <cstdint>
#include <string>
#include <vector>

struct CharacterEntry {
    std::string label;  // Name + " (" + file name + ")"
    std::string fileName;
};

// True for the host game's own settings files, which share the ".ini"
// extension; compared byte for byte, so other capitals are not dropped.
bool IsSettingsFileName(const std::string& fileName);
// The chooser's wrap of the selection after Up and Down in one frame.
int32_t MoveSelection(int32_t index, bool up, bool down, size_t count);
// Where the marker is drawn for a selection and phase (radians).
void MarkerPosition(int32_t index, float phase, float& x, float& y);

class CChooseINI : public Scene {
public:
    CChooseINI();

    void Update(float seconds) override;
    void Draw() override;
    std::string GetName() override { return "CChooseINI"; }

    const std::vector<CharacterEntry>& Entries() const { return entries; }
    int32_t Selection() const { return selection; }
    const G::Text& ListText() const { return listText; }

private:
    void BuildList();
    void StartGame();

    G::Text listText;
    std::vector<CharacterEntry> entries;
    int32_t selection = 0;
    float phase = 0.0f;
    G::Texture marker;
    G::Text banner;
    G::Text credits;
};
