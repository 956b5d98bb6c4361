// A search from the main window, from the query to the end: what it checks first, what it lists
// and changes, stopping and closing while it runs, New Query, and taking a replacement back.
#include <QKeyEvent>
#include <QMenu>
#include <csignal>

#include "EndSignals.h"
#include "SearchFlow.h"
#include "SearchWindowFixture.h"
#include "UndoStore.h"

namespace pellumar {

// Each problem is put under its own caption, and the focus goes where it can be put right.
TEST_F(SearchWindowTest, EachFailedCheckTellsItsProblemAndMovesTheFocus) {
    const std::tuple<std::string, QString, QString, QString, int> cases[] = {
        {"", "", "x", "No filter", kIdFilter},
        {tree.Root(), "../*.txt", "x", "Filter outside the folder", kIdFilter},
        {"", "*.*", "x", "No folder to look in", kIdLookIn},
        {tree.Path("missing"), "*.*", "x", "Folder not found", kIdLookIn},
        {tree.Root(), "*.*", "", "Nothing to search for", kIdSearchText}};
    for (const auto& [folder, filter, search, caption, focus] : cases) {
        Query(folder, filter, search);
        m_dialog->OnStart();
        const QString asked = m_prompter.m_asked.last();
        EXPECT_TRUE(asked.startsWith(caption + ": ") && asked.contains("Please type in"))
            << asked.toStdString();
        EXPECT_TRUE(Get(focus)->hasFocus()) << focus;
        EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    }
    EXPECT_EQ(m_prompter.m_asked.size(), 5);
    EXPECT_TRUE(m_store.Log().empty());  // the recent lists were not touched
}

// What is typed is what is searched and remembered: no completion in the combo boxes, no
// character of the text boxes turned into another, and folders reported as their text reads.
TEST_F(SearchWindowTest, WhatIsTypedIsWhatIsSearched) {
    tree.Write("sub/nbsp.txt", "a\u00A0b");
    tree.Write("sub/space.txt", "a b");
    tree.Write("sub/lines.txt", "x\u2028y");
    tree.Write("sub/feed.txt", "x\ny");
    auto* filter = Get<QComboBox>(kIdFilter);
    filter->addItem(QStringLiteral("*.txtx"));
    std::filesystem::current_path(tree.Root());
    Query("sub/../sub/.", "", "");
    filter->setFocus();
    QTest::keyClicks(filter->lineEdit(), QStringLiteral("*.txt"));  // no "x" completed
    auto* search = Get<QPlainTextEdit>(kIdSearchText);
    const auto type = [search](const QString& text) {  // the characters no key stands for too
        search->clear();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(search, &press);
        }
    };
    type(QString::fromUtf8("a\u00A0b"));
    SearchOnly(true);
    Run();
    EXPECT_EQ(filter->currentText(), QStringLiteral("*.txt"));
    EXPECT_EQ(m_store.GetProfileString("Filters MRU", "filter1", ""), "*.txt");
    EXPECT_EQ(Listed(), QStringList{"nbsp.txt in /sub"});  // the location without "." or ".."
    type(QString::fromUtf8("x\u2028y"));
    // The search made the folder current: it is named in full now.
    Get<QComboBox>(kIdLookIn)->setEditText(Root());
    filter->setEditText("*.TXT");  // the same filter
    Run();
    EXPECT_EQ(Listed(), QStringList{"lines.txt in /sub"});
    EXPECT_EQ(filter->count(), 1);
}

