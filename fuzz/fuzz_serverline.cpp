// Server lines in every login phase. The first byte picks the phase; the
// rest is cut at line feeds into lines, as the framing would hand them over.
#include "GameProtocol.h"
#include "LogFile.h"
#include "QuilDataManager.h"
#include "WorldMap.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const LoginPhase phases[3] = {LoginPhase::Greeting, LoginPhase::AwaitingLogin, LoginPhase::LoggedIn};
    ResetGameProtocol(phases[data[0] % 3]);
    ErrorLog.Truncate();
    TheWorldMap.Clear();
    TheWorldMap.Reset(12, 9);
    TheAvatarList.Clear();
    TheDreamPortalList.Clear();
    TheTextQueue.Clear();
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    while (!rest.empty()) {
        size_t feed = rest.find('\n');
        HandleServerLine(rest.substr(0, feed));
        rest = feed == std::string_view::npos ? std::string_view() : rest.substr(feed + 1);
    }
    return 0;
}
