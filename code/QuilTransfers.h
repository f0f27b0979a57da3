// The transfer operations on TheTransferList: starting a dream download,
// ending a transfer, and, once per frame, finishing one completed download
// (unpack, load the dream's map, tell the game server; ask the player when
// anything failed).
#pragma once
#include "QuilDataManager.h"

#include <cstdint>
#include <string>

// At most this many downloads have a getter at once.
const size_t MaxRunningTransfers = 4;

// Adds a record at the front of TheTransferList and starts its getter, which
// downloads into folder + "\\" + id + ".dream". Beyond MaxRunningTransfers,
// or while the same dream (ignoring case) is still being downloaded, the
// record gets no getter: it is a failed download from the start, so the game
// server is still answered for it.
void StartDreamDownload(const std::string& id, int32_t type, const std::string& folder);
// Deletes the record's getter and removes the record; a record that is not
// in the list (same id and same getter) is only reported.
void EndTransfer(const TransferRecord& record);
// Finishes at most one completed dream download, the newest first.
void ProcessFinishedDownloads();
// Routes the protocol's dream-download line to StartDreamDownload. The game
// scene calls it at start-up.
void InstallTransferHooks();
