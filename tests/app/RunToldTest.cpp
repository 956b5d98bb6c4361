// What the window tells of a run: where and how widely a replacement will go before it starts,
// the files it changed as they now are, the line that says how the run goes and how it ended,
// and what went wrong with a file or with opening one.
#include <sys/stat.h>

#include <atomic>

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "DesktopShell.h"
#include "FileInformation.h"
#include "SearchWindowFixture.h"
#include "TextShape.h"

namespace pellumar {
namespace {

using namespace res;
using test::Op;
using P = Prompter;

class RunToldTest : public SearchWindowTest {
  protected:
    QString Summary() const { return static_cast<QLabel*>(Control(kIdSummary))->text(); }
    QString Root() const { return QString::fromStdString(tree.Root()); }
    // The files a replacement changes and one it cannot put in place, which it is told to pass
    // over (Ignore) or to end the run at (Abort).
    void WriteFiles() {
        tree.Write("a.txt", "abc defghijk");
        tree.Write("b.txt", "abc");
        tree.Write("c.txt", "none");
    }
};

// Before: the question names the folder, the filter and every option that widens the run.
// After: only the files changed are listed, each with its new size and time, and one line says
// how it ended; a prompt names the file being replaced and the system's reason.
TEST_F(RunToldTest, AReplacementSaysWhereAndHowThenListsOnlyWhatItChanged) {
    WriteFiles();
    m_dialog->Options().m_bSearchConfirmation = 1;
    m_dialog->Options().m_bKeepUndo = 0;
    Query(tree.Root(), "*.txt", "abc", "x");
    m_prompter.Answer({P::kIdNo});
    m_dialog->OnStart();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "Search confirmation: Are you sure you want to replace all occurences of 'abc' with "
              "'x'?\n\nIn the folder: " +
                  Root() +
                  "\nFiles named: *.txt\nIncluding subfolders\n"
                  "Including hidden files\nIgnoring case: upper and lower case letters match each "
                  "other\n\nKeep Undo Copies is off: this replacement cannot be taken back.");
    EXPECT_EQ(tree.Read("a.txt"), "abc defghijk");
    // Narrowed, the question says no more than where; a search names where too.
    m_dialog->Options().m_bKeepUndo = 1;
    m_dialog->Options().m_bIgnoreCase = 0;
    m_dialog->Options().m_bHiddenFiles = 0;
    static_cast<QCheckBox*>(Control(kIdSubfolders))->setChecked(false);
    m_prompter.Answer({P::kIdNo});
    m_dialog->OnStart();
    EXPECT_TRUE(m_prompter.m_asked.last().endsWith("'x'?\n\nIn the folder: " + Root() +
                                                   "\nFiles named: *.txt"));
    SearchOnly(true);
    m_prompter.Answer({P::kIdNo});
    m_dialog->OnStart();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "Search confirmation: Are you sure you want to search for 'abc'?\n\nIn the folder: " +
                  Root() + "\nFiles named: *.txt");
    SearchOnly(false);

    // The first file to be put in place cannot be, and is passed over.
    m_dialog->Options().m_bSearchConfirmation = 0;
    m_sys.Fail(Op::CreateTemp, EACCES, 1);
    m_prompter.Answer({P::kIdIgnore});
    Run();
    const QString prompt = m_prompter.m_asked.last();
    const bool aLeft = prompt.contains("\nFile being replaced: " + Root() + "/a.txt\n");
    EXPECT_TRUE(aLeft || prompt.contains("\nFile being replaced: " + Root() + "/b.txt\n"))
        << prompt.toStdString();
    EXPECT_TRUE(prompt.endsWith("\nThe system said: Permission denied")) << prompt.toStdString();
    const std::string changed = aLeft ? "b.txt" : "a.txt";
    EXPECT_EQ(tree.Read(aLeft ? "a.txt" : "b.txt"), aLeft ? "abc defghijk" : "abc");
    ASSERT_EQ(Listed(), QStringList{QString::fromStdString(changed) + " in "});
    const ResultRow& row = m_dialog->Results().Row(0);
    struct stat now {};
    ASSERT_EQ(::stat(tree.Path(changed).c_str(), &now), 0);
    EXPECT_EQ(row.size, static_cast<uint64_t>(now.st_size));
    EXPECT_EQ(row.size, aLeft ? 1u : 10u);
    EXPECT_EQ(row.modified.Ticks(),
              FileTimeFromUnix(now.st_mtim.tv_sec, now.st_mtim.tv_nsec).Ticks());
    EXPECT_EQ(Summary(), "Changed 1 file; 1 left as it was");

