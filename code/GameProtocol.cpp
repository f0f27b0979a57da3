#include "GameProtocol.h"

#include "GameDialog.h"
#include "GameHooks.h"
#include "LogFile.h"
#include "NetClient.h"
#include "QuilGfxLoader.h"
#include "WorldMap.h"
#include "platform/PlatformSystem.h"
#include "StaticOrder.h"

#include <algorithm>
#include <cstring>
#include <vector>

GameHooks TheGameHooks STATIC_ORDER(STATIC_GAME);

// --- numbers and coordinates ----------------------------------------------

int32_t DecodeBase95(std::string_view text) {
    // Unsigned arithmetic: a long hostile field wraps instead of overflowing.
    uint32_t value = 0;
    for (char c : text) value = value * 95u + static_cast<uint32_t>(static_cast<signed char>(c) - 32);
    return static_cast<int32_t>(value);
}

std::string EncodeBase95(int32_t value, bool twoCharacters) {
    char low = static_cast<char>(value % 95 + 32);
    if (!twoCharacters) return std::string(1, low);
    return std::string{static_cast<char>(value / 95 + 32), low};
}

GridCell ServerToGrid(int32_t x, int32_t y, int32_t mapHeight) {
    return GridCell{y / 2 + x, (y + 1) / 2 + mapHeight / 2 - x};
}

GridCell GridToServer(int32_t X, int32_t Y, int32_t mapHeight) {
    int32_t h = mapHeight / 2;
    return GridCell{(2 * (X - Y + h) + 2) / 4, X + Y - h};
}

// --- avatars ---------------------------------------------------------------

namespace {

// Frames above 16 stand; r = f - 17 picks the facing.
void SetStandingFrame(int32_t f, AvatarRecord& record) {
    static const int32_t facings[4] = {2, 3, 0, 1};
    record.pose = 1;
    int32_t r = f - 17;
    if (r >= 0 && r < 4) record.facing = facings[r];
}

void SetMovingFrame(int32_t f, AvatarRecord& record) {
    static const int32_t poses[5] = {0, 0, 3, 2, 4};  // by p = 1..4
    int32_t p = ((f - 1) & 3) + 1;
    record.pose = poses[p];
    int32_t r = f - p;
    if (r == 0) record.facing = 2;
    else if (r == 4) record.facing = 3;
    else if (r == 8) record.facing = 1;
    else if (r == 12) record.facing = 0;
}

}  // namespace

AvatarRecord ParseAvatarFrame(std::string_view colourCode, std::string_view frameCode) {
    AvatarRecord record;
    if (colourCode.size() >= 10)
        for (size_t i = 0; i < 10; ++i) record.colours[i] = static_cast<uint8_t>(colourCode[i] - 32);
    if (frameCode.size() < 2) return record;
    const int32_t decoded = DecodeBase95(frameCode);
    int32_t f = decoded;
    if (f == 0) return record;
    record.variant = f > 500 ? 2 : 0;
    if (f > 500) f -= 500;
    if (f > 100) {
        record.group = 5;
        f -= 100;
        if (f > 20) {
            ErrorLog << "Warning: Animation frame could not be correctly parsed: " << decoded << "\n";
            f %= 21;
        }
    } else if (f > 20) {
        record.group = (f - 1) / 20;
        f -= 20 * record.group;
    }
    if (f >= 17)
        SetStandingFrame(f, record);
    else
        SetMovingFrame(f, record);
    return record;
}

// --- the world lines ---------------------------------------------------------

