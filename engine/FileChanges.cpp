#include "FileChanges.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "LineIndex.h"

namespace pellumar {

namespace {

// Changed stretches longer than this, in lines old and new, are not matched up line by line:
// the old lines go, and the new ones come.
constexpr size_t kAlignLimit = 4000;

// One line with its line feed, if it has one, and its marks.
struct Piece {
    std::string_view line;
    std::vector<LineMark> marks;
};

std::vector<Piece> SplitLines(std::string_view text, const std::vector<LineMark>& marks) {
    std::vector<Piece> lines;
    size_t m = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t feed = text.find('\n', at);
        const size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
        const size_t textEnd = feed == std::string_view::npos ? end : feed;
        Piece& piece = lines.emplace_back();
        piece.line = text.substr(at, end - at);
        for (; m < marks.size() && marks[m].start < end; ++m) {
            const size_t start = std::max(marks[m].start, at);
            const size_t stop = std::min(marks[m].end, textEnd);
            if (start < stop) {
                piece.marks.push_back({start - at, stop - at});
            }
            if (marks[m].end > end) {
                break;  // it goes on in the next line
            }
        }
        at = end;
    }
    return lines;
}

TextLine LineOf(const Piece& piece, char kind, uint64_t number) {
    TextLine line;
    line.number = number;
    line.kind = kind;
    line.lineFeed = !piece.line.empty() && piece.line.back() == '\n';
    line.text.assign(piece.line.substr(0, piece.line.size() - (line.lineFeed ? 1 : 0)));
    if (kind != ' ') {  // a line the same in both shows nothing written
        line.marks = piece.marks;
    }
    return line;
}

// Whole old lines that edits touch, with what the edits make of them.
struct Block {
    uint64_t from = 0;  // the old lines' first byte
    uint64_t to = 0;    // just after their last
    uint64_t firstLine = 0;
    std::string newText;
    std::vector<LineMark> oldMarks;  // within the old lines
    std::vector<LineMark> newMarks;  // within the new text
};

void Rewrite(Block& block, const unsigned char* bytes, const std::vector<TextEdit>& edits,
             size_t first, size_t last) {
    block.newText.clear();
    block.oldMarks.clear();
    block.newMarks.clear();
    uint64_t at = block.from;
    for (size_t i = first; i < last; ++i) {
        const TextEdit& edit = edits[i];
        block.newText.append(reinterpret_cast<const char*>(bytes + at), edit.start - at);
        block.oldMarks.push_back({edit.start - block.from, edit.end - block.from});
        block.newMarks.push_back({block.newText.size(), block.newText.size() + edit.text.size()});
        block.newText += edit.text;
        at = edit.end;
    }
    block.newText.append(reinterpret_cast<const char*>(bytes + at), block.to - at);
}

uint64_t LastByte(const TextEdit& edit) {
    return edit.end > edit.start ? edit.end - 1 : edit.start;
}

// Edits on the same line are one block: each line's changes are matched up on their own, so
// that a file whose every line changes costs no more than one whose few do. New text that does
// not end a line before the end of the file runs into the next old line, which then belongs to
// the block.
// Each block is handed to `take` as it is made, and goes.
template <class Take>
void ForEachBlock(const unsigned char* bytes, uint64_t size, const std::vector<TextEdit>& edits,
                  Take take) {
    LineIndex index(bytes, size);
    for (size_t i = 0; i < edits.size();) {
        Block block;
        block.from = index.Start(edits[i].start);
        block.firstLine = index.Number(block.from);
        block.to = index.End(LastByte(edits[i]));
        size_t j = i + 1;
        for (;;) {
            for (; j < edits.size() && index.Start(edits[j].start) < block.to; ++j) {
                block.to = std::max(block.to, index.End(LastByte(edits[j])));
            }
            Rewrite(block, bytes, edits, i, j);
            if (block.to < size && !block.newText.empty() && block.newText.back() != '\n') {
                block.to = index.End(block.to);
                continue;
            }
            break;
        }
        take(block);
        i = j;
    }
}

// One stretch of changed lines, between unchanged ones.
struct Change {
    uint64_t oldFirst = 0;  // the number of its first old line
    uint64_t oldEnd = 0;    // of the old line after its last
    uint64_t newFirst = 0;
    uint64_t fromOffset = 0;  // the old bytes it covers
    uint64_t toOffset = 0;
    std::vector<TextLine> lines;
};

// Within each run of changed lines the old ones come first, as diff -u writes them.
template <class Lines>
void OldLinesFirst(Lines& lines) {
    const auto changed = [](const auto& line) { return line.kind != ' '; };
    for (auto from = lines.begin(); from != lines.end();) {
        const auto run = std::find_if(from, lines.end(), changed);
        const auto end = std::find_if_not(run, lines.end(), changed);
        std::stable_partition(run, end, [](const auto& line) { return line.kind == '-'; });
        from = end;
    }
}

// One step of a block's edit script: a line of the old lines kept (' ') or taken away ('-'), or
// of the new ones put in ('+').
struct Step {
    char kind;
    size_t index;
};

// The script where one side has a single line, the one line the two may have in common.
std::vector<Step> OneLineScript(const std::vector<Piece>& olds, const std::vector<Piece>& news) {
    const bool oneOld = olds.size() == 1;
    const std::vector<Piece>& many = oneOld ? news : olds;
    const std::string_view one = (oneOld ? olds : news).front().line;
    const auto same = std::find_if(many.begin(), many.end(),
                                   [&](const Piece& piece) { return piece.line == one; });
    const size_t at = static_cast<size_t>(same - many.begin());  // many.size(): none
    const char kind = oneOld ? '+' : '-';
    std::vector<Step> steps;
    if (at == many.size()) {
        steps.push_back({oneOld ? '-' : '+', 0});
    }
    for (size_t i = 0; i < many.size(); ++i) {
        if (i == at) {
            steps.push_back({' ', oneOld ? 0 : i});
        } else {
            steps.push_back({kind, i});
        }
    }
    OldLinesFirst(steps);
    return steps;
}

// The script that makes the new lines from the old, matched up line by line where they are few
// enough; within each run of changes the old lines come first, as diff -u writes them.
std::vector<Step> ScriptOf(const std::vector<Piece>& olds, const std::vector<Piece>& news) {
    std::vector<Step> steps;
    if (olds.empty() || news.empty() || olds.size() + news.size() > kAlignLimit) {
        for (size_t i = 0; i < olds.size(); ++i)
            steps.push_back({'-', i});
        for (size_t i = 0; i < news.size(); ++i)
            steps.push_back({'+', i});
        return steps;
    }
    if (olds.size() == 1 || news.size() == 1) {
        return OneLineScript(olds, news);  // most changes: no more than one line in common
    }
    std::vector<std::string_view> a, b;
    for (const Piece& piece : olds)
        a.push_back(piece.line);
    for (const Piece& piece : news)
        b.push_back(piece.line);
    dtl::Diff<std::string_view> diff(a, b);
    diff.compose();
    for (const auto& [line, info] : diff.getSes().getSequence()) {
        steps.push_back(info.type == dtl::SES_ADD
                            ? Step{'+', static_cast<size_t>(info.afterIdx) - 1}
                            : Step{info.type == dtl::SES_DELETE ? '-' : ' ',
                                   static_cast<size_t>(info.beforeIdx) - 1});
    }
    OldLinesFirst(steps);
    return steps;
}

// The block's changes, each a run of changed lines; the lines it keeps are unchanged lines
// between them, as those outside blocks are. `delta` is the new lines less the old ones so far.
void ChangesOf(const Block& block, const unsigned char* bytes, int64_t& delta,
               std::vector<Change>& changes) {
    const std::string_view oldText(reinterpret_cast<const char*>(bytes + block.from),
                                   block.to - block.from);
    const std::vector<Piece> olds = SplitLines(oldText, block.oldMarks);
    const std::vector<Piece> news = SplitLines(block.newText, block.newMarks);
    const auto offsetOf = [&](size_t old) {
        return old < olds.size()
                   ? static_cast<uint64_t>(
                         reinterpret_cast<const unsigned char*>(olds[old].line.data()) - bytes)
                   : block.to;
    };
    const uint64_t oldBase = block.firstLine;
    const uint64_t newBase = static_cast<uint64_t>(static_cast<int64_t>(oldBase) + delta);
    size_t o = 0, n = 0;  // the old and new lines the script has passed
    Change* open = nullptr;
    for (const Step& step : ScriptOf(olds, news)) {
        if (step.kind == ' ') {
            open = nullptr;
            ++o, ++n;
            continue;
        }
        if (open == nullptr) {
            open = &changes.emplace_back();
            open->oldFirst = oldBase + o;
            open->newFirst = newBase + n;
            open->fromOffset = offsetOf(o);
        }
        const bool old = step.kind == '-';
        open->lines.push_back(LineOf(old ? olds[step.index] : news[step.index], step.kind,
                                     (old ? oldBase + o++ : newBase + n++)));
        open->oldEnd = oldBase + o;
        open->toOffset = offsetOf(o);
    }
    delta += static_cast<int64_t>(news.size()) - static_cast<int64_t>(olds.size());
}

// The unchanged old lines in [from, to), numbered from `number`.
void AddContext(const unsigned char* bytes, uint64_t from, uint64_t to, uint64_t number,
                ChangeHunk& hunk) {
    const std::string_view text(reinterpret_cast<const char*>(bytes + from), to - from);
    for (const Piece& piece : SplitLines(text, {})) {
        hunk.lines.push_back(LineOf(piece, ' ', number++));
    }
}

// Where the `count` lines before the line start `offset` begin, at most; how many there are.
uint64_t LinesBefore(const unsigned char* bytes, uint64_t offset, uint64_t count, uint64_t& n) {
    n = 0;
    while (n < count && offset > 0) {
        uint64_t start = offset - 1;
        while (start > 0 && bytes[start - 1] != '\n')
            --start;
        offset = start;
        ++n;
    }
    return offset;
}

// Appends a change's lines to a hunk. The new lines of a run wait, so that the old lines of a
// change on the next line still come before them, as diff -u writes neighbouring changes.
class HunkLines {
  public:
    explicit HunkLines(ChangeHunk& hunk) : m_hunk(hunk) {}
    void Add(TextLine& line) {
        if (line.kind == '+') {
            m_waiting.push_back(std::move(line));
            return;
        }
        if (line.kind == ' ') {
            Flush();
        }
        m_hunk.lines.push_back(std::move(line));
    }
    void Flush() {
        std::move(m_waiting.begin(), m_waiting.end(), std::back_inserter(m_hunk.lines));
        m_waiting.clear();
    }

