// What the window tells of a run: where and how widely a replacement will go before it starts,
// what went wrong with a file and the files it changed as they now are, and why the desktop could
// not open a file.
#include <sys/stat.h>

#include <QElapsedTimer>

#include "DesktopShell.h"
#include "FileInformation.h"
#include "SearchWindowFixture.h"

namespace pellumar {

using test::Op;

using RunToldTest = SearchWindowTest;

// Before a run, the question names the folder, the filter and every option that widens it, each
// on its own line whatever the folder's name holds, and No leaves everything as it was; narrowed,
// or for a search, it names no more than where. A file that cannot be put in place is put to the
// user with the file being replaced and the system's reason: Retry tries again, Ignore passes over
// it, Abort ends the run, and no temporary file stays. Only the files changed are listed, each with
// its new size and time, and one line says how the run ended.
TEST_F(RunToldTest, AReplacementSaysWhereAndHowAndWhatWentWrong) {
    m_dialog->Options().m_bSearchConfirmation = 1;
    m_dialog->Options().m_bKeepUndo = 0;  // its journal would take the faults meant for these
    const std::string folder = "x\ny";
    tree.Write(folder + "/c.txt", "none");
    Query(tree.Path(folder), "*.txt", "abc", "x");
    const auto run = [&](int error, int answer) {  // the files as the run leaves them
        tree.Write(folder + "/a.txt", "abc defghijk");
        tree.Write(folder + "/b.txt", "abc");
        if (error != 0)
            m_sys.Fail(Op::CreateTemp, error, 1);
        m_prompter.Answer({answer});
        Run();
        EXPECT_TRUE(tree.TemporaryFiles().empty());
        return QString::fromStdString(tree.Read(folder + "/a.txt") + "|" +
                                      tree.Read(folder + "/b.txt"));
    };
    EXPECT_EQ(run(0, P::kIdNo), "abc defghijk|abc");
    EXPECT_EQ(
        Asked(),
        "Search confirmation: Are you sure you want to replace all occurences of 'abc' with "
        "'x'?\n\nIn the folder: " +
            Root() +
            "/x\u240ay\nFiles named: *.txt\nIncluding subfolders\nIncluding hidden files\nIgnoring "
            "case: upper and lower case letters match each other\n\nKeep Undo Copies is "
            "off: this replacement cannot be taken back.");
    EXPECT_FALSE(List()->isVisible());
    EXPECT_TRUE(m_store.Log().empty());
    m_dialog->Options().m_bKeepUndo = 1;
    m_dialog->Options().m_bIgnoreCase = m_dialog->Options().m_bHiddenFiles = 0;
    Get<QCheckBox>(kIdSubfolders)->setChecked(false);
    run(0, P::kIdNo);
    const QString where = "\n\nIn the folder: " + Root() + "/x\u240ay\nFiles named: *.txt";
    EXPECT_TRUE(Asked().endsWith("'x'?" + where));
    SearchOnly(true);
    run(0, P::kIdNo);
    EXPECT_EQ(Asked(), "Search confirmation: Are you sure you want to search for 'abc'?" + where);
    SearchOnly(false);
    m_dialog->Options().m_bSearchConfirmation = m_dialog->Options().m_bKeepUndo = 0;

    EXPECT_EQ(run(ENOSPC, P::kIdRetry), "x defghijk|x");
    EXPECT_TRUE(
        Asked().startsWith("The Ovandrizer: Search Error: Cannot open the temporary file ("));
    EXPECT_TRUE(Asked().contains("): The disk is full"));
    const QString ignored = run(EACCES, P::kIdIgnore);
    const bool aLeft = ignored == "abc defghijk|x";
    EXPECT_TRUE(aLeft || ignored == "x defghijk|abc");
    const std::string changed = aLeft ? "b.txt" : "a.txt";
    EXPECT_TRUE(Asked().contains(
        "\nFile being replaced: " +
        QString::fromStdString(tree.Path(folder + (aLeft ? "/a.txt\n" : "/b.txt\n")))));
    EXPECT_TRUE(Asked().endsWith("\nThe system said: Permission denied"));
    ASSERT_EQ(Listed(), QStringList{QString::fromStdString(changed) + " in /" +
                                    QString::fromStdString(folder)});
    struct stat now {};
    ASSERT_EQ(::stat(tree.Path(folder + "/" + changed).c_str(), &now), 0);
    EXPECT_EQ(Model().Row(0).size, aLeft ? 1u : 10u);
    EXPECT_EQ(Model().Row(0).modified.Ticks(),
              FileTimeFromUnix(now.st_mtim.tv_sec, now.st_mtim.tv_nsec).Ticks());
    EXPECT_EQ(Summary(), "Changed 1 file; 1 left as it was");
    EXPECT_EQ(run(EIO, P::kIdAbort), "abc defghijk|abc");
    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_TRUE(SummaryMatches("Stopped after \\d files?: changed 0; 1 left as it was"));
    m_sys.Fail(Op::Fsync, EIO, 1);
    m_prompter.Answer({P::kIdCancel});
    Run();
    EXPECT_TRUE(Asked().contains("Cannot close the output file"));
    EXPECT_TRUE(Asked().contains("or Cancelit?\n"));
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
    EXPECT_FALSE(desktop.StartViewer("kate", {file}, "/"));
    EXPECT_EQ(desktop.LastFailure(), "kate is not installed");
    tree.Write("bin/viewer", "#!/bin/sh\nprintf '%s' \"$1\" > seen\n", 0755);
    EXPECT_FALSE(
        desktop.StartViewer("viewer", {file}, QByteArray::fromStdString(tree.Path("gone"))));
    EXPECT_EQ(desktop.LastFailure(),
              "its folder " + Root() + "/gone cannot be entered: No such file or directory");
    const QByteArray odd = QByteArray::fromStdString(tree.Path("bad\xffname.txt"));
    EXPECT_TRUE(desktop.StartViewer("viewer", {odd}, QByteArray::fromStdString(tree.Root())));
    EXPECT_EQ(desktop.LastFailure(), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree.Read("seen") == odd.toStdString(); }, 5000))
        << tree.Read("seen");
}

}  // namespace pellumar
