#include "SystemDialog.h"

#include "LogFile.h"
#include "platform/PlatformSystem.h"

#include <cstdio>

bool SystemMessageBox(const std::string& text, const std::string& caption, bool yesNo) {
    bool yes = false;
    std::string failure;
    if (Platform::ShowMessageBox(text, caption, yesNo, yes, failure)) return yes;
    std::string report = "Warning: the message box \"" + caption + "\" could not be shown (" + failure +
                         "); it was answered " + (yesNo ? "No" : "OK") + " without the user. It said:\n" + text + "\n";
    ErrorLog << report;
    std::fputs(report.c_str(), stderr);
    return !yesNo;
}
