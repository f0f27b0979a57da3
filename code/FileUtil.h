// File, path and text helpers shared by the loaders. Paths are relative to
// the working folder and use backslashes; the platform layer resolves them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

typedef std::vector<std::string> StringList;

uint32_t FileLength(const std::string& path);
void MakeDirectories(const std::string& path);
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);
std::string ExtensionOf(const std::string& name);
std::string StripExtension(const std::string& name);
std::string ToLower(const std::string& text);
bool IsPrintable(char c);
uint32_t BitCount(uint32_t value);
int HighestBit(uint32_t value);
// Text mode ("\r\n" read as "\n") stops each 2048-byte block at its first NUL;
// binary mode keeps every byte.
std::string ReadWholeFile(const std::string& path, bool binary);
// The same read; false (and an empty text) when the file cannot be opened or
// holds more than maxBytes.
bool ReadWholeFile(const std::string& path, bool binary, std::string& text, size_t maxBytes = SIZE_MAX);
void SplitString(const std::string& text, StringList& out, const std::string& delimiters);
void ReadLines(StringList& out, const std::string& path);
bool ReadStringList(StringList& out, const std::string& path);

// fopen of a backslash path of the game's folder.
FILE* OpenFile(const std::string& path, const char* mode);
bool DeleteFile(const std::string& path);
// Reads one line of at most maxLength bytes (without its "\n" or "\r\n", or
// only its "\n" when formats that read bytes keep the carriage return);
// false at the end of the file. Longer lines are cut and the rest skipped,
// so a file without line breaks cannot exhaust memory.
bool ReadBoundedLine(FILE* file, std::string& line, size_t maxLength, bool keepCarriageReturn = false);
// The little-endian signed 32-bit value of the file formats.
int32_t ReadInt32(const void* bytes);
// A server address file: a host word, then a decimal port of at most five
// digits. False, leaving host and port as they were, when the file cannot be
// read or lacks either.
bool ReadServerAddress(const std::string& path, std::string& host, int& port);
