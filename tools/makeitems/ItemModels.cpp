#include "ItemModels.h"

Assembly::Assembly(std::string fileName) : fileName(std::move(fileName)) {}

MeshBuilder& Assembly::AddBone(const std::string& name, const std::string& parent, const Frame& local) {
    const Frame world = parent.empty() ? local : Compose(Find(parent).world, local);
    if (!parent.empty()) Find(parent).bone.children.push_back(name);
    ModelBone bone;
    bone.name = name;
    bone.local = local;
    // Mesh names carry the model's name: no two files share one, whatever a
    // loader keys its meshes by.
    const std::string stem = fileName.substr(0, fileName.rfind('.'));
    entries.push_back({bone, world, MeshBuilder(stem + "_" + name, world)});
    return entries.back().mesh;
}

const Frame& Assembly::World(const std::string& name) const {
    for (const Entry& e : entries)
        if (e.bone.name == name) return e.world;
    return entries.front().world;
}

Assembly::Entry& Assembly::Find(const std::string& name) {
    for (Entry& e : entries)
        if (e.bone.name == name) return e;
    return entries.front();
}

Model Assembly::Finish() const {
    Model model;
    model.fileName = fileName;
    for (const Entry& e : entries) {
        ModelMesh mesh = e.mesh.Finish();
        ModelBone bone = e.bone;
        if (!mesh.chunks.empty()) {
            bone.mesh = mesh.name;
            model.meshes.push_back(mesh);
        }
        model.bones.push_back(bone);
    }
    return model;
}

const std::vector<ItemModel>& ItemModels() {
    static const std::vector<ItemModel> models = {
        {"placeholder.mbm", MakePlaceholder}, {"tree.mbm", MakeTree},     {"pine.mbm", MakePine},
        {"bush.mbm", MakeBush},               {"flowers.mbm", MakeFlowers}, {"rock.mbm", MakeRock},
        {"lamppost.mbm", MakeLampPost},       {"well.mbm", MakeWell},     {"table.mbm", MakeTable},
        {"chair.mbm", MakeChair},             {"chair_w.mbm", MakeChairFacingWest}, {"bed.mbm", MakeBed},
        {"barrel.mbm", MakeBarrel},           {"crate.mbm", MakeCrate},   {"signpost.mbm", MakeSignpost},
        {"bench.mbm", MakeBench},             {"fence.mbm", MakeFence},   {"fence_y.mbm", MakeFenceAlongY},
        {"chest.mbm", MakeChest},             {"statue.mbm", MakeStatue}, {"boat.mbm", MakeBoat},
    };
    return models;
}
