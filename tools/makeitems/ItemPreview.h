// makeitems --preview: draws every model as the game's camera first sees it
// (seven units away, looking down at about 45 degrees) into one contact
// sheet, with a small software rasteriser, to check the models by eye.
#pragma once
#include <string>

bool WritePreviewSheet(const std::string& pngPath);
