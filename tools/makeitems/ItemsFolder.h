// Writes data/items/: the models, their textures and the item table that
// gives every object number of the sample maps its model.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct ItemEntry {
    int number;
    std::string model;
    std::vector<std::pair<std::string, std::string>> replacements;  // texture used by the model, texture instead
};

std::vector<ItemEntry> ItemTable();
// items.txt: the highest object number, then one line per entry.
std::string EncodeItemTable();
// `folder` is the native path of data/items. False when a file failed (logged).
bool WriteItemsFolder(const std::string& folder);
