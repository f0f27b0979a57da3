// Font rasterising for the glyph textures: choosing an installed face the way
// a desktop font mapper would, and drawing single-byte characters into a
// square canvas of coverage bytes. Plain C++ only; no platform type crosses
// this header.
#pragma once
#include <cstdint>
#include <string>

namespace Platform {

class FontFace;

// The face for `name` at a cell height of `pixelHeight` pixels (ascent plus
// descent, as the desktop's positive font heights mean). The name is matched
// as an installed family first (ignoring case); otherwise the usual desktop
// faces get their metric-compatible stand-ins, unknown names with
// `fixedPitch` get a monospaced face and all others the default sans face.
// Null when no face can be loaded; `error` then says why.
FontFace* OpenFont(const std::string& name, int pixelHeight, bool fixedPitch, std::string& error);
void CloseFont(FontFace* face);

// The family that `OpenFont` chose.
std::string FontFamily(const FontFace* face);

// Clears the canvas (canvasSize x canvasSize bytes, row after row, top row
// first) to 0 and draws the character of Windows-1252 byte `code` with the
// top-left of its cell at (x, y): the baseline lies one ascent below y. Each
// byte is the glyph's coverage, 0 to 255; ink outside the canvas is clipped.
void DrawCharacter(FontFace* face, unsigned char code, int x, int y, uint8_t* canvas, int canvasSize);

// The Unicode code point of a Windows-1252 byte; 0 for the five unassigned bytes.
uint32_t Windows1252ToUnicode(unsigned char code);

}  // namespace Platform
