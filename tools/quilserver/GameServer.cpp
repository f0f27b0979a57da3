#include "GameServer.h"

#include <algorithm>

#include "CMemMan.h"
#include "FileUtil.h"
#include "LogFile.h"
#include "NetServer.h"
#include "ServerMap.h"
#include "../samplegen/SampleLayout.h"

namespace {

constexpr size_t MaxLineLength = 4096;

struct Stride {
    int dx, dy, facing;
};
// "m 9", "m 7", "m 1", "m 3": up, left, down, right on the screen of the client's camera.
const Stride Strides[4] = {{-1, 0, 1}, {0, -1, 0}, {1, 0, 3}, {0, 1, 2}};

const char* const WandererNames[] = {"Tobin", "Marigold", "Fennick", "Wren", "Hesper", "Pip", "Juniper", "Corwin"};
const char* const Sayings[] = {
    "Lovely weather for a stroll.", "Have you seen the portal by the well?", "The river is high this season.",
    "Mind the lamps, Cinder only just lit them.", "I hear the vault dream is sealed tight.",
    "Fresh flowers by the path today!", "The ferry to Gull Island leaves from the beach.",
};

GridPoint Cell(SampleLayout::Cell c) { return {c.x, c.y}; }

bool Starts(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

bool IsSolidItem(uint16_t item) {
    switch (static_cast<Item>(item)) {
        case Item::Tree: case Item::Pine: case Item::Rock: case Item::LampPost: case Item::Well:
        case Item::Table: case Item::Bed: case Item::Barrel: case Item::Crate: case Item::Fence:
        case Item::FenceAlongY: case Item::Chest: case Item::WalnutChest: case Item::Statue: case Item::Boat:
            return true;
        default:
            return false;
    }
}

}  // namespace

struct GameServer::Portal {
    GridPoint cell;
    std::string name, text;
    std::string dreamId;  // empty: a way to another place of the world
    int target = 0;
    GridPoint arrival;
    bool open = true;
    bool flickers = false;
};

struct GameServer::Place {
    std::string title, mapFile;  // mapFile is empty for dreams (the client loads their maps itself)
    WorldMap grid;
    GridPoint start;
    std::vector<Portal> portals;
};

struct GameServer::Session {
    enum Stage { AwaitingConnect, AwaitingColor, Playing, Refused };
    NET::Client* link = nullptr;
    std::string buffer;
    Stage stage = AwaitingConnect;
    Walker me;
    std::string pendingDream;
    int pendingPlace = -1;
};

GameServer::GameServer(const ServerOptions& options) : options(options), random(options.seed) {}

GameServer::~GameServer() {
    for (Session& s : sessions) delete2(s.link);
    if (gameServer) delete2(gameServer);
}

bool GameServer::Start() {
    accounts = LoadAccounts(options.folder);
    Report("characters: " + std::to_string(accounts.size()) + " loaded from " + options.folder);
    if (!LoadWorld()) return false;
    AddWanderers();
    gameServer = new2(NetServer, NetServer());
    if (!gameServer->Listen(options.gamePort)) {
        Report("could not listen for game clients on port " + std::to_string(options.gamePort));
        return false;
    }
    Report("listening for game clients on port " + std::to_string(GamePort()));
    return true;
}

bool GameServer::LoadWorld() {
    struct Source {
        const char* title;
        std::string file, mapFile;
        SampleLayout::Cell start;
    };
    const std::string dreams = std::string(SampleLayout::DreamFolder) + "/";
    const Source sources[] = {
        {"Brindlemere", SampleLayout::VillageMap, SampleLayout::VillageMap, SampleLayout::VillageStart},
        {"Gull Island", SampleLayout::IslandMap, SampleLayout::IslandMap, SampleLayout::IslandStart},
        {"the meadow dream", dreams + SampleLayout::OpenDream + ".map", "", SampleLayout::DreamStart},
        {"the vault dream", dreams + SampleLayout::SealedDream + ".map", "", SampleLayout::DreamStart},
    };
    places.resize(std::size(sources));
    for (size_t i = 0; i < places.size(); ++i) {
        places[i].title = sources[i].title;
        places[i].mapFile = sources[i].mapFile;
        places[i].start = Cell(sources[i].start);
        if (!LoadServerMap(options.folder + "/" + sources[i].file, places[i].grid)) {
            Report("cannot load " + sources[i].file + " (see _error.txt); is " + options.folder + " a sample game folder?");
            return false;
        }
    }
    places[0].portals = {
        {Cell(SampleLayout::MeadowPortal), "Meadow", "A|snowy|dream", SampleLayout::OpenDream, 2, Cell(SampleLayout::DreamStart)},
        {Cell(SampleLayout::VaultPortal), "Vault", "A|sealed|dream", SampleLayout::SealedDream, 3, Cell(SampleLayout::DreamStart), true, true},
        {Cell(SampleLayout::IslandPortal), "Ferry", "to|Gull|Island", "", 1, Cell(SampleLayout::IslandStart)},
    };
    places[1].portals = {{Cell(SampleLayout::IslandReturn), "Ferry", "to|Brindlemere", "", 0, Cell(SampleLayout::VillageStart)}};
    GridPoint wake{SampleLayout::DreamStart.x + 3, SampleLayout::DreamStart.y};
    places[2].portals = {{wake, "Waking", "back|to|the|village", "", 0, Cell(SampleLayout::VillageStart)}};
    places[3].portals = places[2].portals;
    return true;
}

void GameServer::AddWanderers() {
    for (int i = 0; i < options.wanderers; ++i) {
        Walker w;
        w.name = i < int(std::size(WandererNames)) ? WandererNames[i] : "Villager" + std::to_string(i + 1);
        w.desc = "A villager of Brindlemere, out for a walk.";
        for (int c = 0; c < 10; ++c) w.colours += static_cast<char>(32 + random() % 64);
        w.gardener = i % 3 == 1;
        w.facing = static_cast<int>(random() % 4);
        w.nextAction = (random() % 2000) / 1000.0;
        w.cell = RandomOpenCell(0, places[0].start, 20);
        w.place = 0;
        wanderers.push_back(w);
    }
    Report("wanderers: " + std::to_string(wanderers.size()) + " in " + places[0].title);
}

int GameServer::GamePort() const { return gameServer ? gameServer->Port() : 0; }
size_t GameServer::WandererCount() const { return wanderers.size(); }

size_t GameServer::PlayerCount() const {
    return std::count_if(sessions.begin(), sessions.end(), [](const Session& s) { return s.stage == Session::Playing; });
}

void GameServer::Step(double now) {
    clock = now;
    AcceptClients();
    for (Session& s : sessions) PumpSession(s);
    CloseFinishedSessions();
    WanderersAct(now);
    CycleDay(now);
}

void GameServer::AcceptClients() {
    while (NET::Client* link = gameServer ? gameServer->TakeClient() : nullptr) {
        sessions.emplace_back();
        sessions.back().link = link;
        const std::string greeting =
            "Welcome to the Halcyon local server.\n"
            "This is Brindlemere, a village made for trying the client.\n"
            "Log in with one of the sample characters of the game folder.\n"
            "END\n";
        link->SendData(greeting.data(), static_cast<int>(greeting.size()));
        Report("client connected; greeting sent");
    }
}

size_t GameServer::AddTestSession(NET::Client* link) {
    sessions.emplace_back();
    sessions.back().link = link;
    return sessions.size() - 1;
}

void GameServer::HandleLineForTest(size_t index, const std::string& line) {
    auto it = sessions.begin();
    std::advance(it, std::min(index, sessions.size() - 1));
    HandleLine(*it, line);
}

void GameServer::PumpSession(Session& session) {
    // Lines sent before a close are still handled, as a real server would.
    if (session.link->ReceivedByteCount() == 0) return;
    std::vector<char> bytes;
    if (!session.link->ReceiveData(bytes)) return;
    session.buffer.append(bytes.begin(), bytes.end());
    size_t start = 0, end;
    while ((end = session.buffer.find('\n', start)) != std::string::npos) {
        std::string line = session.buffer.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        HandleLine(session, line);
    }
    session.buffer.erase(0, start);
    if (session.buffer.size() > MaxLineLength) {
        Report("client sent a line longer than " + std::to_string(MaxLineLength) + " bytes; disconnecting it");
        session.link->Disconnect();
    }
}

void GameServer::CloseFinishedSessions() {
    for (auto it = sessions.begin(); it != sessions.end();) {
        // A closed session stays until the lines it sent before the close are handled.
        if (it->link->IsConnected() || it->link->ReceivedByteCount() > 0) {
            ++it;
            continue;
        }
        if (it->stage == Session::Playing) {
            RemoveWalker(it->me);
            Report(it->me.name + " left");
            for (Session& other : sessions)
                if (&other != &*it && other.stage == Session::Playing) Send(other, SayLine(it->me.name + " has left."));
        }
        delete2(it->link);
        it = sessions.erase(it);
    }
}

void GameServer::HandleLine(Session& session, const std::string& line) {
    if (line.empty()) return;  // typed lines arrive followed by an empty one
    switch (session.stage) {
        case Session::AwaitingConnect:
            if (Starts(line, "connect ")) HandleLogin(session, line);
            break;
        case Session::AwaitingColor:
            if (Starts(line, "desc ")) session.me.desc = PrintableOnly(line.substr(5));
            if (Starts(line, "color ")) {
                session.me.colours = ColourCodeOf(line);
                EnterWorld(session);
            }
            break;
        case Session::Playing:
            HandleCommand(session, line);
            break;
        case Session::Refused:
            break;
    }
}

void GameServer::HandleLogin(Session& session, const std::string& line) {
    std::string rest = line.substr(8);
    size_t space = rest.find(' ');
    std::string name = rest.substr(0, space), password = space == std::string::npos ? "" : rest.substr(space + 1);
    auto account = accounts.find(name);
    bool known = account != accounts.end() && account->second.password == password;
    bool present = known && FindWalker(name) != nullptr;
    if (!known || present) {
        // The client shows a refusal only after the login marker.
        Send(session, LoginMarker);
        Send(session, LoginRefused);
        session.stage = Session::Refused;
        // Closed at once, as a real server does: the client must still show why.
        session.link->Disconnect();
        Report("login refused for \"" + PrintableOnly(name) + "\"" + (present ? " (already here)" : ""));
        return;
    }
    session.me.name = account->second.name;
    session.me.desc = account->second.desc;
    session.stage = Session::AwaitingColor;
    Send(session, LoginMarker);
    Report(name + " logged in");
}

void GameServer::EnterWorld(Session& session) {
    session.stage = Session::Playing;
    PlaceWalker(session.me, 0, RandomOpenCell(0, places[0].start, 6));
    SendWholeView(session, true);
    Send(session, SayLine("Welcome to " + places[0].title + ", " + session.me.name +
                          "! Walk with the arrow keys; step into a portal to dream."));
    Broadcast(0, SayLine(session.me.name + " has arrived."), &session);
    Report(session.me.name + " entered " + places[0].title);
}

void GameServer::HandleCommand(Session& session, const std::string& line) {
    const std::string& name = session.me.name;
    if (line == "m 9" || line == "m 7" || line == "m 1" || line == "m 3") HandleMove(session, line);
    else if (line == "<") HandleTurn(session, 3);
    else if (line == ">") HandleTurn(session, 1);
    else if (line[0] == '"') {
        Broadcast(session.me.place, SayLine(name + ": " + line.substr(1)));
        Report(name + " says: " + PrintableOnly(line.substr(1)));
    } else if (line[0] == ':') {
        Broadcast(session.me.place, SayLine(name + " " + line.substr(1)));
        Report(name + " emotes: " + PrintableOnly(line.substr(1)));
    } else if (Starts(line, "wh ")) HandleWhisper(session, line);
    else if (Starts(line, "l ")) HandleLook(session, line);
    else if (line == "goback") HandleDreamReply(session, false);
    else if (line == "tidewatcher") HandleDreamReply(session, true);
    else if (line == "day" || line == "dusk") {
        dusk = line == "dusk";
        ApplyDaylight();
    } else if (line == "dig" || line == "plant") HandleChange(session, line == "dig");
    else if (Starts(line, "desc ")) session.me.desc = PrintableOnly(line.substr(5));
    else if (line == "quit") session.link->Disconnect();
    else Send(session, SayLine("Unknown command: " + line.substr(0, 40)));
}

void GameServer::HandleMove(Session& session, const std::string& line) {
    if (session.me.place < 0) return;
    int direction = line[2] == '9' ? 0 : line[2] == '7' ? 1 : line[2] == '1' ? 2 : 3;
    if (!TryStep(session.me, direction)) return;
    Send(session, ViewLine(session.me.cell, places[session.me.place].grid.H));
    CheckPortal(session);
}

void GameServer::HandleTurn(Session& session, int delta) {
    Walker& me = session.me;
    if (me.place < 0) return;
    me.facing = (me.facing + delta) % 4;
    Broadcast(me.place, AvatarLine(me.colours, me.cell, me.facing, places[me.place].grid.H));
}

void GameServer::HandleLook(Session& session, const std::string& line) {
    Walker& me = session.me;
    GridPoint cell;
    if (me.place < 0 || !ParseCellText(line, 2, places[me.place].grid.H, cell)) return;
    for (Walker* w : WalkersIn(me.place))
        if (w->cell == cell) {
            Send(session, SayLine("You see " + w->name + ". " + w->desc));
            return;
        }
    const WorldMap& grid = places[me.place].grid;
    uint16_t floor = grid.Inside(cell.x, cell.y) ? grid.GetFloor(cell.x, cell.y) : NoFloor;
    uint16_t object = grid.GetObject(cell.x, cell.y);
    std::string text = std::string("You see ") + FloorName(floor);
    if (object != 0) text += std::string(" and ") + ItemName(object);
    Send(session, SayLine(text + "."));
}

void GameServer::HandleWhisper(Session& session, const std::string& line) {
    std::string rest = line.substr(3);
    size_t space = rest.find(' ');
    std::string name = rest.substr(0, space), message = space == std::string::npos ? "" : rest.substr(space + 1);
    Walker* target = FindWalker(name);
    if (!target) {
        Send(session, WhisperLine("There is no one called " + name + " to whisper to."));
        return;
    }
    Send(session, WhisperLine("You whisper \"" + message + "\" to " + target->name + "."));
    for (Session& other : sessions)
        if (other.stage == Session::Playing && &other.me == target)
            Send(other, WhisperLine(session.me.name + " whispers, \"" + message + "\" to you."));
    if (std::find_if(wanderers.begin(), wanderers.end(), [&](const Walker& w) { return &w == target; }) != wanderers.end())
        Send(session, WhisperLine(target->name + " whispers, \"" + Sayings[random() % std::size(Sayings)] + "\" to you."));
    Report(session.me.name + " whispers to " + target->name);
}

void GameServer::HandleChange(Session& session, bool dig) {
    Walker& me = session.me;
    if (me.place < 0) return;
    WorldMap& grid = places[me.place].grid;
    if (dig) {
        grid.SetFloor(me.cell.x, me.cell.y, static_cast<uint16_t>(Floor::Dirt));
        Broadcast(me.place, FloorLine(me.cell, static_cast<uint16_t>(Floor::Dirt), grid.H));
    } else {
        grid.SetObject(me.cell.x, me.cell.y, static_cast<uint16_t>(Item::Flowers));
        Broadcast(me.place, ObjectLine(me.cell, static_cast<uint16_t>(Item::Flowers), grid.H));
    }
    Report(me.name + (dig ? " dug up the floor" : " planted flowers"));
}

void GameServer::HandleDreamReply(Session& session, bool stay) {
    Walker& me = session.me;
    if (stay && !session.pendingDream.empty()) {
        int place = session.pendingPlace;
        session.pendingDream.clear();
        PlaceWalker(me, place, RandomOpenCell(place, places[place].start, 4));
        SendWholeView(session, false);  // the client loaded the dream's map itself
        Send(session, SayLine("You arrive in " + places[place].title + "."));
        Report(me.name + " entered " + places[place].title);
        return;
    }
    if (stay) return;  // nothing to confirm
    session.pendingDream.clear();
    if (me.place != 0) {
        if (me.place > 0) RemoveWalker(me);
        PlaceWalker(me, 0, RandomOpenCell(0, places[0].start, 6));
        SendWholeView(session, true);
        Send(session, SayLine("You wake up in " + places[0].title + "."));
        Report(me.name + " went back to " + places[0].title);
    }
}

bool GameServer::CanStep(const Place& place, GridPoint from, GridPoint to) const {
    const WorldMap& g = place.grid;
    if (!g.Inside(to.x, to.y)) return false;
    uint16_t floor = g.GetFloor(to.x, to.y);
    if (floor == NoFloor || IsWaterFloor(floor) || IsSolidItem(g.GetObject(to.x, to.y))) return false;
    // A wall stands on the lower-X or lower-Y edge of the cell that owns it.
    if (to.x < from.x) return g.GetWallX(from.x, from.y) == 0;
    if (to.x > from.x) return g.GetWallX(to.x, to.y) == 0;
    if (to.y < from.y) return g.GetWallY(from.x, from.y) == 0;
    return g.GetWallY(to.x, to.y) == 0;
}

bool GameServer::Occupied(int place, GridPoint cell) const {
    for (const Session& s : sessions)
        if (s.stage == Session::Playing && s.me.place == place && s.me.cell == cell) return true;
    for (const Walker& w : wanderers)
        if (w.place == place && w.cell == cell) return true;
    return false;
}

bool GameServer::IsPortalCell(int place, GridPoint cell) const {
    for (const Portal& p : places[place].portals)
        if (p.cell == cell) return true;
    return false;
}

bool GameServer::HasPlayers(int place) const {
    for (const Session& s : sessions)
        if (s.stage == Session::Playing && s.me.place == place) return true;
    return false;
}

bool GameServer::TryStep(Walker& walker, int direction) {
    const Stride& step = Strides[direction & 3];
    GridPoint from = walker.cell, to{from.x + step.dx, from.y + step.dy};
    walker.facing = step.facing;
    const Place& place = places[walker.place];
    bool moved = CanStep(place, from, to) && !Occupied(walker.place, to);
    if (moved) walker.cell = to;
    if (!HasPlayers(walker.place)) return moved;
    Broadcast(walker.place, moved ? MoveLine(walker.colours, to, walker.facing, from, place.grid.H)
                                  : AvatarLine(walker.colours, from, walker.facing, place.grid.H));
    return moved;
}

void GameServer::CheckPortal(Session& session) {
    Walker& me = session.me;
    for (const Portal& portal : places[me.place].portals) {
        if (!portal.open || !(portal.cell == me.cell)) continue;
        if (!portal.dreamId.empty()) {
            RemoveWalker(me);
            session.pendingDream = portal.dreamId;
            session.pendingPlace = portal.target;
            Send(session, SayLine("You step into the portal to " + portal.name + "..."));
            Send(session, DreamLine(portal.dreamId));
            Report(me.name + " is sent into the dream \"" + portal.dreamId + "\"");
        } else {
            RemoveWalker(me);
            PlaceWalker(me, portal.target, RandomOpenCell(portal.target, portal.arrival, 4));
            SendWholeView(session, true);
            Report(me.name + " travelled to " + places[portal.target].title);
        }
        return;
    }
}

void GameServer::PlaceWalker(Walker& walker, int place, GridPoint cell) {
    walker.place = place;
    walker.cell = cell;
    if (HasPlayers(place)) Broadcast(place, AvatarLine(walker.colours, cell, walker.facing, places[place].grid.H));
}

void GameServer::RemoveWalker(Walker& walker) {
    int place = walker.place;
    walker.place = -1;
    if (place >= 0) Broadcast(place, RemoveLine(walker.cell, places[place].grid.H));
}

void GameServer::SendWholeView(Session& session, bool withMap) {
    const Walker& me = session.me;
    const Place& place = places[me.place];
    if (withMap && !place.mapFile.empty()) {
        Send(session, PaletteLine(dusk ? SampleLayout::DuskPalette : SampleLayout::DayPalette));
        Send(session, MapLine(place.mapFile));
    }
    for (Walker* w : WalkersIn(me.place)) Send(session, AvatarLine(w->colours, w->cell, w->facing, place.grid.H));
    for (const Portal& p : place.portals)
        if (p.open) Send(session, PortalLine(p.cell, p.name, p.text, place.grid.H));
    Send(session, ViewLine(me.cell, place.grid.H));
}

void GameServer::WanderersAct(double now) {
    for (Walker& w : wanderers) {
        if (now < w.nextAction) continue;
        w.nextAction = now + 1.0 + (random() % 2000) / 1000.0;
        int roll = static_cast<int>(random() % 100);
        if (roll < 80) {
            GridPoint from = w.cell;
            const Stride& step = Strides[random() % 4];
            if (IsPortalCell(w.place, {from.x + step.dx, from.y + step.dy})) continue;
            bool moved = TryStep(w, static_cast<int>(&step - Strides));
            WorldMap& grid = places[w.place].grid;
            if (moved && w.gardener && roll < 6 && grid.GetObject(from.x, from.y) == 0 &&
                grid.GetFloor(from.x, from.y) == uint16_t(Floor::Grass)) {
                grid.SetObject(from.x, from.y, static_cast<uint16_t>(Item::Flowers));
                if (HasPlayers(w.place)) Broadcast(w.place, ObjectLine(from, static_cast<uint16_t>(Item::Flowers), grid.H));
            }
        } else if (roll < 90) {
            if (HasPlayers(w.place)) Broadcast(w.place, SayLine(w.name + ": " + Sayings[random() % std::size(Sayings)]));
        } else if (HasPlayers(w.place)) {
            w.facing = (w.facing + 1) % 4;
            Broadcast(w.place, AvatarLine(w.colours, w.cell, w.facing, places[w.place].grid.H));
        }
    }
}

void GameServer::CycleDay(double now) {
    if (nextCycle < 0) {
        nextCycle = now + options.cycleSeconds;
        nextPortalToggle = now + options.cycleSeconds / 2;
    }
    if (now >= nextCycle) {
        nextCycle = now + options.cycleSeconds;
        dusk = !dusk;
        ApplyDaylight();
    }
    if (now >= nextPortalToggle) {
        nextPortalToggle = now + options.cycleSeconds;
        for (size_t i = 0; i < places.size(); ++i)
            for (Portal& p : places[i].portals)
                if (p.flickers) SetPortalOpen(p, static_cast<int>(i), !p.open);
    }
}

void GameServer::ApplyDaylight() {
    Report(dusk ? "dusk falls" : "day breaks");
    for (Session& s : sessions) {
        if (s.stage != Session::Playing || s.me.place < 0 || places[s.me.place].mapFile.empty()) continue;
        SendWholeView(s, true);  // the new palette shows once the floors are built again
        Send(s, SayLine(dusk ? "Dusk falls over the land." : "The sun rises."));
    }
}

void GameServer::SetPortalOpen(Portal& portal, int place, bool open) {
    portal.open = open;
    int32_t h = places[place].grid.H;
    Broadcast(place, open ? PortalLine(portal.cell, portal.name, portal.text, h) : PortalRemoveLine(portal.cell, h));
    Broadcast(place, SayLine("The " + portal.name + " portal " + (open ? "shimmers open." : "fades away.")));
    Report("portal " + portal.name + (open ? " opened" : " closed"));
}

void GameServer::Send(Session& session, const std::string& line) {
    if (!session.link->IsConnected()) return;
    std::string bytes = line + "\n";
    session.link->SendData(bytes.data(), static_cast<int>(bytes.size()));
}

void GameServer::Broadcast(int place, const std::string& line, const Session* except) {
    for (Session& s : sessions)
        if (&s != except && s.stage == Session::Playing && s.me.place == place) Send(s, line);
}

void GameServer::Report(const std::string& text) {
    if (options.report) options.report(text);
}

GameServer::Walker* GameServer::FindWalker(const std::string& name) {
    std::string wanted = ToLower(name);
    for (Session& s : sessions)
        if (s.stage == Session::Playing && ToLower(s.me.name) == wanted) return &s.me;
    for (Walker& w : wanderers)
        if (ToLower(w.name) == wanted) return &w;
    return nullptr;
}

std::vector<GameServer::Walker*> GameServer::WalkersIn(int place) {
    std::vector<Walker*> out;
    for (Session& s : sessions)
        if (s.stage == Session::Playing && s.me.place == place) out.push_back(&s.me);
    for (Walker& w : wanderers)
        if (w.place == place) out.push_back(&w);
    return out;
}

GridPoint GameServer::RandomOpenCell(int place, GridPoint around, int radius) {
    // The nearest free cells first, so arrivals land where they were sent when they can.
    for (int r = 0; r <= radius; ++r)
        for (int tries = 0; tries < 8 * (r + 1); ++tries) {
            GridPoint c{around.x + static_cast<int>(random() % (2 * r + 1)) - r, around.y + static_cast<int>(random() % (2 * r + 1)) - r};
            const WorldMap& g = places[place].grid;
            uint16_t floor = g.Inside(c.x, c.y) ? g.GetFloor(c.x, c.y) : NoFloor;
            if (floor == NoFloor || IsWaterFloor(floor) || IsSolidItem(g.GetObject(c.x, c.y))) continue;
            if (!Occupied(place, c) && !IsPortalCell(place, c)) return c;
        }
    return around;
}
