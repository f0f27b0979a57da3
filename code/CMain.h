// The game scene: the connection to the game server, the scrolling text
// window with the server's text, the line being typed, the scroll bar and
// the progress of file transfers, drawn as an overlay each frame.
#pragma once
#include "GBFont.h"
#include "GameDialog.h"
#include "GLTexture.h"
#include "NetClient.h"
#include "SceneManager.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Colour of a text-window line by its first byte, packed 0xAABBGGRR.
uint32_t LineColorFor(char firstByte);
// A queued text as one window entry, coloured line by line.
G::Text ColoredText(const std::string& text);
// The line sent for a typed line (its "\n" already appended): a backquote is
// dropped, "/" whispers, ":" emotes as typed, anything else is speech.
std::string RewriteTypedLine(const std::string& line);
// The move code of an editing key (0..5), or -1 for other keys.
int MoveCodeForKey(uint8_t code);
bool IsOnScrollBar(int32_t x, int32_t y);
// The scroll position for the thumb dragged to window row y (unclamped).
float ScrollForDrag(int32_t y);
// The row of transfer i's progress line of n; the last is at 280.
float TransferLineY(size_t index, size_t count);

class CMain : public Scene {
public:
    CMain();
    ~CMain() override;
    CMain(const CMain&) = delete;
    CMain& operator=(const CMain&) = delete;

    void Update(float seconds) override;
    void Draw() override;
    void HandleDeviceLost() override {}
    void HandleDeviceRestored() override {}
    std::string GetName() override { return "CMain"; }

    const std::string& InputLine() const { return inputLine; }
    const G::TextWindow& Window() const { return *textWindow; }
    bool IsDragging() const { return dragging; }
    bool IsConnected() const { return connection.IsConnected(); }

private:
    void Connect();
    void AnnounceConnection();
    void TakeQueuedTexts();
    void TakeTypedInput();
    void HandleKey(uint8_t code, bool controlHeld);
    void SendTypedLine();
    void HandleMouse();
    void DrawTransfers();

    std::string inputLine;
    G::Text inputText;
    NET::Client connection;
    G::Text transferText;
    G::TextWindow* textWindow = nullptr;
    G::Texture scrollTrack;
    G::Texture scrollThumb;
    bool dragging = false;
    bool connectionAnnounced = false;
    GameDialogView dialogView;
};
