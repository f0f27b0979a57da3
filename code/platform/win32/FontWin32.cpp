#include "platform/win32/Win32.h"

#include "CMemMan.h"
#include "platform/PlatformFont.h"

#include <cstring>

namespace Platform {

class FontFace {
public:
    HFONT font = nullptr;
    HDC dc = nullptr;
    HGDIOBJ oldFont = nullptr;
    // The drawing surface: a top-down 32-bit DIB as large as the last canvas.
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    uint32_t* bits = nullptr;
    int size = 0;
};

namespace {

bool MakeSurface(FontFace& face, int size) {
    if (face.bitmap && face.size == size) return true;
    if (face.bitmap) {
        SelectObject(face.dc, face.oldBitmap);
        DeleteObject(face.bitmap);
        face.bitmap = nullptr;
    }
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    face.bitmap = CreateDIBSection(face.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!face.bitmap) return false;
    face.bits = static_cast<uint32_t*>(bits);
    face.size = size;
    face.oldBitmap = SelectObject(face.dc, face.bitmap);
    return true;
}

int CALLBACK NoteFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool IsInstalled(const std::string& name) {
    if (name.empty() || name.size() >= LF_FACESIZE) return false;
    LOGFONTA wanted;
    std::memset(&wanted, 0, sizeof wanted);
    wanted.lfCharSet = DEFAULT_CHARSET;
    std::memcpy(wanted.lfFaceName, name.c_str(), name.size());
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

}  // namespace

// Windows' own font mapper chooses the face. Asking for fixed pitch would
// make it prefer any monospaced face to the named one, so it is asked only
// for names that are not installed.
FontFace* OpenFont(const std::string& name, int pixelHeight, bool fixedPitch, std::string& error) {
    if (pixelHeight < 1) {
        error = "pixel height below 1";
        return nullptr;
    }
    HFONT font = CreateFontA(pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             (fixedPitch && !IsInstalled(name) ? FIXED_PITCH : DEFAULT_PITCH) | FF_DONTCARE, name.c_str());
    if (!font) {
        error = "no font for " + name;
        return nullptr;
    }
    FontFace* face = new2(FontFace, FontFace());
    face->font = font;
    face->dc = CreateCompatibleDC(nullptr);
    if (!face->dc) {
        error = "no device context";
        CloseFont(face);
        return nullptr;
    }
    face->oldFont = SelectObject(face->dc, font);
    SetBkMode(face->dc, OPAQUE);
    SetBkColor(face->dc, RGB(0, 0, 0));
    SetTextColor(face->dc, RGB(255, 255, 255));
    SetTextAlign(face->dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    return face;
}

void CloseFont(FontFace* face) {
    if (!face) return;
    if (face->dc) {
        if (face->bitmap) SelectObject(face->dc, face->oldBitmap);
        if (face->oldFont) SelectObject(face->dc, face->oldFont);
        DeleteDC(face->dc);
    }
    if (face->bitmap) DeleteObject(face->bitmap);
    if (face->font) DeleteObject(face->font);
    delete2(face);
}

std::string FontFamily(const FontFace* face) {
    char name[LF_FACESIZE] = "";
    if (!face || !GetTextFaceA(face->dc, sizeof name, name)) return "";
    return name;
}

void DrawCharacter(FontFace* face, unsigned char code, int x, int y, uint8_t* canvas, int canvasSize) {
    size_t count = size_t(canvasSize) * size_t(canvasSize);
    std::memset(canvas, 0, count);
    if (!face || !MakeSurface(*face, canvasSize)) return;
    // A character the face lacks is left blank rather than drawn as its box.
    wchar_t wide = static_cast<wchar_t>(Windows1252ToUnicode(code));
    WORD glyph = 0xFFFF;
    if (!wide || GetGlyphIndicesW(face->dc, &wide, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) != 1 || glyph == 0xFFFF)
        return;
    std::memset(face->bits, 0, count * 4);
    GdiFlush();
    // By code point, so that the bytes mean Windows-1252 whatever the system's code page.
    TextOutW(face->dc, x, y, &wide, 1);
    GdiFlush();
    // White text on black: any channel is the coverage.
    for (size_t i = 0; i < count; ++i) canvas[i] = uint8_t(face->bits[i] & 0xFF);
}

uint32_t Windows1252ToUnicode(unsigned char code) {
    char byte = static_cast<char>(code);
    wchar_t wide = 0;
    if (MultiByteToWideChar(1252, 0, &byte, 1, &wide, 1) != 1) return 0;
    // The five unassigned bytes come back as the control characters of their own number.
    if (code >= 0x80 && code < 0xA0 && wide == code) return 0;
    return wide;
}

}  // namespace Platform
