// A search from the main window, from the query to the end: what it checks first, what it lists
// and changes, stopping and closing while it runs, New Query, and taking a replacement back.
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSet>
#include <chrono>
#include <csignal>
#include <thread>

#include "EndSignals.h"
#include "SearchFlow.h"
#include "SearchWindowFixture.h"
#include "UndoStore.h"

namespace pellumar {

// A query that fails a check puts each problem under its own caption, with the focus where it can
// be put right, and touches nothing. What is typed is what is searched and remembered: no
// completion in the combo boxes, no character of the text boxes turned into another, and folders
// reported as their text reads. Files are listed by name whatever order they come in; the folder
// and filter go to the head of their lists, a filter written in other letters taking the place of
// its own. New Query asks, then empties the fields and points Look in at the user's home, never
// at the root of the system; Browse opens where Look in points, or at the nearest folder of it
// that exists, and puts the folder chosen at the head of its list. A search sorted by another
// column starts sorted by name again; an empty search text lists every file the filter takes,
// unconfirmed, however many batches they come in.
TEST_F(SearchWindowTest, WhatIsTypedIsCheckedSearchedAndListedByNameUntilNewQueryClearsIt) {
    const std::tuple<std::string, QString, QString, QString, int> cases[] = {
        {"", "", "x", "No filter", kIdFilter},
        {tree.Root(), "../*.txt", "x", "Filter outside the folder", kIdFilter},
        {"", "*.*", "x", "No folder to look in", kIdLookIn},
        {tree.Path("missing"), "*.*", "x", "Folder not found", kIdLookIn},
        {tree.Root(), "*.*", "", "Nothing to search for", kIdSearchText}};
    for (const auto& [folder, filter, search, caption, focus] : cases) {
        Query(folder, filter, search);
        m_dialog->OnStart();
        EXPECT_TRUE(Asked().startsWith(caption + ": ") && Asked().contains("Please type in"))
            << Asked().toStdString();
        EXPECT_TRUE(Get(focus)->hasFocus()) << focus;
        EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    }
    EXPECT_TRUE(m_store.Log().empty());  // the recent lists were not touched
    const std::pair<const char*, const char*> files[] = {
        {"sub/nbsp.txt", "a\u00A0b"}, {"sub/space.txt", "a b"}, {"sub/lines.txt", "x\u2028y"},
        {"sub/feed.txt", "x\ny"},     {"b.txt", "a x\u2028y"},  {"A.txt", "x\u2028y"},
        {"sub/a.txt", "X\u2028Y"},    {"c.txt", "nothing"}};
    for (const auto& [name, text] : files)
        tree.Write(name, text);
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
    EXPECT_EQ(m_store.GetProfileString("Filters MRU", "filter1", ""), "*.txt");
    EXPECT_EQ(Listed(), QStringList{"nbsp.txt in /sub"});  // the location without "." or ".."
    type(QString::fromUtf8("x\u2028y"));
    // The search made the folder current: it is named in full now.
    auto* folder = Get<QComboBox>(kIdLookIn);
    folder->setEditText(Root());
    filter->setEditText("*.TXT");
    Run();
    EXPECT_EQ(Listed(),
              QStringList({"A.txt in ", "a.txt in /sub", "b.txt in ", "lines.txt in /sub"}));
    EXPECT_EQ(Summary(), "Found in 4 files");
    EXPECT_EQ(
        std::tuple(List()->isVisible(), Get(kIdStart)->isEnabled(), Get(kIdStop)->isEnabled()),
        std::tuple(true, true, false));
    EXPECT_EQ(m_store.GetProfileString("Look In Folders MRU", "dir1", ""), tree.Root());
    EXPECT_EQ(folder->itemText(0) + "|" + filter->itemText(0), Root() + "|*.TXT");
    EXPECT_EQ(filter->count(), 1);

    std::filesystem::create_directory(tree.Path("home"));
    const test::ScopedEnv home("HOME", tree.Path("home") + "//");
    m_prompter.Answer({P::kIdNo, P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(filter->currentText(), "*.TXT");
    m_dialog->OnNewQuery();
    EXPECT_EQ(Asked(), "New Search: This will clear your current search. Are you sure?");
    EXPECT_EQ(folder->currentText() + "|" + filter->currentText() + "|" + search->toPlainText(),
              Root() + "/home|*.*|");
    EXPECT_EQ(Summary(), "");  // the list emptied: in ResultsListTest
    EXPECT_TRUE(Get<QCheckBox>(kIdSearchOnly)->isChecked());
    m_store.ClearLog();
    folder->setEditText(Root() + "/home/gone/deeper");
    m_dialog->OnBrowseFolder();  // cancelled: nothing changes
    EXPECT_EQ(Asked(), "choose: Choose a Folder at " + Root() + "/home");
    EXPECT_TRUE(m_store.Log().empty());
    m_prompter.m_folder = Root();
    m_dialog->OnBrowseFolder();
    EXPECT_EQ(folder->currentText(), Root());
    EXPECT_EQ(m_store.GetProfileString("Look In Folders MRU", "dir1", ""), tree.Root());
    // Nothing typed: the home; of a folder only the root exists: the root.
    EXPECT_EQ(ChooserStart("", [](const std::string&) { return false; }), tree.Path("home"));
    EXPECT_EQ(ChooserStart("/gone", [](const std::string& path) { return path == "/"; }), "/");

    List()->header()->setSortIndicator(2, Qt::DescendingOrder);
    m_dialog->Options().m_bSearchConfirmation = 1;
    m_prompter.m_asked.clear();
    // Reported while the window is busy: more than a slice of its time handles, so that those
    // taken wait for the next slices.
    for (int i = 0; i < 24000; ++i)
        tree.Write("d/f" + std::to_string(i), "");
    Query(tree.Root(), "*.*", "");
    m_dialog->OnStart();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(m_prompter.m_asked.isEmpty());
    EXPECT_EQ(
        std::pair(List()->header()->sortIndicatorSection(), List()->header()->sortIndicatorOrder()),
        std::pair(0, Qt::AscendingOrder));
    EXPECT_EQ(Summary(), "Listed 24,008 files");
    const QStringList listed = Listed();
    EXPECT_EQ(listed.size(), 24008);
    EXPECT_EQ(QSet<QString>(listed.begin(), listed.end()).size(), 24008);
    for (int row = 1; row < Model().rowCount(); ++row)
        ASSERT_LE(Model().Row(row - 1).name.toCaseFolded(), Model().Row(row).name.toCaseFolded());
    // A home that is not a full path: the account's own.
    const test::ScopedEnv relative("HOME", "relative");
    EXPECT_EQ(HomeFolder().front(), '/');
}

// A replacement rewrites the files. File > Undo Last Replacement is enabled while it can be taken
// back, asks, takes it back and names what it left; with Keep Undo Copies off nothing is kept.
TEST_F(SearchWindowTest, AReplacementRewritesTheFilesAndIsTakenBackOnce) {
    tree.Write("one.txt", "old old");
    tree.Write("two.txt", "keep");
    tree.Write("sub/three.txt", "old");
    const auto undoEnabled = [undo = Menu(kCmdUndoLast)] {  // as the File menu shows it
        emit static_cast<QMenu*>(undo->parent())->aboutToShow();
        return undo->isEnabled();
    };
    Query(tree.Root(), "*.*", "old", "new\nline");
    Run();
    EXPECT_EQ(tree.Read("one.txt") + "|" + tree.Read("two.txt"), "new\nline new\nline|keep");
    EXPECT_EQ(Listed(), QStringList({"one.txt in ", "three.txt in /sub"}));
    EXPECT_TRUE(undoEnabled());

    m_prompter.Answer({P::kIdYes, P::kIdOk});
    Menu(kCmdUndoLast)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_prompter.m_asked.size() == 2; }, 10000));
    EXPECT_TRUE(m_prompter.m_asked[0].startsWith(
        "Undo Last Replacement: Take back the replacement of 'old'\nwith 'new line', made "));
    EXPECT_TRUE(m_prompter.m_asked[0].contains(" in 2 files below\n" + Root() + "?\n"));
    EXPECT_EQ(m_prompter.m_asked[1], "Undo Last Replacement: Restored 2 files.");
    EXPECT_EQ(tree.Read("one.txt") + "|" + tree.Read("sub/three.txt"), "old old|old");
    EXPECT_FALSE(undoEnabled());
    UndoOutcome outcome{0, "", 1, {{tree.Path("one.txt"), "it changed since the replacement"}}};
    m_dialog->OnUndoFinished(outcome);
    EXPECT_EQ(Asked(),
              "Undo Last Replacement: Restored 1 file. 1 file was left as it is, changed since the "
              "replacement or out of reach.\n" +
                  QString::fromStdString(tree.Path("one.txt")) +
                  ": it changed since the replacement");

