// The item models: the placeholder and one model per object of the sample
// world, each a function that assembles it from shapes.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "MeshBuilder.h"

// Collects the bones of one model and the meshes they carry.
class Assembly {
public:
    explicit Assembly(std::string fileName);
    // A bone carrying a mesh of its own, placed by `local` in its parent
    // (which must already exist); the first bone is the top bone.
    MeshBuilder& AddBone(const std::string& name, const std::string& parent = "", const Frame& local = {});
    // Where a bone sits in the model, for placing the shapes of its mesh.
    const Frame& World(const std::string& name) const;
    Model Finish() const;

private:
    struct Entry {
        ModelBone bone;
        Frame world;
        MeshBuilder mesh;
    };
    Entry& Find(const std::string& name);
    std::string fileName;
    std::deque<Entry> entries;
};

struct ItemModel {
    std::string fileName;
    Model (*make)();
};

// Every model the generator writes, the placeholder first.
const std::vector<ItemModel>& ItemModels();

Model MakePlaceholder();
Model MakeTree();
Model MakePine();
Model MakeBush();
Model MakeFlowers();
Model MakeRock();
Model MakeLampPost();
Model MakeWell();
Model MakeTable();
Model MakeChair();
Model MakeChairFacingWest();
Model MakeBed();
Model MakeBarrel();
Model MakeCrate();
Model MakeSignpost();
Model MakeBench();
Model MakeFence();
Model MakeFenceAlongY();
Model MakeChest();
Model MakeStatue();
Model MakeBoat();
