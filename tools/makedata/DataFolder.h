// Writes the system's data files that are ours to make: the images, the
// colour tables and the two server address files.
#pragma once
#include <string>

constexpr int LocalGamePort = 7400;
constexpr int LocalFilePort = 7401;

// Writes `text` to the native `path` as it is; false (logged) when it fails.
bool WriteTextFile(const std::string& path, const std::string& text);

// `folder` is the native path of data/. False when any file failed (logged).
bool WriteDataFolder(const std::string& folder);