    Menu(kCmdKeepUndo)->trigger();
    Run();
    EXPECT_EQ(tree.Read("sub/three.txt"), "new\nline");
    EXPECT_FALSE(undoEnabled());
}

// Settings > Regular Expressions makes the search text a pattern. One that cannot be used is
// refused at Start, after the query's own checks, with the focus in the search box; the
// confirmation says that the text is a pattern; the groups a person types into the replacement
// are put in; a file the pattern is too complex for is counted among those left as they were.
TEST_F(SearchWindowTest, APatternIsCheckedAtStartAndItsGroupsPutIn) {
    tree.Write("dates.txt", "12/05 and 01/02");
    const std::string hard = std::string(40 << 10, 'a') + "c b";
    tree.Write("hard.txt", hard);
    Menu(kCmdRegex)->trigger();
    const std::tuple<std::string, QString, QString, QString> refused[] = {
        {tree.Path("missing"), "(", "x", "Folder not found: "},
        {tree.Root(), "(\\d+", "x",
         "Pattern not valid: The regular expression is not valid: missing closing parenthesis at "
         "character 5."},
        {tree.Root(), "(\\d+)/(\\d+)", "$3",
         "Pattern not valid: The replacement names a group the regular expression does not "
         "have: $3."}};
    for (const auto& [folder, search, replace, told] : refused) {
        Query(folder, "*.*", search, replace);
        Get(kIdReplaceText)->setFocus();
        m_dialog->OnStart();
        EXPECT_TRUE(Asked().startsWith(told)) << Asked().toStdString();
        EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    }
    EXPECT_TRUE(Get(kIdSearchText)->hasFocus());
    Query(tree.Root(), "*.*", "(\\d+)/(\\d+)|(a|aa)*(a|aa)*b");
    auto* replace = Get<QPlainTextEdit>(kIdReplaceText);
    replace->setFocus();
    QTest::keyClicks(replace, QStringLiteral("$2.$1"));
    m_dialog->Options().m_bSearchConfirmation = 1;
    m_prompter.Answer({P::kIdYes});
    Run();
    EXPECT_TRUE(m_prompter.m_asked.back().contains(
        "with '$2.$1'?\nThe search text is a regular expression.\n"))
        << m_prompter.m_asked.back().toStdString();
    EXPECT_EQ(tree.Read("dates.txt"), "05.12 and 02.01");
    EXPECT_EQ(tree.Read("hard.txt"), hard);
    EXPECT_EQ(Summary(), "Changed 1 file; 1 left as it was");
}

