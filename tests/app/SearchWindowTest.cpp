#include <gtest/gtest.h>

#include <csignal>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <future>

#include "AppDoubles.h"
#include "CSearchDlg.h"
#include "DesktopShell.h"
#include "EndSignals.h"
#include "FaultySys.h"
#include "MemorySettingsStore.h"
#include "ResourceIds.h"
#include "ResultsModel.h"
#include "ResultsView.h"
#include "SearchFlow.h"
#include "SearchWindowFixture.h"

namespace pellumar {
namespace {

using namespace res;
using test::Op;
using P = Prompter;

TEST_F(SearchWindowTest, EachFailedCheckTellsItsProblemAndMovesTheFocus) {
    struct Case {
        std::string folder;
        QString filter, search, message;
        int focus;
    };
    const Case cases[] = {
        {"", "", "x", "No filter: Please type in a filter.", kIdFilter},
        {tree.Root(), "../*.txt", "x",
         "Filter outside the folder: The filter may name only folders inside the folder to look "
         "in. Please type in a filter without \"..\" and without a leading \"/\".",
         kIdFilter},
        {"", "*.*", "x", "No folder to look in: Please type in a folder to search in.", kIdLookIn},
        {tree.Path("missing"), "*.*", "x",
         "Folder not found: Cannot find or access the specified "
         "folder. Please type in a correct folder.",
         kIdLookIn},
        {tree.Root(), "*.*", "",
         "Nothing to search for: The \"search for\" text box is empty. "
         "Please type in text that you want to find.",
         kIdSearchText},
    };
    for (const Case& c : cases) {
        m_prompter.m_asked.clear();
        Query(c.folder, c.filter, c.search);
        m_dialog->OnStart();
        EXPECT_EQ(m_prompter.m_asked, QStringList{c.message});
        EXPECT_TRUE(Control(c.focus)->hasFocus()) << c.focus;
        EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    }
    EXPECT_TRUE(m_store.Log().empty());  // the recent lists were not touched
    // No to the confirmation leaves everything as it was too.
    m_dialog->Options().m_bSearchConfirmation = 1;
    tree.Write("a.txt", "foo");
    Query(tree.Root(), "*.*", "foo");
    m_prompter.Answer({P::kIdNo});
    m_dialog->OnStart();
    EXPECT_TRUE(m_prompter.m_asked.last().startsWith(
        "Search confirmation: Are you sure you want to replace all occurences of 'foo' with "
        "nothing?\n"));
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    EXPECT_FALSE(Control(kIdResults)->isVisible());
    EXPECT_TRUE(m_store.Log().empty());
    EXPECT_EQ(tree.Read("a.txt"), "foo");
}

// What is typed is what is searched and remembered: no completion in the combo boxes, no
// character of the text boxes turned into another, and folders reported as their text reads.
TEST_F(SearchWindowTest, WhatIsTypedIsWhatIsSearched) {
    tree.Write("sub/nbsp.txt", "a\u00A0b");
    tree.Write("sub/space.txt", "a b");
    tree.Write("sub/lines.txt", "x\u2028y");
    tree.Write("sub/feed.txt", "x\ny");
    QComboBox* filter = Combo(kIdFilter);
    filter->addItem(QStringLiteral("*.txtx"));
    std::filesystem::current_path(tree.Root());
    Query("sub/../sub/.", "", "");
    filter->lineEdit()->clear();
    filter->setFocus();
    QTest::keyClicks(filter->lineEdit(), QStringLiteral("*.txt"));  // no "x" completed
    QPlainTextEdit* search = Text(kIdSearchText);
    search->setFocus();
    Type(search, QString::fromUtf8("a\u00A0b"));
    SearchOnly(true);
    Run();
    EXPECT_EQ(filter->currentText(), QStringLiteral("*.txt"));
    EXPECT_TRUE(LogHas("string Filters MRU/filter1=*.txt"));
    EXPECT_EQ(Listed(), QStringList{"nbsp.txt in /sub"});  // the location without "." or ".."
    search->clear();
    Type(search, QString::fromUtf8("x\u2028y"));
    // The search made the folder current: it is named in full now.
    Combo(kIdLookIn)->setEditText(QString::fromStdString(tree.Root()));
    Run();
    EXPECT_EQ(Listed(), QStringList{"lines.txt in /sub"});
}

TEST_F(SearchWindowTest, ASearchListsTheFilesByNameAndReturnsToIdle) {
    tree.Write("b.txt", "a needle");
    tree.Write("A.txt", "needle");
    tree.Write("sub/a.txt", "NEEDLE");
    tree.Write("c.txt", "nothing");
    SearchOnly(true);
    Query(tree.Root(), "*.txt", "needle");
    Run();
    EXPECT_EQ(Listed(), QStringList({"A.txt in ", "a.txt in /sub", "b.txt in "}));
    EXPECT_EQ(m_dialog->Results().index(2, 2).data(), "8b");
    EXPECT_TRUE(Control(kIdResults)->isVisible());
    EXPECT_TRUE(Control(kIdStart)->isEnabled());
    EXPECT_FALSE(Control(kIdStop)->isEnabled());
    EXPECT_TRUE(LogHas("string Look In Folders MRU/dir1=" + tree.Root()));
    EXPECT_TRUE(LogHas("string Filters MRU/filter1=*.txt"));
    // Listing only: an empty search text lists every file the filter takes, unconfirmed.
    m_dialog->Options().m_bSearchConfirmation = 1;
    Query(tree.Root(), "*.*", "");
    Run();
    EXPECT_EQ(m_dialog->Results().rowCount(), 4);
    EXPECT_TRUE(m_prompter.m_asked.isEmpty());
    // Many files are all listed in order before the end.
    constexpr int kFiles = 2000;  // several batches
    for (int i = kFiles; i > 0; --i)
        tree.Write("d" + std::to_string(i % 7) + "/f" + std::to_string(i), "");
    Run();
    const ResultsModel& model = m_dialog->Results();
    ASSERT_EQ(model.rowCount(), kFiles + 4);
    for (int i = 1; i < model.rowCount(); ++i)
        ASSERT_LE(model.Row(i - 1).name.compare(model.Row(i).name, Qt::CaseInsensitive), 0);
}

// A replacement from the window rewrites the files; Enter on the list then opens the current
// row, as a double-click does, and never starts the search again (which would replace once more
// without a question).
TEST_F(SearchWindowTest, AReplacementRewritesTheFilesAndEnterOnTheListNeverSearchesAgain) {
    tree.Write("one.txt", "old old");
    tree.Write("two.txt", "keep");
    Query(tree.Root(), "*.*", "old", "new\nline");
    Run();
    EXPECT_EQ(tree.Read("one.txt"), "new\nline new\nline");
    EXPECT_EQ(tree.Read("two.txt"), "keep");
    EXPECT_EQ(Listed(), QStringList{"one.txt in "});
    List()->setFocus();
    List()->setCurrentIndex(m_dialog->Results().index(0, 0));
    QTest::keyClick(List(), Qt::Key_Return);
    QTest::keyClick(List(), Qt::Key_Enter);
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    EXPECT_EQ(tree.Read("one.txt"), "new\nline new\nline");
    const QString path = QString::fromStdString(tree.Path("one.txt"));
    EXPECT_EQ(m_shell.m_calls, QStringList({"open " + path, "open " + path}));
}

// Stop ends the search and keeps the list; closing during a search asks, and closes once the
// search ends; an end that comes while the question is open closes at once.
TEST_F(SearchWindowTest, StopAndCloseDuringASearch) {
    for (int i = 0; i < 50; ++i)
        tree.Write("f" + std::to_string(i) + ".txt", "x");
    Search("x", true);
    EXPECT_FALSE(Control(kIdStart)->isEnabled());
    m_dialog->OnStop();
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_LE(m_dialog->Results().rowCount(), 1);
    m_dialog->OnStop();  // after the end: harmless
    EXPECT_TRUE(Control(kIdStart)->isEnabled());

    Search("x", true);
    m_prompter.Answer({P::kIdNo, P::kIdYes});
    m_dialog->close();
    EXPECT_TRUE(m_dialog->isVisible());
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
}

TEST_F(SearchWindowTest, AnEndThatComesWhileTheQuestionIsOpenClosesAtOnce) {
    tree.Write("a.txt", "x");
    Search("x", true);
    m_prompter.WhileAsking([this] {
        Release();
        EXPECT_TRUE(Idle());
    });
    m_prompter.Answer({P::kIdYes});
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
}

// A signal asking the program to end, during a replacement: the search stops as a Stop does,
// the file in hand stays old or becomes new whole, no temporary file stays, and the window
// closes with no question.
TEST_F(SearchWindowTest, AnEndSignalStopsTheSearchCleanlyAndClosesTheWindow) {
    for (int i = 0; i < 20; ++i)
        tree.Write("f" + std::to_string(i), "old");
    const EndSignals ending([this](int) { m_dialog->OnEndRequested(); });
    Hold();
    Query(tree.Root(), "*.*", "old", "new");
    m_dialog->OnStart();
    ::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ending.Received() == SIGTERM; }, 5000));
    Release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_dialog->isVisible(); }, 10000));
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(m_prompter.m_asked.isEmpty());
    EXPECT_EQ(tree.TemporaryFiles(), std::vector<std::string>{});
    int changed = 0;
    for (int i = 0; i < 20; ++i) {
        const std::string now = tree.Read("f" + std::to_string(i));
        EXPECT_TRUE(now == "old" || now == "new") << now;
        changed += now == "new";
    }
    EXPECT_LT(changed, 20);  // it stopped
}

