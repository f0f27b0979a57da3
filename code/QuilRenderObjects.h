// The item renderer: the 3D model of every map object in view, standing on
// its cell. "data\items\items.txt" names the model of each object number,
// with optional texture replacements; numbers it does not name show the
// placeholder model. The F10 reload destroys the renderer, empties the model
// cache (G::EmptyModelCache) and makes a new one.
#pragma once
#include <cstdint>
#include <vector>

#include "GBMesh.h"
#include "GLShader.h"

namespace QUIL {

class RenderObjects {
public:
    // Loads the item shader, the placeholder and the table.
    RenderObjects();
    ~RenderObjects();
    RenderObjects(const RenderObjects&) = delete;
    RenderObjects& operator=(const RenderObjects&) = delete;

    // Inclusive cell bounds of what Draw covers.
    void SetWindow(int32_t x0, int32_t x1, int32_t y0, int32_t y1);
    void Draw();

    // Entry 0 and numbers above the table's maximum draw nothing.
    size_t TableSize() const { return table.size(); }
    const G::Model& Entry(size_t number) const { return table[number]; }

private:
    void ReadTable();
    void ReadLine(const std::string& line, int lineNumber, int32_t maximum);
    void ApplyReplacements(G::Model& model, const std::vector<std::string>& tokens, int lineNumber);

    std::vector<G::Model> table;
    int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    G::Shader shader;
};

}  // namespace QUIL
