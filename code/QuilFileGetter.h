// One dream download from the game's file server, on a worker thread of its
// own ("QuilFileGetter") with a connection of its own. The main thread only
// polls it (IsDone, Succeeded, GetProgress) and finally deletes it, which
// stops the worker and removes a file that did not arrive whole.
#pragma once
#include "FileGetterExchange.h"
#include "NetClient.h"

#include <cstdint>
#include <string>

class CThread;

class QuilFileGetter {
public:
    // A download that receives nothing for this long is given up.
    static const unsigned StallSeconds = 60;

    // Starts the download of `id` into folder + "\\" + id + ".dream"; the
    // worker makes the connection, so this returns at once. An id that could
    // name a file outside the folder is refused before anything is created:
    // the download is then failed at once.
    QuilFileGetter(const std::string& id, const std::string& folder, unsigned stallSeconds = StallSeconds);
    virtual ~QuilFileGetter();
    QuilFileGetter(const QuilFileGetter&) = delete;
    QuilFileGetter& operator=(const QuilFileGetter&) = delete;

    bool IsDone() const { return exchange.IsDone(); }
    bool Succeeded() const { return exchange.State() == Complete; }
    void GetProgress(int32_t& received, int32_t& fileSize) const { exchange.GetProgress(received, fileSize); }
    const std::string& FilePath() const { return filePath; }

private:
    class Link;
    static void ThreadProcedure(CThread* thread, void* parameter);
    bool ConnectToFileServer();
    bool Pass();
    bool Collect();
    void WorkThroughBuffered(Link& link);
    bool HasStalled() const;
    void DeleteIncompleteFile();

    CThread* worker = nullptr;
    NET::Client connection;
    std::string id;
    std::string filePath;
    FileGetterExchange exchange;
    unsigned stallSeconds;
    uint32_t lastArrival = 0;  // the worker's own
};

namespace QUIL {
using FileGetter = QuilFileGetter;
}

// Why a dream id from the server cannot become a folder and a file name, or
// "" when it can: it must be one plain name inside "hlcn_tmp\\".
std::string UnsafeDreamIdReason(const std::string& id);
