#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>

#include "AppDoubles.h"
#include "CSearchApp.h"
#include "DialogLayout.h"
#include "ResultsModel.h"
#include "RunSummary.h"
#include "SearchFlow.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

ResultRow Named(const char* name) {
    return {name, "/f", 0, {}, name};
}

TEST(RulesTest, ResultsKeepNameOrderAndTheSelectionFollowsItsRows) {
    ResultsModel model;
    QItemSelectionModel selection(&model);
    model.AddRows({Named("b"), Named("D")});
    selection.select(model.index(1, 0), QItemSelectionModel::Select);  // "D"
    model.AddRows({Named("c"), Named("B"), Named("a"), Named("b")});
    QStringList names;
    for (int i = 0; i < model.rowCount(); ++i)
        names << model.Row(i).name;
    EXPECT_EQ(names, QStringList({"a", "b", "B", "b", "c", "D"}));  // equal names: as they came
    ASSERT_EQ(selection.selectedIndexes().size(), 1);
    EXPECT_EQ(selection.selectedIndexes()[0].row(), 5);
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, Qt::DisplayRole), "Modified");
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

// Names are ordered as their case-folded texts compare, whether they differ early or late,
// within their first eight characters or past them, by length, or beyond ASCII; rows added in
// batches of any size land where one sort of them all puts them.
TEST(RulesTest, NamesOrderAsTheirFoldedTextsWhereverTheyDiffer) {
    const QStringList names = {"file0001.txt",
                               "file0001.tx",
                               "FILE0001.TXT",
                               "file0001",
                               "file000",
                               "file0001.txz",
                               "file00010",
                               "a",
                               "",
                               "\u00e9t\u00e9",
                               "\u00c9T\u00c9x",
                               "z\u00df",
                               "zz",
                               "\U0001F600a",
                               "\U0001F600",
                               "abcdefgh",
                               "abcdefghi",
                               "ABCDEFGG",
                               "abcdefgH0",
                               "~"};
    QStringList expected = names;
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.toCaseFolded().compare(b.toCaseFolded()) < 0;
    });
    for (const qsizetype batch : {qsizetype{1}, qsizetype{3}, names.size()}) {
        ResultsModel model;
        for (qsizetype at = 0; at < names.size(); at += batch) {
            std::vector<ResultRow> rows;
            for (const QString& name : names.mid(at, batch))
                rows.push_back({name, "/f", 0, {}, name.toUtf8()});
            model.AddRows(std::move(rows));
        }
        QStringList got;
        for (int i = 0; i < model.rowCount(); ++i)
            got << model.Row(i).name;
        EXPECT_EQ(got, expected) << batch;
    }
}

// A heading sorts by its column, size and time by their values: 900 bytes before 2 KB,
// though "2KB" < "900b" as text. Equal values keep the order of names, then of arrival, both
// ways; rows that come while sorted go to their place; the selection follows its rows.
TEST(RulesTest, AColumnSortsByItsValuesAndEqualValuesKeepNameOrder) {
    ResultsModel model;
    QItemSelectionModel selection(&model);
    const auto row = [](const char* name, const char* folder, uint64_t size, uint64_t time) {
        return ResultRow{name, folder, size, {static_cast<uint32_t>(time), 0}, name};
    };
    model.AddRows({row("c", "/b", 2048, 3), row("a", "/B", 900, 1), row("b", "/a", 900, 2)});
    const auto names = [&] {
        QStringList shown;
        for (int i = 0; i < model.rowCount(); ++i)
            shown << model.Row(i).name;
        return shown.join("");
    };
    selection.select(model.index(0, 0), QItemSelectionModel::Select);  // "a"
    model.sort(2, Qt::AscendingOrder);
    EXPECT_EQ(names(), "abc");
    model.sort(2, Qt::DescendingOrder);
    EXPECT_EQ(names(), "cab");  // the equal sizes stay in name order
    model.sort(4, Qt::DescendingOrder);
    EXPECT_EQ(names(), "cba");
    model.sort(1, Qt::AscendingOrder);
    EXPECT_EQ(names(), "bac");  // "/B" and "/b" are equal without regard to case
    model.AddRows({row("d", "/a", 1, 9), row("a", "/b", 1, 0)});
    EXPECT_EQ(names(), "bdaac");  // the second "a" came later
    ASSERT_EQ(selection.selectedIndexes().size(), 1);
    EXPECT_EQ(selection.selectedIndexes()[0].row(), 2);
    EXPECT_EQ(model.Row(2).location, "/B");
    model.sort(0, Qt::DescendingOrder);
    EXPECT_EQ(names(), "dcbaa");  // equal names as they came, either way
    EXPECT_EQ(model.Row(3).location, "/B");
    model.Clear();
    EXPECT_EQ(model.SortColumn(), 0);
    EXPECT_EQ(model.SortOrder(), Qt::AscendingOrder);
}

