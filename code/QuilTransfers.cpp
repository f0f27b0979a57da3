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

namespace {

bool IsFinishedDreamDownload(const TransferRecord& record) {
    return record.type == TransferDream && record.direction == TransferDownload && record.getter &&
           record.getter->IsDone();
}

bool LoadDownloadedDream(const QUIL::FileGetter& getter) {
    if (!getter.Succeeded() || !UnpackDream(getter.FilePath())) return false;
    return LoadMapFile(DirectoryOf(getter.FilePath()) + "default.map");
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
    TheTransferList.push_front(record);
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
    for (const TransferRecord& record : TheTransferList) {
        if (!IsFinishedDreamDownload(record)) continue;
        if (LoadDownloadedDream(*record.getter))
            SendServerLine("tidewatcher");
        else
            AskAfterFailedDream();
        EndTransfer(record);
        return;
    }
}

void InstallTransferHooks() { TheGameHooks.startDreamDownload = StartDreamDownload; }
