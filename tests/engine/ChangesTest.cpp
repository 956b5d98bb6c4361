// The lines a search shows and the changes a replacement shows. The changes of random
// replacements, applied to the old file as patch applies a unified diff, must give the bytes the
// replacement wrote, in hunks formed as diff -u forms them, the same in a dry run as in the run
// that writes; and the matching lines of random searches must be the lines each match touches.
#include <gtest/gtest.h>

#include <random>

#include "FileSystem.h"
#include "LineReader.h"
#include "RecordingSink.h"
#include "SearchRule.h"
#include "StopState.h"

namespace pellumar::test {
namespace {

struct OldLine {
    std::string text;
    bool lineFeed;
};

std::vector<OldLine> SplitLines(const std::string& text) {
    std::vector<OldLine> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t feed = text.find('\n', at);
        const size_t end = feed == std::string::npos ? text.size() : feed;
        lines.push_back({text.substr(at, end - at), feed != std::string::npos});
        at = end + 1;
    }
    return lines;
}

std::string Joined(const TextLine& line) {
    return line.text + (line.lineFeed ? "\n" : "");
}

// What the hunks make of the old text, applied strictly as patch would without fuzz; on a line
// that does not stand where the hunk says, the fault instead.
std::string Apply(const std::string& old, const FileChanges& changes) {
    const std::vector<OldLine> lines = SplitLines(old);
    std::string out;
    uint64_t next = 0, written = 0;  // old lines taken, new lines written
    for (const ChangeHunk& hunk : changes.hunks) {
        const uint64_t first = hunk.oldStart - 1;  // where its lines begin, or go
        if (first < next || first > lines.size()) {
            return "fault: hunk at " + std::to_string(hunk.oldStart);
        }
        for (; next < first; ++next, ++written)
            out += lines[next].text + (lines[next].lineFeed ? "\n" : "");
        if (hunk.newStart != written + 1) {
            return "fault: new start " + std::to_string(hunk.newStart);
        }
        uint64_t olds = 0, news = 0;
        for (const TextLine& line : hunk.lines) {
            if (line.kind != '+') {
                if (next >= lines.size() || lines[next].text != line.text ||
                    lines[next].lineFeed != line.lineFeed || line.number != next + 1) {
                    return "fault: old line " + std::to_string(next + 1);
                }
                ++next, ++olds;
            }
            if (line.kind != '-') {
                if (line.kind == '+' && line.number != written + 1) {
                    return "fault: new line " + std::to_string(written + 1);
                }
                if (!out.empty() && out.back() != '\n') {
                    return "fault: a line after one without a feed";  // as patch reads it
                }
                out += Joined(line);
                ++written, ++news;
            }
        }
        if (olds != hunk.oldCount || news != hunk.newCount) {
            return "fault: counts of the hunk at " + std::to_string(hunk.oldStart);
        }
    }
    if (next < lines.size() && !out.empty() && out.back() != '\n') {
        return "fault: a line after one without a feed";
    }
    for (; next < lines.size(); ++next)
        out += lines[next].text + (lines[next].lineFeed ? "\n" : "");
    return out;
}

// Whether the hunks are as diff -u forms them: three lines of context where the file has them,
// closer changes in one hunk, and the old lines of each change before the new ones.
std::string Shape(const std::string& old, const FileChanges& changes) {
    const uint64_t count = SplitLines(old).size();
    uint64_t lastChangeEnd = 0;  // the old line after the last change of the hunk before
    for (const ChangeHunk& hunk : changes.hunks) {
        std::vector<char> kinds;
        for (const TextLine& line : hunk.lines)
            kinds.push_back(line.kind);
        const auto changed = [](char kind) { return kind != ' '; };
        const auto firstChange = std::find_if(kinds.begin(), kinds.end(), changed);
        const auto lastChange = std::find_if(kinds.rbegin(), kinds.rend(), changed);
        if (firstChange == kinds.end())
            return "a hunk without a change";
        const uint64_t before = firstChange - kinds.begin(), after = lastChange - kinds.rbegin();
        const uint64_t changeStart = hunk.oldStart + before,
                       changeEnd = hunk.oldStart + hunk.oldCount - after;
        if (before != std::min<uint64_t>(3, changeStart - 1) ||
            after != std::min<uint64_t>(3, count + 1 - changeEnd)) {
            return "context of the hunk at " + std::to_string(hunk.oldStart);
        }
        if (lastChangeEnd != 0 && changeStart - lastChangeEnd <= 6)
            return "hunks not joined";
        lastChangeEnd = changeEnd;
        std::string runs(kinds.begin(), kinds.end());
        if (runs.find("+-") != std::string::npos)
            return "a new line before an old one";
        if (runs.find("       ", before + 1) < runs.size() - after)
            return "a hunk not split";
    }
    return "";
}

// Every mark on an old line is part of a match, every mark on a new one part of what was
// written for it.
bool MarksHold(const FileChanges& changes, const std::string& search, const std::string& written) {
    for (const ChangeHunk& hunk : changes.hunks) {
        for (const TextLine& line : hunk.lines) {
            for (const LineMark& mark : line.marks) {
                const std::string text = line.text.substr(mark.start, mark.end - mark.start);
                if (text.empty() || line.kind == ' ' ||
                    (line.kind == '-' ? search : written).find(text) == std::string::npos) {
                    return false;
                }
            }
        }
    }
    return true;
}

class ChangesTest : public ::testing::Test {
  protected:
    std::string Pick(const std::vector<std::string>& pieces, size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += pieces[random() % pieces.size()];
        return text;
    }

