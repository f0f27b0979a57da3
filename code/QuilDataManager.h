// The process-wide stores of the running game: the chosen character, the
// characters and dream portals on the map, the cell the view follows, the
// texts waiting for the text window, and the list of file transfers.
//
// The protocol fills them, the game scene and the renderers read them. All
// of them are used on the main thread only, except TheTextQueue, which the
// file getters' worker threads write too.
#pragma once
#include "CThread.h"

#include <array>
#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

// The transfer operations live with the file getter; the records here only
// hold a pointer to it.
class QuilFileGetter;
namespace QUIL {
using FileGetter = QuilFileGetter;
}

// The chosen character, filled by LoadPlayerIni. The password goes to the
// game server and the file server only; it is never drawn.
struct PlayerRecord {
    std::string Name, Password, Colors, Desc;
    int32_t Spec1 = 0, Spec2 = 0;
    bool loaded = false;
};

// One character on the map.
struct AvatarRecord {
    std::array<uint8_t, 10> colours{};  // colour indices 0..94
    int32_t group = 0;                  // 0..5
    int32_t variant = 0;                // 0 or 2
    int32_t facing = 0;                 // 0..3
    int32_t pose = 0;                   // 0..4
    int32_t cellX = 0, cellY = 0;       // grid cell
};

struct DreamPortal {
    int32_t cellX = 0, cellY = 0;
    std::string name;
    std::string text;
};

class ViewCell {
public:
    void Set(int32_t x, int32_t y) { cellX = x, cellY = y; }
    void Get(int32_t& x, int32_t& y) const { x = cellX, y = cellY; }

private:
    int32_t cellX = 0, cellY = 0;
};

// Ceilings that no honest server comes near; each is reported once when hit,
// and what comes beyond it is ignored.
const size_t MaxAvatars = 10000;
const size_t MaxDreamPortals = 1000;
const size_t MaxPortalFieldLength = 1024;  // bytes of a portal's name, and of its text
const size_t MaxQueuedTexts = 10000;
const size_t MaxQueuedTextBytes = 16u << 20;

// Records keep the order they were appended in. An index by cell finds the
// first record on a cell without a walk through the list.
class AvatarList {
public:
    typedef std::list<AvatarRecord>::const_iterator const_iterator;

    void Clear();
    // Removes the first record standing on the cell; nothing when there is none.
    void RemoveAt(int32_t x, int32_t y);
    // The first record standing on the cell, or null. Its cell must not be
    // changed through it (remove it and append the changed one instead).
    AvatarRecord* FindAt(int32_t x, int32_t y);
    // False (and a warning, once) when the list is full.
    bool Append(const AvatarRecord& record);

    size_t Count() const { return records.size(); }
    const_iterator begin() const { return records.begin(); }
    const_iterator end() const { return records.end(); }

private:
    typedef std::list<AvatarRecord>::iterator Position;
    std::list<AvatarRecord> records;
    // The records of each cell, oldest first.
    std::unordered_map<uint64_t, std::vector<Position>> byCell;
    bool warned = false;
};

class DreamPortalList {
public:
    typedef std::vector<DreamPortal>::const_iterator const_iterator;

    void Clear() { portals.clear(); }
    // False (and a warning, once) when the list is full. Names and texts
    // longer than MaxPortalFieldLength keep their start.
    bool Append(DreamPortal portal);
    // Removes the first portal on the cell; nothing when there is none.
    void RemoveAt(int32_t x, int32_t y);

    size_t Count() const { return portals.size(); }
    const_iterator begin() const { return portals.begin(); }
    const_iterator end() const { return portals.end(); }

private:
    std::vector<DreamPortal> portals;
    bool warned = false;
};

// Texts for the text window, first in first out. Every operation holds the
// queue's lock, so the texts of one thread come out in the order they went in.
class TextQueue {
public:
    // A text beyond MaxQueuedTexts or MaxQueuedTextBytes is dropped, with a
    // warning once.
    void QueueText(const std::string& text);
    // False when empty (text is left unchanged); otherwise moves the oldest out.
    bool TakeText(std::string& text);
    size_t Count();
    void Clear();

private:
    CriticalSection lock;
    std::deque<std::string> texts;
    size_t bytes = 0;
    bool warned = false;
};

enum TransferType : int32_t { TransferDream = 0, TransferPortrait = 1 };
enum TransferDirection : uint8_t { TransferDownload = 0, TransferUpload = 1 };

// One running transfer. The record owns its getter: whoever removes a record
// deletes the getter first (the transfer operations of the file getter's unit).
struct TransferRecord {
    int32_t type = TransferDream;
    uint8_t direction = TransferDownload;
    std::string id;  // for a dream, the dream's name
    QUIL::FileGetter* getter = nullptr;
};

// New records go to the front. A list, so that a record stays where it is
// while others come and go.
typedef std::list<TransferRecord> TransferList;

extern PlayerRecord ThePlayerRecord;
extern ViewCell TheViewCell;
extern AvatarList TheAvatarList;
extern DreamPortalList TheDreamPortalList;
extern TextQueue TheTextQueue;
extern TransferList TheTransferList;

// The text queue's two operations under the names the other units use.
inline void QueueText(const std::string& text) { TheTextQueue.QueueText(text); }
inline bool TakeText(std::string& text) { return TheTextQueue.TakeText(text); }

// Reads a character file of the game's folder into ThePlayerRecord. Fields
// not found keep their earlier values; true when all five keys were found.
bool LoadPlayerIni(const std::string& fileName);
