// The main window as it opens and closes: the options and recent lists it starts with and keeps,
// its layout and pages, its keys, and where it opens on the screen.
#include <QScreen>
#include <QStyle>
#include <QTabWidget>

#include "BusyAnimation.h"
#include "SearchWindowFixture.h"

namespace pellumar {

// A first run shows the options as the program first comes. Every way of closing closes at once
// when idle, keeping the columns' widths, the recent lists and the options, written folders,
// then filters, then options; the next run shows them whatever the window's template says, the
// most recent folder and filter in the boxes. Each toggle flips its own option only.
TEST_F(WindowTest, ARunStartsFromWhatTheLastOneKept) {
    const auto marks = [this] {  // the two check boxes, then the toggles of the Settings menu
        QString shown;
        for (int id : {kIdSubfolders, kIdSearchOnly})
            shown += Get<QCheckBox>(id)->isChecked() ? '1' : '0';
        shown += ' ';
        for (int command :
             {kCmdIgnoreCase, kCmdSearchConfirmation, kCmdWantTab, kCmdHiddenFiles, kCmdKeepUndo})
            shown += Menu(command)->isChecked() ? '1' : '0';
        return shown + " " + Get<QComboBox>(kIdLookIn)->currentText() + "|" +
               Get<QComboBox>(kIdFilter)->currentText();
    };
    const auto close = [this](const std::function<void()>& way) {
        way();
        EXPECT_FALSE(m_dialog->isVisible());
        EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
        m_dialog.reset();
    };
    m_store.WriteProfileString("Filters MRU", "filter1", "*.c");
    Open();
    EXPECT_EQ(marks(), "10 11011 |*.c");
    EXPECT_EQ(m_dialog->Options().m_nDoubleClickAction, 1);  // opened as the desktop does
    EXPECT_EQ(m_dialog->Options().m_strFileViewer, "xdg-open");
    List()->header()->resizeSection(1, 222);
    m_store.ClearLog();
    close([this] { QTest::keyClick(m_dialog.get(), Qt::Key_Escape); });
    const std::vector<std::string>& log = m_store.Log();
    const auto at = [&](const std::string& line) {
        return static_cast<std::size_t>(std::find(log.begin(), log.end(), line) - log.begin());
    };
    const std::size_t filters = at("delete Filters MRU");
    EXPECT_LT(at("delete Look In Folders MRU"), filters);
    ASSERT_EQ(log.size(), filters + 16);  // the filter, then the fourteen options
    EXPECT_EQ(log[filters + 1], "string Filters MRU/filter1=*.c");
    EXPECT_EQ(log[filters + 2], "int Options/Include Subdirs=1");

    m_store.WriteProfileInt("Options", "Ignore Case", 5);
    m_store.WriteProfileInt("Options", "Search Only", 1);
    m_store.WriteProfileInt("Options", "Include Subdirs", 7);
    m_store.WriteProfileString("Look In Folders MRU", "dir1", "/srv/data");
    m_store.WriteProfileString("Look In Folders MRU", "dir2", "/home");
    m_store.WriteProfileString("Filters MRU", "filter1", "");
    m_store.WriteProfileString("Filters MRU", "filter2", "*.h");
    Open();
    EXPECT_EQ(marks(), "01 11011 /srv/data|*.h");
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->count(), 2);
    EXPECT_EQ(List()->header()->sectionSize(1), 222);
    EXPECT_FALSE(Get(kIdReplaceText)->isEnabled());
    QTest::mouseClick(Get(kIdSearchOnly), Qt::LeftButton);
    EXPECT_TRUE(Get(kIdReplaceText)->isEnabled());
    Menu(kCmdIgnoreCase)->trigger();
    Menu(kCmdWantTab)->trigger();
    EXPECT_EQ(marks(), "00 01111 /srv/data|*.h");
    close([this] { m_dialog->close(); });
    for (const auto& [key, value] : {std::pair{"Search Only", 0},
                                     {"Include Subdirs", 0},
                                     {"Ignore Case", 0},
                                     {"Want Tab", 1},
                                     {"Hidden Files", 1},
                                     {"Search Confirmation", 1}})
        EXPECT_EQ(m_store.GetProfileInt("Options", key, -1), value) << key;
    Open();
    close([this] { Menu(kCmdClose)->trigger(); });
    Open();
    close([this] { QTest::mouseClick(Get(kIdOk), Qt::LeftButton); });
}