// Files are listed by name whatever order they come in, the folder and filter go to the head of
// their lists, and a search sorted by another column starts sorted by name again; an empty
// search text lists every file the filter takes, unconfirmed.
TEST_F(SearchWindowTest, ASearchListsTheFilesByNameAndReturnsToIdle) {
    tree.Write("b.txt", "a needle");
    tree.Write("A.txt", "needle");
    tree.Write("sub/a.txt", "NEEDLE");
    tree.Write("c.txt", "nothing");
    SearchOnly(true);
    Query(tree.Root(), "*.txt", "needle");
    Run();
    EXPECT_EQ(Listed(), QStringList({"A.txt in ", "a.txt in /sub", "b.txt in "}));
    EXPECT_EQ(Summary(), "Found in 3 files");
    EXPECT_EQ(Model().index(2, 2).data(), "8b");
    EXPECT_TRUE(List()->isVisible());
    EXPECT_TRUE(Get(kIdStart)->isEnabled());
    EXPECT_FALSE(Get(kIdStop)->isEnabled());
    EXPECT_EQ(m_store.GetProfileString("Look In Folders MRU", "dir1", ""), tree.Root());
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->itemText(0), Root());
    EXPECT_EQ(m_store.GetProfileString("Filters MRU", "filter1", ""), "*.txt");
    List()->header()->setSortIndicator(2, Qt::DescendingOrder);
    m_dialog->Options().m_bSearchConfirmation = 1;
    constexpr int kFiles = 2000;  // several batches
    for (int i = kFiles; i > 0; --i)
        tree.Write("d" + std::to_string(i % 7) + "/f" + std::to_string(i), "");
    Query(tree.Root(), "*.*", "");
    Run();
    EXPECT_TRUE(m_prompter.m_asked.isEmpty());
    EXPECT_EQ(List()->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(List()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(Summary(), "Listed 2,004 files");
    ASSERT_EQ(Model().rowCount(), kFiles + 4);
    for (int i = 1; i < Model().rowCount(); ++i)
        ASSERT_LE(Model().Row(i - 1).name.compare(Model().Row(i).name, Qt::CaseInsensitive), 0);
}

// A replacement rewrites the files; Enter on the list opens the current row and never starts
// it again. File > Undo Last Replacement is enabled while it can be taken back, asks, takes it
// back and names what it left; with Keep Undo Copies off nothing is kept.
TEST_F(SearchWindowTest, AReplacementRewritesTheFilesAndIsTakenBackOnce) {
    tree.Write("one.txt", "old old");
    tree.Write("two.txt", "keep");
    tree.Write("sub/three.txt", "old");
    const auto undoEnabled = [undo = Menu(kCmdUndoLast)] {  // as the File menu shows it
        emit static_cast<QMenu*>(undo->parent())->aboutToShow();
        return undo->isEnabled();
    };
    EXPECT_FALSE(undoEnabled());
    Query(tree.Root(), "*.*", "old", "new\nline");
    Run();
    EXPECT_EQ(tree.Read("one.txt") + "|" + tree.Read("two.txt"), "new\nline new\nline|keep");
    EXPECT_EQ(Listed(), QStringList({"one.txt in ", "three.txt in /sub"}));
    List()->setFocus();
    List()->setCurrentIndex(Model().index(0, 0));
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    EXPECT_EQ(m_shell.m_calls, QStringList{"open " + QString::fromStdString(tree.Path("one.txt"))});
    EXPECT_TRUE(undoEnabled());

    m_prompter.Answer({P::kIdYes, P::kIdOk});
    Menu(kCmdUndoLast)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_prompter.m_asked.size() == 2; }, 10000));
    EXPECT_TRUE(m_prompter.m_asked[0].startsWith(
        "Undo Last Replacement: Take back the replacement of 'old'\nwith 'new line', made "));
    EXPECT_TRUE(m_prompter.m_asked[0].contains(" in 2 files below\n" + Root() + "?\n"));
    EXPECT_EQ(m_prompter.m_asked[1], "Undo Last Replacement: Restored 2 files.");
    EXPECT_EQ(tree.Read("one.txt") + "|" + tree.Read("sub/three.txt"), "old old|old");
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    EXPECT_FALSE(undoEnabled());
    UndoOutcome outcome{0, "", 1, {{tree.Path("one.txt"), "it changed since the replacement"}}};
    m_dialog->OnUndoFinished(outcome);
    EXPECT_EQ(m_prompter.m_asked.last(),
              "Undo Last Replacement: Restored 1 file. 1 file was left as it is, changed since the "
              "replacement or out of reach.\n" +
                  QString::fromStdString(tree.Path("one.txt")) +
                  ": it changed since the replacement");

    Menu(kCmdKeepUndo)->trigger();
    EXPECT_EQ(m_dialog->Options().m_bKeepUndo, 0);
    Run();
    EXPECT_EQ(tree.Read("sub/three.txt"), "new\nline");
    EXPECT_FALSE(undoEnabled());
}

