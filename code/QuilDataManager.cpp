#include "QuilDataManager.h"

#include "FileUtil.h"
#include "LogFile.h"
#include "StaticOrder.h"

#include <algorithm>
#include <cstdio>

PlayerRecord ThePlayerRecord STATIC_ORDER(STATIC_GAME);
ViewCell TheViewCell STATIC_ORDER(STATIC_GAME);
AvatarList TheAvatarList STATIC_ORDER(STATIC_GAME);
DreamPortalList TheDreamPortalList STATIC_ORDER(STATIC_GAME);
TextQueue TheTextQueue STATIC_ORDER(STATIC_GAME);
TransferList TheTransferList STATIC_ORDER(STATIC_GAME);

namespace {

uint64_t CellKey(int32_t x, int32_t y) { return uint64_t(uint32_t(x)) << 32 | uint32_t(y); }

void WarnOnce(bool& warned, const char* text) {
    if (warned) return;
    warned = true;
    ErrorLog << text;
}

}  // namespace

void AvatarList::Clear() {
    records.clear();
    byCell.clear();
}

void AvatarList::RemoveAt(int32_t x, int32_t y) {
    auto found = byCell.find(CellKey(x, y));
    if (found == byCell.end()) return;
    records.erase(found->second.front());
    found->second.erase(found->second.begin());
    if (found->second.empty()) byCell.erase(found);
}

AvatarRecord* AvatarList::FindAt(int32_t x, int32_t y) {
    auto found = byCell.find(CellKey(x, y));
    return found == byCell.end() ? nullptr : &*found->second.front();
}

bool AvatarList::Append(const AvatarRecord& record) {
    if (records.size() >= MaxAvatars) {
        WarnOnce(warned, "Warning: more characters on the map than the client keeps; further ones are ignored.\n");
        return false;
    }
    byCell[CellKey(record.cellX, record.cellY)].push_back(records.insert(records.end(), record));
    return true;
}

bool DreamPortalList::Append(DreamPortal portal) {
    if (portals.size() >= MaxDreamPortals) {
        WarnOnce(warned, "Warning: more dream portals on the map than the client keeps; further ones are ignored.\n");
        return false;
    }
    for (std::string* field : {&portal.name, &portal.text})
        if (field->size() > MaxPortalFieldLength) {
            field->resize(MaxPortalFieldLength);
            field->shrink_to_fit();
        }
    portals.push_back(std::move(portal));
    return true;
}

void DreamPortalList::RemoveAt(int32_t x, int32_t y) {
    auto found = std::find_if(portals.begin(), portals.end(),
                              [x, y](const DreamPortal& p) { return p.cellX == x && p.cellY == y; });
    if (found != portals.end()) portals.erase(found);
}

void TextQueue::QueueText(const std::string& text) {
    ScopedLock hold(lock);
    if (texts.size() >= MaxQueuedTexts || bytes + text.size() > MaxQueuedTextBytes) {
        WarnOnce(warned, "Warning: more text waiting for the text window than the client keeps; the rest is dropped.\n");
        return;
    }
    texts.push_back(text);
    bytes += text.size();
}

bool TextQueue::TakeText(std::string& text) {
    ScopedLock hold(lock);
    if (texts.empty()) return false;
    bytes -= texts.front().size();
    text = std::move(texts.front());
    texts.pop_front();
    return true;
}

size_t TextQueue::Count() {
    ScopedLock hold(lock);
    return texts.size();
}

void TextQueue::Clear() {
    ScopedLock hold(lock);
    texts.clear();
    bytes = 0;
}

// --- character files -------------------------------------------------------

namespace {

// Descriptions are the longest lines of a character file; this leaves them
// plenty of room while a file without line breaks cannot exhaust memory.
const size_t MaxIniLineLength = 65536;

bool IsVersionLine(const std::string& line) { return line.size() >= 4 && line.compare(0, 4, "V1.6") == 0; }

struct FoundKeys {
    bool desc = false, colors = false, name = false, password = false, spec = false;
    bool All() const { return desc && colors && name && password && spec; }
};

// The first key found anywhere in the line decides, in this order; the value
// is cut from the start of the line by the key's length.
void TakeKeyLine(const std::string& line, PlayerRecord& player, FoundKeys& found) {
    auto has = [&line](const char* key) { return line.find(key) != std::string::npos; };
    if (has("Desc=")) {
        player.Desc = line.substr(5);
        found.desc = true;
    } else if (has("Colors=")) {
        player.Colors = line.substr(7);
        found.colors = true;
    } else if (has("Name=")) {
        player.Name = line.substr(5);
        found.name = true;
    } else if (has("Password=")) {
        player.Password = line.substr(9);
        found.password = true;
    } else if (has("Spec=") && line.size() >= 7) {
        player.Spec1 = static_cast<signed char>(line[5]) - 48;
        player.Spec2 = static_cast<signed char>(line[6]) - 48;
        found.spec = true;
    }
}

}  // namespace

bool LoadPlayerIni(const std::string& fileName) {
    FILE* file = OpenFile(fileName, "rb");
    if (!file) {
        ErrorLog << "Failed to open player ini file: " << fileName << "\n";
        return false;
    }
    std::string line;
    ReadBoundedLine(file, line, MaxIniLineLength);
    if (!IsVersionLine(line))
        ErrorLog << "Warning: player ini file \"" << fileName << "\" not a recognized version.\n";

    FoundKeys found;
    while (ReadBoundedLine(file, line, MaxIniLineLength) && !line.empty())
        TakeKeyLine(line, ThePlayerRecord, found);
    std::fclose(file);

    if (!found.All()) {
        ErrorLog << "Error: Could not load all vital data fields from player .ini: " << fileName << "\n";
        return false;
    }
    ThePlayerRecord.loaded = true;
    return true;
}
