// The sample characters and the game's own settings files, which share the
// characters' ".ini" extension but are not characters.
#pragma once
#include <string>
#include <vector>

struct SampleCharacter {
    std::string fileName, name, password, colors, desc, specDigits;
};

const std::vector<SampleCharacter>& SampleCharacters();
// "V1.6" character file text with the five keys.
std::string EncodeCharacterFile(const SampleCharacter& character);

struct SettingsFile {
    std::string fileName, text;
};
const std::vector<SettingsFile>& SampleSettingsFiles();
