#include "DataFolder.h"

#include <filesystem>
#include <fstream>

#include "ColorFiles.h"
#include "DataImages.h"
#include "LogFile.h"

bool WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (file) return true;
    ErrorLog << "Error: could not write file: " << path << "\n";
    return false;
}

namespace {

bool WriteImages(const std::string& folder) {
    bool ok = WriteBmp(folder + "/pickINI.bmp", MakeChooserMarker());
    ok &= WritePng(folder + "/ui/sbar0.png", MakeScrollTrack());
    ok &= WritePng(folder + "/ui/sbar1.png", MakeScrollThumb());
    ok &= WriteBmp(folder + "/walls/stone1.bmp", MakeStoneWall());
    ok &= WritePng(folder + "/misc/dream0.png", MakeDreamPortal());
    return ok;
}

bool WriteColors(const std::string& folder) {
    bool ok = WriteTextFile(folder + "/colors/colors.txt", EncodeColorPairs());
    const std::vector<std::string>& parts = PartColorFileNames();
    for (size_t i = 0; i < parts.size(); ++i) ok &= WriteTextFile(folder + "/colors/" + parts[i], EncodePartColors(static_cast<int>(i)));
    return ok;
}

}  // namespace

bool WriteDataFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder + "/colors", ec);
    bool ok = WriteImages(folder);
    ok &= WriteColors(folder);
    ok &= WriteTextFile(folder + "/quil_ip.txt", "127.0.0.1 " + std::to_string(LocalGamePort) + "\n");
    ok &= WriteTextFile(folder + "/quilfile_ip.txt", "127.0.0.1 " + std::to_string(LocalFilePort) + "\n");
    return ok;
}
