// Writes the complete sample game folder: characters, settings files, floor
// shapes, palettes, maps and dream archives.
#pragma once
#include <string>

// `folder` is a native path; it is created when missing. Every file that
// could not be written is reported to the error log; false if any failed.
bool GenerateSampleFolder(const std::string& folder);
