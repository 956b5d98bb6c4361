// The file-name filter.
#include <gtest/gtest.h>

#include "WildcardFilter.h"

namespace pellumar {
namespace {

bool Matches(const char* filter, const char* name) {
    return WildcardFilter(filter).Matches(name);
}

TEST(WildcardTest, StarDotStarMatchesEveryNameWithOrWithoutDot) {
    EXPECT_TRUE(Matches("*.*", "a.txt"));
    EXPECT_TRUE(Matches("*.*", "Makefile"));
    EXPECT_TRUE(Matches("*.*", ".hidden"));
    EXPECT_TRUE(Matches("*", "x.y.z"));
    EXPECT_TRUE(Matches("read.*", "read"));
    EXPECT_TRUE(Matches("read.*", "READ.me"));
    EXPECT_FALSE(Matches("read.*", "reader"));
}

TEST(WildcardTest, LettersMatchWithoutCaseOtherBytesLiterally) {
    EXPECT_TRUE(Matches("*.C", "main.c"));
    EXPECT_TRUE(Matches("A?C", "abc"));
    EXPECT_FALSE(Matches("a?c", "ac"));
    EXPECT_FALSE(Matches("[ab].c", "a.c"));
    EXPECT_TRUE(Matches("[ab].c", "[AB].c"));
    EXPECT_TRUE(Matches("\xC3\xA9*", "\xC3\xA9t\xC3\xA9"));
    EXPECT_FALSE(Matches("\xC3\xA9*", "\xC3\x89T\xC3\x89"));  // no folding beyond ASCII
}

TEST(WildcardTest, ListSeparatorsArePartOfTheOnePattern) {
    EXPECT_FALSE(Matches("*.c;*.h", "main.c"));
    EXPECT_FALSE(Matches("*.c;*.h", "main.h"));
    EXPECT_TRUE(Matches("*.c;*.h", "odd.c;x.h"));
    EXPECT_FALSE(Matches("*.c *.h", "main.c"));
}

TEST(WildcardTest, StarsBacktrack) {
    EXPECT_TRUE(Matches("*ab*ab", "xabyabab"));
    EXPECT_TRUE(Matches("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(Matches("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(Matches("**", ""));
}

TEST(WildcardTest, FolderPartAndLengthLimit) {
    const WildcardFilter withFolder("sub/deeper/*.c");
    EXPECT_EQ(withFolder.Folder(), "sub/deeper/");
    EXPECT_TRUE(withFolder.Matches("x.c"));
    EXPECT_FALSE(withFolder.Matches("x.h"));

    const std::string longest(259, '*');
    EXPECT_TRUE(WildcardFilter(longest).Matches("a"));
    EXPECT_FALSE(WildcardFilter(longest + "*").Matches("a"));
    EXPECT_FALSE(WildcardFilter("").Matches("a"));
    EXPECT_FALSE(WildcardFilter("sub/").Matches("a"));
}

}  // namespace
}  // namespace pellumar
