#include "SampleFiles.h"

#include <filesystem>
#include <fstream>

#include "LogFile.h"

void PutU16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, uint32_t value) {
    PutU16(out, static_cast<uint16_t>(value & 0xFFFF));
    PutU16(out, static_cast<uint16_t>(value >> 16));
}

bool WriteSampleFile(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    std::ofstream file(target, std::ios::binary | std::ios::trunc);
    if (!file) {
        ErrorLog << "Error: could not create sample file: " << path << "\n";
        return false;
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        ErrorLog << "Error: could not write sample file: " << path << "\n";
        return false;
    }
    return true;
}