namespace {

struct ProtocolState {
    NET::Client* connection = nullptr;
    bool greeting = true;
    bool loggedIn = false;
    bool firstBatchTaken = false;  // the pump has found data once
    size_t greetingBytes = 0;      // bytes at the buffer's front whose lines are the greeting's
    std::string buffer;            // received bytes not yet handled
    size_t scanned = 0;            // bytes of the buffer known to hold no line feed
    bool dropping = false;         // inside an overlong line, skipping to its line feed
    std::vector<char> block;       // one read, kept for its storage
};
ProtocolState state;

const char* const LoginMarker = "&&&&&&&&&&&&&";
const char* const FloorShapeFile = "patches\\default\\floors.fsh";
const char* const FloorFailureText =
    "Something bad happened while trying to create floor textures from .fsh images.\n"
    "This process is rather contorted right now, so if this is failing on your hardware now... "
    "hopefully it will be better in the future sometime when I redo it.";

bool Contains(std::string_view line, std::string_view part) { return line.find(part) != std::string_view::npos; }

// Four base-95 characters at `at`: server x, then server y, as a grid cell.
GridCell CellAt(std::string_view line, size_t at) {
    return ServerToGrid(DecodeBase95(line.substr(at, 2)), DecodeBase95(line.substr(at + 2, 2)), TheWorldMap.H);
}

// Files the server names are opened only inside the game's folder. A NUL
// byte is refused too: the file system would stop reading the name there.
bool IsInsideGameFolder(std::string_view name) {
    if (name.empty() || name[0] == '\\' || name[0] == '/' || Contains(name, ":") ||
        Contains(name, std::string_view("\0", 1)))
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

bool RefuseOutsideName(std::string_view name, const char* what) {
    if (IsInsideGameFolder(name)) return false;
    ErrorLog << "Error: Refused to open " << what << " outside the game's folder: \"" << std::string(name)
             << "\"\n";
    return true;
}

// Without a map every cell is taken; with one, lines for cells outside it
// are ignored.
bool OutsideMap(GridCell cell) { return TheWorldMap.N > 0 && !TheWorldMap.Inside(cell.x, cell.y); }

void PutAvatar(const AvatarRecord& record, GridCell oldCell) {
    TheAvatarList.RemoveAt(oldCell.x, oldCell.y);
    if (AvatarRecord* there = TheAvatarList.FindAt(record.cellX, record.cellY))
        *there = record;
    else
        TheAvatarList.Append(record);
}

void PutAvatarLine(std::string_view line, size_t frameAt, GridCell cell, GridCell oldCell) {
    if (OutsideMap(cell)) return;
    AvatarRecord record = ParseAvatarFrame(line.substr(1, 10), line.substr(frameAt, 2));
    record.cellX = cell.x;
    record.cellY = cell.y;
    PutAvatar(record, oldCell);
}

void ShowPrintableText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text)
        if (c >= 32 && c <= 126) shown += c;
    QueueText(shown);
}

// The floor shapes, read again only when the file changed: a server naming
// the same map again and again costs no rereading.
const ShapeList& FloorShapes() {
    static ShapeList shapes;
    static Platform::FileStamp loadedStamp;
    static bool loaded = false;
    Platform::FileStamp stamp;
    const bool stamped = Platform::StampFile(FloorShapeFile, stamp);
    if (loaded && stamped && stamp == loadedStamp) return shapes;
    LoadShapeFile(shapes, FloorShapeFile);
    loaded = stamped;
    loadedStamp = stamp;
    return shapes;
}

void LoadMap(std::string_view name) {
    TheAvatarList.Clear();
    TheDreamPortalList.Clear();
    if (RefuseOutsideName(name, "a map file")) {
        TheWorldMap.Clear();
        return;
    }
    LoadMapFile(std::string(name));
    const ShapeList& shapes = FloorShapes();
    if (TheGameHooks.installFloorTextures && !TheGameHooks.installFloorTextures(shapes))
        ShowGameMessage("oops", FloorFailureText);
}

void AddDreamPortal(std::string_view line) {
    GridCell cell = CellAt(line, 2);
    if (OutsideMap(cell)) return;
    std::string_view rest = line.substr(8);
    size_t space = rest.find(' ');
    DreamPortal portal;
    portal.cellX = cell.x;
    portal.cellY = cell.y;
    portal.name = std::string(rest.substr(0, space));
    if (space != std::string_view::npos)
        for (char c : rest.substr(space + 1))
            if (c != ' ') portal.text += c;
    TheDreamPortalList.Append(portal);
}

void StartDream(std::string_view line) {
    TheAvatarList.Clear();
    TheDreamPortalList.Clear();
    std::string_view rest = line.substr(3);
    std::string name(rest.substr(0, rest.find(' ')));
    // Even a name that cannot be a folder goes on: the download refuses it as
    // a failed transfer, so the player is asked and the server answered.
    if (TheGameHooks.startDreamDownload) TheGameHooks.startDreamDownload(name, TransferDream, "hlcn_tmp\\" + name);
    QueueText("> Downloading Dream...");
}

