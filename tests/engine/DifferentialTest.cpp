// The scan that picks out candidates many bytes at a time against a plain left-to-right find,
// the reference: on random texts, every length of text to find from 1 to 64, both case
// modes, matches at the edges of the blocks the fast scan works in. The file the engine rewrites
// must be the bytes the reference makes; counts of matches must be the reference's.
#include <gtest/gtest.h>

#include <random>

#include "LiteralFinder.h"
#include "RecordingSink.h"
#include "TextShape.h"

namespace pellumar::test {
namespace {

// The matches the reference takes: each made one byte longer.
std::size_t ReferenceCount(const std::string& text, const std::string& pattern, bool ignoreCase) {
    return ReplaceAll(text, pattern, pattern + '.', ignoreCase).size() - text.size();
}

class DifferentialTest : public ::testing::Test {
  protected:
    // Rewrites the text in either case mode; the file must be what the reference makes.
    void ExpectSame(const std::string& text, const std::string& pattern,
                    const std::string& replace = "<>") {
        for (const bool ignoreCase : {false, true}) {
            tree.Write("f", text);
            const Heard sink(tree, {"", "*.*", pattern, replace, false, false, true, ignoreCase});
            ASSERT_EQ(tree.Read("f"), ReplaceAll(text, pattern, replace, ignoreCase))
                << "pattern of " << pattern.size() << " bytes, ignore case " << ignoreCase
                << ", text of " << text.size() << " bytes";
        }
    }
    // `size` bytes drawn from `alphabet`.
    std::string Random(const std::string& alphabet, std::size_t size) {
        std::string text(size, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        return text;
    }

    TempTree tree;
    std::mt19937 random{20051107};
};

TEST_F(DifferentialTest, EveryLengthBothCasesRandomTexts) {
    // Few distinct bytes, so that partial matches abound; letters in both cases, a NUL, 0xFF
    // and the bytes that OR-ing 0x20 would confuse with letters.
    const std::string alphabet = std::string("aAbB@`[{\xff\xdf", 10) + '\0';
    for (std::size_t length = 1; length <= 64; ++length) {
        for (int round = 0; round < 3; ++round) {
            const std::string text = Random(alphabet, random() % 301);
            // Twice taken from the text, once made up.
            const bool fromText = text.size() >= length && round != 2;
            ExpectSame(text, fromText ? text.substr(random() % (text.size() - length + 1), length)
                                      : Random(alphabet, length));
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
        ExpectSame(text, pattern, "");
    }
    for (const int length : {1, 2, 3, 15, 16, 17}) {
        const std::string pattern(length, 'x');
        for (const int before : {0, 1, 14, 15, 16, 4095, 4096, 4097 - length}) {
            ExpectSame(std::string(before, 'y') + pattern + "X" + std::string(length, 'X'),
                       pattern);
        }
    }
}

// A count is the same whichever way it is taken: searching, on one thread or two, a dry run,
// and the replacement itself, which then leaves as many replacements in the file.
TEST_F(DifferentialTest, CountsAreThoseOfALeftmostNonOverlappingScan) {
    const std::string alphabet = "aAbB\xff";
    for (int round = 0; round < 120; ++round) {
        const std::string text = Random(alphabet, 1 + random() % 200);
        const std::string pattern = Random(alphabet, 1 + round % 4);
        for (const bool ignoreCase : {false, true}) {
            const std::size_t expected = ReferenceCount(text, pattern, ignoreCase);
            const std::string told = expected == 0 ? "" : "counted f: " + std::to_string(expected);
            for (int way = 0; way < 4; ++way) {
                tree.Write("f", text);
                SearchRequest request{"", "*.*", pattern, "<>", false, way < 2, true, ignoreCase};
                request.countMatches = true;
                request.dryRun = way == 2;
                request.searchAhead = way == 1;
                const Heard sink(tree, request);
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
    for (const char* pattern :
         {"x_the_Zq", "eZe", "Zq(in", "n, t", "_Zq", "QZ", "zZ q", "(void)"}) {
        for (int round = 0; round < 20; ++round) {
            std::string text = Random(ordinary, random() % 5001);
            text.insert(random() % (text.size() + 1), pattern);
            ExpectSame(text, pattern);
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
