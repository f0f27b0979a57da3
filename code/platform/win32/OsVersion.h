// The system-information classes of the Windows versions, from the numbers
// that GetVersionEx answers.
#pragma once
#include <cstdint>
#include <string>

namespace Platform {

enum class OsPlatform { Other, Windows9x, NT };

// 0 unknown, 1 really old, 2 NT, 3 95, 4 98, 5 ME, 6 2000, 7 XP, 8 2003, 9 really new.
int ClassifyOsVersion(OsPlatform platform, uint32_t major, uint32_t minor);
// The system-information text of a class, without a line break.
std::string OsVersionText(int versionClass);
// The class of the running system; 0 when GetVersionEx fails. The program has
// no manifest naming newer systems, so Windows 8 and later answer 6.2: all of
// them are "really new" either way.
int CurrentOsVersionClass();

}  // namespace Platform
