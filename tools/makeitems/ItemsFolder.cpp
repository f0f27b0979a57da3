#include "ItemsFolder.h"

#include <filesystem>
#include <fstream>

#include "ItemModels.h"
#include "ItemTextures.h"
#include "LogFile.h"
#include "SampleLayout.h"

namespace {

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (file) return true;
    ErrorLog << "Error: could not write item file: " << path << "\n";
    return false;
}

// The walnut chest is the oak chest with every oak texture it uses swapped.
std::vector<std::pair<std::string, std::string>> OakToWalnut() {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const ModelMesh& mesh : MakeChest().meshes)
        for (const ModelChunk& chunk : mesh.chunks)
            for (int level = 0; level < LightLevels; ++level)
                if (chunk.texture == LevelTextureName("oak", level))
                    pairs.push_back({chunk.texture, LevelTextureName("walnut", level)});
    return pairs;
}

}  // namespace

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
        {n(Item::WalnutChest), "chest.mbm", OakToWalnut()}, {n(Item::Statue), "statue.mbm", {}},
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
    bool ok = WriteText(folder + "/items.txt", EncodeItemTable());
    for (const ItemModel& m : ItemModels()) ok &= WriteText(folder + "/" + m.fileName, EncodeMbm(m.make()));
    for (const Material& material : Materials()) {
        const RgbaImage image = material.make();
        for (int level = 0; level < LightLevels; ++level)
            ok &= WritePng(folder + "/" + LevelTextureName(material.name, level), LitCopy(image, level));
    }
    return ok;
}
