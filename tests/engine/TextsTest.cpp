// Result texts, prompt texts with their cause sentences, the query checks, and the file-name
// filter.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "CFileException.h"
#include "NativeTypes.h"
#include "ResultText.h"
#include "SearchErrorText.h"
#include "SearchQuery.h"
#include "WildcardFilter.h"

namespace pellumar {
namespace {

TEST(TextsTest, SizeTimeAndPathTextsOfTheResults) {
    for (auto [size, text] : {std::pair<uint64_t, const char*>{0, "0b"},
                              {1023, "1023b"},
                              {1024, "1.0kB"},
                              {1048575, "1024.0kB"},
                              {1048576, "1.00MB"},
                              {1073741823, "1024.00MB"},
                              {1073741824, "1.00GB"},
                              {5ULL << 30, "5.00GB"}}) {
        EXPECT_EQ(FormatSize(size), text);
    }
#ifndef _WIN32
    // Whatever the user's locale: one whose decimal separator is a comma is made for the test.
    const std::string locales = testing::TempDir() + "pellumar-locales";
    ::setenv("LOCPATH", locales.c_str(), 1);
    const bool made = std::system(("mkdir -p " + locales + " && localedef -i de_DE -f UTF-8 " +
                                   locales + "/de_DE.UTF-8 2>/dev/null")
                                      .c_str()) == 0;
    if (made && std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(FormatSize(1536), "1.5kB");
        EXPECT_EQ(FormatSize(1572864), "1.50MB");
        std::setlocale(LC_ALL, "C");
    } else {
        ADD_FAILURE()
            << "no locale with a decimal comma could be made (localedef, package locales)";
    }
    ::unsetenv("LOCPATH");
    ::setenv("TZ", "UTC0", 1);
#else
    _putenv_s("TZ", "UTC0");
    _tzset();
#endif
    EXPECT_EQ(FormatTimeText(FileTimeFromUnix(1110204300, 0)), "03/07/05 02:05PM");
    EXPECT_EQ(FormatTimeText(FileTimeFromUnix(1110153600, 0)), "03/07/05 12:00AM");
    using Split = std::pair<std::string_view, std::string_view>;
    EXPECT_EQ(SplitPath("/docs/a.txt"), Split("a.txt", "/docs"));
    EXPECT_EQ(SplitPath("/a.txt"), Split("a.txt", ""));
    EXPECT_EQ(SplitPath("a.txt"), Split("a.txt", ""));
}

// The texts the window and pellumar show in full are tested there; here, the rest.
TEST(TextsTest, PromptQueryAndConfirmationTexts) {
    EXPECT_EQ(FormatSearchErrorText("write to the temporary file", {FileCause(-1), -1, "x"}),
              "Cannot write to the temporary file (x): Unknown application error. Abort the "
              "search, Ignore this file and continue on to the next one, or Retry the operation?");
    EXPECT_STREQ(CFileException::GetCauseText(FileCause(14)), "The end of file was reached");
    EXPECT_STREQ(CFileException::GetCauseText(FileCause(15)), "Unknown application error");
    int entered = 0;
    const auto usable = [&](const std::string&) { return ++entered, true; };
    EXPECT_EQ(CheckQuery("*", "", "", false, usable), QueryProblem::NoFolder);
    EXPECT_EQ(entered, 0);  // the folder is not tried before the earlier checks pass
    EXPECT_EQ(CheckQuery("*", "/x", "", true, usable), QueryProblem::None);  // listing only
    EXPECT_EQ(CheckQuery(" ", " ", " ", false, usable), QueryProblem::None);
    EXPECT_EQ(ConfirmationText("foo", "bar", false),
              "Are you sure you want to replace all occurences of 'foo' with 'bar'?");
    EXPECT_EQ(ConfirmationText("foo", "bar", true), "Are you sure you want to search for 'foo'?");
}

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
