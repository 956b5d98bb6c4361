// Regular expressions. Every file the engine rewrites must hold the bytes the pattern library's
// own global substitution makes of its whole content at once, on random patterns and contents,
// at sizes read in one step, read head first and mapped, in both case modes, and the count must
// be its count. Then the rules a user meets: the replacement's references, a pattern too complex
// for a file, and patterns that cannot be used.
#include <gtest/gtest.h>

#include <random>

#include "PatternReference.h"
#include "PatternShape.h"
#include "RecordingSink.h"
#include "SearchRule.h"

namespace pellumar::test {
namespace {

Request PatternRequest(const std::string& pattern, const std::string& replacement,
                       bool ignoreCase = false) {
    Request request{"", "*.*", pattern, replacement, false, false, true, ignoreCase};
    request.regex = true;
    return request;
}

class PatternTest : public ::testing::Test {
  protected:
    // Replaces in the content, and counts searching only: both as the reference. Returns whether
    // the reference could run the pattern at all.
    bool ExpectSame(const std::string& content, const std::string& pattern,
                    const std::string& replacement, bool ignoreCase) {
        const auto reference = SubstituteAll(content, pattern, replacement, ignoreCase);
        if (!reference) {
            return false;
        }
        const std::string what = "pattern '" + pattern + "', replacement '" + replacement +
                                 "', ignore case " + std::to_string(ignoreCase) + ", " +
                                 std::to_string(content.size()) + " bytes";
        const Lines counted{reference->matches == 0
                                ? "finished 0"
                                : "counted f: " + std::to_string(reference->matches)};
        for (const bool searchOnly : {true, false}) {
            tree.Write("f", content);
            Request request = PatternRequest(pattern, replacement, ignoreCase);
            request.searchOnly = searchOnly;
            request.countMatches = true;
            const Heard sink(tree, request);
            EXPECT_EQ(sink.Others().front(), counted.front()) << what << "\n[" << content << "]";
            EXPECT_EQ(sink.Found(), reference->matches == 0 ? Lines{} : Lines{"f"}) << what;
            if (!searchOnly) {
                EXPECT_EQ(tree.Read("f"), reference->text) << what << "\n[" << content << "]";
            }
        }
        return true;
    }

    std::string Pick(const std::vector<std::string>& pieces, std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            text += pieces[random() % pieces.size()];
        }
        return text;
    }

    // A pattern of a few items, each perhaps repeated, sometimes two such in alternation.
    std::string RandomPattern() {
        static const std::vector<std::string> items = {
            "a",     "b",      "ab",       "\xC3\xA9",   "\\w",   "\\d",    "\\s",
            ".",     "[ab]",   "[^a\\n]",  "^",          "$",     "\\b",    "x*",
            "\\n",   "(a|b)",  "(?:ab|b)", "(?<n>b)",    "(?=a)", "(?<=b)", "_Py",
            "a\\nb", "(\\d)?", "\\.",      "[[:alpha:]]"};
        static const std::vector<std::string> repeats = {"",  "",      "",   "",   "*",  "+",
                                                         "?", "{1,3}", "*?", "+?", "{2}"};
        std::string pattern;
        for (std::size_t n = 1 + random() % 4; n > 0; --n) {
            pattern += items[random() % items.size()] + repeats[random() % repeats.size()];
        }
        return random() % 5 == 0 ? pattern + "|" + RandomPattern() : pattern;
    }

    std::string RandomReplacement() {
        static const std::vector<std::string> pieces = {"<",  ">",  "$0", "$1",   "${1}",
                                                        "$$", "\\", "",   "${n}", "$2"};
        return Pick(pieces, random() % 4);
    }

    // Lines of letters in both cases, digits and UTF-8, CRLF and LF; one in three with bytes that
    // are not UTF-8.
    std::string RandomContent(std::size_t size) {
        static const std::vector<std::string> pieces = {
            "a", "B", "ab", "\n",   "\xC3\xA9", "\xC3\x89", "_Py",
            " ", "x", "1",  "\r\n", ".",        "\xff",     "\xC3"};
        const std::size_t kinds = pieces.size() - (random() % 3 == 0 ? 0 : 2);
        std::string text;
        while (text.size() < size) {
            text += pieces[random() % kinds];
        }
        return text;
    }

    TempTree tree;
    std::mt19937 random{20261210};
};

TEST_F(PatternTest, EveryFileIsTheLibrarysOwnSubstitution) {
    int ran = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string content = RandomContent(random() % 300);
        ran += ExpectSame(content, RandomPattern(), RandomReplacement(), round % 2 == 1);
        if (HasFailure()) {
            return;
        }
    }
    EXPECT_GT(ran, 150);  // the others: not valid, or naming groups the pattern lacks
    // Past the head a small file is read in, and past the size above which a file is mapped:
    // random patterns after a literal planted here and there, so that the matches are few and
    // the library's own substitution stays quick in the checking builds too.
    for (const std::size_t size : {70u << 10, 200u << 10, 5u << 20}) {
        std::string content = RandomContent(size);
        for (std::size_t at = random() % 4096; at < content.size(); at += size / 40) {
            content.insert(at, "PyObject_");
        }
        for (int round = 0; round < (size > (1u << 20) ? 3 : 8) && !HasFailure(); ++round) {
            ExpectSame(content, "PyObject_(?:" + RandomPattern() + ")", RandomReplacement(),
                       round % 2 == 1);
        }
    }
    // Literal text every match holds, found before the pattern runs, near the starts and ends of
    // lines and files.
    const std::string content = RandomContent(100 << 10) + "\nPyObject_x\nPyObject_";
    for (const char* pattern : {"PyObject_\\w*", "\\w+@\\w+\\.\\w+", "^a.b$", "b\\s+_Py",
                                "(?<=\\n)_Py", "x\\n*_", "[^a]_Py", "y?Py(?!O)"}) {
        ExpectSame(content, pattern, "[$0]", false);
        ExpectSame(content, pattern, "[$0]", true);
    }
}

