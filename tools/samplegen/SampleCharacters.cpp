#include "SampleCharacters.h"

const std::vector<SampleCharacter>& SampleCharacters() {
    // Colour codes: ten bytes, each 32 + a colour number below 64.
    static const std::vector<SampleCharacter> characters = {
        {"Aster.ini", "Aster", "starlight", "%(+.147:=@", "A wandering cartographer with ink-stained paws.", "03"},
        {"Bramble.ini", "Bramble", "thornberry", "08<@DHLPTX", "A gardener who talks to the hedges.", "12"},
        {"Cinder.ini", "Cinder", "emberglow", ")-159=AEIM", "Keeps the lamps of the village burning.", "21"},
        {"Dewdrop.ini", "Dewdrop", "morningmist", "\"&*.26:>BF", "Always first at the well, always last to leave.", "30"},
    };
    return characters;
}

std::string EncodeCharacterFile(const SampleCharacter& c) {
    return "V1.6 character file\n"
           "Name=" + c.name + "\n"
           "Password=" + c.password + "\n"
           "Colors=" + c.colors + "\n"
           "Desc=" + c.desc + "\n"
           "Spec=" + c.specDigits + "\n";
}

const std::vector<SettingsFile>& SampleSettingsFiles() {
    static const std::vector<SettingsFile> files = {
        {"settings.ini", "[Display]\nWindowed=1\nSound=0\n"},
        {"remember.ini", "[Login]\nLastCharacter=Aster.ini\n"},
        {"window.ini", "[Window]\nLeft=40\nTop=40\n"},
    };
    return files;
}
