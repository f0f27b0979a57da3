#include "CMain.h"

#include "CMemMan.h"
#include "FileUtil.h"
#include "GLRender.h"
#include "GameProtocol.h"
#include "InputState.h"
#include "LogFile.h"
#include "QuilFileGetter.h"
#include "QuilGfxLoader.h"
#include "QuilRenderer.h"
#include "QuilTransfers.h"

#include <deque>

namespace {

const uint8_t KeyLeftControl = 29, KeyRightControl = 157;
const uint32_t SendFailedColor = 0xFF9696DC;
const uint32_t OverlayColor = 0x50444444;
const float ScrollRange = 224;  // thumb travel in pixels
const size_t WindowEntries = 60;

}  // namespace

uint32_t LineColorFor(char firstByte) {
    switch (firstByte) {
    case '*': return 0xFFBFBFFF;
    case '[': return 0xFFFFBFBF;
    case '(':
    case '>': return 0xFFBFFFBF;
    default: return 0xFFFFFFFF;
    }
}

G::Text ColoredText(const std::string& text) {
    G::Text result;
    result.AddColor(LineColorFor(text.empty() ? '\0' : text[0]));
    size_t start = 0;
    for (size_t feed; (feed = text.find('\n', start)) != std::string::npos; start = feed + 1) {
        result += G::Text(text.substr(start, feed + 1 - start));
        result.AddColor(LineColorFor(feed + 1 < text.size() ? text[feed + 1] : '\0'));
    }
    if (start < text.size()) result += G::Text(text.substr(start));
    return result;
}

std::string RewriteTypedLine(const std::string& line) {
    if (line.empty()) return line;
    switch (line[0]) {
    case '`': return line.substr(1);
    case '/': return "wh " + line.substr(1);
    case ':': return line;
    default: return "\"" + line;
    }
}

int MoveCodeForKey(uint8_t code) {
    switch (code) {
    case TypedCharQueue::PageUp:
    case TypedCharQueue::Up: return 0;
    case TypedCharQueue::Home:
    case TypedCharQueue::Left: return 1;
    case TypedCharQueue::End:
    case TypedCharQueue::Down: return 2;
    case TypedCharQueue::PageDown:
    case TypedCharQueue::Right: return 3;
    case TypedCharQueue::Delete: return 4;
    case TypedCharQueue::Insert: return 5;
    default: return -1;
    }
}

bool IsOnScrollBar(int32_t x, int32_t y) { return x > 740 && x < 764 && y > 300 && y < 556; }

float ScrollForDrag(int32_t y) { return static_cast<float>(y - 316) * 0.004464286f; }

float TransferLineY(size_t index, size_t count) {
    return 280.0f + 24.0f * (1.0f - static_cast<float>(count) + static_cast<float>(index));
}

CMain::CMain() {
    SetServerConnection(&connection);
    InstallTransferHooks();
    inputText.SetPosition(50, 555);
    inputText.SetWidth(700);
    textWindow = new2(G::TextWindow, G::TextWindow(40, 300, 700, 250, int(WindowEntries), 16, "", false, 0.5f));
    Connect();
    InitRenderers();
    InstallRendererHooks();
    LoadColorTables();
    scrollTrack.Load("data\\ui\\sbar0.png", 1, false, 0);
    scrollThumb.Load("data\\ui\\sbar1.png", 1, false, 0);
}

void CMain::Connect() {
    std::string host = "Failed to load";
    int port = 0;
    if (ReadServerAddress("data\\quil_ip.txt", host, port)) {
        textWindow->AddText(G::Text("Connecting to quillmor server at " + host + " on port " + std::to_string(port) +
                                    " ...\n"));
    } else {
        ErrorLog << "Failed to load quil's ip and port from file.\n";
        textWindow->AddText(G::Text("Failed to load quil's ip and port from \\data\\quil_ip.txt file.\n"));
    }
    // Made on the connection's own thread: frames, input and closing go on
    // while a slow or silent server is waited for.
    connection.ConnectInBackground(host, port);
    AnnounceConnection();
}

void CMain::AnnounceConnection() {
    if (connectionAnnounced) return;
    bool connected = connection.IsConnected();
    if (!connected && connection.IsConnecting()) return;
    connectionAnnounced = true;
    textWindow->AddText(G::Text(connected ? "Connected to server.\n" : "CONNECTION TO SERVER FAILED.\n"));
}

