#include "platform/win32/Win32.h"

#include "platform/win32/OsVersion.h"

namespace Platform {

int ClassifyOsVersion(OsPlatform platform, uint32_t major, uint32_t minor) {
    if (major < 4) return 1;
    if (major > 5) return 9;
    if (major == 5) return minor == 0 ? 6 : minor == 1 ? 7 : minor == 2 ? 8 : 9;
    if (minor == 0) return platform == OsPlatform::NT ? 2 : platform == OsPlatform::Windows9x ? 3 : 0;
    if (minor >= 10 && minor <= 89) return 4;
    if (minor == 90) return 5;
    return 0;
}

std::string OsVersionText(int versionClass) {
    static const char* const texts[] = {"Unable to determine...", "Something really old...",
                                        "Windows NT3", "Windows 95", "Windows 98", "Windows ME",
                                        "Windows 2000", "Windows XP", "Windows 2003",
                                        "Something really new...?"};
    return versionClass >= 0 && versionClass <= 9 ? texts[versionClass] : texts[0];
}

int CurrentOsVersionClass() {
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version)) return 0;
#pragma GCC diagnostic pop
    OsPlatform platform = version.dwPlatformId == VER_PLATFORM_WIN32_NT        ? OsPlatform::NT
                          : version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? OsPlatform::Windows9x
                                                                               : OsPlatform::Other;
    return ClassifyOsVersion(platform, version.dwMajorVersion, version.dwMinorVersion);
}

}  // namespace Platform