  private:
    ChangeHunk& m_hunk;
    std::vector<TextLine> m_waiting;
};

std::vector<ChangeHunk> HunksOf(const unsigned char* bytes, uint64_t size,
                                std::vector<Change>& changes) {
    std::vector<ChangeHunk> hunks;
    const uint64_t kContext = FileChanges::kContext;
    for (size_t i = 0; i < changes.size();) {
        size_t last = i;  // the hunk's last change
        size_t count = changes[i].lines.size();
        for (; last + 1 < changes.size() &&
               changes[last + 1].oldFirst - changes[last].oldEnd <= 2 * kContext;
             ++last) {
            count += changes[last + 1].lines.size() + 2 * kContext;
        }
        ChangeHunk& hunk = hunks.emplace_back();
        hunk.lines.reserve(count + 2 * kContext);
        uint64_t before = 0;
        const uint64_t from = LinesBefore(bytes, changes[i].fromOffset, kContext, before);
        hunk.oldStart = changes[i].oldFirst - before;
        hunk.newStart = changes[i].newFirst - before;
        AddContext(bytes, from, changes[i].fromOffset, hunk.oldStart, hunk);
        HunkLines lines(hunk);
        for (size_t j = i; j <= last; ++j) {
            if (j > i && changes[j].oldFirst != changes[j - 1].oldEnd) {
                lines.Flush();
                AddContext(bytes, changes[j - 1].toOffset, changes[j].fromOffset,
                           changes[j - 1].oldEnd, hunk);
            }
            for (TextLine& line : changes[j].lines) {
                lines.Add(line);
            }
            std::vector<TextLine>().swap(changes[j].lines);  // its room goes as it is taken
        }
        lines.Flush();
        LineIndex after(bytes, size);
        uint64_t to = changes[last].toOffset;
        for (uint64_t k = 0; k < kContext && to < size; ++k)
            to = after.End(to);
        AddContext(bytes, changes[last].toOffset, to, changes[last].oldEnd, hunk);
        for (const TextLine& line : hunk.lines) {
            hunk.oldCount += line.kind != '+' ? 1 : 0;
            hunk.newCount += line.kind != '-' ? 1 : 0;
        }
        i = last + 1;
    }
    return hunks;
}

}  // namespace

FileChanges FileChanges::Of(const unsigned char* bytes, uint64_t size,
                            const std::vector<TextEdit>& edits) {
    FileChanges changes;
    changes.binary = IsBinary(bytes, size);
    if (changes.binary) {
        return changes;
    }
    std::vector<Change> stretches;
    int64_t delta = 0;
    ForEachBlock(bytes, size, edits,
                 [&](const Block& block) { ChangesOf(block, bytes, delta, stretches); });
    changes.hunks = HunksOf(bytes, size, stretches);
    return changes;
}

}  // namespace pellumar
