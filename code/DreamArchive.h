// The dream archive a download leaves in the dream's folder. This version
// accepts only an archive without entries: an entry would need a
// decompressor, and a dream that has content must fail loudly, so that the
// player is asked what to do instead of standing in an empty map.
#pragma once
#include <string>

// Checks the archive at `path` (a backslash path); entries would be
// extracted into the archive's own folder. False after one "_error.txt"
// report when the archive cannot be used; the file is left in place.
bool UnpackDream(const std::string& path);