TEST_F(SearchWindowTest, NewQueryEmptiesTheFieldsAndTheListWhenConfirmed) {
    tree.Write("a.txt", "x");
    SearchOnly(true);
    Query(tree.Root(), "*.c", "x", "y");
    Run();
    m_prompter.Answer({P::kIdNo, P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(Combo(kIdFilter)->currentText(), "*.c");
    m_dialog->OnNewQuery();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "New Search: This will clear your current search. Are you sure?");
    EXPECT_EQ(Combo(kIdLookIn)->currentText(), QString::fromStdString(HomeFolder()));
    EXPECT_EQ(Combo(kIdFilter)->currentText(), "*.*");
    EXPECT_EQ(Text(kIdSearchText)->toPlainText(), "");
    EXPECT_EQ(m_dialog->Results().rowCount(), 0);
    EXPECT_TRUE(static_cast<QCheckBox*>(Control(kIdSearchOnly))->isChecked());
    // Browse puts the chosen folder at the head of its list; cancelled, it changes nothing.
    m_store.ClearLog();
    m_dialog->OnBrowseFolder();
    EXPECT_TRUE(m_store.Log().empty());
    m_prompter.m_folder = QString::fromStdString(tree.Root());
    m_dialog->OnBrowseFolder();
    EXPECT_EQ(m_prompter.m_asked.last(),
              "choose: Choose a Folder at " + QString::fromStdString(HomeFolder()));
    EXPECT_EQ(Combo(kIdLookIn)->currentText(), m_prompter.m_folder);
    EXPECT_EQ(m_store.GetProfileString("Look In Folders MRU", "dir1", ""), tree.Root());
}

TEST_F(SearchWindowTest, TemporaryFileFailuresArePutToTheUser) {
    tree.Write("a.txt", "old");
    tree.Write("b.txt", "old");
    Query(tree.Root(), "*.*", "old", "new");
    m_dialog->Options().m_bKeepUndo = 0;  // its journal would take the faults meant for these
    m_sys.Fail(Op::CreateTemp, ENOSPC, 1);
    m_prompter.Answer({P::kIdRetry});
    Run();
    ASSERT_EQ(m_prompter.m_asked.size(), 1);
    EXPECT_TRUE(m_prompter.m_asked[0].startsWith(
        "The Ovandrizer: Search Error: Cannot open the temporary file ("));
    EXPECT_TRUE(m_prompter.m_asked[0].contains("): The disk is full"));
    EXPECT_EQ(tree.Read("a.txt") + tree.Read("b.txt"), "newnew");
    // Ignore skips one file, Abort ends the search; both leave the files whole.
    for (int answer : {P::kIdIgnore, P::kIdAbort}) {
        tree.Write("a.txt", "old");
        tree.Write("b.txt", "old");
        m_sys.Fail(Op::CreateTemp, EIO, 1);
        m_prompter.Answer({answer});
        Run();
        const int rewritten = (tree.Read("a.txt") == "new") + (tree.Read("b.txt") == "new");
        EXPECT_EQ(rewritten, answer == P::kIdIgnore ? 1 : 0);
        EXPECT_TRUE(tree.TemporaryFiles().empty());
    }
    m_sys.Fail(Op::Fsync, EIO, 1);
    m_prompter.Answer({P::kIdCancel});
    tree.Write("a.txt", "old");
    Run();
    EXPECT_TRUE(m_prompter.m_asked.last().contains("Cannot close the output file"));
    EXPECT_TRUE(m_prompter.m_asked.last().contains("or Cancelit?\n"));
}

TEST_F(SearchWindowTest, FileUndoTakesTheLastReplacementBackAndNamesWhatItLeft) {
    tree.Write("a.txt", "old");
    tree.Write("b.txt", "old old");
    auto* undo = m_dialog->MenuBar()->findChild<QAction*>(QString::number(kCmdUndoLast));
    const auto enabledWhenShown = [&] {
        for (QObject* menu : undo->associatedObjects())
            if (auto* popup = qobject_cast<QMenu*>(menu))
                emit popup->aboutToShow();
        return undo->isEnabled();
    };
    EXPECT_FALSE(enabledWhenShown());
    Query(tree.Root(), "*.*", "old", "new");
    Run();
    ASSERT_EQ(tree.Read("b.txt"), "new new");
    EXPECT_TRUE(enabledWhenShown());

    tree.Write("b.txt", "mine");
    m_prompter.Answer({P::kIdYes, P::kIdOk});
    undo->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_prompter.m_asked.size() == 2; }, 10000));
    EXPECT_TRUE(m_prompter.m_asked[0].startsWith(
        "Undo Last Replacement: Take back the replacement of 'old'\nwith 'new', made "));
    EXPECT_TRUE(m_prompter.m_asked[0].contains(" in 2 files below\n" +
                                               QString::fromStdString(tree.Root()) + "?\n"));
    EXPECT_EQ(m_prompter.m_asked[1],
              "Undo Last Replacement: Restored 1 file. 1 file was left as it is, changed since the "
              "replacement or out of reach.\n" +
                  QString::fromStdString(tree.Path("b.txt")) +
                  ": it changed since the replacement");
    EXPECT_EQ(tree.Read("a.txt") + "|" + tree.Read("b.txt"), "old|mine");
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    EXPECT_FALSE(enabledWhenShown());

    // Settings > Keep Undo Copies turned off: a replacement keeps nothing to take back.
    m_dialog->MenuBar()->findChild<QAction*>(QString::number(kCmdKeepUndo))->trigger();
    EXPECT_EQ(m_dialog->Options().m_bKeepUndo, 0);
    Run();
    EXPECT_EQ(tree.Read("a.txt"), "new");
    EXPECT_FALSE(enabledWhenShown());
}