TEST(RulesTest, TheResultsMenuFollowsTheSelectionAndTheEmptyListSpeaksOnlyAfterASearch) {
    const ResultsMenuState none = ResultsMenuFor(0, 1, true);
    EXPECT_FALSE(none.open || none.openFolder || none.copyPath);
    EXPECT_TRUE(none.undo);
    const ResultsMenuState two = ResultsMenuFor(2, 1, false);
    EXPECT_TRUE(two.open && two.openFolder && two.copyPath);
    EXPECT_FALSE(two.undo);
    EXPECT_FALSE(ResultsMenuFor(1, 0, true).open);  // no double-click action: nothing to open
    EXPECT_STREQ(EmptyListText(true, 0), "No files found");
    EXPECT_STREQ(EmptyListText(true, 3), "");
    EXPECT_STREQ(EmptyListText(false, 0), "");
}

TEST(RulesTest, DialogUnitsBecomePixelsFromTheFontsBaseUnits) {
    const PixelRect start = ToPixels(239, 7, 50, 14, {7, 16});
    EXPECT_EQ(start.x, 418);  // 239 * 7 / 4 = 418.25
    EXPECT_EQ(start.y, 14);
    EXPECT_EQ(start.width, 88);  // 87.5 rounds up
    EXPECT_EQ(start.height, 28);
}

// Help opens the text beside the executable when there is one; the program running its window
// is tested with F1 from every window.
TEST(RulesTest, HelpOpensTheTextBesideTheExecutableWhenThereIsOne) {
    EXPECT_EQ(HelpFilePath("/opt/ps/PellumarSearch"), "/opt/ps/PellumarSearch.TXT");
    EXPECT_EQ(HelpFilePath("/opt/v1.2/Search"), "/opt/v1.2/Search.TXT");
    QTemporaryDir folder;
    test::RecordingShell shell;
    CSearchApp app(shell, folder.filePath("PellumarSearch"));
    EXPECT_EQ(app.ApplicationName(), "PellumarSearch");
    app.OnHelp();
    EXPECT_TRUE(shell.m_calls.isEmpty());
    QFile(folder.filePath("PellumarSearch.TXT")).open(QIODevice::WriteOnly);
    app.OnHelp();
    EXPECT_EQ(shell.m_calls, QStringList{"open " + folder.filePath("PellumarSearch.TXT")});
}

