// Fonts drawn by the program itself into glyph textures, the coloured and
// wrapped text value that draws with them, and the scrolling text window.
//
//   G::Text hello("Hello ");
//   hello.AddColor(0xFF0000FF);               // red, packed 0xAABBGGRR
//   hello += G::Text("world");
//   hello.SetPosition(10, 10);
//   G::Set2D();
//   hello.Render();
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "GBTextLayout.h"
#include "GLTexture.h"
#include "GLVert.h"
#include "Vary.h"

namespace G {

// All 256 character codes of one face and size, in a 16 x 16 grid of square
// cells: code c in column c mod 16, row c div 16, white with the coverage in
// alpha.
struct FontRecord {
    Texture texture;
    std::string name;  // as requested; an empty request is stored as "Ariel"
    float size = 0;    // the size of the request that made the record
    int pixelHeight = 0;
    bool fixedPitch = false;
    int widths[256] = {};  // advance of each code in pixels
};

// The font for a name, size and pitch, made on first demand and kept until
// the device shuts down; null (after a report) when it cannot be made.
FontRecord* FindOrCreateFont(const std::string& name, float size, bool fixedPitch);
// The glyph cell and the key size of a requested size.
int FontCellSize(float size);
int FontPixelHeight(float size);
// Changes whenever the fonts are released, so that texts holding a record
// look their font up again instead of using a freed one.
uint32_t FontGeneration();
size_t FontCount();
// Frees the shared text shader; the program calls it once before the device
// shuts down.
void FreeTextResources();

class Text : public Vary {
public:
    Text();
    Text(const char* value);
    Text(const std::string& value);
    Text(int value);
    Text(float value);
    Text(const Vary& value);
    // Takes the font settings, position, width and colour runs; the layout is made afresh.
    Text(const Text& other);
    ~Text() override;

    // Each sets the value and resets the colour runs.
    Text& operator=(const char* value);
    Text& operator=(const std::string& value);
    Text& operator=(int value);
    Text& operator=(float value);
    Text& operator=(const Vary& value);
    Text& operator=(const Text& value);
    // Appends the other's text and its colour runs.
    Text& operator+=(const Text& other);

    // What is appended after this call has `color` (packed 0xAABBGGRR).
    void AddColor(uint32_t color);
    void Clear();

    void SetPosition(float x, float y);
    void SetWidth(int width);
    void SetFont(const std::string& name);
    void SetFontSize(float size);
    void SetFixedPitch(bool fixed, float factor);

    // One visual line from character `start`; true when another follows.
    bool GetLine(size_t start, size_t& consumed, std::string& line, float& width, bool withColors);
    void Measure(float& left, float& top, float& right, float& bottom);
    // Draws in the current 2D coordinates; the caller sets them up (Set2D).
    void Render();
    // Keeps the first `rows` visual lines, and at most `maxLength` characters.
    void KeepRows(size_t rows, size_t maxLength);

    float GetX() const { return x; }
    float GetY() const { return y; }
    float GetWrapWidth() const { return wrapWidth; }
    float GetFontSize() const { return fontSize; }
    const ColorRunList& GetColorRuns() const { return runs; }
    // The font as last resolved (null before the first layout or after a failure).
    FontRecord* GetFont();
    // The vertices of the current layout and how often it was built.
    uint32_t GetVertexCount() const { return vertexCount; }
    uint32_t GetVertexCapacity() const { return capacity; }
    uint32_t GetBuildCount() const { return buildCount; }

private:
    void CopySettings(const Text& other);
    void SetValue(const Vary& value);
    GlyphMetrics Metrics() const;
    void ResolveFont();
    void BuildVertexBuffer(const std::string& text);

    float fixedPitchFactor = 0.5f;
    float x = 0, y = 0;
    float wrapWidth = 0;
    FontRecord* font = nullptr;
    std::string fontName;
    float fontSize = 16;
    bool fixedPitch = false;
    bool fontDirty = true;
    uint32_t fontGeneration = 0;
    VertexBuffer vertexBuffer;
    uint32_t capacity = 0;
    uint32_t vertexCount = 0;
    std::string laidOutText;
    const FontRecord* laidOutFont = nullptr;
    uint32_t buildCount = 0;
    ColorRunList runs;
};

struct TextWindowLine {
    explicit TextWindowLine(const Text& line) : text(line) {}
    Text text;
    float height = 0;
};

// The newest entries, each wrapped to the window's width, stacked from the
// bottom edge up; scroll 1 shows the newest, 0 the oldest.
class TextWindow {
public:
    TextWindow(float x, float y, float width, float height, int maxLines, float fontSize,
               const std::string& fontName, bool fixedPitch, float fixedPitchFactor);

    void AddText(const Text& text);
    void SetScroll(float scroll);
    float GetScroll() const { return scroll; }
    // Clips to the window with the viewport and draws the visible lines.
    void Render();

    size_t GetLineCount() const { return lines.size(); }
    const TextWindowLine& GetLine(size_t index) const { return lines[index]; }
    TextWindowLine& GetLine(size_t index) { return lines[index]; }
    // Oldest and newest line overlapping the window; last < first when none does.
    int GetFirstVisible() const { return first; }
    int GetLastVisible() const { return last; }

private:
    void Layout();

    std::deque<TextWindowLine> lines;
    int maxLines;
    float x, y, height, width;
    float fontSize;
    std::string fontName;
    bool fixedPitch;
    float fixedPitchFactor;
    float scroll = 1;
    int first = 0, last = -1;
};

}  // namespace G
