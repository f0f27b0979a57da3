#include "ColorFiles.h"

const std::vector<NamedColor>& PaletteOfNames() {
    static const std::vector<NamedColor> colors = {
        {"Snow", 250, 250, 245}, {"Ivory", 240, 234, 214}, {"Linen", 232, 220, 200}, {"Wheat", 222, 196, 140},
        {"Sand", 212, 180, 120}, {"Tan", 196, 154, 108}, {"Caramel", 176, 120, 64}, {"Cinnamon", 150, 90, 50},
        {"Chestnut", 120, 64, 40}, {"Cocoa", 90, 56, 40}, {"Umber", 70, 46, 32}, {"Ebony", 40, 32, 30},
        {"Charcoal", 60, 62, 66}, {"Slate", 100, 108, 120}, {"Ash", 150, 150, 150}, {"Silver", 196, 200, 206},
        {"Blush", 240, 190, 190}, {"Rose", 222, 120, 140}, {"Coral", 240, 128, 100}, {"Salmon", 236, 150, 120},
        {"Scarlet", 220, 40, 40}, {"Crimson", 170, 20, 50}, {"Wine", 120, 20, 40}, {"Rust", 170, 70, 30},
        {"Tangerine", 244, 140, 40}, {"Amber", 250, 180, 40}, {"Honey", 236, 200, 90}, {"Lemon", 250, 236, 110},
        {"Butter", 250, 240, 170}, {"Olive", 120, 124, 50}, {"Moss", 96, 130, 60}, {"Fern", 80, 160, 80},
        {"Leaf", 110, 190, 70}, {"Mint", 160, 230, 180}, {"Jade", 40, 160, 110}, {"Pine", 30, 90, 60},
        {"Teal", 30, 130, 140}, {"Aqua", 90, 210, 220}, {"Sky", 140, 200, 240}, {"Azure", 60, 140, 230},
        {"Cobalt", 40, 80, 190}, {"Navy", 24, 36, 100}, {"Denim", 70, 100, 150}, {"Periwinkle", 150, 160, 240},
        {"Lavender", 190, 170, 230}, {"Lilac", 200, 150, 210}, {"Violet", 140, 70, 190}, {"Plum", 110, 40, 110},
        {"Orchid", 210, 110, 200}, {"Magenta", 220, 50, 160}, {"Mulberry", 150, 40, 100}, {"Peach", 250, 200, 160},
        {"Apricot", 250, 176, 120}, {"Copper", 184, 110, 60}, {"Bronze", 160, 120, 50}, {"Gold", 230, 190, 60},
        {"Brass", 190, 170, 80}, {"Pewter", 130, 136, 140}, {"Steel", 90, 110, 130}, {"Storm", 70, 80, 100},
        {"Midnight", 20, 24, 50}, {"Pearl", 236, 232, 240}, {"Seafoam", 130, 220, 190}, {"Ember", 200, 60, 20},
    };
    return colors;
}

std::string EncodeColorPairs() {
    std::string out;
    for (const NamedColor& c : PaletteOfNames())
        out += c.name + " " + std::to_string(c.red) + " " + std::to_string(c.green) + " " + std::to_string(c.blue) + "\n";
    return out + "End\n";
}

std::string EncodePartColors(int partIndex) {
    const std::vector<NamedColor>& names = PaletteOfNames();
    const int count = static_cast<int>(names.size());
    std::string out;
    for (int n = 0; n < count; ++n) out += std::to_string(n) + " " + names[(n + 7 * partIndex) % count].name + "\n";
    return out + "-1\n";
}

const std::vector<std::string>& PartColorFileNames() {
    static const std::vector<std::string> names = {"badge.txt", "bracer.txt", "boot.txt",    "cape.txt",  "eye.txt",
                                                   "fur.txt",   "hair.txt",   "marking.txt", "pants.txt", "vest.txt"};
    return names;
}