// Rules 10 to 13, tried in this order.
void HandleBracketLine(std::string_view line) {
    const size_t length = line.size();
    if (length >= 4 && line[1] == 'c' && line[2] == 'c') {
        std::string_view name = line.substr(3);
        if (!RefuseOutsideName(name, "a palette")) LoadPcxPalette("patches\\default\\" + std::string(name));
    } else if (length >= 8 && line[1] == 's') {
        AddDreamPortal(line);
    } else if (length >= 6 && line[1] == 't') {
        GridCell cell = CellAt(line, 2);
        TheDreamPortalList.RemoveAt(cell.x, cell.y);
    } else if (length >= 6 && line[1] == 'q') {
        StartDream(line);
    }
}

void HandleWorldLine(std::string_view line) {
    const size_t length = line.size();
    if (line == "Nope." || line == "Invalid Name or password.") {
        QueueText("Server reported error while trying to log in.");
        return;
    }
    if (length == 0) return;
    switch (line[0]) {
    case '(':
    case '[':
        if (length >= 2) ShowPrintableText(line.substr(1));
        break;
    case ')':
        if (length >= 5) {
            GridCell cell = CellAt(line, 1);
            TheAvatarList.RemoveAt(cell.x, cell.y);
        }
        break;
    case '/':
        if (length >= 21) PutAvatarLine(line, 15, CellAt(line, 11), CellAt(line, 17));
        break;
    case '1':
        if (length >= 7) {
            GridCell cell = CellAt(line, 1);
            TheWorldMap.SetFloor(cell.x, cell.y, static_cast<uint16_t>(DecodeBase95(line.substr(5, 2))));
            if (TheGameHooks.markFloorDirty) TheGameHooks.markFloorDirty(cell.x, cell.y);
        }
        break;
    case '<':
        if (length >= 17) PutAvatarLine(line, 15, CellAt(line, 11), CellAt(line, 11));
        break;
    case ';':
        if (length >= 6) LoadMap(line.substr(1));
        break;
    case '>':
        if (length >= 7) {
            GridCell cell = CellAt(line, 1);
            TheWorldMap.SetObject(cell.x, cell.y, static_cast<uint16_t>(DecodeBase95(line.substr(5, 2))));
        }
        break;
    case '@':
        if (length >= 5) {
            GridCell cell = CellAt(line, 1);
            TheViewCell.Set(cell.x, cell.y);
        }
        break;
    case ']':
        HandleBracketLine(line);
        break;
    default:
        break;
    }
}

void HandleGreetingLine(std::string_view line) {
    QueueText(std::string(line));
    if (Contains(line, "END")) SendServerLine("connect " + ThePlayerRecord.Name + " " + ThePlayerRecord.Password);
}

void HandleLoginLine(std::string_view line) {
    if (!Contains(line, LoginMarker)) return;
    SendServerLine("desc " + ThePlayerRecord.Desc);
    SendServerLine("color " + ThePlayerRecord.Colors + EncodeBase95(ThePlayerRecord.Spec1, false) +
                   EncodeBase95(ThePlayerRecord.Spec2, false) + " ");
    state.loggedIn = true;
}

}  // namespace

LoginPhase CurrentLoginPhase() {
    if (state.greeting) return LoginPhase::Greeting;
    return state.loggedIn ? LoginPhase::LoggedIn : LoginPhase::AwaitingLogin;
}

void HandleServerLine(std::string_view line) {
    switch (CurrentLoginPhase()) {
    case LoginPhase::Greeting:
        HandleGreetingLine(line);
        break;
    case LoginPhase::AwaitingLogin:
        HandleLoginLine(line);
        break;
    case LoginPhase::LoggedIn:
        HandleWorldLine(line);
        break;
    }
}

// --- the connection ----------------------------------------------------------

