#include "QuilRenderObjects.h"

#include <cctype>

#include "CProfiler.h"
#include "FileUtil.h"
#include "GLRender.h"
#include "LogFile.h"
#include "WorldMap.h"

namespace QUIL {

namespace {

const char* const ItemFolder = "data\\items\\";
// Map cells hold 16-bit object numbers: a larger table could never be used.
const int32_t MaxObjectNumber = 65535;

// The leading decimal integer of a text (0 when there is none), held to
// what a map cell can name.
int32_t LeadingInt(const std::string& text) {
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative) ++i;
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t(MaxObjectNumber) + 1);
    return int32_t(negative ? -value : value);
}

void LineError(int lineNumber, const char* what) {
    ErrorLog << "Error in line " << lineNumber << " of items.txt: " << what;
}

}  // namespace

RenderObjects::RenderObjects() {
    ProfileStart("Init item renderer", __FILE__);
    shader.Load("data\\shaders\\simple", "");
    ReadTable();
    ProfileStop("Init item renderer", __FILE__);
}

RenderObjects::~RenderObjects() = default;

void RenderObjects::ReadTable() {
    StringList lines;
    ReadLines(lines, std::string(ItemFolder) + "items.txt");
    G::Model placeholder;
    placeholder.Load(std::string(ItemFolder) + "placeholder.mbm", false, true);
    // Without a first line there is no maximum: nothing is drawn.
    int32_t maximum = lines.empty() ? 0 : std::max(LeadingInt(lines[0]), 0);
    if (maximum > MaxObjectNumber) {
        ErrorLog << "Warning: items.txt asks for object numbers above " << MaxObjectNumber
                 << ", which no map can hold; the table stops there.\n";
        maximum = MaxObjectNumber;
    }
    table.assign(size_t(maximum) + 1, placeholder);
    table[0].Release();
    for (size_t i = 1; i < lines.size(); ++i) ReadLine(lines[i], int(i), maximum);
}

void RenderObjects::ReadLine(const std::string& line, int lineNumber, int32_t maximum) {
    StringList tokens;
    SplitString(line, tokens, " \t\r");
    if (tokens.empty()) return;
    if (tokens.size() % 2) {
        LineError(lineNumber, tokens.size() == 1 ? "missing model name?\n" : "mismatched texture replacement pair?\n");
        return;
    }
    const int32_t number = LeadingInt(tokens[0]);
    if (number < 1) {
        LineError(lineNumber, "object number must be >=1\n");
        return;
    }
    if (number > maximum) {
        LineError(lineNumber, "an object number greater than the max number was specified.\n");
        return;
    }
    if (!G::IsContainedName(tokens[1])) {
        ErrorLog << "Error in line " << lineNumber << " of items.txt: the model " << tokens[1]
                 << " lies outside " << ItemFolder << "\n";
        return;
    }
    G::Model model;
    if (!model.Load(ItemFolder + tokens[1], false, true)) return;
    table[size_t(number)] = model;
    ApplyReplacements(table[size_t(number)], tokens, lineNumber);
}

void RenderObjects::ApplyReplacements(G::Model& model, const std::vector<std::string>& tokens, int lineNumber) {
    for (size_t i = 2; i + 1 < tokens.size(); i += 2) {
        const std::string path = ItemFolder + tokens[i + 1];
        G::Texture texture;
        if (!G::IsContainedName(tokens[i + 1]) || !texture.Load(path, 1, true, 0)) {
            ErrorLog << "Warning: Texture replacement failed to load, in loading an item: items.txt, line "
                     << lineNumber << ", name: " << path << "\n";
            continue;
        }
        if (!model.ReplaceTexture(tokens[i], texture))
            ErrorLog << "Warning: Texture replacement operation failed, in loading an item: items.txt, line "
                     << lineNumber << ", name: " << tokens[i] << "\n";
    }
}

void RenderObjects::SetWindow(int32_t left, int32_t right, int32_t top, int32_t bottom) {
    x0 = left;
    x1 = right;
    y0 = top;
    y1 = bottom;
}

void RenderObjects::Draw() {
    G::SetCullMode(G::CullMode::FrontCW);
    shader.Set();
    for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = x0; x <= x1; ++x) {
            const uint16_t number = TheWorldMap.GetObject(x, y);
            if (number == 0 || number >= table.size()) continue;
            G::Model& model = table[number];
            if (!model.GetTopBone()) continue;
            model.GetTopBone()->SetPosition(float(x), float(y), 0);
            model.Draw();
        }
}

}  // namespace QUIL
