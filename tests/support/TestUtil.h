// Helpers shared by the test programs. Each test program runs in a folder of
// its own (build/testrun/<program>), so the logs it reads are its own.
#pragma once
#include <string>

namespace TestUtil {

// The whole content of a file of the working folder ("" when missing).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Empties a log so that a test sees only what it causes.
void ClearLog(const char* fileName);
// Number of non-overlapping occurrences of `needle` in `text`.
int CountOf(const std::string& text, const std::string& needle);
// Message boxes take their default answer (OK; No for questions) without a dialog: the test programs' standing
// arrangement, restored after a test that answered boxes itself.
void AnswerBoxesByDefault();
// Copies the repository's data folder (shaders, images, colour tables) into
// the working folder, where the program reads it.
void InstallDataFiles();
// Runs a shell command of the machine (under Wine, of the Linux host) and
// answers its standard output without the trailing line ends.
std::string HostShell(const std::string& command);
// The repository's folders, for data files and the built tools.
std::string SourceDir();
std::string BinaryDir();
// A fresh, empty folder for one test, made the working folder until the
// object goes; the previous working folder is restored afterwards.
class ScopedFolder {
public:
    explicit ScopedFolder(const std::string& name);
    ~ScopedFolder();
    const std::string& Path() const { return path; }

private:
    std::string path, previous;
};

}  // namespace TestUtil