// The line that ends a run: what it found, listed or changed, how many it left or could not
// read, and where it stopped; counts as people read them.
TEST(RulesTest, TheEndOfARunIsToldInOneLine) {
    using Kind = RunSummary::Kind;
    const auto told = [](Kind kind, int listed, int left, int unread, bool stopped,
                         uint64_t lookedAt = 1204) {
        RunSummary summary;
        summary.Begin(kind);
        for (int i = 0; i < listed; ++i)
            summary.Listed();
        for (int i = 0; i < left; ++i)
            summary.LeftAsItWas();
        for (int i = 0; i < unread; ++i)
            summary.NotRead();
        if (stopped)
            summary.Stopped();
        return summary.EndText(lookedAt);
    };
    EXPECT_EQ(told(Kind::Search, 312, 0, 0, false), "Found in 312 files");
    EXPECT_EQ(told(Kind::Search, 1, 0, 0, false), "Found in 1 file");
    EXPECT_EQ(told(Kind::Search, 0, 0, 2, false), "Found in 0 files; 2 could not be read");
    EXPECT_EQ(told(Kind::List, 1500, 0, 0, false), "Listed 1,500 files");
    EXPECT_EQ(told(Kind::Replace, 310, 2, 0, false), "Changed 310 files; 2 left as they were");
    EXPECT_EQ(told(Kind::Replace, 97, 0, 0, true), "Stopped after 1,204 files: changed 97");
    EXPECT_EQ(told(Kind::Search, 3, 1, 0, true, 1),
              "Stopped after 1 file: found in 3; 1 left as it was");
    EXPECT_EQ(RunSummary::ProgressText(0, "/home/u"), "Looked at 0 files, now in /home/u");
    EXPECT_EQ(RunSummary::ProgressText(1, ""), "Looked at 1 file");
    EXPECT_EQ(RunSummary::ProgressText(2, "/a\nb"), "Looked at 2 files, now in /a\u240ab");
    RunSummary unentered;
    unentered.Begin(Kind::Replace);
    unentered.FolderNotEntered();
    EXPECT_EQ(unentered.EndText(0), "The folder could not be entered");
    EXPECT_EQ(CountText(0), "0");
    EXPECT_EQ(CountText(999), "999");
    EXPECT_EQ(CountText(1000), "1,000");
    EXPECT_EQ(CountText(1234567890123ull), "1,234,567,890,123");
}

// New Query's folder is the user's home as a full path; a chooser opens at the folder typed or
// the nearest one of it that exists.
TEST(RulesTest, TheUsersOwnFoldersAreWhereTheWindowStarts) {
    {
        const test::ScopedEnv home("HOME", "/home/someone//");
        EXPECT_EQ(NewQueryTexts().folder, "/home/someone");
        EXPECT_EQ(NewQueryTexts().filter, "*.*");
    }
    {
        const test::ScopedEnv home("HOME", "relative");  // not a full path: the account's own
        EXPECT_EQ(HomeFolder().front(), '/');
    }
    const test::ScopedEnv home("HOME", "/home/someone");
    const auto exists = [](const std::string& path) {
        return path == "/" || path == "/srv" || path == "/srv/data";
    };
    EXPECT_EQ(ChooserStart("/srv/data", exists), "/srv/data");
    EXPECT_EQ(ChooserStart("/srv/data/gone/deeper", exists), "/srv/data");
    EXPECT_EQ(ChooserStart("/gone", exists), "/");
    EXPECT_EQ(ChooserStart("", exists), "/home/someone");
    EXPECT_EQ(ChooserStart("/gone", [](const std::string&) { return false; }), "/home/someone");
    // A name with a line feed cannot pass for another line of the question.
    RunScope scope{"/srv/x\nIncluding hidden files", "*.c", false, false, false, false, true};
    EXPECT_EQ(RunConfirmationText("a", "b", scope),
              "Are you sure you want to replace all occurences of 'a' with 'b'?\n\nIn the folder: "
              "/srv/x\u240aIncluding hidden files\nFiles named: *.c");
    EXPECT_EQ(VisibleText(std::string("a\tb\x7f\0", 5)), "a\u2409b\u2421\u2400");
}

// Default column widths grow with the font's characters but never below what their texts need;
// a window goes in the middle of the screen's free area, and its top left corner stays on it.
TEST(RulesTest, ColumnsFollowTheFontAndTheWindowOpensOnTheScreen) {
    EXPECT_EQ(DefaultColumnWidth(42, kDescribedCharWidth, 0), 42);
    EXPECT_EQ(DefaultColumnWidth(42, 9, 0), 63);
    EXPECT_EQ(DefaultColumnWidth(42, 7, 60), 60);
    EXPECT_EQ(DefaultColumnWidth(120, 5, 0), 100);
    EXPECT_EQ(CentredSpot(0, 0, 1280, 1024, 480, 424).x, 400);
    EXPECT_EQ(CentredSpot(0, 0, 1280, 1024, 480, 424).y, 300);
    EXPECT_EQ(CentredSpot(0, 24, 640, 488, 900, 900).x, 0);
    EXPECT_EQ(CentredSpot(0, 24, 640, 488, 900, 900).y, 24);
    EXPECT_EQ(CentredSpot(1280, 0, 1920, 1080, 1920, 1000).x, 1280);
}

}  // namespace
}  // namespace pellumar
