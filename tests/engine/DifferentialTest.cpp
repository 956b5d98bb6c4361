// The scan that picks out candidates many bytes at a time against a plain left-to-right find,
// the reference: on random texts, every length of text to find from 1 to 64, both case
// modes, matches at the edges of the blocks the fast scan works in. The file the engine rewrites
// must be the bytes the reference makes; counts of matches must be the reference's.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "CSearchThread.h"
#include "LiteralFinder.h"
#include "RecordingSink.h"
#include "ScanReference.h"
#include "TempTree.h"

namespace pellumar::test {
namespace {

std::size_t ReferenceCount(const std::string& text, const std::string& pattern, bool ignoreCase) {
    std::size_t count = 0;
    ReferenceReplace(text, pattern, ignoreCase, "", &count);
    return count;
}

class DifferentialTest : public ::testing::Test {
  protected:
    void ExpectSame(const std::string& text, const std::string& pattern, bool ignoreCase,
                    const std::string& replace = "<>") {
        tree.Write("f", text);
        RecordingSink sink(tree.Root());
        CSearchThread worker(
            &sink, {tree.Root(), "*.*", pattern, replace, false, false, true, ignoreCase});
        worker.Run();
        ASSERT_EQ(tree.Read("f"), ReferenceReplace(text, pattern, ignoreCase, replace))
            << "pattern of " << pattern.size() << " bytes, ignore case " << ignoreCase
            << ", text of " << text.size() << " bytes";
    }

    TempTree tree;
    std::mt19937 random{20051107};
};

TEST_F(DifferentialTest, EveryLengthBothCasesRandomTexts) {
    // Few distinct bytes, so that partial matches abound; letters in both cases, a NUL, 0xFF
    // and the bytes that OR-ing 0x20 would confuse with letters.
    const std::string alphabet = std::string("aAbB@`[{\xff\xdf", 10) + '\0';
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (std::size_t length = 1; length <= 64; ++length) {
        for (int round = 0; round < 3; ++round) {
            std::string text(std::uniform_int_distribution<std::size_t>(0, 300)(random), ' ');
            for (char& c : text)
                c = alphabet[pick(random)];
            std::string pattern(length, ' ');
            const bool fromText = text.size() >= length && round != 2;
            const std::size_t at = fromText ? random() % (text.size() - length + 1) : 0;
            for (std::size_t j = 0; j < length; ++j)
                pattern[j] = fromText ? text[at + j] : alphabet[pick(random)];
            for (bool ignoreCase : {false, true})
                ExpectSame(text, pattern, ignoreCase);
        }
    }
}

TEST_F(DifferentialTest, MatchesAtTheEdgesOfBlocksAndBuffers) {
    // Overlapping candidates, bytes beyond ASCII that no case folds, control bytes and lines, each
    // match taken out.
    const std::pair<std::string, std::string> texts[] = {
        {"ababa", "aba"},
        {"abcabcab", "abcab"},
        {"\xC3\xA9t\xC3\xA9 \xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"},
        {std::string("a\0b\r\n\tc", 7), std::string("\0b\r\n\t", 5)},
        {"one\ntwo\nthree", "one\ntwo"},
    };
    for (const auto& [text, pattern] : texts) {
        for (bool ignoreCase : {false, true})
            ExpectSame(text, pattern, ignoreCase, "");
    }
    for (std::size_t length : {1u, 2u, 3u, 15u, 16u, 17u}) {
        const std::string pattern(length, 'x');
        for (std::size_t before :
             {std::size_t{0}, std::size_t{1}, std::size_t{14}, std::size_t{15}, std::size_t{16},
              std::size_t{4095}, std::size_t{4096}, 4097 - length}) {
            std::string text = std::string(before, 'y') + pattern + "X" + std::string(length, 'X');
            for (bool ignoreCase : {false, true})
                ExpectSame(text, pattern, ignoreCase);
        }
    }
}

// A count is the same whichever way it is taken: searching, on one thread or two, a dry run,
// and the replacement itself, which then leaves as many replacements in the file.
TEST_F(DifferentialTest, CountsAreThoseOfALeftmostNonOverlappingScan) {
    const std::string alphabet = "aAbB\xff";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 120; ++round) {
        std::string text(std::uniform_int_distribution<std::size_t>(1, 200)(random), ' ');
        for (char& c : text)
            c = alphabet[pick(random)];
        std::string pattern(1 + round % 4, ' ');
        for (char& c : pattern)
            c = alphabet[pick(random)];
        for (bool ignoreCase : {false, true}) {
            const std::size_t expected = ReferenceCount(text, pattern, ignoreCase);
            const std::string told = expected == 0 ? "" : "counted f: " + std::to_string(expected);
            for (int way = 0; way < 4; ++way) {
                tree.Write("f", text);
                SearchRequest request{tree.Root(), "*.*",   pattern, "<>",
                                      false,       way < 2, true,    ignoreCase};
                request.countMatches = true;
                request.dryRun = way == 2;
                request.searchAhead = way == 1;
                RecordingSink sink(tree.Root());
                CSearchThread worker(&sink, request);
                worker.Run();
                const Lines others = sink.Others();
                ASSERT_EQ(others.size() == 2 ? others[0] : "", told)
                    << "way " << way << ", pattern '" << pattern << "', ignore case " << ignoreCase
                    << ", text '" << text << "'";
                if (way == 3) {
                    EXPECT_EQ(ReferenceCount(tree.Read("f"), "<>", false), expected);
                }
            }
        }
    }
}

// The finder looks first for the two rarest bytes of the text, wherever they lie in it; it must
// agree with the reference on ordinary text whichever two it chose, near matches that share only
// those two bytes with the text included.
TEST_F(DifferentialTest, TheRarestBytesPickOutCandidatesWhereverTheyLie) {
    const std::string ordinary = "int main(void) { return x_the_Zq(in, the); } /* Zz qQ _ */\n";
    std::uniform_int_distribution<std::size_t> pick(0, ordinary.size() - 1);
    for (const char* pattern :
         {"x_the_Zq", "eZe", "Zq(in", "n, t", "_Zq", "QZ", "zZ q", "(void)"}) {
        for (int round = 0; round < 20; ++round) {
            std::string text(std::uniform_int_distribution<std::size_t>(0, 5000)(random), ' ');
            for (char& c : text)
                c = ordinary[pick(random)];
            text.insert(random() % (text.size() + 1), pattern);
            for (bool ignoreCase : {false, true})
                ExpectSame(text, pattern, ignoreCase);
        }
    }
}

TEST_F(DifferentialTest, TheFinderReadsNothingPastItsEnd) {
    // The last possible start is found with the text ending exactly at the buffer's end.
    const std::string text = "....abc";
    const LiteralFinder finder("ABC", true);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    EXPECT_EQ(finder.Find(bytes, 0, text.size() - 2), 4u);
    EXPECT_EQ(finder.Find(bytes, 0, 4), 4u);  // none before the end of the range
    EXPECT_EQ(LiteralFinder("abc", false).Find(bytes, 0, 5), 4u);
    EXPECT_EQ(LiteralFinder("aBc", false).Find(bytes, 0, 5), 5u);
}

}  // namespace
}  // namespace pellumar::test