    // A dry run and the replacement itself, each telling the changes; both checked.
    void ExpectChanges(const std::string& content, const std::string& search,
                       const std::string& replace, bool regex) {
        tree.Write("f", content);
        Request request{"", "*.*", search, replace, false, false, true, false};
        request.regex = regex;
        request.changes = request.dryRun = true;
        const Heard dry(tree, request);
        request.dryRun = false;
        const Heard real(tree, request);
        const std::string now = tree.Read("f");
        const std::string what = "'" + search + "' -> '" + replace + "' in [" + content + "]";
        // Both tell the same changes; a file that holds the text but keeps its bytes has none.
        const auto changedLines = [](Lines told) {
            std::erase_if(told,
                          [](const std::string& line) { return line.rfind("changed", 0) != 0; });
            return told;
        };
        EXPECT_EQ(changedLines(dry.Told()), changedLines(real.Told())) << what;
        EXPECT_EQ(changedLines(real.Told()).size(), now != content ? 1u : 0u) << what;
        const FileChanges changes = real.ChangesOf(tree.Path("f"));
        EXPECT_EQ(Apply(content, changes), now) << what;
        EXPECT_EQ(Apply(content, dry.ChangesOf(tree.Path("f"))), now) << what;
        EXPECT_EQ(Shape(content, changes), "") << what;
        if (!regex) {
            EXPECT_TRUE(MarksHold(changes, search, replace)) << what;
        }
    }