namespace {

// No line of the game comes near this; a server that never sends a line feed
// must not grow the buffer without end.
const size_t MaxServerLineLength = 256 * 1024;
// While this much waits unhandled, nothing more is read: the connection's
// own buffer fills instead and holds the server back.
const size_t MaxWaitingBytes = 1024 * 1024;
// The share of a frame that server lines may take; the lines beyond it wait
// for the next frames, in order, so a flood cannot stop the drawing.
const int64_t LineBudgetNanoseconds = 4 * 1000 * 1000;

bool Connected() { return state.connection && state.connection->IsConnected(); }

int64_t FrameDeadline() {
    return Platform::PerfCounter() + LineBudgetNanoseconds * Platform::PerfFrequency() / 1000000000;
}

// Hands complete lines to HandleServerLine, in order, until the clock passes
// `deadline` (0: no deadline), and keeps the rest. Each byte is searched
// once and the handled lines leave the buffer in one move.
void HandleBufferedLines(int64_t deadline) {
    size_t start = 0;
    bool allSearched = true;
    while (true) {
        if (deadline && start > 0 && Platform::PerfCounter() > deadline) {
            allSearched = false;
            break;
        }
        const char* base = state.buffer.data();
        size_t from = std::max(start, state.scanned);
        const void* feed = std::memchr(base + from, '\n', state.buffer.size() - from);
        if (!feed) break;
        size_t end = static_cast<size_t>(static_cast<const char*>(feed) - base);
        if (!state.dropping) HandleServerLine(std::string_view(base + start, end - start));
        state.dropping = false;
        start = end + 1;
        // The lines of the pump's first batch are the greeting, even when
        // the budget leaves some of them to later frames.
        if (state.firstBatchTaken && start >= state.greetingBytes) state.greeting = false;
    }
    state.buffer.erase(0, start);
    state.greetingBytes -= std::min(start, state.greetingBytes);
    state.scanned = allSearched ? state.buffer.size() : 0;
    if (allSearched && state.buffer.size() > MaxServerLineLength) {
        if (!state.dropping)
            ErrorLog << "Warning: server line longer than " << int(MaxServerLineLength) << " bytes dropped.\n";
        state.buffer.clear();
        state.scanned = 0;
        state.dropping = true;
    }
}

}  // namespace

void TakeServerBytes(const char* bytes, size_t size, bool withinFrameBudget) {
    state.buffer.append(bytes, size);
    HandleBufferedLines(withinFrameBudget ? FrameDeadline() : 0);
}

void SetServerConnection(NET::Client* connection) { state.connection = connection; }

void ResetGameProtocol(LoginPhase phase) {
    NET::Client* connection = state.connection;
    state = ProtocolState();
    state.connection = connection;
    state.greeting = phase == LoginPhase::Greeting;
    state.loggedIn = phase == LoginPhase::LoggedIn;
    state.firstBatchTaken = phase != LoginPhase::Greeting;
}

bool SendServerLine(std::string_view line) {
    if (!Connected()) return false;
    std::string bytes;
    bytes.reserve(line.size() + 1);
    bytes.append(line);
    bytes += '\n';
    return state.connection->SendData(bytes.data(), static_cast<int>(bytes.size()));
}

// Lines that came before the server closed are handled too: a refusal or a
// farewell is often the last thing a server sends.
void PumpServerInput() {
    if (!state.connection) return;
    const int64_t deadline = FrameDeadline();
    if (state.buffer.size() < MaxWaitingBytes && state.connection->ReceivedByteCount() > 0) {
        if (state.connection->ReceiveData(state.block))
            state.buffer.append(state.block.data(), state.block.size());
        if (!state.firstBatchTaken) {
            state.firstBatchTaken = true;
            state.greetingBytes = state.buffer.rfind('\n') + 1;  // 0 without a line feed
            if (state.greetingBytes == 0) state.greeting = false;
        }
    }
    if (!state.buffer.empty()) HandleBufferedLines(deadline);
}

bool SendMove(int code) {
    static const char* const lines[6] = {"m 9", "m 7", "m 1", "m 3", "<", ">"};
    if (code < 0 || code > 5) return false;
    return SendServerLine(lines[code]);
}

bool SendLook(int32_t X, int32_t Y) {
    GridCell server = GridToServer(X, Y, TheWorldMap.H);
    return SendServerLine("l " + EncodeBase95(server.x, true) + EncodeBase95(server.y, true));
}
