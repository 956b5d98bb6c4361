#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TextLine.h"

namespace pellumar {

// What a replacement writes in place of a stretch of a file's bytes.
struct TextEdit {
    uint64_t start = 0;
    uint64_t end = 0;
    std::string text;
};

// A run of changed lines with the unchanged lines around them, as a unified diff shows it.
struct ChangeHunk {
    // The lines it covers in the old file and in the new one, from 1. With no lines of one, its
    // start is the number of the line the others go before.
    uint64_t oldStart = 0;
    uint64_t oldCount = 0;
    uint64_t newStart = 0;
    uint64_t newCount = 0;
    std::vector<TextLine> lines;  // kinds ' ', '-' and '+'; marks on the text matched and written
};

// How a replacement changes one file: its changed lines in hunks, each with up to kContext
// unchanged lines before and after; hunks closer than twice that are one.
struct FileChanges {
    static constexpr uint64_t kContext = 3;

    bool binary = false;  // the file holds a NUL byte: its lines are not shown
    std::vector<ChangeHunk> hunks;
    // The path of the file the replacement writes, where a link led to it from the name it is
    // reported under; empty where it is that name.
    std::string path;

    // The changes that `edits`, in order and apart, make to `size` bytes.
    static FileChanges Of(const unsigned char* bytes, uint64_t size,
                          const std::vector<TextEdit>& edits);
};

}  // namespace pellumar
