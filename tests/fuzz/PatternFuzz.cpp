// The replacement with a regular expression on arbitrary input: every file the engine rewrites
// must hold what the pattern library's own global substitution makes of its whole content.
//
// Input: a byte of flags (bit 0: ignore case), a byte giving the pattern's length, the pattern, a
// byte giving the replacement's length, the replacement, then the content of the file.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "PatternReference.h"
#include "RecordingSink.h"
#include "TempTree.h"

namespace {

// Whether every $ of the replacement is one of the forms both the engine and the library take
// alike: $$, $N and ${NAME}. The library also takes $NAME and ${*MARK}, where the engine writes
// what stands there as it is.
bool BothTakeAlike(const std::string& replacement) {
    const auto name = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    };
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        if (replacement[i] != '$') {
            continue;
        }
        const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
        if (next == '$' || std::isdigit(static_cast<unsigned char>(next))) {
            ++i;
            continue;
        }
        const std::size_t close = replacement.find('}', i);
        if (next != '{' || close == std::string::npos || close == i + 2 ||
            !std::all_of(replacement.begin() + i + 2, replacement.begin() + close, name)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellumar::test;
    static const TempTree tree;  // removed when the fuzzer ends
    const char* bytes = reinterpret_cast<const char*>(data);
    if (size < 2 || size < 3u + data[1]) {
        return 0;
    }
    const bool ignoreCase = (data[0] & 1) != 0;
    const std::string pattern(bytes + 2, data[1]);
    const std::size_t at = 2 + pattern.size();
    if (size < at + 1u + data[at]) {
        return 0;
    }
    const std::string replacement(bytes + at + 1, data[at]);
    const std::string content(bytes + at + 1 + replacement.size(),
                              size - at - 1 - replacement.size());
    const auto reference = SubstituteAll(content, pattern, replacement, ignoreCase);
    if (!reference || pattern.empty() || !BothTakeAlike(replacement)) {
        return 0;  // not valid, what the library gets wrong, no pattern, or another language
    }
    tree.Write("f", content);
    Request request{tree.Root(), "f", pattern, replacement, false, false, true, ignoreCase};
    request.regex = true;
    RecordingSink sink;
    RunSearch(request, sink);
    const Lines told = sink.Others();
    if (told.size() == 2 && told[0] == "skipped f: pattern too complex for this file") {
        return 0;  // the limits, reached on one way of matching and not on the other
    }
    // Every other report is a fault here: the file is in a folder of the fuzzer's own.
    if (told != Lines{"finished 0"} || tree.Read("f") != reference->text) {
        std::abort();
    }
    return 0;
}
