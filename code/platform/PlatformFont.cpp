#include "platform/PlatformFont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstring>
#include <mutex>

#include "CMemMan.h"

namespace Platform {

class FontFace {
public:
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string family;
    int ascent = 0;
    // Drawing the same character twice in a row (measure, then place) renders once.
    int loadedCode = -1;
};

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the rest of 0xA0 to 0xFF is Latin-1.
const uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Families that the game's own platform ships and Debian replaces with
// faces of the same metrics.
struct StandIn {
    const char* requested;
    const char* replacement;
};
const StandIn kStandIns[] = {
    {"arial", "Liberation Sans"},
    {"ariel", "Liberation Sans"},  // the game's own default name, so spelt
    {"helvetica", "Liberation Sans"},
    {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// fontconfig's configuration is process-wide; building it is not reentrant.
std::mutex& FontconfigMutex() {
    static std::mutex mutex;
    return mutex;
}

struct FaceFile {
    std::string path;
    int index = 0;
    std::string family;
};

bool HasFamily(FcPattern* pattern, const std::string& lowerFamily, std::string& found) {
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        if (i == 0) found = reinterpret_cast<const char*>(value);
        if (Lower(reinterpret_cast<const char*>(value)) == lowerFamily) {
            found = reinterpret_cast<const char*>(value);
            return true;
        }
    }
    return false;
}

// The best regular face for `family`. With `exact`, only a face of that very
// family counts; otherwise whatever fontconfig substitutes.
bool MatchFace(const std::string& family, bool exact, FaceFile& out) {
    std::lock_guard<std::mutex> lock(FontconfigMutex());
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    bool ok = false;
    FcChar8* file = nullptr;
    int index = 0;
    std::string found;
    bool familyMatches = HasFamily(match, Lower(family), found);
    if ((familyMatches || !exact) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        out.path = reinterpret_cast<const char*>(file);
        out.index = index;
        out.family = found;
        ok = true;
    }
    FcPatternDestroy(match);
    return ok;
}

const char* StandInFor(const std::string& name) {
    std::string lower = Lower(name);
    for (const StandIn& s : kStandIns)
        if (lower == s.requested) return s.replacement;
    return nullptr;
}

bool ChooseFace(const std::string& name, bool fixedPitch, FaceFile& out) {
    if (!name.empty() && MatchFace(name, true, out)) return true;
    if (const char* standIn = StandInFor(name))
        if (MatchFace(standIn, true, out)) return true;
    if (fixedPitch && MatchFace("Liberation Mono", true, out)) return true;
    return MatchFace(fixedPitch ? "monospace" : "sans-serif", false, out);
}

// Sizes the face so that ascent plus descent spans `pixelHeight`, measured
// with the desktop metrics of the OS/2 table where the font has them.
bool SizeFace(FontFace& font, int pixelHeight) {
    FT_Face face = font.face;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0 && face->units_per_EM > 0) {
        double cellUnits = double(os2->usWinAscent) + double(os2->usWinDescent);
        double em = pixelHeight * double(face->units_per_EM) / cellUnits;
        if (FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(em * 64.0)), 72, 72) != 0) return false;
        font.ascent = int(std::lround(os2->usWinAscent * pixelHeight / cellUnits));
        return true;
    }
    FT_Size_RequestRec request = {FT_SIZE_REQUEST_TYPE_CELL, 0, FT_Long(pixelHeight) * 64, 0, 0};
    if (FT_Request_Size(face, &request) != 0 && FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelHeight)) != 0)
        return false;
    font.ascent = int((face->size->metrics.ascender + 32) >> 6);
    return true;
}

void Blit(const FT_Bitmap& bitmap, int left, int top, uint8_t* canvas, int canvasSize) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        int y = top + int(row);
        if (y < 0 || y >= canvasSize) continue;
        const unsigned char* source = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        for (unsigned column = 0; column < bitmap.width; ++column) {
            int x = left + int(column);
            if (x < 0 || x >= canvasSize) continue;
            uint8_t value = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                ? ((source[column >> 3] >> (7 - (column & 7))) & 1) * 255
                                : source[column];
            canvas[y * canvasSize + x] = value;
        }
    }
}

}  // namespace

uint32_t Windows1252ToUnicode(unsigned char code) {
    if (code >= 0x80 && code < 0xA0) return kHighControls[code - 0x80];
    return code;
}

FontFace* OpenFont(const std::string& name, int pixelHeight, bool fixedPitch, std::string& error) {
    FaceFile file;
    if (pixelHeight < 1) {
        error = "pixel height below 1";
        return nullptr;
    }
    if (!ChooseFace(name, fixedPitch, file)) {
        error = "no installed face matches";
        return nullptr;
    }
    FontFace* font = new2(FontFace, FontFace());
    if (FT_Init_FreeType(&font->library) != 0) {
        error = "the font rasteriser did not start";
    } else if (FT_New_Face(font->library, file.path.c_str(), file.index, &font->face) != 0) {
        error = "cannot read " + file.path;
    } else if (!SizeFace(*font, pixelHeight)) {
        error = "cannot size " + file.path;
    } else {
        font->family = file.family;
        return font;
    }
    CloseFont(font);
    return nullptr;
}

void CloseFont(FontFace* font) {
    if (!font) return;
    if (font->face) FT_Done_Face(font->face);
    if (font->library) FT_Done_FreeType(font->library);
    delete2(font);
}

std::string FontFamily(const FontFace* font) { return font ? font->family : std::string(); }

void DrawCharacter(FontFace* font, unsigned char code, int x, int y, uint8_t* canvas, int canvasSize) {
    std::memset(canvas, 0, size_t(canvasSize) * size_t(canvasSize));
    if (!font) return;
    if (font->loadedCode != code) {
        font->loadedCode = -1;
        uint32_t codePoint = Windows1252ToUnicode(code);
        FT_UInt glyph = codePoint ? FT_Get_Char_Index(font->face, codePoint) : 0;
        // A character the face lacks is left blank rather than drawn as its box.
        if (glyph == 0 || FT_Load_Glyph(font->face, glyph, FT_LOAD_RENDER) != 0) return;
        font->loadedCode = code;
    }
    FT_GlyphSlot slot = font->face->glyph;
    Blit(slot->bitmap, x + slot->bitmap_left, y + font->ascent - slot->bitmap_top, canvas, canvasSize);
}

}  // namespace Platform