// Files found show in the list while the search goes on, though no more come for a while, and
// though rows were shown a moment before (here, at the end of the search before). The search is
// held at a file in a subfolder, which the walk reaches after every file of the folder above; a
// thread that waits for another's file may search it early, so only the first file, which the
// worker always searches and reports itself, is sure to be listed while the search is held.
TEST_F(SearchWindowTest, FoundFilesShowWhileTheSearchGoesOn) {
    for (int i = 0; i < 20; ++i)
        tree.Write("f" + std::to_string(i) + ".txt", "x");
    tree.Write("z/held.txt", "x");
    SearchOnly(true);
    Query(tree.Root(), "*.*", "x", "");
    Run();
    EXPECT_EQ(Model().rowCount(), 21);
    Hold("held.txt");
    m_dialog->OnStart();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Model().rowCount() != 0; }, 5000));
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Running);
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Model().rowCount(), 21);
}

// While a search runs, the line under the list names the folder in hand, both its ends in view;
// Stop ends the search, keeps the list and says where it stopped; closing during a search asks,
// and closes once the search ends; an end that comes while the question is open closes at once. A
// signal asking the program to end stops a replacement as Stop does, leaves no temporary file,
// and closes the window with no question.
TEST_F(SearchWindowTest, StopCloseAndAnEndSignalDuringASearch) {
    const std::string deep = "d/" + std::string(60, 'x') + "/" + std::string(60, 'y') + "/end";
    for (int i = 0; i < 50; ++i)
        tree.Write(deep + "/f" + std::to_string(i) + ".txt", "x");
    StartHeld("x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Summary().contains(QChar(0x2026)); }, 5000));
    EXPECT_TRUE(SummaryMatches("Looked at \\d files?, now in /.*/end")) << Summary().toStdString();
    EXPECT_LE(Get(kIdSummary)->fontMetrics().horizontalAdvance(Summary()),
              Get(kIdSummary)->width());
    EXPECT_EQ(std::pair(Get(kIdStart)->isEnabled(), Get(kIdStop)->isEnabled()),
              std::pair(false, true));
    m_dialog->OnStop();
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_LE(Model().rowCount(), 1);
    EXPECT_TRUE(SummaryMatches("Stopped after \\d files?: found in \\d"));
    m_dialog->OnStop();  // after the end: harmless
    EXPECT_TRUE(Get(kIdStart)->isEnabled());

    StartHeld("x");
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
    StartHeld("x");
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
    const EndSignals ending([this](int) { m_dialog->OnEndRequested(); });
    StartHeld("x", "new");
    ::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ending.Received() == SIGTERM; }, 5000));
    Release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_dialog->isVisible(); }, 10000));
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(m_prompter.m_asked.isEmpty());
    EXPECT_EQ(tree.TemporaryFiles(), std::vector<std::string>{});
    int changed = 0;
    for (int i = 0; i < 50; ++i)
        changed += tree.Read(deep + "/f" + std::to_string(i) + ".txt") == "new";
    EXPECT_LT(changed, 50);  // it stopped
}

}  // namespace pellumar
