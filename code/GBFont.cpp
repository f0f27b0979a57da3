#include "GBFont.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "CMemMan.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "GLShader.h"
#include "LogFile.h"
#include "StaticOrder.h"
#include "platform/PlatformFont.h"

namespace G {

// --- fonts -----------------------------------------------------------------

namespace {

std::vector<FontRecord*> Fonts STATIC_ORDER(STATIC_GRAPHICS);
size_t FontsMade = 0;
uint32_t Generation = 1;
bool CallbackRegistered = false;
Shader* TextShader = nullptr;

const int GridSize = 16;

void ReleaseFonts() {
    StatLog << "Font textures generated: " << static_cast<unsigned long>(FontsMade) << "\n\n";
    for (FontRecord* record : Fonts) delete2(record);
    Fonts.clear();
    FontsMade = 0;
    ++Generation;
    // A context that goes takes its programs with it.
    FreeTextResources();
}

FontRecord* FindFont(const std::string& name, int pixelHeight, bool fixedPitch) {
    for (FontRecord* record : Fonts)
        if (record->pixelHeight == pixelHeight && record->name == name && record->fixedPitch == fixedPitch)
            return record;
    return nullptr;
}

struct InkColumns {
    int left = -1, right = -1;
    bool Any() const { return left >= 0; }
};

InkColumns FindInk(const std::vector<uint8_t>& canvas, int cell) {
    InkColumns ink;
    for (int column = 0; column < cell; ++column)
        for (int row = 0; row < cell; ++row)
            if (canvas[size_t(row * cell + column)]) {
                if (ink.left < 0) ink.left = column;
                ink.right = column;
                break;
            }
    return ink;
}

void CopyCell(const std::vector<uint8_t>& canvas, int cell, int code, uint32_t* texels, uint32_t pitch,
              uint32_t bits) {
    auto* base = reinterpret_cast<uint8_t*>(texels);
    for (int row = 0; row < cell; ++row) {
        uint8_t* line = base + size_t((code / GridSize) * cell + row) * pitch;
        for (int column = 0; column < cell; ++column) {
            uint32_t coverage = canvas[size_t(row * cell + column)];
            size_t x = size_t((code % GridSize) * cell + column);
            if (bits == 32) reinterpret_cast<uint32_t*>(line)[x] = coverage << 24 | 0xFFFFFF;
            else reinterpret_cast<uint16_t*>(line)[x] = uint16_t((coverage << 8) | 0x0FFF);
        }
    }
}

// Measures each character drawn at (1, 1), then draws it again where its
// ink belongs: centred in the cell for fixed pitch, from column 1 otherwise.
void DrawGlyphs(FontRecord& record, Platform::FontFace* face, int cell, uint32_t* texels, uint32_t pitch,
                uint32_t bits) {
    std::vector<uint8_t> canvas(size_t(cell * cell));
    for (int code = 0; code < 256; ++code) {
        bool blank = code < 33;
        std::fill(canvas.begin(), canvas.end(), 0);
        if (!blank) Platform::DrawCharacter(face, uint8_t(code), 1, 1, canvas.data(), cell);
        InkColumns ink = FindInk(canvas, cell);
        if (code == ' ') record.widths[code] = int(float(cell) * 0.3f);
        else record.widths[code] = ink.Any() ? ink.right - ink.left + 2 : 0;
        if (!ink.Any()) continue;  // the cell stays clear
        int offset = record.fixedPitch ? ((cell - 1 - ink.right) - ink.left) / 2 : 1 - ink.left;
        Platform::DrawCharacter(face, uint8_t(code), offset + 1, 1, canvas.data(), cell);
        CopyCell(canvas, cell, code, texels, pitch, bits);
    }
}

void ClearTexels(uint32_t* texels, uint32_t pitch, uint32_t height) {
    std::fill_n(reinterpret_cast<uint8_t*>(texels), size_t(pitch) * height, uint8_t(0));
}

void RenderGlyphs(FontRecord& record, Platform::FontFace* face, int cell) {
    TextureLock lock(record.texture, 0, true);
    uint32_t* texels = nullptr;
    uint32_t pitch = 0, slice = 0, bits = 0, width = 0, height = 0, depth = 0;
    if (!lock.GetInfo(texels, pitch, slice, bits, width, height, depth)) {
        ErrorLog << "Failed to lock font texture.\n";
    } else if (bits != 16 && bits != 32) {
        ErrorLog << "Texture not either 16 or 32 bpp... failing font setup.\n";
    } else {
        // A new texture's texels are undefined; the blank cells must be clear.
        ClearTexels(texels, pitch, height);
        DrawGlyphs(record, face, cell, texels, pitch, bits);
    }
    lock.Unlock();
}

}  // namespace

int FontCellSize(float size) {
    int limit = int(size * 1.5f + 0.1f);
    int cell = 16;
    while (cell * 2 <= limit && cell < 64) cell *= 2;
    return cell;
}

int FontPixelHeight(float size) {
    int height = size < 16 ? int(size) : FontCellSize(size);
    return std::max(height, 5);
}

uint32_t FontGeneration() { return Generation; }
size_t FontCount() { return Fonts.size(); }

void FreeTextResources() {
    if (!TextShader) return;
    delete2(TextShader);
    TextShader = nullptr;
}

FontRecord* FindOrCreateFont(const std::string& requestedName, float size, bool fixedPitch) {
    if (size < 2) {
        ErrorLog << "Requested font size too small.  Must be at least 2.\n  call stack:\n" << CallStackText() << "\n";
        return nullptr;
    }
    if (requestedName.size() > 31) {
        ErrorLog << "Font name too long.  Can be 31 chars max.\n  -call stack:\n" << CallStackText() << "\n";
        return nullptr;
    }
    std::string name = requestedName.empty() ? "Ariel" : requestedName;
    if (!CallbackRegistered) {
        RegisterShutdownCallback(ReleaseFonts);
        CallbackRegistered = true;
    }
    int cell = FontCellSize(size), pixelHeight = FontPixelHeight(size);
    if (FontRecord* found = FindFont(name, pixelHeight, fixedPitch)) return found;

    FontRecord* record = new2(FontRecord, FontRecord());
    record->name = name;
    record->size = size;
    record->pixelHeight = pixelHeight;
    record->fixedPitch = fixedPitch;
    if (!record->texture.Create(uint32_t(GridSize * cell), uint32_t(GridSize * cell), 3, 1, false)) {
        ErrorLog << "Font texture creation failed.\n  -call stack:\n" << CallStackText() << "\n";
        delete2(record);
        return nullptr;
    }
    record->texture.SetWrap(false, false, true);
    record->texture.SetFilter(size >= 32 ? 3 : 1);

    std::string why;
    Platform::FontFace* face = Platform::OpenFont(name, pixelHeight - 1, fixedPitch, why);
    if (!face) {
        ErrorLog << "Failed to lead windows font \"" << name << "\".  -call stack:\n" << CallStackText() << "\n";
        delete2(record);
        return nullptr;
    }
    RenderGlyphs(*record, face, cell);
    Platform::CloseFont(face);
    Fonts.push_back(record);
    ++FontsMade;
    return record;
}

// --- text ------------------------------------------------------------------

Text::Text() : Vary() {}
Text::Text(const char* value) : Vary(value ? value : "") {}
Text::Text(const std::string& value) : Vary(value) {}
Text::Text(int value) : Vary(value) {}
Text::Text(float value) : Vary(value) {}
Text::Text(const Vary& value) : Vary(value) {}
Text::Text(const Text& other) : Vary(other) { CopySettings(other); }

Text::~Text() {
    if (!IsInited())
        ErrorLog << "BAD: a G::Text is being destructed, but graphics is not inited...\n  -call stack:\n"
                 << CallStackText() << "\n";
}

void Text::CopySettings(const Text& other) {
    fixedPitchFactor = other.fixedPitchFactor;
    x = other.x;
    y = other.y;
    wrapWidth = other.wrapWidth;
    fontName = other.fontName;
    fontSize = other.fontSize;
    fixedPitch = other.fixedPitch;
    runs = other.runs;
}

void Text::SetValue(const Vary& value) {
    Vary::operator=(value);
    ResetColorRuns(runs);
    laidOutText.clear();  // the colours may differ even where the text does not
}

Text& Text::operator=(const char* value) {
    SetValue(Vary(value ? value : ""));
    return *this;
}
Text& Text::operator=(const std::string& value) {
    SetValue(Vary(value));
    return *this;
}
Text& Text::operator=(int value) {
    SetValue(Vary(value));
    return *this;
}
Text& Text::operator=(float value) {
    SetValue(Vary(value));
    return *this;
}
Text& Text::operator=(const Vary& value) {
    SetValue(value);
    return *this;
}
Text& Text::operator=(const Text& value) {
    if (this != &value) SetValue(value);
    return *this;
}

Text& Text::operator+=(const Text& other) {
    // Appending walks the other's runs while this one's grow.
    if (&other == this) return *this += Text(other);
    size_t oldLength = AsText().size();
    Add(other);
    AppendColorRuns(runs, oldLength, other.runs);
    laidOutText.clear();
    return *this;
}

void Text::AddColor(uint32_t color) {
    AddColorRun(runs, AsText().size(), color);
    laidOutText.clear();
}

void Text::Clear() {
    Vary::operator=(Vary(""));
    runs.clear();
}

void Text::SetPosition(float newX, float newY) {
    if (newX == x && newY == y) return;
    x = newX;
    y = newY;
    laidOutText.clear();
}

void Text::SetWidth(int width) {
    if (float(width) == wrapWidth) return;
    wrapWidth = float(width);
    laidOutText.clear();
}

void Text::SetFont(const std::string& name) {
    fontName = name;
    fontDirty = true;
}

void Text::SetFontSize(float size) {
    fontSize = size;
    fontDirty = true;
    laidOutText.clear();  // quads are one font size: same record, other layout
}

void Text::SetFixedPitch(bool fixed, float factor) {
    fixedPitch = fixed;
    fixedPitchFactor = factor;
    fontDirty = true;
    laidOutText.clear();
}

FontRecord* Text::GetFont() {
    ResolveFont();
    return font;
}

void Text::ResolveFont() {
    if (!fontDirty && fontGeneration == Generation) return;
    if (fontGeneration != Generation) laidOutFont = nullptr;
    font = FindOrCreateFont(fontName, fontSize, fixedPitch);
    fontDirty = false;
    fontGeneration = Generation;
}

GlyphMetrics Text::Metrics() const {
    GlyphMetrics metrics;
    metrics.size = fontSize;
    metrics.fixedPitch = fixedPitch;
    metrics.fixedPitchFactor = fixedPitchFactor;
    metrics.widths = font ? font->widths : nullptr;
    return metrics;
}

bool Text::GetLine(size_t start, size_t& consumed, std::string& line, float& width, bool withColors) {
    ResolveFont();
    const std::string& text = AsText();
    if (!font) {
        consumed = text.size() > start ? text.size() - start : 0;
        line.clear();
        width = 0;
        return false;
    }
    TextLine result = GetTextLine(text, runs, start, Metrics(), wrapWidth, withColors);
    consumed = result.consumed;
    line = result.text;
    width = result.width;
    return result.more;
}

void Text::Measure(float& left, float& top, float& right, float& bottom) {
    ResolveFont();
    float width = 0, height = 0;
    if (font) MeasureText(AsText(), Metrics(), wrapWidth, width, height);
    left = x;
    top = y;
    right = x + width;
    bottom = y + height;
}

void Text::KeepRows(size_t rows, size_t maxLength) {
    ResolveFont();
    const std::string& text = AsText();
    size_t length = font ? LengthOfRows(text, Metrics(), wrapWidth, rows, maxLength) : std::min(text.size(), maxLength);
    if (length >= text.size()) return;
    ColorRunList kept;
    for (const ColorRun& run : runs)
        if (run.start < length) kept.push_back(run);
    Vary::operator=(Vary(text.substr(0, length)));
    runs = std::move(kept);
    laidOutText.clear();
}

void Text::BuildVertexBuffer(const std::string& text) {
    ++buildCount;
    if (VerticesPerGlyph * text.size() > capacity) {
        capacity = uint32_t((3 * text.size() + 96) * 2);  // room for 32 more characters
        VertexFormat format = {{VertComponentType::Float2, VertComponentUse::Position},
                               {VertComponentType::UByte4, VertComponentUse::Color},
                               {VertComponentType::Float2, VertComponentUse::TexCoord}};
        if (!vertexBuffer.Create(capacity, format, sizeof(TextVertex), false, true)) {
            ErrorLog << "Failed to make G::Text's VB...\n  -call stack:" << CallStackText() << "\n";
            capacity = vertexCount = 0;
            laidOutText.clear();
            return;
        }
    }
    VertexBufferLock lock(vertexBuffer);
    auto* vertices = static_cast<TextVertex*>(lock.GetPointer());
    if (!vertices) {
        ErrorLog << "Failed to lock G::Text's VB...\n";
        vertexCount = 0;
        laidOutText.clear();
        return;
    }
    vertexBuffer.SetWritten(true);
    vertexCount = uint32_t(BuildTextVertices(text, runs, Metrics(), wrapWidth, x, y, vertices));
    lock.Unlock();
}

void Text::Render() {
    const std::string& text = AsText();
    if (text.empty()) return;
    ResolveFont();
    if (!font) return;
    // Made only once something can be drawn: it is freed before the device goes.
    if (!TextShader) {
        TextShader = new2(Shader, Shader());
        TextShader->Load("data\\shaders\\gbfont", "");
    }
    if (font != laidOutFont || laidOutText != text || !vertexBuffer.SRRecord()) {
        laidOutText = text;
        laidOutFont = font;
        BuildVertexBuffer(text);
    }
    if (!vertexCount) return;
    SetCullMode(CullMode::None);
    font->texture.Set(0);
    vertexBuffer.Set();
    TextShader->Set();
    UpdateBuiltInConstants();
    RenderTris(vertexCount / 3, 0);
}

// --- text window -----------------------------------------------------------

TextWindow::TextWindow(float x, float y, float width, float height, int maxLines, float fontSize,
                       const std::string& fontName, bool fixedPitch, float fixedPitchFactor)
    : maxLines(maxLines),
      x(x),
      y(y),
      height(height),
      width(width),
      fontSize(fontSize),
      fontName(fontName),
      fixedPitch(fixedPitch),
      fixedPitchFactor(fixedPitchFactor) {}

void TextWindow::AddText(const Text& text) {
    lines.emplace_back(text);
    TextWindowLine& line = lines.back();
    line.text.SetFont(fontName);
    line.text.SetFontSize(fontSize);
    line.text.SetFixedPitch(fixedPitch, fixedPitchFactor);
    line.text.SetWidth(int(width));
    // An entry taller than the window could never be seen whole: it keeps
    // the rows the window can show. Characters that take no room would all
    // share one row, so the length is bounded too: a pixel per character.
    const size_t rows = size_t(std::max(1.0f, std::ceil(height / std::max(fontSize, 1.0f))));
    line.text.KeepRows(rows, rows * size_t(std::max(width, 1.0f)));
    float left = 0, top = 0, right = 0, bottom = 0;
    line.text.Measure(left, top, right, bottom);
    line.height = bottom - top;
    while (int(lines.size()) > std::max(maxLines, 0)) lines.pop_front();
    Layout();
}

void TextWindow::SetScroll(float value) {
    scroll = std::clamp(value, 0.0f, 1.0f);
    Layout();
}

void TextWindow::Layout() {
    float total = 0;
    for (const TextWindowLine& line : lines) total += line.height;
    float overflow = std::max(0.0f, total - height);
    float bottom = y + height + (1 - scroll) * overflow;
    first = 0;
    last = -1;
    for (int i = int(lines.size()) - 1; i >= 0; --i) {
        TextWindowLine& line = lines[size_t(i)];
        float top = bottom - line.height;
        line.text.SetPosition(x, top);
        bottom = top;
        if (top < y + height && top + line.height > y) {
            if (last < 0) last = i;
            first = i;
        }
    }
}

void TextWindow::Render() {
    if (lines.empty()) return;
    Set2D(int(x), int(y), int(width + 0.5f), int(height + 0.5f));
    for (int i = first; i <= last; ++i) lines[size_t(i)].text.Render();
}

}  // namespace G
