// What the window tells of a run: where and how widely a replacement will go before it starts,
// what went wrong with a file and the files it changed as they now are, the line that says how
// the run goes and how it ended, and why the desktop could not open a file.
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <atomic>

#include "DesktopShell.h"
#include "FileInformation.h"
#include "SearchWindowFixture.h"

namespace pellumar {

using test::Op;

class RunToldTest : public SearchWindowTest {
  protected:
    bool SummaryMatches(const QString& pattern) const {
        return QRegularExpression("^" + pattern + "$").match(Summary()).hasMatch();
    }
};

// Before: the question names the folder, the filter and every option that widens the run, and
// No leaves everything as it was; a search names where too.
TEST_F(RunToldTest, TheQuestionBeforeARunSaysWhereAndHow) {
    tree.Write("a.txt", "abc");
    m_dialog->Options().m_bSearchConfirmation = 1;
    m_dialog->Options().m_bKeepUndo = 0;
    Query(tree.Root(), "*.txt", "abc", "x");
    m_prompter.Answer({P::kIdNo});
    m_dialog->OnStart();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "Search confirmation: Are you sure you want to replace all occurences of 'abc' with "
              "'x'?\n\nIn the folder: " +
                  Root() +
                  "\nFiles named: *.txt\nIncluding subfolders\nIncluding hidden files\nIgnoring "
                  "case: upper and lower case letters match each other\n\nKeep Undo Copies is "
                  "off: this replacement cannot be taken back.");
    EXPECT_EQ(tree.Read("a.txt"), "abc");
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    EXPECT_FALSE(List()->isVisible());
    EXPECT_TRUE(m_store.Log().empty());
    // Narrowed, the question says no more than where.
    m_dialog->Options().m_bKeepUndo = 1;
    m_dialog->Options().m_bIgnoreCase = 0;
    m_dialog->Options().m_bHiddenFiles = 0;
    Get<QCheckBox>(kIdSubfolders)->setChecked(false);
    m_dialog->OnStart();
    const QString where = "\n\nIn the folder: " + Root() + "\nFiles named: *.txt";
    EXPECT_TRUE(m_prompter.m_asked.last().endsWith("'x'?" + where));
    SearchOnly(true);
    m_dialog->OnStart();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "Search confirmation: Are you sure you want to search for 'abc'?" + where);
}