// A double-click opens the first selected file as the option says, by its own bytes when its
// name is not UTF-8.
TEST_F(SearchWindowTest, ADoubleClickOpensTheFirstSelectedFileByItsOwnBytes) {
    const std::string name = std::string("bad\xff") + "name.txt";
    tree.Write("c.txt", "x");
    tree.Write(name, "x");
    Search("x");
    const auto select = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    List()->selectionModel()->select(m_dialog->Results().index(1, 0), select);
    List()->selectionModel()->select(m_dialog->Results().index(0, 0), select);
    const QString root = QString::fromStdString(tree.Root());
    m_dialog->Options().m_strFileViewer = "my viewer";
    for (int action : {0, 1, 2, 5}) {
        m_dialog->Options().m_nDoubleClickAction = action;
        m_dialog->OnResultDblClk();
    }
    const QByteArray path = QByteArray::fromStdString(tree.Path(name));
    const QString shown = QString::fromUtf8(path);
    EXPECT_EQ(m_shell.m_calls,
              QStringList({"open " + shown, "start my viewer [" + shown + "] in " + root,
                           "start my viewer [" + shown + "] in " + root}));
    EXPECT_EQ(m_shell.m_files, QByteArrayList({path, path, path}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(FileUrl(path),
              "file://" + QByteArray::fromStdString(tree.Root()) + "/bad%FFname.txt");
    // The desktop's own starter hands the bytes on as they are.
    tree.Write("viewer", "#!/bin/sh\nprintf '%s' \"$1\" > seen\n", 0755);
    DesktopShell desktop;
    ASSERT_TRUE(desktop.StartViewer(QString::fromStdString(tree.Path("viewer")), path,
                                    QByteArray::fromStdString(tree.Root())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree.Read("seen") == path.toStdString(); }, 5000))
        << tree.Read("seen");
    EXPECT_FALSE(desktop.StartViewer(QStringLiteral("/no/such/viewer"), path, "/"));
}

// The list shows its selection only while it has the focus, and its columns stay in order.
TEST_F(SearchWindowTest, TheListShowsItsSelectionOnlyWithTheFocusAndKeepsItsColumns) {
    tree.Write("a.txt", "x");
    Search("x");
    QTreeView* list = List();
    list->setCurrentIndex(m_dialog->Results().index(0, 0));
    const QRect row = list->visualRect(m_dialog->Results().index(0, 1));
    const auto colourOfRow = [&] {
        list->viewport()->repaint();
        return list->viewport()->grab().toImage().pixelColor(row.right() - 2, row.center().y());
    };
    list->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }));
    const QColor focused = colourOfRow();
    Control(kIdStart)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->hasFocus(); }));
    const QColor unfocused = colourOfRow();
    EXPECT_EQ(unfocused, list->palette().color(QPalette::Active, QPalette::Base));
    EXPECT_NE(focused, unfocused);  // drawn as selected
    // A drag of the first column's header onto the third leaves the columns as they were.
    QHeaderView* header = list->header();
    const QPoint from(header->sectionViewportPosition(0) + 5, header->height() / 2);
    const QPoint to(header->sectionViewportPosition(2) + 5, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(header->viewport(), to);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
    for (int column = 0; column < header->count(); ++column)
        EXPECT_EQ(header->visualIndex(column), column);
}