// The replacement's references, and what stands for itself.
TEST_F(PatternTest, TheReplacementPutsInGroupsAndNothingElse) {
    struct Case {
        const char* pattern;
        const char* replacement;
        const char* content;
        const char* result;
    };
    const Case cases[] = {
        {"(\\d+)/(?<month>\\d+)", "$2.$1 ${month} ${1}0 $$ \\1 $x $ ${", "12/05;",
         "05.12 05 120 $ \\1 $x $ ${;"},
        {"(a)|(b)", "[$1-$2]", "ab", "[a-][-b]"},
        {"^", "> ", "one\ntwo\n", "> one\n> two\n"},  // no line after the last line feed
        {"\xC3\xA9|.", "<$0>", "\xC3\xA9\xff\x61", "<\xC3\xA9>\xff<a>"},  // a byte not UTF-8 stays
        // An empty match at every place between characters and bytes that are not UTF-8 alike.
        {"x*", "-", "ab\xC3\x63\x64\xff", "-a-b-\xC3-c-d-\xff-"},
        {"get_(\\w+)", "fetch_$1", "get_x(); forget_y", "fetch_x(); forfetch_y"},
    };
    for (const Case& c : cases) {
        tree.Write("f", c.content);
        const Heard sink(tree, PatternRequest(c.pattern, c.replacement));
        EXPECT_EQ(tree.Read("f"), c.result) << c.pattern;
    }
    // Without the option the texts are literal: '.', '$' and groups are plain bytes.
    tree.Write("f", "a.b$1 axb");
    const Heard literal(tree, {"", "*.*", "a.b$1", "$2", false, false, true, false});
    EXPECT_EQ(tree.Read("f"), "$2 axb");
}

// A pattern that would backtrack without end leaves the file as it is, and the run goes on.
TEST_F(PatternTest, APatternTooComplexForAFileLeavesItAsItIs) {
    const std::string many = std::string(40 << 10, 'a') + "c b";  // only 'b' is needed
    tree.Write("hard", many);
    tree.Write("easy", "aab");
    for (const bool searchOnly : {true, false}) {
        Request request = PatternRequest("(a|aa)*(a|aa)*b", "<$0>");
        request.searchOnly = searchOnly;
        const Heard sink(tree, request);
        EXPECT_EQ(sink.Others(),
                  (Lines{"skipped hard: pattern too complex for this file", "finished 0"}));
        EXPECT_EQ(sink.Found(), Lines{"easy"});
        EXPECT_EQ(tree.Read("hard"), many);
    }
    EXPECT_EQ(tree.Read("easy"), "<aab>");
}

TEST_F(PatternTest, APatternThatCannotBeUsedIsToldBeforeAnythingIsRead) {
    const auto problem = [](const char* pattern, const char* replacement) {
        RuleProblem found;
        const SearchRule rule = MakeSearchRule(PatternRequest(pattern, replacement), found);
        EXPECT_EQ(rule.matcher == nullptr, found.kind != RuleProblem::Kind::None);
        return RuleProblemText(found);
    };
    EXPECT_EQ(problem("\xC3\xA9(ab", ""),
              "the regular expression is not valid: missing closing parenthesis at character 5");
    EXPECT_EQ(problem("a{2,1}", ""),
              "the regular expression is not valid: numbers out of order in {} quantifier at "
              "character 6");
    EXPECT_EQ(problem("(a)(?<n>b)", "$3"),
              "the replacement names a group the regular expression does not have: $3");
    EXPECT_EQ(problem("(a)(?<n>b)", "${m}"),
              "the replacement names a group the regular expression does not have: ${m}");
    EXPECT_EQ(problem("(a)(?<n>b)", "$2${n}$0$$${2}"), "");
    // The worker given such a pattern reads nothing.
    tree.Write("f", "ab");
    const Heard sink(tree, PatternRequest("(", "x"));
    EXPECT_EQ(sink.Told(), Lines{"finished 0"});
}

// What the engine relies on when it looks for literal text before running the pattern.
TEST_F(PatternTest, TheLiteralEveryMatchHolds) {
    struct Case {
        const char* pattern;
        bool ignoreCase;
        const char* literal;
        bool lineBound;
    };
    const Case cases[] = {
        {"PyObject_\\w+", false, "PyObject_", true},
        {"\\w+@\\w+\\.\\w+", false, "@", true},
        {"ab+c", false, "c", true},
        {"ab|cd", false, "", true},
        {"(?i)abc", false, "", false},
        {"foo\\nbar", false, "bar", false},  // the rarer
        {"[^x]yz", false, "yz", false},
        {"k(ey)s", true, "ey", true},  // k and s match letters beyond ASCII
        {"a\\Kb", false, "", false},
        {"x{2}y", false, "y", true},
        {"(__attri)(bute__)", false, "bute__", true},  // a plain group's text is the match's
        {"(?:ab|cd)e(f)?", false, "e", true},
        {"(?=abc)d(?<=d)", false, "d", true},
        {"(?-m)a$", false, "", false},
    };
    for (const Case& c : cases) {
        const PatternShape shape = ShapeOf(c.pattern, c.ignoreCase);
        EXPECT_EQ(shape.literal, c.literal) << c.pattern;
        EXPECT_EQ(shape.lineBound, c.lineBound) << c.pattern;
    }
}

}  // namespace
}  // namespace pellumar::test
