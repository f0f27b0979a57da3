// Arbitrary bytes as a text file of the game's folder: the whole-file and
// line readers, the splitter and the number conversions of Vary must take
// anything without crashing or reading past what they were given.
#include "FileUtil.h"
#include "Vary.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* const path = "_fuzz_textfile.txt";
    FILE* f = OpenFile(path, "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    std::string binary = ReadWholeFile(path, true);
    std::string text = ReadWholeFile(path, false);
    if (binary.size() > size || text.size() > size) __builtin_trap();
    StringList lines, list, pieces;
    ReadLines(lines, path);
    ReadStringList(list, path);
    SplitString(binary, pieces, " \t,;");
    for (const std::string& piece : pieces) {
        if (piece.empty()) __builtin_trap();
        Vary value(piece);
        value.AsInt();
        value.AsFloat();
        --value;
    }
    Vary number(std::string(reinterpret_cast<const char*>(data), size));
    Vary copy(number.AsFloat());
    copy.AsText();
    copy.AsInt();
    return 0;
}
