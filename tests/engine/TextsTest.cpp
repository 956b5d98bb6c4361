// Cause sentences, error classification, result texts, prompt texts and the query checks.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "CFileException.h"
#include "ResultText.h"
#include "SearchErrorText.h"
#include "SearchQuery.h"

namespace pellumar {
namespace {

TEST(TextsTest, CauseSentencesCoverEveryCodeAndUnknownOnes) {
    EXPECT_STREQ(CFileException::GetCauseText(0), "No error occured");
    EXPECT_STREQ(CFileException::GetCauseText(5),
                 "The file could not be accessed. It may be in use by another program or it may "
                 "be write-protected");
    EXPECT_STREQ(CFileException::GetCauseText(13),
                 "The disk is full: not enough disk space available for the operation");
    EXPECT_STREQ(CFileException::GetCauseText(14), "The end of file was reached");
    EXPECT_STREQ(CFileException::GetCauseText(15), "Unknown application error");
    EXPECT_STREQ(CFileException::GetCauseText(-1), "Unknown application error");
}

TEST(TextsTest, ErrnoIsClassifiedByMeaning) {
    EXPECT_EQ(CauseFromErrno(ENOENT), 2);
    EXPECT_EQ(CauseFromErrno(ENAMETOOLONG), 3);
    EXPECT_EQ(CauseFromErrno(ELOOP), 3);
    EXPECT_EQ(CauseFromErrno(EMFILE), 4);
    EXPECT_EQ(CauseFromErrno(EROFS), 5);
    EXPECT_EQ(CauseFromErrno(EACCES), 5);
    EXPECT_EQ(CauseFromErrno(EBADF), 6);
    EXPECT_EQ(CauseFromErrno(EIO), 10);
    EXPECT_EQ(CauseFromErrno(EAGAIN), 11);
    EXPECT_EQ(CauseFromErrno(ENOSPC), 13);
    EXPECT_EQ(CauseFromErrno(EDQUOT), 13);
    EXPECT_EQ(CauseFromErrno(EFBIG), 13);
    EXPECT_EQ(CauseFromErrno(EINVAL), 1);
}

TEST(TextsTest, Win32CodesFollowTheTable) {
    EXPECT_EQ(CauseFromWin32Error(0), 0);
    EXPECT_EQ(CauseFromWin32Error(2), 2);
    EXPECT_EQ(CauseFromWin32Error(267), 3);
    EXPECT_EQ(CauseFromWin32Error(183), 5);
    EXPECT_EQ(CauseFromWin32Error(32), 11);
    EXPECT_EQ(CauseFromWin32Error(112), 13);
    EXPECT_EQ(CauseFromWin32Error(38), 14);
    EXPECT_EQ(CauseFromWin32Error(997), 10);
    EXPECT_EQ(CauseFromWin32Error(1), 1);
    EXPECT_EQ(CauseFromWin32Error(-5), 1);
}

TEST(TextsTest, SizeTextAtEveryThresholdAndBeyondFourGigabytes) {
    EXPECT_EQ(FormatSize(0), "0b");
    EXPECT_EQ(FormatSize(1023), "1023b");
    EXPECT_EQ(FormatSize(1024), "1.0kB");
    EXPECT_EQ(FormatSize(1536), "1.5kB");
    EXPECT_EQ(FormatSize(1048575), "1024.0kB");
    EXPECT_EQ(FormatSize(1048576), "1.00MB");
    EXPECT_EQ(FormatSize(1073741823), "1024.00MB");
    EXPECT_EQ(FormatSize(1073741824), "1.00GB");
    EXPECT_EQ(FormatSize(5ULL << 30), "5.00GB");
}

TEST(TextsTest, TimeTextIsLocalTimeInTheCLocale) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // 7 March 2005 14:05 UTC
    const FILETIME ft = FileTimeFromUnix(1110204300, 0);
    EXPECT_EQ(FormatTimeText(ft), "03/07/05 02:05PM");
    EXPECT_EQ(FormatTimeText(FileTimeFromUnix(1110153600, 0)), "03/07/05 12:00AM");
    old ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}

TEST(TextsTest, PathsSplitAtTheLastSlash) {
    EXPECT_EQ(SplitPath("/docs/a.txt"),
              std::make_pair(std::string_view("a.txt"), std::string_view("/docs")));
    EXPECT_EQ(SplitPath("/a.txt"), std::make_pair(std::string_view("a.txt"), std::string_view()));
    EXPECT_EQ(SplitPath("a.txt"), std::make_pair(std::string_view("a.txt"), std::string_view()));
}

TEST(TextsTest, PromptTextsNameOperationFileAndCause) {
    const CFileException record{13, 28, "/data/pel12AB.tmp"};
    EXPECT_EQ(FormatSearchErrorNoRetryText("close the output file", record),
              "Cannot close the output file (/data/pel12AB.tmp): The disk is full: not enough "
              "disk space available for the operation. OK to skip this file and continue this "
              "search or Cancelit?");
    const CFileException unknown{-1, -1, "x"};
    EXPECT_EQ(FormatSearchErrorText("write to the temporary file", unknown),
              "Cannot write to the temporary file (x): Unknown application error. Abort the "
              "search, Ignore this file and continue on to the next one, or Retry the "
              "operation?");
}

TEST(TextsTest, QueryChecksRunInOrderAndStopAtTheFirstProblem) {
    int folderChecks = 0;
    const auto usable = [&](const std::string&) { return ++folderChecks, true; };
    const auto missing = [&](const std::string&) { return ++folderChecks, false; };
    EXPECT_EQ(CheckQuery("", "", "", false, usable), QueryProblem::NoFilter);
    EXPECT_EQ(CheckQuery("*", "", "", false, usable), QueryProblem::NoFolder);
    EXPECT_EQ(folderChecks, 0);
    EXPECT_EQ(CheckQuery("*", "/x", "", false, missing), QueryProblem::FolderNotFound);
    EXPECT_EQ(CheckQuery("*", "/x", "", false, usable), QueryProblem::NothingToSearch);
    EXPECT_EQ(CheckQuery("*", "/x", "", true, usable), QueryProblem::None);
    EXPECT_EQ(CheckQuery(" ", " ", " ", false, usable), QueryProblem::None);
    EXPECT_STREQ(QueryProblemText(QueryProblem::NoFilter), "Please type in a filter.");
    EXPECT_STREQ(QueryProblemCaption(QueryProblem::FolderNotFound), "Folder not found");
}

TEST(TextsTest, ConfirmationQuestionHasThreeWordings) {
    EXPECT_EQ(ConfirmationText("foo", "bar", false),
              "Are you sure you want to replace all occurences of 'foo' with 'bar'?");
    EXPECT_EQ(ConfirmationText("foo", "", false),
              "Are you sure you want to replace all occurences of 'foo' with nothing?");
    EXPECT_EQ(ConfirmationText("foo", "bar", true), "Are you sure you want to search for 'foo'?");
}

}  // namespace
}  // namespace pellumar
