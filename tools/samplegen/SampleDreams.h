// Dream archives for the file server: one without entries (a visit the
// client can complete) and one holding an entry (which the client refuses).
#pragma once
#include <string>

constexpr int DreamArchiveHeaderSize = 28;

std::string EncodeEmptyDream();
// One stored entry named "default.map" carrying `mapBytes`.
std::string EncodeDreamWithEntry(const std::string& mapBytes);