    // Abort ends the run: nothing was changed, and the line says it stopped.
    WriteFiles();
    m_sys.Fail(Op::CreateTemp, EACCES, 1);
    m_prompter.Answer({P::kIdAbort});
    Run();
    EXPECT_EQ(m_dialog->Results().rowCount(), 0);
    EXPECT_TRUE(test::MatchesShape(Summary().toStdString(),
                                   "Stopped after # file: changed 0; 1 left as it was") ||
                test::MatchesShape(Summary().toStdString(),
                                   "Stopped after # files: changed 0; 1 left as it was"))
        << Summary().toStdString();
}

// The line under the list says how a run goes, at most ten times a second, and how it ended:
// found, listed, or stopped; New Query empties it with the list.
TEST_F(RunToldTest, TheLineUnderTheListSaysHowTheRunGoesAndHowItEnded) {
    for (int i = 0; i < 1500; ++i)
        tree.Write("d/f" + std::to_string(i) + ".txt", i % 2 == 0 ? "needle" : "hay");
    Search("needle");
    EXPECT_EQ(Summary(), "Found in 750 files");
    EXPECT_TRUE(Control(kIdSummary)->isVisible());
    SearchOnly(true);
    Query(tree.Root(), "*.txt", "");
    Run();
    EXPECT_EQ(Summary(), "Listed 1,500 files");

    Search("needle", true);
    EXPECT_TRUE(Summary().startsWith("Looked at ")) << Summary().toStdString();
    m_dialog->OnStop();
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(test::MatchesShape(Summary().toStdString(), "Stopped after # file: found in #") ||
                test::MatchesShape(Summary().toStdString(), "Stopped after # files: found in #"))
        << Summary().toStdString();

    // While it runs, the folder in hand is named, both its ends in view.
    const std::string deep = "d/" + std::string(60, 'x') + "/" + std::string(60, 'y') + "/end";
    tree.Write(deep + "/f.txt", "needle");
    std::atomic<bool> held{false};  // by whichever thread opens first
    m_hold = {};
    m_sys.Before(Op::Open, [&, future = m_hold.get_future().share()] {
        if (!held.exchange(true))
            future.wait();
    });
    Query(tree.Root() + "/" + deep, "*.txt", "needle");
    m_dialog->OnStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Summary().contains(QChar(0x2026)); }, 5000))
        << Summary().toStdString();
    const QString line = Summary();
    EXPECT_TRUE(line.startsWith("Looked at ")) << line.toStdString();
    EXPECT_TRUE(line.endsWith("/end")) << line.toStdString();
    EXPECT_LE(Control(kIdSummary)->fontMetrics().horizontalAdvance(line),
              Control(kIdSummary)->width());
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Summary(), "Found in 1 file");
    m_prompter.Answer({P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(Summary(), "");
}

// New Query points Look in at the user's home, never at the root of the system; Browse opens
// where Look in points, or at the nearest folder of it that exists.
TEST_F(RunToldTest, NewQueryAndBrowseStartAtTheUsersOwnFolders) {
    const std::string home = tree.Root() + "/home";
    tree.Write("home/x", "");
    const test::ScopedEnv homeVariable("HOME", home + "/");
    m_prompter.Answer({P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(Combo(kIdLookIn)->currentText(), QString::fromStdString(home));
    Combo(kIdLookIn)->setEditText(Root() + "/home/gone/deeper");
    m_dialog->OnBrowseFolder();
    EXPECT_EQ(m_prompter.m_asked.last(), "choose: Choose a Folder at " + Root() + "/home");
}

// The desktop's own opener says why a file did not open: xdg-open missing, its exit status in
// words, a viewer that is missing or whose folder is gone; one that keeps running is not waited
// for beyond a moment.
TEST_F(RunToldTest, TheDesktopSaysWhyItCouldNotOpen) {
    tree.Write("bin/xdg-open", "#!/bin/sh\nexit \"$(/bin/cat \"$0.status\")\"\n", 0755);
    const test::ScopedEnv path("PATH", tree.Root() + "/bin");
    const QByteArray file = QByteArray::fromStdString(tree.Path("bin/xdg-open"));
    DesktopShell desktop;
    const struct {
        const char* status;
        bool opens;
        const char* reason;
    } cases[] = {
        {"0", true, ""},
        {"3", false, "the desktop has no program set to open it"},
        {"4", false, "the program the desktop has set to open it failed"},
        {"2", false, "it does not exist"},
        {"9", false, "xdg-open, which asks the desktop to open it, failed (exit status 9)"}};
    for (const auto& c : cases) {
        tree.Write("bin/xdg-open.status", c.status);
        EXPECT_EQ(desktop.OpenDocument(file), c.opens) << c.status;
        EXPECT_EQ(desktop.LastFailure(), c.reason);
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
    tree.Write("bin/viewer", "#!/bin/sh\n", 0755);
    EXPECT_FALSE(desktop.StartViewer("viewer", file, QByteArray::fromStdString(tree.Path("gone"))));
    EXPECT_EQ(desktop.LastFailure(),
              "its folder " + Root() + "/gone cannot be entered: No such file or directory");
    EXPECT_TRUE(desktop.StartViewer("viewer", file, "/"));
    EXPECT_EQ(desktop.LastFailure(), "");
}

// A file that does not open says which, and why; so does a help that does not open.
TEST_F(RunToldTest, AFileThatDoesNotOpenIsNamedWithTheReason) {
    tree.Write("a.txt", "x");
    Search("x");
    List()->setCurrentIndex(m_dialog->Results().index(0, 0));
    m_shell.m_bDocumentOpens = false;
    m_shell.m_strFailure = "the desktop has no program set to open it";
    m_dialog->OnResultDblClk();
    const QString path = QString::fromStdString(tree.Path("a.txt"));
    EXPECT_EQ(m_prompter.m_asked.last(), "Pellumar Search: Cannot open " + path +
                                             ":\nthe desktop has no program set to open it.");
    m_dialog->OnOpenContainingFolder();
    EXPECT_EQ(m_prompter.m_asked.last(), "Pellumar Search: Cannot open " + Root() +
                                             ":\nthe desktop has no program set to open it.");
    m_dialog->Options().m_nDoubleClickAction = 2;
    m_shell.m_bProgramStarts = false;
    m_shell.m_strFailure = "kate is not installed";
    m_dialog->OnResultDblClk();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "Pellumar Search: Cannot open " + path + ":\nkate is not installed.");
    // Help > Help Topics, with F1 beside it, does what F1 does.
    int helped = 0;
    m_dialog->SetHelp([&] { ++helped; });
    QAction* topics = m_dialog->MenuBar()->findChild<QAction*>(QString::number(kCmdHelpTopics));
    ASSERT_NE(topics, nullptr);
    EXPECT_EQ(topics->text(), "&Help Topics\tF1");
    topics->trigger();
    EXPECT_EQ(helped, 1);
}

// Alt+Y and at once Alt+R: the replace box is enabled by the first key, so the second reaches
// it, and so does the text typed next.
TEST_F(RunToldTest, AnOptionsMnemonicTakesEffectBeforeTheNextKey) {
    SearchOnly(true);
    ASSERT_FALSE(Text(kIdReplaceText)->isEnabled());
    QTest::keyClick(m_dialog.get(), Qt::Key_Y, Qt::AltModifier);
    QTest::keyClick(m_dialog.get(), Qt::Key_R, Qt::AltModifier);
    QTest::keyClicks(QApplication::focusWidget(), "new");
    EXPECT_EQ(QApplication::focusWidget(), Text(kIdReplaceText));
    EXPECT_EQ(Text(kIdReplaceText)->toPlainText(), "new");
    EXPECT_FALSE(static_cast<QCheckBox*>(Control(kIdSearchOnly))->isChecked());
}

// Shift+F10 opens the results menu as the Menu key does, and the rows it acts on stay marked.
TEST_F(RunToldTest, ShiftF10OpensTheResultsMenuOnTheMarkedRows) {
    tree.Write("a.txt", "x");
    tree.Write("b.txt", "x");
    Search("x");
    List()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->hasFocus(); }));
    List()->setCurrentIndex(m_dialog->Results().index(1, 0));
    const QColor marked = List()->palette().color(QPalette::Active, QPalette::Highlight);
    QMenu* menu = m_dialog->ResultsMenu();
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(menu->isVisible());
        EXPECT_EQ(List()->palette().color(QPalette::Active, QPalette::Highlight), marked);
        EXPECT_TRUE(List()->selectionModel()->isRowSelected(1, {}));
        menu->close();
    });
    QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 2000));
}

