#include "QuilTransfers.h"

#include "CMemMan.h"
#include "DreamArchive.h"
#include "FileUtil.h"
#include "GameDialog.h"
#include "GameHooks.h"
#include "GameProtocol.h"
#include "LogFile.h"
#include "QuilFileGetter.h"
#include "WorldMap.h"

#include <algorithm>
#include <cctype>

namespace {

// A record without a getter was refused when it started: finished and failed.
bool IsFinishedDreamDownload(const TransferRecord& record) {
    return record.type == TransferDream && record.direction == TransferDownload &&
           (!record.getter || record.getter->IsDone());
}

bool LoadDownloadedDream(const QUIL::FileGetter* getter) {
    if (!getter || !getter->Succeeded() || !UnpackDream(getter->FilePath())) return false;
    return LoadMapFile(DirectoryOf(getter->FilePath()) + "default.map");
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Why a new download cannot have a getter, or "" when it can. Names that
// differ only in case share one folder, since files are found ignoring case.
std::string BusyReason(const std::string& id) {
    size_t running = 0;
    for (const TransferRecord& record : TheTransferList) {
        if (!record.getter) continue;
        if (SameName(record.id, id)) return "it is already being downloaded";
        ++running;
    }
    if (running >= MaxRunningTransfers) return std::to_string(running) + " downloads are already running";
    return "";
}

// The answer comes in a later frame, so the question carries the reply.
void AskAfterFailedDream() {
    QueueText(">  Error loading dream... sequence aborted.  (note: encrypted dreams not supported yet)");
    AskGameQuestion("Erp",
                    "Dream download failed.  Reset to brisken island?\n(If you choose no, you may be stuck in the dream)",
                    [](bool goBack) { SendServerLine(goBack ? "goback" : "tidewatcher"); });
}

}  // namespace

void StartDreamDownload(const std::string& id, int32_t type, const std::string& folder) {
    TransferRecord record;
    record.type = type;
    record.direction = TransferDownload;
    record.id = id;
    std::string busy = BusyReason(id);
    TheTransferList.push_front(record);
    if (!busy.empty()) {
        ErrorLog << "Error: Refused to download dream \"" << id << "\": " << busy << ".\n";
        QueueText("> FAILED");
        return;
    }
    TheTransferList.front().getter = new2(QUIL::FileGetter, QUIL::FileGetter(id, folder));
}

void EndTransfer(const TransferRecord& record) {
    // Copied first: the record may be the one about to be removed.
    const std::string id = record.id;
    QUIL::FileGetter* const getter = record.getter;
    for (auto it = TheTransferList.begin(); it != TheTransferList.end(); ++it) {
        if (it->id != id || it->getter != getter) continue;
        if (getter) delete2(getter);
        TheTransferList.erase(it);
        return;
    }
    ReportWithStack(std::string("Attempt to end a transfer that doesn't exist.\n") + "  -transfer type: " +
                    (record.direction == TransferDownload ? "download " : "upload ") +
                    (record.type == TransferDream ? "dream" : "portrait") + "\n  -transfer ID: " + id + "\n");
}

void ProcessFinishedDownloads() {
    // Downloads refused before they started cost no work: all of them are
    // answered at once, so a burst of them joins one question instead of
    // raising a new one each frame after the player has answered.
    for (;;) {
        auto refused = std::find_if(TheTransferList.begin(), TheTransferList.end(),
                                    [](const TransferRecord& r) { return !r.getter && IsFinishedDreamDownload(r); });
        if (refused == TheTransferList.end()) break;
        AskAfterFailedDream();
        EndTransfer(*refused);
    }
    for (const TransferRecord& record : TheTransferList) {
        if (!IsFinishedDreamDownload(record)) continue;
        if (LoadDownloadedDream(record.getter))
            SendServerLine("tidewatcher");
        else
            AskAfterFailedDream();
        EndTransfer(record);
        return;
    }
}

void InstallTransferHooks() { TheGameHooks.startDreamDownload = StartDreamDownload; }
