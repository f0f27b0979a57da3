#include "ItemsFolder.h"
#include "DataFolder.h"

#include <filesystem>
#include <fstream>

#include "ItemModels.h"
#include "ItemTextures.h"
#include "LogFile.h"
#include "SampleLayout.h"

std::vector<ItemEntry> ItemTable() {
    auto n = [](Item item) { return static_cast<int>(item); };
    return {
        {n(Item::Tree), "tree.mbm", {}},           {n(Item::Pine), "pine.mbm", {}},
        {n(Item::Bush), "bush.mbm", {}},           {n(Item::Flowers), "flowers.mbm", {}},
        {n(Item::Rock), "rock.mbm", {}},           {n(Item::LampPost), "lamppost.mbm", {}},
        {n(Item::Well), "well.mbm", {}},           {n(Item::Table), "table.mbm", {}},
        {n(Item::Chair), "chair.mbm", {}},         {n(Item::Bed), "bed.mbm", {}},
        {n(Item::Barrel), "barrel.mbm", {}},       {n(Item::Crate), "crate.mbm", {}},
        {n(Item::Signpost), "signpost.mbm", {}},   {n(Item::Bench), "bench.mbm", {}},
        {n(Item::Fence), "fence.mbm", {}},         {n(Item::FenceAlongY), "fence_y.mbm", {}},
        {n(Item::ChairFacingWest), "chair_w.mbm", {}}, {n(Item::Chest), "chest.mbm", {}},
        {n(Item::WalnutChest), "chest.mbm", {{TextureName("oak"), TextureName("walnut")}}}, {n(Item::Statue), "statue.mbm", {}},
        {n(Item::Boat), "boat.mbm", {}},
    };
}

std::string EncodeItemTable() {
    std::string out = std::to_string(static_cast<int>(Item::Count) - 1) + "\n";
    for (const ItemEntry& e : ItemTable()) {
        out += std::to_string(e.number) + " " + e.model;
        for (const auto& [used, instead] : e.replacements) out += " " + used + " " + instead;
        out += "\n";
    }
    return out;
}

bool WriteItemsFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    bool ok = WriteTextFile(folder + "/items.txt", EncodeItemTable());
    for (const ItemModel& m : ItemModels()) ok &= WriteTextFile(folder + "/" + m.fileName, EncodeMbm(m.make()));
    for (const Material& material : Materials())
        ok &= WritePng(folder + "/" + TextureName(material.name), material.make());
    return ok;
}