// Ends every transfer still running: their getters' threads must stop
// before the connection and the stores they read go.
CMain::~CMain() {
    delete2(textWindow);
    textWindow = nullptr;
    // Their answers would go to a connection that is closing.
    TheGameDialog.DropAll();
    while (!TheTransferList.empty()) EndTransfer(TheTransferList.front());
    ShutdownRenderers();
    SetServerConnection(nullptr);
}

void CMain::Update(float seconds) {
    AnnounceConnection();
    PumpServerInput();
    TakeQueuedTexts();
    // A question that is up takes the keys and clicks; the game goes on under it.
    if (!dialogView.TakeInput(TheGameDialog)) {
        TakeTypedInput();
        HandleMouse();
    }
    ProcessFinishedDownloads();
    UpdateRenderers(seconds);
}

// The window keeps only its newest entries: of a large batch, the older
// texts are never laid out.
void CMain::TakeQueuedTexts() {
    std::deque<std::string> texts;
    std::string text;
    while (TakeText(text)) {
        texts.push_back(std::move(text));
        if (texts.size() > WindowEntries) texts.pop_front();
    }
    for (const std::string& each : texts) textWindow->AddText(ColoredText(each));
}

void CMain::TakeTypedInput() {
    while (TypedCharQueue::HasTypedInput()) {
        bool controlHeld = KeyboardState::IsKeyDown(KeyLeftControl) || KeyboardState::IsKeyDown(KeyRightControl);
        HandleKey(TypedCharQueue::NextTypedChar(), controlHeld);
        inputText = inputLine;
    }
}

void CMain::HandleKey(uint8_t code, bool controlHeld) {
    if (code == TypedCharQueue::Backspace) {
        if (!inputLine.empty()) inputLine.pop_back();
    } else if (IsPrintable(static_cast<char>(code)) && !controlHeld) {
        inputLine += static_cast<char>(code);
    } else if (connection.IsConnected()) {
        if (code == TypedCharQueue::Enter) {
            if (!inputLine.empty()) SendTypedLine();
        } else if (int move = MoveCodeForKey(code); move >= 0) {
            SendMove(move);
        }
    }
}

// SendServerLine adds a line feed of its own, so a typed line goes out
// followed by an empty line.
void CMain::SendTypedLine() {
    inputLine += "\n";
    if (!SendServerLine(RewriteTypedLine(inputLine))) {
        G::Text failed;
        failed.AddColor(SendFailedColor);
        failed += G::Text("SEND TO SERVER FAILED!");
        textWindow->AddText(failed);
    }
    inputLine.clear();
}

void CMain::HandleMouse() {
    int32_t x = 0, y = 0, cellX = 0, cellY = 0;
    MouseState::GetPosition(x, y);
    if (MouseState::LeftClicked()) {
        if (IsOnScrollBar(x, y)) {
            dragging = true;
        } else {
            PickCell(x, y, cellX, cellY);
            SendLook(cellX, cellY);
        }
    }
    if (MouseState::LeftHeld() && dragging)
        textWindow->SetScroll(ScrollForDrag(y));
    else if (!MouseState::LeftHeld())
        dragging = false;
    if (int32_t steps = MouseState::WheelSteps(); steps != 0)
        textWindow->SetScroll(textWindow->GetScroll() + static_cast<float>(steps) * 0.05f);
    PickCell(x, y, cellX, cellY);
    SetHighlightCell(cellX, cellY);
}

void CMain::Draw() {
    G::Clear(0, true, true, false);
    G::SetViewportFull();
    RenderWorld();
    G::Set2D();
    G::SetRenderState(G::RenderState::Blend, true);
    G::DrawRect(35, 300, 705, 283, OverlayColor, OverlayColor, OverlayColor, OverlayColor);
    inputText.Render();
    DrawTransfers();
    textWindow->Render();
    G::Set2D();
    G::DrawTexture(740, 300, scrollTrack, 0.5f);
    G::DrawTexture(740, 300 + textWindow->GetScroll() * ScrollRange, scrollThumb, 0.5f);
    dialogView.Draw(TheGameDialog);
}

void CMain::DrawTransfers() {
    size_t count = TheTransferList.size(), index = 0;
    for (const TransferRecord& record : TheTransferList) {
        int32_t received = 0, total = 0;
        if (record.getter) record.getter->GetProgress(received, total);
        transferText = "File Transfer (" + record.id + "): " + std::to_string(received) + " / " + std::to_string(total);
        transferText.SetPosition(250, TransferLineY(index++, count));
        transferText.Render();
    }
}
