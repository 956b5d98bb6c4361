// The in-file scan: shift table, accepted matches, replacement, search only, case.
#include <gtest/gtest.h>

#include "CSearchThread.h"
#include "FileView.h"
#include "RecordingSink.h"
#include "SearchRunner.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using test::RecordingSink;
using test::Request;
using test::TempTree;
using Found = std::vector<std::string>;

struct Outcome {
    std::string content;
    Found found;
};

Outcome Replace(const std::string& content, const std::string& search, const std::string& replace,
                bool ignoreCase = false) {
    TempTree tree;
    tree.Write("f", content);
    RecordingSink sink(tree.Root());
    Request request{tree.Root(), "*.*", search, replace};
    request.ignoreCase = ignoreCase;
    test::RunSearch(request, sink);
    EXPECT_TRUE(tree.TemporaryFiles().empty());
    return {tree.Read("f"), sink.Found()};
}

TEST(ScanTest, ShiftTableHoldsDistancesAndMarksTheLastByte) {
    RecordingSink sink;
    CSearchThread worker(&sink, "/", "*.*", "abcab", "", true, true, true, false);
    EXPECT_EQ(worker.GetShiftTable()[0], 0);  // not built yet
    worker.BuildShiftTable();
    const auto& table = worker.GetShiftTable();
    EXPECT_EQ(table['a'], 1);
    EXPECT_EQ(table['b'], -3);
    EXPECT_EQ(table['c'], 2);
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != 'a' && byte != 'b' && byte != 'c') {
            ASSERT_EQ(table[byte], 5) << byte;
        }
    }

    CSearchThread folded(&sink, "/", "*.*", "abcab", "", true, true, true, true);
    EXPECT_EQ(folded.GetSearchText(), "ABCAB");
    folded.BuildShiftTable();
    EXPECT_EQ(folded.GetShiftTable()['A'], 1);
    EXPECT_EQ(folded.GetShiftTable()['B'], -3);
    EXPECT_EQ(folded.GetShiftTable()['C'], 2);
    EXPECT_EQ(folded.GetShiftTable()['a'], 5);
}

TEST(ScanTest, ShiftTableForATextEndingInByteZeroIsStillMarkedBuilt) {
    RecordingSink sink;
    CSearchThread worker(&sink, "/", "*.*", std::string("\0", 1), "", true, true, true, false);
    worker.BuildShiftTable();
    EXPECT_EQ(worker.GetShiftTable()[0], -1);
}

TEST(ScanTest, EveryOccurrenceOfOneByteIsReplaced) {
    EXPECT_EQ(Replace("aaa", "a", "X").content, "XXX");
    EXPECT_EQ(Replace("abaca", "a", "").content, "bc");
}

TEST(ScanTest, MatchesNeverOverlapAndRunLeftToRight) {
    EXPECT_EQ(Replace("aaa", "aa", "X").content, "Xa");
    EXPECT_EQ(Replace("abab", "ab", "X").content, "XX");
    EXPECT_EQ(Replace("ababa", "aba", "X").content, "Xba");
    EXPECT_EQ(Replace("aaaaa", "aaa", "<>").content, "<>aa");
    EXPECT_EQ(Replace("abcabcab", "abcab", "Z").content, "Zcab");
}

TEST(ScanTest, IgnoreCaseFoldsAsciiOnBothSidesAndWritesTheReplacementAsTyped) {
    EXPECT_EQ(Replace("Hello hello", "hello", "bye").content, "Hello bye");
    EXPECT_EQ(Replace("Hello hello", "hello", "bye", true).content, "bye bye");
    EXPECT_EQ(Replace("HeLLo World", "hello", "Bye", true).content, "Bye World");
    // Bytes above 0x7F are compared as they are: UTF-8 is never broken.
    EXPECT_EQ(
        Replace("\xC3\xA9t\xC3\xA9 \xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", "x", true).content,
        "x \xC3\x89T\xC3\x89");
}

TEST(ScanTest, AnyByteMatchesLiterallyAndTextsMaySpanLines) {
    const char raw[] = "a\0b\r\n\tc\nline one\nline two\n";
    const std::string content(raw, sizeof raw - 1);
    EXPECT_EQ(Replace(content, std::string("\0b\r\n\t", 5), "|").content,
              std::string("a|c\nline one\nline two\n"));
    EXPECT_EQ(Replace("one\ntwo\nthree", "one\ntwo", "1\n2").content, "1\n2\nthree");
}

TEST(ScanTest, MatchesAtTheEdgesAndTheWholeFile) {
    EXPECT_EQ(Replace("needle", "needle", "x").content, "x");
    EXPECT_EQ(Replace("needle hay needle", "needle", "").content, " hay ");
    EXPECT_EQ(Replace("hay", "hay!", "x").found, Found{});
}

TEST(ScanTest, FilesShorterThanTheTextAndEmptyFilesAreNeverReported) {
    TempTree tree;
    tree.Write("empty", "");
    tree.Write("short", "ab");
    tree.Write("exact", "abc");
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "abc", "", true, true}, sink);
    EXPECT_EQ(sink.Found(), Found{"exact"});
}

TEST(ScanTest, SearchOnlyNeverWritesAndReportsTheInformationRead) {
    TempTree tree;
    tree.Write("a", "xx needle xx needle");
    tree.Write("b", "nothing here");
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "needle", "REPLACED", true, true}, sink);
    EXPECT_EQ(sink.Found(), Found{"a"});
    EXPECT_EQ(tree.Read("a"), "xx needle xx needle");
    ASSERT_EQ(sink.FoundInfo().size(), 1u);
    EXPECT_EQ(sink.FoundInfo()[0].FileSize(), 19u);
    EXPECT_EQ(sink.FoundInfo()[0].nNumberOfLinks, 1u);
    EXPECT_NE(sink.FoundInfo()[0].ftLastWriteTime.Ticks(), 0u);
}

TEST(ScanTest, ReportedInformationIsThatOfTheFileBeforeTheChange) {
    TempTree tree;
    tree.Write("a", "short");
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "short", "much longer now"}, sink);
    EXPECT_EQ(tree.Read("a"), "much longer now");
    ASSERT_EQ(sink.FoundInfo().size(), 1u);
    EXPECT_EQ(sink.FoundInfo()[0].FileSize(), 5u);
}

TEST(ScanTest, LargeMappedFileIsRewrittenExactly) {
    // Larger than what is read into memory, so the file is mapped; matches straddle the
    // temporary file's buffer.
    std::string content;
    std::string expected;
    for (int i = 0; content.size() <= FileView::kReadLimit + 300000; ++i) {
        const std::string filler = "line " + std::to_string(i) + " of filler text ";
        content += filler + "TARGET\n";
        expected += filler + "replacement-of-another-length\n";
    }
    content += "TARG";  // a partial match at the very end
    expected += "TARG";
    const Outcome outcome = Replace(content, "TARGET", "replacement-of-another-length");
    EXPECT_EQ(outcome.found, Found{"f"});
    EXPECT_TRUE(outcome.content == expected) << "rewritten content differs";
}

}  // namespace
}  // namespace pellumar
