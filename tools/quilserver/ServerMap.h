// Map files as the local server reads them: the same layout the client
// loads, kept in a WorldMap of the server's own (not the client's map).
#pragma once
#include <string>

#include "WorldMap.h"

// `path` is a native path. False, with an error-log line, for a file that is
// missing, not a map, too large or shorter than its body.
bool LoadServerMap(const std::string& path, WorldMap& map);
