// The game server's line protocol: base-95 numbers, the conversion between
// the server's diamond coordinates and grid cells, line framing, the login
// handshake and the world lines that fill the stores. Main thread only.
#pragma once
#include "QuilDataManager.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace NET {
class Client;
}

// A digit is a byte 32..126 worth byte - 32, most significant first; bytes
// above 127 count as negative digits. The empty text is 0.
int32_t DecodeBase95(std::string_view text);
// Two characters (value / 95, value % 95) or one (value % 95), each + 32.
std::string EncodeBase95(int32_t value, bool twoCharacters);

struct GridCell {
    int32_t x = 0, y = 0;
    bool operator==(const GridCell&) const = default;
};
// mapHeight is the map file's height value H (not the grid size N).
GridCell ServerToGrid(int32_t x, int32_t y, int32_t mapHeight);
GridCell GridToServer(int32_t X, int32_t Y, int32_t mapHeight);

enum class LoginPhase { Greeting, AwaitingLogin, LoggedIn };

// The game scene hands its connection over at construction and takes it
// back (null) before destroying it; nothing is sent or read without one.
void SetServerConnection(NET::Client* connection);
LoginPhase CurrentLoginPhase();
// Empties the receive buffer and puts the login where a session starts
// (the greeting) or, for tests that begin mid-session, at a later phase.
void ResetGameProtocol(LoginPhase phase = LoginPhase::Greeting);

// Sends line + "\n" in one send; false when not connected or the send failed.
bool SendServerLine(std::string_view line);
// Once per frame: takes the received bytes and handles every complete line.
void PumpServerInput();
// The framing step of PumpServerInput: appends received bytes and handles
// the lines they complete: all of them, or as many as one frame's budget
// allows (the rest wait for the next call, in order).
void TakeServerBytes(const char* bytes, size_t size, bool withinFrameBudget = false);
// One server line without its line feed.
void HandleServerLine(std::string_view line);
// 0..3 move ("m 9", "m 7", "m 1", "m 3"), 4 and 5 turn ("<", ">").
bool SendMove(int code);
// The look command for a grid cell of the current map.
bool SendLook(int32_t X, int32_t Y);

// A record (cell 0, 0) from a 10-byte colour code and a 2-byte frame code.
AvatarRecord ParseAvatarFrame(std::string_view colourCode, std::string_view frameCode);
