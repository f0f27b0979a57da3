// The system's colour tables: the named colours of data/colors/colors.txt
// and the ten per-part files that give each of 64 colour numbers a name.
#pragma once
#include <string>
#include <vector>

struct NamedColor {
    std::string name;
    int red, green, blue;
};

// Exactly 64 colours, one per colour number.
const std::vector<NamedColor>& PaletteOfNames();
// "name r g b" lines closed by the word End.
std::string EncodeColorPairs();
// "number name" lines closed by -1; each part starts the list at its own
// place, so the same colour code dresses the parts differently.
std::string EncodePartColors(int partIndex);
// The ten per-part file names, in the client's loading order.
const std::vector<std::string>& PartColorFileNames();
