#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <algorithm>

#include "AppDoubles.h"
#include "BusyAnimation.h"
#include "CSearchDlg.h"
#include "MemorySettingsStore.h"
#include "ResourceIds.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

using namespace res;

const int kQueryControls[] = {kIdFilter,       kIdLookIn,      kIdSubfolders,  kIdSearchText,
                              kIdReplaceText,  kIdFilterLabel, kIdLookInLabel, kIdSearchGroup,
                              kIdReplaceGroup, kIdBrowse,      kIdSearchOnly};
const int kAlwaysShown[] = {kIdTabPages, kIdStart, kIdStop, kIdNewQuery, kIdOk, kIdAnimation};

class WindowTest : public ::testing::Test {
  protected:
    // Opens the window on the store as it is now, as a new run of the program would.
    CSearchDlg& Open() {
        m_dialog = std::make_unique<CSearchDlg>(m_store, m_prompter, m_shell);
        m_dialog->show();
        QApplication::setActiveWindow(m_dialog.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        return *m_dialog;
    }
    // Ends the run: the window closes and is destroyed.
    void Close() {
        m_dialog->OnOK();
        m_dialog.reset();
    }
    template <class T = QWidget>
    T* Get(int id) const {
        return static_cast<T*>(m_dialog->Control(id));
    }
    QAction* Menu(int command) const {
        return m_dialog->MenuBar()->findChild<QAction*>(QString::number(command));
    }
    int WriteIndex(const std::string& line) const {
        const auto& log = m_store.Log();
        return static_cast<int>(std::find(log.begin(), log.end(), line) - log.begin());
    }

    MemorySettingsStore m_store;
    test::ScriptedPrompter m_prompter;
    test::RecordingShell m_shell;
    std::unique_ptr<CSearchDlg> m_dialog;
};

TEST_F(WindowTest, StoredOptionsShowAtStartWhateverTheTemplateSays) {
    m_store.WriteProfileInt("Options", "Want Tab", 0);
    m_store.WriteProfileInt("Options", "Ignore Case", 5);
    m_store.WriteProfileInt("Options", "Search Only", 1);
    m_store.WriteProfileInt("Options", "Include Subdirs", 7);
    Open();
    EXPECT_FALSE(Menu(kCmdWantTab)->isChecked());
    EXPECT_TRUE(Menu(kCmdHiddenFiles)->isChecked());
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
    EXPECT_EQ(m_store.GetProfileInt("Options", "Search Only", -1), 0);
    EXPECT_EQ(m_store.GetProfileInt("Options", "Include Subdirs", -1), 0);
    EXPECT_EQ(m_store.GetProfileInt("Options", "Ignore Case", -1), 0);
    EXPECT_EQ(m_store.GetProfileInt("Options", "Want Tab", -1), 1);
    // Each toggle flipped its own option only.
    EXPECT_EQ(m_store.GetProfileInt("Options", "Hidden Files", -1), 1);
    EXPECT_EQ(m_store.GetProfileInt("Options", "Search Confirmation", -1), 1);
}

TEST_F(WindowTest, ClosingKeepsColumnWidthsAndRecentListsWritingFoldersFiltersThenOptions) {
    m_store.WriteProfileString("Filters MRU", "filter1", "*.c");
    Open();
    auto* header = Get<QTreeView>(kIdResults)->header();
    EXPECT_GE(header->sectionSize(2), 42);  // the default, grown with the font
    header->resizeSection(1, 222);
    m_store.ClearLog();
    Close();
    const int folders = WriteIndex("delete Look In Folders MRU");
    const int filters = WriteIndex("delete Filters MRU");
    const int options = WriteIndex("int Options/Include Subdirs=1");
    EXPECT_LT(folders, filters);
    EXPECT_EQ(filters + 1, WriteIndex("string Filters MRU/filter1=*.c"));
    EXPECT_EQ(filters + 2, options);
    EXPECT_EQ(static_cast<int>(m_store.Log().size()), options + 14);
    Open();
    EXPECT_EQ(Get<QTreeView>(kIdResults)->header()->sectionSize(1), 222);
    EXPECT_EQ(Get<QComboBox>(kIdLookIn)->currentText(), "");
    EXPECT_EQ(Get<QComboBox>(kIdFilter)->currentText(), "*.c");
    // The most recent folder and filter fill the boxes.
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

TEST_F(WindowTest, TheLayoutFollowsTheTemplateWithoutOverlapsAndTheResultsPageShowsOnlyTheList) {
    CSearchDlg& dialog = Open();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    const QRect tab = Get(kIdTabPages)->geometry();
    const QRect client = Get(kIdTabPages)->parentWidget()->rect();
    for (int first : kQueryControls) {
        const QRect a = Get(first)->geometry();
        EXPECT_TRUE(tab.contains(a)) << first;
        for (int second : kQueryControls) {
            const int pair = std::min(first, second) * 10000 + std::max(first, second);
            const bool grouped = pair == kIdSearchText * 10000 + kIdSearchGroup ||
                                 pair == kIdReplaceText * 10000 + kIdReplaceGroup;
            if (first != second && !grouped) {
                EXPECT_FALSE(a.intersects(Get(second)->geometry())) << first << " " << second;
            }
        }
    }
    for (int id : kAlwaysShown) {
        EXPECT_TRUE(client.contains(Get(id)->geometry())) << id;
        if (id != kIdTabPages) {
            EXPECT_GT(Get(id)->x(), tab.right()) << id;
        }
    }
    EXPECT_LT(Get(kIdStart)->y(), Get(kIdStop)->y());
    EXPECT_LT(Get(kIdAnimation)->y(), Get(kIdOk)->y());
    EXPECT_LT(Get(kIdSearchText)->y(), Get(kIdReplaceText)->y());
    // The results page shows only the list, with the line that tells of the run under it.
    EXPECT_FALSE(Get(kIdResults)->isVisible());
    EXPECT_FALSE(Get(kIdSummary)->isVisible());
    EXPECT_TRUE(tab.contains(Get(kIdSummary)->geometry()));
    EXPECT_GT(Get(kIdSummary)->y(), Get(kIdResults)->geometry().bottom());
    EXPECT_GE(Get(kIdSummary)->height(), Get(kIdSummary)->fontMetrics().height());
    Get<QTabWidget>(kIdTabPages)->setCurrentIndex(kPageResults);
    EXPECT_TRUE(Get(kIdResults)->isVisible());
    EXPECT_TRUE(Get(kIdSummary)->isVisible());
    for (int id : kQueryControls)
        EXPECT_FALSE(Get(id)->isVisible()) << id;
    for (int id : kAlwaysShown)
        EXPECT_TRUE(Get(id)->isVisible()) << id;
    Get<QTabWidget>(kIdTabPages)->setCurrentIndex(kPageQuery);
    for (int id : kQueryControls)
        EXPECT_TRUE(Get(id)->isVisible()) << id;
    EXPECT_FALSE(Get(kIdResults)->isVisible());
    EXPECT_FALSE(Get(kIdSummary)->isVisible());
    EXPECT_TRUE(Get(kIdStart)->isEnabled());
    EXPECT_FALSE(Get(kIdStop)->isEnabled());
    EXPECT_FALSE(Get<BusyAnimation>(kIdAnimation)->IsPlaying());
    EXPECT_EQ(Get<BusyAnimation>(kIdAnimation)->CurrentFrame(), 0);
}

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
