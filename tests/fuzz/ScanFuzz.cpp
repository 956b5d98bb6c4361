// The scan-and-replace on arbitrary input: the scan that picks out candidates many bytes at a
// time and the plain reference must turn every file into the same bytes.
//
// Input: a byte of flags (bit 0: ignore case), a byte giving the length of the text to find
// (1 to 64), that text, then the content of the file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "RecordingSink.h"
#include "TempTree.h"
#include "TextShape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellumar::test;
    static const TempTree tree;  // removed when the fuzzer ends
    const size_t length = size < 2 ? 0 : 1 + data[1] % 64;
    if (size < 2 + length) {
        return 0;
    }
    const bool ignoreCase = (data[0] & 1) != 0;
    const std::string pattern(reinterpret_cast<const char*>(data) + 2, length);
    const std::string content(reinterpret_cast<const char*>(data) + 2 + length, size - 2 - length);
    tree.Write("f", content);
    RecordingSink sink;
    RunSearch({tree.Root(), "f", pattern, "<>", false, false, true, ignoreCase}, sink);
    // Every prompt is a fault here: the file is in a folder of the fuzzer's own.
    if (sink.Others() != Lines{"finished 0"} ||
        tree.Read("f") != ReplaceAll(content, pattern, "<>", ignoreCase)) {
        std::abort();
    }
    return 0;
}