    TempTree tree;
    std::mt19937 random{20261210};
};

TEST_F(ChangesTest, TheChangesGiveTheNewBytesInHunksAsDiffFormsThem) {
    const std::vector<std::string> content = {"a",    "b",   "ab",    "\n",
                                              "\r\n", "x\n", "aab\n", "\n\n\n\n"};
    const std::vector<std::string> searches = {"a", "ab", "b\n", "\n", "a\r\n", "b", "\n\n"};
    const std::vector<std::string> replacements = {"", "X", "\n", "Y\nZ", "a", "ab", "Q\n", "\n\n"};
    for (int round = 0; round < 300 && !HasFailure(); ++round) {
        ExpectChanges(Pick(content, random() % 60), searches[random() % searches.size()],
                      replacements[random() % replacements.size()], false);
    }
    // One long line with a change every other byte: one pass over it, not one per change.
    ExpectChanges(std::string(64 << 10, 'a') + "\n", "a", "b", false);
    // Long stretches of unchanged lines between changes, at every distance from them.
    for (int gap = 0; gap < 10 && !HasFailure(); ++gap) {
        const std::string lines = Pick({"x\n"}, gap);
        ExpectChanges("a\n" + lines + "a\n" + lines + lines + "a", "a", "b", false);
    }
    if (PatternsAvailable()) {
        // An empty file, which has no bytes to look at, made something or left as it is.
        ExpectChanges("", "^", "x\n", true);
        ExpectChanges("", "x*", "", true);
        const std::vector<std::string> patterns = {"^",   "$",      "a*",  "b$",    "^a",
                                                   "\\n", "(a)(b)", "\\z", "(?m)^$"};
        for (int round = 0; round < 150 && !HasFailure(); ++round) {
            ExpectChanges(Pick(content, random() % 30), patterns[random() % patterns.size()],
                          Pick({"-", "$2$1", "\n", ""}, random() % 3), true);
        }
    }
}

// A file with a NUL byte is said to differ, with no lines; a file replaced with what it held is
// not changed and shows nothing.
TEST_F(ChangesTest, ABinaryFileIsOnlySaidToDifferAndANoChangeShowsNothing) {
    tree.Write("bin", std::string("a\0b\n", 4));
    tree.Write("same", "b\n");
    Request request{"", "*.*", "a", "c", false, false, true, false};
    request.changes = true;
    const Heard heard(tree, request);
    EXPECT_EQ(heard.Others(), (Lines{"changed bin: binary", "finished 0"}));
    EXPECT_TRUE(heard.ChangesOf(tree.Path("bin")).binary);
    request.search = request.replace = "b";
    EXPECT_EQ(Heard(tree, request).Others(), Lines{"finished 0"});
}

// What a reader gives for a search: each line a match touches, once, with the matches marked.
std::vector<TextLine> ExpectedLines(const std::string& content, const std::string& search) {
    std::vector<TextLine> lines;
    const std::vector<OldLine> old = SplitLines(content);
    std::vector<size_t> starts{0};
    for (size_t i = 0; i < content.size(); ++i)
        if (content[i] == '\n')
            starts.push_back(i + 1);
    for (size_t at = content.find(search); at != std::string::npos;
         at = content.find(search, at + search.size())) {
        for (size_t n = 0; n < old.size(); ++n) {
            const size_t from = starts[n],
                         to = from + old[n].text.size() + (old[n].lineFeed ? 1 : 0);
            if (at >= to || at + search.size() <= from)
                continue;
            if (lines.empty() || lines.back().number != n + 1) {
                lines.push_back({n + 1, ' ', old[n].text, old[n].lineFeed, {}});
            }
            const size_t s = std::max(at, from) - from,
                         e = std::min(at + search.size(), from + old[n].text.size()) - from;
            if (s < e)
                lines.back().marks.push_back({s, e});
        }
    }
    return lines;
}

std::string Text(const std::vector<TextLine>& lines) {
    std::string text;
    for (const TextLine& line : lines) {
        text += std::to_string(line.number) + ":" + line.text + (line.lineFeed ? "" : "<no feed>");
        for (const LineMark& mark : line.marks)
            text += " [" + std::to_string(mark.start) + "," + std::to_string(mark.end) + ")";
        text += "\n";
    }
    return text;
}

TEST_F(ChangesTest, TheMatchingLinesAreEveryLineAMatchTouches) {
    FileSystem fs(DefaultSys());
    StopState stop;
    const auto linesOf = [&](const std::string& content, const std::string& search, bool regex) {
        tree.Write("f", content);
        Request request{"", "*.*", search};
        request.regex = regex;
        RuleProblem problem;
        const SearchRule rule = MakeSearchRule(request, problem);
        MatchedLines lines;
        EXPECT_EQ(LineReader(fs, rule, stop).Lines(tree.Path("f"), lines), 0);
        return lines;
    };
    const std::vector<std::string> pieces = {"a", "b", "ab", "\n", "\r\n", "x\n", "aab\n", "\n\n"};
    const std::vector<std::string> searches = {"a",     "ab", "b\n",  "\n",
                                               "a\r\n", "b",  "\n\n", "b\nx"};
    for (int round = 0; round < 300 && !HasFailure(); ++round) {
        const std::string content = Pick(pieces, random() % 60);
        const std::string search = searches[random() % searches.size()];
        EXPECT_EQ(Text(linesOf(content, search, false).lines), Text(ExpectedLines(content, search)))
            << "'" << search << "' in [" << content << "]";
    }
    // One long line with a match every other byte costs one pass, not one per match.
    const std::string wide(200 << 10, 'a');
    const MatchedLines many = linesOf(wide, "a", false);
    ASSERT_EQ(many.lines.size(), 1u);
    EXPECT_EQ(many.lines[0].marks.size(), 200u << 10);
    // Past the size above which a file is mapped, a match on its last line without a feed.
    const std::string big = std::string(5 << 20, 'x') + "\nab";
    EXPECT_EQ(Text(linesOf(big, "b", false).lines), "2:ab<no feed> [1,2)\n");
    EXPECT_TRUE(linesOf(std::string("a\0b", 3), "b", false).binary);
    if (PatternsAvailable()) {
        EXPECT_EQ(Text(linesOf("", "x*", true).lines), "");  // nothing to show, and no bytes
        // An empty match marks nothing but shows its line; past the last line feed is no line.
        EXPECT_EQ(Text(linesOf("ab\n\ncd\n", "^", true).lines), "1:ab\n2:\n3:cd\n");
        EXPECT_EQ(Text(linesOf("ab\ncd", "b$|^c", true).lines),
                  "1:ab [1,2)\n2:cd<no feed> [0,1)\n");
        EXPECT_EQ(Text(linesOf("ab\ncd\n", "b\\nc", true).lines), "1:ab [1,2)\n2:cd [0,1)\n");
    }
}

}  // namespace
}  // namespace pellumar::test