// Stop ends the search and keeps the list; closing during a search asks, and closes once the
// search ends; an end that comes while the question is open closes at once. A signal asking the
// program to end stops a replacement as Stop does, each file left old or new whole, and closes
// the window with no question.
TEST_F(SearchWindowTest, StopCloseAndAnEndSignalDuringASearch) {
    for (int i = 0; i < 50; ++i)
        tree.Write("f" + std::to_string(i) + ".txt", "x");
    Search("x", true);
    EXPECT_FALSE(Get(kIdStart)->isEnabled());
    EXPECT_TRUE(Get(kIdStop)->isEnabled());
    m_dialog->OnStop();
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_LE(Model().rowCount(), 1);
    m_dialog->OnStop();  // after the end: harmless
    EXPECT_TRUE(Get(kIdStart)->isEnabled());

    Search("x", true);
    m_prompter.Answer({P::kIdNo, P::kIdYes});
    m_dialog->close();
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Running);
    m_dialog->close();
    EXPECT_EQ(m_dialog->GetRunState(), RunState::ClosePending);
    EXPECT_TRUE(m_dialog->isVisible());
    Release();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !m_dialog->isVisible(); }, 10000));
    EXPECT_EQ(m_prompter.m_asked,
              QStringList(2,
                          "Still Searching: A search is in progress. Stop it and close the "
                          "program?"));

    Open();
    Search("x", true);
    m_prompter.WhileAsking([this] {
        Release();
        EXPECT_TRUE(Idle());
    });
    m_prompter.Answer({P::kIdYes});
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);

    Open();
    m_prompter.WhileAsking(nullptr);
    m_prompter.m_asked.clear();
    SearchOnly(false);
    const EndSignals ending([this](int) { m_dialog->OnEndRequested(); });
    Hold();
    Query(tree.Root(), "*.*", "x", "new");
    m_dialog->OnStart();
    ::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ending.Received() == SIGTERM; }, 5000));
    Release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_dialog->isVisible(); }, 10000));
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(m_prompter.m_asked.isEmpty());
    EXPECT_EQ(tree.TemporaryFiles(), std::vector<std::string>{});
    int changed = 0;
    for (int i = 0; i < 50; ++i) {
        const std::string now = tree.Read("f" + std::to_string(i) + ".txt");
        EXPECT_TRUE(now == "x" || now == "new") << now;
        changed += now == "new";
    }
    EXPECT_LT(changed, 50);  // it stopped
}

// New Query asks, then empties the fields and the list and points Look in at the user's home,
// never at the root of the system; Browse opens where Look in points, or at the nearest folder
// of it that exists, and puts the folder chosen at the head of its list.
TEST_F(SearchWindowTest, NewQueryAndBrowseStartAtTheUsersOwnFolders) {
    tree.Write("home/a.txt", "x");
    const test::ScopedEnv home("HOME", tree.Path("home") + "//");
    SearchOnly(true);
    Query(tree.Root(), "*.c", "x", "y");
    Run();
    m_prompter.Answer({P::kIdNo, P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(Get<QComboBox>(kIdFilter)->currentText(), "*.c");
    m_dialog->OnNewQuery();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "New Search: This will clear your current search. Are you sure?");
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->currentText() + "|" +
                  Get<QComboBox>(kIdFilter)->currentText() + "|" +
                  Get<QPlainTextEdit>(kIdSearchText)->toPlainText(),
              Root() + "/home|*.*|");
    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_TRUE(Get<QCheckBox>(kIdSearchOnly)->isChecked());
    m_store.ClearLog();
    Get<QComboBox>(kIdLookIn)->setEditText(Root() + "/home/gone/deeper");
    m_dialog->OnBrowseFolder();  // cancelled: nothing changes
    EXPECT_EQ(m_prompter.m_asked.last(), "choose: Choose a Folder at " + Root() + "/home");
    EXPECT_TRUE(m_store.Log().empty());
    m_prompter.m_folder = Root();
    m_dialog->OnBrowseFolder();
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->currentText(), Root());
    EXPECT_EQ(m_store.GetProfileString("Look In Folders MRU", "dir1", ""), tree.Root());
    // Nothing of the folder exists, or the home is not a full path: the account's home.
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(ChooserStart("", none), tree.Path("home"));
    EXPECT_EQ(ChooserStart("/gone", none), tree.Path("home"));
    EXPECT_EQ(ChooserStart("/gone", [](const std::string& path) { return path == "/"; }), "/");
    const test::ScopedEnv relative("HOME", "relative");
    EXPECT_EQ(HomeFolder().front(), '/');
}

}  // namespace pellumar