// The query page's controls lie on the tab control, the buttons beside it. The results page
// shows only the list with the line that tells of the run under it; the query page all but those
// two; the buttons stay.
TEST_F(WindowTest, TheResultsPageShowsOnlyTheListAndTheQueryPageAllElse) {
    CSearchDlg& dialog = Open();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    auto* tabs = Get<QTabWidget>(kIdTabPages);
    const QRect tab = tabs->geometry();
    const auto shown = [&](bool onTab) {  // the controls shown on the tab control, or beside it
        QList<QWidget*> controls;
        for (QWidget* control :
             tabs->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (control != tabs && !control->objectName().isEmpty() && control->isVisible() &&
                tab.contains(control->geometry()) == onTab)
                controls << control;
        return controls;
    };
    const QList<QWidget*> query = shown(true), beside = shown(false);
    EXPECT_EQ(query.size(), 11);
    EXPECT_EQ(beside.size(), 5);
    for (QWidget* control : beside)
        EXPECT_GT(control->x(), tab.right());
    tabs->setCurrentIndex(kPageResults);
    EXPECT_EQ(shown(true), (QList<QWidget*>{List(), Get(kIdSummary)}));
    EXPECT_EQ(shown(false), beside);
    EXPECT_GT(Get(kIdSummary)->y(), List()->geometry().bottom());
    EXPECT_GE(Get(kIdSummary)->height(), Get(kIdSummary)->fontMetrics().height());
    tabs->setCurrentIndex(kPageQuery);
    EXPECT_EQ(shown(true), query);
    EXPECT_TRUE(Get(kIdStart)->isEnabled());
    EXPECT_FALSE(Get(kIdStop)->isEnabled());
    EXPECT_FALSE(Get<BusyAnimation>(kIdAnimation)->IsPlaying());
    EXPECT_EQ(Get<BusyAnimation>(kIdAnimation)->CurrentFrame(), 0);
}

// Alt and a label's letter reach its control: Alt+Y enables the replace box before the Alt+R
// that follows at once reaches it. Tab in a text box moves the focus on and Shift+Tab back; with
// the setting, asked at every key, they type a tab in place of the selection, one step to undo.
TEST_F(WindowTest, MnemonicsAndTheTabKeyReachTheTextBoxes) {
    Open();
    auto* search = Get<QPlainTextEdit>(kIdSearchText);
    const auto key = [](Qt::Key pressed, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), pressed, modifiers);
        return QApplication::focusWidget();
    };
    QTest::keyClick(m_dialog.get(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), search);
    search->setPlainText("abcdef");
    EXPECT_NE(key(Qt::Key_Tab), search);
    EXPECT_EQ(key(Qt::Key_Backtab, Qt::ShiftModifier), search);
    EXPECT_NE(key(Qt::Key_Backtab, Qt::ShiftModifier), search);
    EXPECT_EQ(key(Qt::Key_Tab), search);
    Menu(kCmdWantTab)->trigger();
    QTextCursor cursor = search->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    search->setTextCursor(cursor);
    EXPECT_EQ(key(Qt::Key_Tab), search);
    EXPECT_EQ(key(Qt::Key_Backtab, Qt::ShiftModifier), search);
    EXPECT_EQ(search->toPlainText(), "a\t\tef");
    search->undo();
    search->undo();
    EXPECT_EQ(search->toPlainText(), "abcdef");
    key(Qt::Key_End);
    key(Qt::Key_Tab);
    key(Qt::Key_Return);
    Menu(kCmdWantTab)->trigger();
    EXPECT_NE(key(Qt::Key_Tab), search);
    EXPECT_EQ(search->toPlainText(), "abcdef\t\n");
    QTest::keyClick(m_dialog.get(), Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(Get(kIdFilter)->hasFocus());
    Get<QCheckBox>(kIdSearchOnly)->setChecked(true);
    m_dialog->OnSearchOnly();
    ASSERT_FALSE(Get(kIdReplaceText)->isEnabled());
    QTest::keyClick(m_dialog.get(), Qt::Key_Y, Qt::AltModifier);
    QTest::keyClick(m_dialog.get(), Qt::Key_R, Qt::AltModifier);
    QTest::keyClicks(QApplication::focusWidget(), "new");
    EXPECT_EQ(QApplication::focusWidget(), Get(kIdReplaceText));
    EXPECT_EQ(Get<QPlainTextEdit>(kIdReplaceText)->toPlainText(), "new");
    EXPECT_FALSE(Get<QCheckBox>(kIdSearchOnly)->isChecked());
}

// The window opens in the middle of its screen, its frame and title bar wholly on it, at any
// scale: the test runs once as it is and once at QT_SCALE_FACTOR=2.
TEST(PlacementTest, TheWindowOpensWhollyOnTheScreenInItsMiddle) {
    MemorySettingsStore store;
    test::ScriptedPrompter prompter;
    test::RecordingShell shell;
    CSearchDlg dialog(store, prompter, shell);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QRect area = dialog.screen()->availableGeometry();
    const QRect frame = dialog.frameGeometry();
    EXPECT_TRUE(area.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " on "
        << area.width() << "x" << area.height();
    // The guessed title bar may put it lower by half of that.
    const int titleBar = dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - area.center().y()), titleBar / 2 + 1);
}

}  // namespace pellumar
