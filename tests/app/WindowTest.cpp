// The main window as it opens and closes: the options and recent lists it starts with and keeps,
// its layout and pages, its keys, and where it opens on the screen.
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>

#include "BusyAnimation.h"
#include "SearchWindowFixture.h"

namespace pellumar {
namespace {

// A first run shows the options as the program first comes; a stored option shows at the start
// whatever the window's template says; each toggle flips its own option only, kept at the end.
TEST_F(WindowTest, OptionsShowAtStartAsTheyAreStoredAndTogglesFlipTheirOwn) {
    Open();
    EXPECT_TRUE(Get<QCheckBox>(kIdSubfolders)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(kIdSearchOnly)->isChecked());
    for (int command : {kCmdIgnoreCase, kCmdSearchConfirmation, kCmdHiddenFiles, kCmdKeepUndo})
        EXPECT_TRUE(Menu(command)->isChecked()) << command;
    EXPECT_FALSE(Menu(kCmdWantTab)->isChecked());
    EXPECT_EQ(m_dialog->Options().m_nDoubleClickAction, 1);  // opened as the desktop does
    EXPECT_EQ(m_dialog->Options().m_strFileViewer, "xdg-open");
    Close();
    m_store.WriteProfileInt("Options", "Ignore Case", 5);
    m_store.WriteProfileInt("Options", "Search Only", 1);
    m_store.WriteProfileInt("Options", "Include Subdirs", 7);
    Open();
    EXPECT_TRUE(Menu(kCmdIgnoreCase)->isChecked());
    EXPECT_FALSE(Get(kIdReplaceText)->isEnabled());
    EXPECT_FALSE(Get<QCheckBox>(kIdSubfolders)->isChecked());
    EXPECT_TRUE(Get<QCheckBox>(kIdSearchOnly)->isChecked());
    QTest::mouseClick(Get(kIdSearchOnly), Qt::LeftButton);
    EXPECT_TRUE(Get(kIdReplaceText)->isEnabled());
    Menu(kCmdIgnoreCase)->trigger();
    EXPECT_FALSE(Menu(kCmdIgnoreCase)->isChecked());
    Menu(kCmdWantTab)->trigger();
    EXPECT_TRUE(Menu(kCmdWantTab)->isChecked());
    Close();
    for (const auto& [key, value] : {std::pair{"Search Only", 0},
                                     {"Include Subdirs", 0},
                                     {"Ignore Case", 0},
                                     {"Want Tab", 1},
                                     {"Hidden Files", 1},
                                     {"Search Confirmation", 1}})
        EXPECT_EQ(m_store.GetProfileInt("Options", key, -1), value) << key;
}

// Closing keeps the columns' widths and the recent lists, written folders, then filters, then
// the options; the next run shows the most recent folder and filter.
TEST_F(WindowTest, ClosingKeepsColumnWidthsAndRecentListsWritingFoldersFiltersThenOptions) {
    m_store.WriteProfileString("Filters MRU", "filter1", "*.c");
    Open();
    List()->header()->resizeSection(1, 222);
    m_store.ClearLog();
    Close();
    const std::vector<std::string>& log = m_store.Log();
    const auto at = [&](const std::string& line) {
        return static_cast<std::size_t>(std::find(log.begin(), log.end(), line) - log.begin());
    };
    const std::size_t filters = at("delete Filters MRU");
    EXPECT_LT(at("delete Look In Folders MRU"), filters);
    ASSERT_EQ(log.size(), filters + 16);  // the filter, then the fourteen options
    EXPECT_EQ(log[filters + 1], "string Filters MRU/filter1=*.c");
    EXPECT_EQ(log[filters + 2], "int Options/Include Subdirs=1");
    Open();
    EXPECT_EQ(List()->header()->sectionSize(1), 222);
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->currentText(), "");
    EXPECT_EQ(Get<QComboBox>(kIdFilter)->currentText(), "*.c");
    Close();
    m_store.WriteProfileString("Look In Folders MRU", "dir1", "/srv/data");
    m_store.WriteProfileString("Look In Folders MRU", "dir2", "/home");
    m_store.WriteProfileString("Filters MRU", "filter1", "");
    m_store.WriteProfileString("Filters MRU", "filter2", "*.h");
    Open();
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->currentText(), "/srv/data");
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->count(), 2);
    EXPECT_EQ(Get<QComboBox>(kIdFilter)->currentText(), "*.h");
}

TEST_F(WindowTest, EveryWayOfClosingClosesAtOnceWhenIdle) {
    const std::vector<std::function<void(CSearchDlg&)>> ways = {
        [](CSearchDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](CSearchDlg& d) { d.close(); },
        [this](CSearchDlg&) { Menu(kCmdClose)->trigger(); },
        [this](CSearchDlg&) { QTest::mouseClick(Get(kIdOk), Qt::LeftButton); },
    };
    for (const auto& way : ways) {
        CSearchDlg& dialog = Open();
        way(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}

// The query page's controls lie on the tab control without overlapping, but for the text boxes
// in their group boxes; the buttons lie beside it. The results page shows only the list with the
// line that tells of the run under it; the query page all but those two.
TEST_F(WindowTest, TheLayoutFollowsTheTemplateWithoutOverlapsAndTheResultsPageShowsOnlyTheList) {
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
    const auto holds = [&](QWidget* group, QWidget* box) {
        return (group == Get(kIdSearchGroup) && box == Get(kIdSearchText)) ||
               (group == Get(kIdReplaceGroup) && box == Get(kIdReplaceText));
    };
    const QList<QWidget*> query = shown(true), beside = shown(false);
    EXPECT_GE(query.size(), 10);
    for (QWidget* a : query)
        for (QWidget* b : query)
            if (a != b && !holds(a, b) && !holds(b, a)) {
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " " << b->objectName().toStdString();
            }
    EXPECT_EQ(beside.size(), 5);
    for (QWidget* control : beside) {
        EXPECT_TRUE(tabs->parentWidget()->rect().contains(control->geometry()));
        EXPECT_GT(control->x(), tab.right());
    }
    EXPECT_LT(Get(kIdStart)->y(), Get(kIdStop)->y());
    EXPECT_LT(Get(kIdAnimation)->y(), Get(kIdOk)->y());
    EXPECT_LT(Get(kIdSearchText)->y(), Get(kIdReplaceText)->y());
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
// that follows at once reaches it. Tab in a text box moves on, or with the setting types a tab.
TEST_F(WindowTest, MnemonicsAndTheTabSettingReachTheTextBoxes) {
    Open();
    QTest::keyClick(m_dialog.get(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Get(kIdSearchText));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(Get<QPlainTextEdit>(kIdSearchText)->toPlainText(), "");
    QTest::keyClick(m_dialog.get(), Qt::Key_E, Qt::AltModifier);
    Menu(kCmdWantTab)->trigger();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(Get<QPlainTextEdit>(kIdSearchText)->toPlainText(), "\t");
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
    ASSERT_LE(frame.width(), area.width());
    ASSERT_LE(frame.height(), area.height());
    EXPECT_TRUE(area.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " on "
        << area.width() << "x" << area.height();
    // The guessed title bar may put it lower by half of that.
    const int titleBar = dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - area.center().y()), titleBar / 2 + 1);
}

}  // namespace
}  // namespace pellumar
