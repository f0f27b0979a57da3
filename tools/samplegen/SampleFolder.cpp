#include "SampleFolder.h"

#include "FloorShapes.h"
#include "LogFile.h"
#include "PcxWriter.h"
#include "SampleCharacters.h"
#include "SampleDreams.h"
#include "SampleFiles.h"
#include "SampleLayout.h"
#include "SampleWorld.h"

namespace {

std::string Join(const std::string& folder, const std::string& name) { return folder + "/" + name; }

bool WriteCharacters(const std::string& folder) {
    bool ok = true;
    for (const SampleCharacter& c : SampleCharacters()) ok &= WriteSampleFile(Join(folder, c.fileName), EncodeCharacterFile(c));
    for (const SettingsFile& s : SampleSettingsFiles()) ok &= WriteSampleFile(Join(folder, s.fileName), s.text);
    return ok;
}

bool WriteGraphics(const std::string& folder) {
    std::string patches = Join(folder, SampleLayout::PatchFolder);
    bool ok = WriteSampleFile(Join(folder, SampleLayout::ShapeFile), EncodeShapeFile(MakeFloorShapes()));
    ok &= WriteSampleFile(Join(patches, SampleLayout::DayPalette), EncodePaletteSwatch(DayPalette()));
    ok &= WriteSampleFile(Join(patches, SampleLayout::DuskPalette), EncodePaletteSwatch(DuskPalette()));
    return ok;
}

bool WriteMaps(const std::string& folder) {
    std::string dream = BuildMeadowDream().Encode("Snowy meadow");
    std::string dreams = Join(folder, SampleLayout::DreamFolder);
    std::string unpacked = Join(Join(folder, SampleLayout::UnpackedDreamFolder), SampleLayout::OpenDream);
    bool ok = WriteSampleFile(Join(folder, SampleLayout::VillageMap), BuildVillage().Encode("Brindlemere village"));
    ok &= WriteSampleFile(Join(folder, SampleLayout::IslandMap), BuildIsland().Encode("Gull island"));
    ok &= WriteSampleFile(Join(dreams, std::string(SampleLayout::OpenDream) + ".dream"), EncodeEmptyDream());
    ok &= WriteSampleFile(Join(dreams, std::string(SampleLayout::OpenDream) + ".map"), dream);
    ok &= WriteSampleFile(Join(dreams, std::string(SampleLayout::SealedDream) + ".dream"), EncodeDreamWithEntry(dream));
    ok &= WriteSampleFile(Join(dreams, std::string(SampleLayout::SealedDream) + ".map"), dream);
    ok &= WriteSampleFile(Join(unpacked, "default.map"), dream);
    return ok;
}

}  // namespace

bool GenerateSampleFolder(const std::string& folder) {
    if (folder.empty()) {
        ErrorLog << "Error: no folder given for the sample game folder.\n";
        return false;
    }
    bool ok = WriteCharacters(folder);
    ok &= WriteGraphics(folder);
    ok &= WriteMaps(folder);
    return ok;
}