// A file that cannot be put in place is put to the user, with the file being replaced and the
// system's reason: Retry tries again, Ignore passes over it, Abort ends the run, and no
// temporary file stays. Only the files changed are listed, each with its new size and time,
// and one line says how it ended.
TEST_F(RunToldTest, AFailedFileIsPutToTheUserAndOnlyWhatChangedIsListed) {
    m_dialog->Options().m_bKeepUndo = 0;  // its journal would take the faults meant for these
    Query(tree.Root(), "*.txt", "abc", "x");
    const auto run = [&](int error, int answer) {
        tree.Write("a.txt", "abc defghijk");
        tree.Write("b.txt", "abc");
        tree.Write("c.txt", "none");
        m_sys.Fail(Op::CreateTemp, error, 1);
        m_prompter.Answer({answer});
        Run();
        EXPECT_TRUE(tree.TemporaryFiles().empty());
        return QString::fromStdString(tree.Read("a.txt") + "|" + tree.Read("b.txt"));
    };
    EXPECT_EQ(run(ENOSPC, P::kIdRetry), "x defghijk|x");
    EXPECT_TRUE(m_prompter.m_asked.last().startsWith(
        "The Ovandrizer: Search Error: Cannot open the temporary file ("));
    EXPECT_TRUE(m_prompter.m_asked.last().contains("): The disk is full"));
    EXPECT_EQ(Summary(), "Changed 2 files");

    const QString ignored = run(EACCES, P::kIdIgnore);
    const bool aLeft = ignored == "abc defghijk|x";
    EXPECT_TRUE(aLeft || ignored == "x defghijk|abc") << ignored.toStdString();
    const std::string changed = aLeft ? "b.txt" : "a.txt";
    EXPECT_TRUE(m_prompter.m_asked.last().contains("\nFile being replaced: " + Root() +
                                                   (aLeft ? "/a.txt\n" : "/b.txt\n")));
    EXPECT_TRUE(m_prompter.m_asked.last().endsWith("\nThe system said: Permission denied"));
    ASSERT_EQ(Listed(), QStringList{QString::fromStdString(changed) + " in "});
    struct stat now {};
    ASSERT_EQ(::stat(tree.Path(changed).c_str(), &now), 0);
    EXPECT_EQ(Model().Row(0).size, aLeft ? 1u : 10u);
    EXPECT_EQ(Model().Row(0).modified.Ticks(),
              FileTimeFromUnix(now.st_mtim.tv_sec, now.st_mtim.tv_nsec).Ticks());
    EXPECT_EQ(Summary(), "Changed 1 file; 1 left as it was");

    EXPECT_EQ(run(EIO, P::kIdAbort), "abc defghijk|abc");
    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_TRUE(SummaryMatches("Stopped after \\d files?: changed 0; 1 left as it was"))
        << Summary().toStdString();
    m_sys.Fail(Op::Fsync, EIO, 1);
    m_prompter.Answer({P::kIdCancel});
    Run();
    EXPECT_TRUE(m_prompter.m_asked.last().contains("Cannot close the output file"));
    EXPECT_TRUE(m_prompter.m_asked.last().contains("or Cancelit?\n"));
}

// The line under the list says how a run goes, at most ten times a second, and how it ended:
// found, listed, or stopped; New Query empties it with the list.
TEST_F(RunToldTest, TheLineUnderTheListSaysHowTheRunGoesAndHowItEnded) {
    const std::string deep = "d/" + std::string(60, 'x') + "/" + std::string(60, 'y') + "/end";
    tree.Write(deep + "/f.txt", "needle");
    std::atomic<bool> held{false};  // by whichever thread opens first
    m_sys.Before(Op::Open, [&, future = m_hold.get_future().share()] {
        if (!held.exchange(true))
            future.wait();
    });
    SearchOnly(true);
    Query(tree.Root() + "/" + deep, "*.txt", "needle");
    m_dialog->OnStart();
    // While it runs, the folder in hand is named, both its ends in view.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Summary().contains(QChar(0x2026)); }, 5000))
        << Summary().toStdString();
    EXPECT_TRUE(Get(kIdSummary)->isVisible());
    EXPECT_TRUE(SummaryMatches("Looked at .*/end")) << Summary().toStdString();
    EXPECT_LE(Get(kIdSummary)->fontMetrics().horizontalAdvance(Summary()),
              Get(kIdSummary)->width());
    m_dialog->OnStop();
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(SummaryMatches("Stopped after \\d files?: found in \\d"))
        << Summary().toStdString();
    Run();
    EXPECT_EQ(Summary(), "Found in 1 file");
    m_prompter.Answer({P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(Summary(), "");
}

// The desktop's own opener says why a file did not open: xdg-open missing, its exit status in
// words, a viewer that is missing or whose folder is gone; one that keeps running is not waited
// for beyond a moment. A viewer is handed the file's own bytes.
TEST_F(RunToldTest, TheDesktopSaysWhyItCouldNotOpen) {
    tree.Write("bin/xdg-open", "#!/bin/sh\nexit \"$(/bin/cat \"$0.status\")\"\n", 0755);
    const test::ScopedEnv path("PATH", tree.Root() + "/bin");
    const QByteArray file = QByteArray::fromStdString(tree.Path("bin/xdg-open"));
    DesktopShell desktop;
    for (const auto& [status, reason] :
         {std::pair{"0", ""},
          {"3", "the desktop has no program set to open it"},
          {"4", "the program the desktop has set to open it failed"},
          {"2", "it does not exist"},
          {"9", "xdg-open, which asks the desktop to open it, failed (exit status 9)"}}) {
        tree.Write("bin/xdg-open.status", status);
        EXPECT_EQ(desktop.OpenDocument(file), *reason == '\0') << status;
        EXPECT_EQ(desktop.LastFailure(), reason);
    }
    tree.Write("bin/xdg-open", "#!/bin/sh\n/bin/sleep 5\n", 0755);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(desktop.OpenDocument(file));
    EXPECT_LT(clock.elapsed(), kDesktopWaitMs + 1000);
    ASSERT_EQ(::unlink(tree.Path("bin/xdg-open").c_str()), 0);
    EXPECT_FALSE(desktop.OpenUrl("https://example.org/"));
    EXPECT_EQ(desktop.LastFailure(), "xdg-open is not installed");
    EXPECT_FALSE(desktop.StartViewer("kate", file, "/"));
    EXPECT_EQ(desktop.LastFailure(), "kate is not installed");
    tree.Write("bin/viewer", "#!/bin/sh\nprintf '%s' \"$1\" > seen\n", 0755);
    EXPECT_FALSE(desktop.StartViewer("viewer", file, QByteArray::fromStdString(tree.Path("gone"))));
    EXPECT_EQ(desktop.LastFailure(),
              "its folder " + Root() + "/gone cannot be entered: No such file or directory");
    const QByteArray odd =
        QByteArray::fromStdString(tree.Path("bad\xff"
                                            "name.txt"));
    EXPECT_TRUE(desktop.StartViewer("viewer", odd, QByteArray::fromStdString(tree.Root())));
    EXPECT_EQ(desktop.LastFailure(), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree.Read("seen") == odd.toStdString(); }, 5000))
        << tree.Read("seen");
}

