// Any driver log: the line-number rewriter keeps the number of lines and
// never reads outside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "GLShader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string log(reinterpret_cast<const char*>(data), size);
    std::string rewritten = G::RewriteInfoLogLineNumbers(log, 14);
    size_t before = 0, after = 0;
    for (char c : log) before += c == '\n';
    for (char c : rewritten) after += c == '\n';
    if (before != after) abort();
    return 0;
}