// The columns' default widths grow with the window's font, so that a size, a type and a time
// read in full; a column left at its default is kept as the default, and follows the font of
// the next run; a width the user set stays as it was.
TEST_F(RunToldTest, DefaultColumnWidthsFollowTheFontAndSetOnesStay) {
    m_dialog.reset();
    const QFont previous = QApplication::font();
    QFont large = previous;
    if (previous.pointSizeF() > 0)
        large.setPointSizeF(previous.pointSizeF() * 2);
    else
        large.setPixelSize(previous.pixelSize() * 2);
    MemorySettingsStore store;  // nothing saved but one width
    store.WriteProfileInt("Options", "Column Two", 77);
    const auto open = [&](const QFont& font) {
        QApplication::setFont(font);
        m_dialog = std::make_unique<CSearchDlg>(store, m_prompter, m_shell, m_sys);
        m_dialog->show();
        return List()->header();
    };
    QHeaderView* header = open(large);
    const QFontMetrics metrics(List()->font());
    EXPECT_EQ(header->sectionSize(1), 77);
    EXPECT_GE(header->sectionSize(0), 120 * 3 / 2);
    EXPECT_GE(header->sectionSize(2), metrics.horizontalAdvance("1023.9kB") + 8);
    EXPECT_GE(header->sectionSize(3), metrics.horizontalAdvance("plain text document") + 8);
    EXPECT_GE(header->sectionSize(4), metrics.horizontalAdvance("12/31/99 12:59PM") + 8);
    const int largeSize = header->sectionSize(2);
    header->resizeSection(4, 333);  // as a drag would
    m_dialog.reset();
    EXPECT_EQ(store.GetProfileInt("Options", "Column Two", 0), 77);
    EXPECT_EQ(store.GetProfileInt("Options", "Column Three", 0), 42);  // still the default
    EXPECT_EQ(store.GetProfileInt("Options", "Column Five", 0), 333);
    header = open(previous);
    EXPECT_LT(header->sectionSize(2), largeSize);  // the default, in this run's font
    EXPECT_EQ(header->sectionSize(4), 333);
    EXPECT_EQ(header->sectionSize(1), 77);
    m_dialog.reset();  // before the store it writes to
}

}  // namespace
}  // namespace pellumar
