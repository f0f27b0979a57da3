// Byte packing and file writing shared by the sample-folder writers.
#pragma once
#include <cstdint>
#include <string>

void PutU16(std::string& out, uint16_t value);  // little-endian
void PutU32(std::string& out, uint32_t value);  // little-endian
// Writes `bytes` to `path` (a native path), making its folders first. A
// failure is written to the error log and answered with false.
bool WriteSampleFile(const std::string& path, const std::string& bytes);
