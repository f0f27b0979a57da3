#include "TestUtil.h"

#include <gtest/gtest.h>

#include "platform/PlatformSystem.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace TestUtil {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void ClearLog(const char* fileName) { std::ofstream(fileName, std::ios::trunc); }

int CountOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); !needle.empty() && at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

void AnswerBoxesByDefault() {
    Platform::SetMessageBoxHook([](const std::string&, const std::string&, bool yesNo) { return !yesNo; });
}

void InstallDataFiles() {
    fs::copy(SourceDir() + "/data", "data",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string SourceDir() { return HALCYON_SOURCE_DIR; }
std::string BinaryDir() { return HALCYON_BINARY_DIR; }

ScopedFolder::ScopedFolder(const std::string& name) {
    previous = fs::current_path().string();
    path = (fs::current_path() / name).string();
    // A death test's child that is a new process (Windows) starts in the
    // program's first folder and enters the folder its parent made and uses.
    if (!::testing::internal::InDeathTestChild()) fs::remove_all(path);
    fs::create_directories(path);
    fs::current_path(path);
}

ScopedFolder::~ScopedFolder() { fs::current_path(previous); }

}  // namespace TestUtil