// The columns' default widths grow with the window's font, so that a size, a type and a time
// read in full; a column left at its default is kept as its described width, and follows the
// font of the next run; a width the user set stays as it was.
TEST_F(RunToldTest, DefaultColumnWidthsFollowTheFontAndSetOnesStay) {
    m_dialog.reset();
    const QFont previous = QApplication::font();
    QFont large = previous;
    if (previous.pointSizeF() > 0)
        large.setPointSizeF(previous.pointSizeF() * 2);
    else
        large.setPixelSize(previous.pixelSize() * 2);
    m_store.WriteProfileInt("Options", "Column Two", 77);
    const auto open = [&](const QFont& font) {
        QApplication::setFont(font);
        Open();
        return List()->header();
    };
    QHeaderView* header = open(large);
    const QFontMetrics metrics(List()->font());
    EXPECT_EQ(header->sectionSize(1), 77);
    EXPECT_GE(header->sectionSize(2), metrics.horizontalAdvance("1023.9kB") + 8);
    EXPECT_GE(header->sectionSize(3), metrics.horizontalAdvance("plain text document") + 8);
    EXPECT_GE(header->sectionSize(4), metrics.horizontalAdvance("12/31/99 12:59PM") + 8);
    const int largeName = header->sectionSize(0), largeSize = header->sectionSize(2);
    header->resizeSection(4, 333);  // as a drag would
    m_dialog.reset();
    for (const auto& [key, width] : {std::pair{"Column One", 120},
                                     {"Column Two", 77},
                                     {"Column Three", 42},
                                     {"Column Four", 90},
                                     {"Column Five", 333}})
        EXPECT_EQ(m_store.GetProfileInt("Options", key, 0), width) << key;
    header = open(previous);
    EXPECT_LT(header->sectionSize(0), largeName);  // the defaults, in this run's font
    EXPECT_LT(header->sectionSize(2), largeSize);
    EXPECT_EQ(header->sectionSize(1), 77);
    EXPECT_EQ(header->sectionSize(4), 333);
}

}  // namespace pellumar
