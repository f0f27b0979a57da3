// The local game server: speaks the game's line protocol to any number of
// clients on the project's NetServer and runs the sample world (village,
// island, dreams) with wandering characters and a day and dusk cycle. The
// dream archives are served by a FileServer that runs beside it (the
// program and the tests start one on the folder's "dreams").
#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ServerAccounts.h"
#include "ServerLines.h"
#include "WorldMap.h"

namespace NET {
class Client;
}
class NetServer;

struct ServerOptions {
    std::string folder = ".";   // the sample game folder (native path)
    int gamePort = 7400;        // 0: a free port of the system
    int wanderers = 6;
    double cycleSeconds = 120;  // day and dusk alternate this often
    uint32_t seed = 1;
    // Receives one line for everything the server does.
    std::function<void(const std::string&)> report;
};

class GameServer {
public:
    explicit GameServer(const ServerOptions& options);
    ~GameServer();
    GameServer(const GameServer&) = delete;
    GameServer& operator=(const GameServer&) = delete;

    // Loads the world and listens; false (reported) otherwise.
    bool Start();
    // One round at `now` seconds: new clients, their lines, the wanderers, the cycle.
    void Step(double now);
    // Feeds one client line as if `session` had sent it (the fuzz target's way in).
    void HandleLineForTest(size_t session, const std::string& line);
    size_t AddTestSession(NET::Client* link);

    int GamePort() const;
    size_t PlayerCount() const;
    size_t WandererCount() const;
    bool IsDusk() const { return dusk; }

    // Where a character is: which place of the world and which cell.
    struct Walker {
        std::string name, desc, colours;
        int facing = 2;
        int place = -1;  // -1: between places (on the way into a dream)
        GridPoint cell;
        double nextAction = 0;
        bool gardener = false;
    };

private:
    struct Portal;
    struct Place;
    struct Session;

    bool LoadWorld();
    void AddWanderers();
    void AcceptClients();
    void PumpSession(Session& session);
    void HandleLine(Session& session, const std::string& line);
    void HandleLogin(Session& session, const std::string& line);
    void HandleCommand(Session& session, const std::string& line);
    void HandleMove(Session& session, const std::string& line);
    void HandleTurn(Session& session, int delta);
    void HandleLook(Session& session, const std::string& line);
    void HandleWhisper(Session& session, const std::string& line);
    void HandleChange(Session& session, bool dig);
    void HandleDreamReply(Session& session, bool stay);
    void EnterWorld(Session& session);
    void CloseFinishedSessions();

    bool TryStep(Walker& walker, int direction);
    bool CanStep(const Place& place, GridPoint from, GridPoint to) const;
    bool Occupied(int place, GridPoint cell) const;
    void CheckPortal(Session& session);
    void PlaceWalker(Walker& walker, int place, GridPoint cell);
    void RemoveWalker(Walker& walker);
    void SendWholeView(Session& session, bool withMap);
    void WanderersAct(double now);
    void CycleDay(double now);
    void ApplyDaylight();
    bool IsPortalCell(int place, GridPoint cell) const;
    bool HasPlayers(int place) const;
    void SetPortalOpen(Portal& portal, int place, bool open);

    void Send(Session& session, const std::string& line);
    void Broadcast(int place, const std::string& line, const Session* except = nullptr);
    void Report(const std::string& text);
    Walker* FindWalker(const std::string& name);
    std::vector<Walker*> WalkersIn(int place);
    GridPoint RandomOpenCell(int place, GridPoint around, int radius);

    ServerOptions options;
    std::map<std::string, Account> accounts;
    std::vector<Place> places;
    std::list<Session> sessions;
    std::vector<Walker> wanderers;
    NetServer* gameServer = nullptr;
    std::mt19937 random;
    bool dusk = false;
    double clock = 0;
    double nextCycle = -1, nextPortalToggle = -1;
};
