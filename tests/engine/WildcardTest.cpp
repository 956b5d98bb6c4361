// The file-name filter.
#include <gtest/gtest.h>

#include "NativeTypes.h"
#include "WildcardFilter.h"

namespace pellumar {
namespace {

TEST(WildcardTest, MatchesAsTheDialogsFilterDoes) {
    const std::string longest(259, '*');
    const struct {
        std::string filter, name;
        bool matches;
    } cases[] = {
        {"*.*", "Makefile", true},
        {"*.*", ".hidden", true},
        {"read.*", "read", true},
        {"read.*", "READ.me", true},
        {"read.*", "reader", false},
        {"*.C", "main.c", true},
        {"A?C", "abc", true},
        {"a?c", "ac", false},
        {"[ab].c", "a.c", false},
        {"*.c;*.h", "main.c", false},
        {"*.c;*.h", "main.h", false},
        {"*.c *.h", "a.c", false},
        {"*ab*ab", "xabyabab", true},
        {"a*b*c", "aXbYbZ", false},
        {"\xC3\xA9*", "\xC3\x89", false},
        {longest, "a", true},
        {longest + "*", "a", false},
        {"", "a", false},
        {"sub/*.c", "x.c", true},
        {"sub/", "x", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WildcardFilter(c.filter).Matches(c.name), c.matches) << c.filter << " " << c.name;
    }
    // The folder part as it leads, without "." parts or repeated separators.
    const std::string deeper = std::string("sub") + kSeparator + "deeper" + kSeparator;
    EXPECT_EQ(WildcardFilter("sub/deeper/*.c").Folder(), deeper);
    EXPECT_EQ(WildcardFilter("./sub//./deeper/*.c").Folder(), deeper);
    EXPECT_EQ(WildcardFilter("./*.c").Folder(), "");
}

// A folder part leads outside the walked folder when it is absolute or goes up a level; such a
// filter finds nothing at all.
TEST(WildcardTest, FolderPartThatLeadsOutsideIsRefused) {
    for (const char* outside : {"../*.txt", "a/../../*.txt", "a/../*", "/etc/host*", "//x/*"}) {
        EXPECT_TRUE(WildcardFilter::LeavesFolder(outside)) << outside;
        EXPECT_FALSE(WildcardFilter(outside).IsUsable()) << outside;
    }
    for (const char* inside : {"*.txt", "..*", "..x/*", "a..b/*.c", "./*.c", "sub/*.c", "x/..."}) {
        EXPECT_FALSE(WildcardFilter::LeavesFolder(inside)) << inside;
    }
#ifdef _WIN32
    for (const char* outside :
         {"..\\*.c", "C:\\x\\*.c", "C:x\\*.c", "C:*.c", "a.txt:s", "\\x\\*", "...\\*", ".. \\*"}) {
        EXPECT_TRUE(WildcardFilter::LeavesFolder(outside)) << outside;
    }
#endif
}

}  // namespace
}  // namespace pellumar