// The right-click menu acts on the rows selected through the window's desktop binding: Open as
// a double-click does, the first row's folder, every path copied as its own bytes; it holds the
// File menu's Undo Last Replacement.
TEST_F(SearchWindowTest, TheResultsMenuOpensAndCopiesWhatIsSelected) {
    const std::string odd = std::string("bad\xff") + "name.txt";
    tree.Write("c.txt", "x");
    tree.Write("sub/" + odd, "x");
    Search("x");
    QMenu* menu = m_dialog->ResultsMenu();
    const auto item = [&](const char* name) {
        return menu->findChild<QAction*>(QString::fromLatin1(name));
    };
    emit menu->aboutToShow();
    EXPECT_FALSE(item("open")->isEnabled() || item("openFolder")->isEnabled() ||
                 item("copyPath")->isEnabled());
    const auto select = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    List()->selectionModel()->select(m_dialog->Results().index(1, 0), select);  // c.txt
    List()->selectionModel()->select(m_dialog->Results().index(0, 0), select);  // bad...
    m_dialog->Options().m_nDoubleClickAction = 1;
    emit menu->aboutToShow();
    ASSERT_TRUE(item("open")->isEnabled() && item("openFolder")->isEnabled() &&
                item("copyPath")->isEnabled());
    item("open")->trigger();
    item("openFolder")->trigger();
    item("copyPath")->trigger();
    const QByteArray first = QByteArray::fromStdString(tree.Path("sub/" + odd));
    EXPECT_EQ(m_shell.m_files,
              QByteArrayList({first, QByteArray::fromStdString(tree.Path("sub"))}));
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->data("text/plain"),
              first + "\n" + QByteArray::fromStdString(tree.Path("c.txt")));
    EXPECT_TRUE(copied->data("text/uri-list").startsWith(FileUrl(first) + "\r\n"));
    EXPECT_TRUE(menu->actions().contains(
        m_dialog->MenuBar()->findChild<QAction*>(QString::number(kCmdUndoLast))));
    m_dialog->Options().m_nDoubleClickAction = 0;
    emit menu->aboutToShow();
    EXPECT_FALSE(item("open")->isEnabled());

    // A right-click on a row not selected acts on that row; below the rows, on none.
    List()->selectionModel()->select(
        m_dialog->Results().index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QPoint onSecond = List()->visualRect(m_dialog->Results().index(1, 0)).center();
    m_dialog->OnResultsMenu(onSecond);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    ASSERT_EQ(List()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(List()->selectionModel()->selectedRows()[0].row(), 1);
    m_dialog->OnResultsMenu(QPoint(4, List()->viewport()->height() - 4));
    menu->hide();
    EXPECT_TRUE(List()->selectionModel()->selectedRows().isEmpty());
    EXPECT_FALSE(item("copyPath")->isEnabled());
}

// A click on a heading sorts by that column, a second the other way, with the indicator shown;
// the next search is sorted by name again. A search that found nothing says so in the list.
TEST_F(SearchWindowTest, HeadingsSortTheListAndAnEmptyResultSaysSo) {
    tree.Write("a.txt", std::string(3000, 'x'));
    tree.Write("b.txt", std::string(900, 'x'));
    tree.Write("c.txt", std::string(20, 'x'));
    Search("x");
    QHeaderView* header = List()->header();
    const auto click = [&](int section) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + 4, header->height() / 2));
    };
    const auto names = [&] {
        QStringList shown;
        for (int i = 0; i < m_dialog->Results().rowCount(); ++i)
            shown << m_dialog->Results().Row(i).name.left(1);
        return shown.join("");
    };
    EXPECT_EQ(names(), "abc");
    click(2);
    EXPECT_EQ(names(), "cba");  // 20 bytes, 900 bytes, 2.9 KB
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    EXPECT_TRUE(header->isSortIndicatorShown());
    click(2);
    EXPECT_EQ(names(), "abc");
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    Run();
    EXPECT_EQ(names(), "abc");
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    auto* list = static_cast<ResultsView*>(List());
    EXPECT_EQ(list->EmptyText(), "");
    const auto inked = [&] {  // the pixels of the list's area not in its background colour
        list->viewport()->repaint();
        const QImage image = list->viewport()->grab().toImage();
        const QColor base = list->palette().color(QPalette::Base);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) != base;
        return count;
    };
    Search("nowhere to be found");
    EXPECT_EQ(list->EmptyText(), "No files found");
    EXPECT_GT(inked(), 0);
    Search("x");
    EXPECT_EQ(list->EmptyText(), "");
    Search("nowhere to be found");
    m_prompter.Answer({P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(list->EmptyText(), "");
    EXPECT_EQ(inked(), 0);
}

}  // namespace
}  // namespace pellumar
