#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "CSearchApp.h"
#include "DialogLayout.h"
#include "MemorySettingsStore.h"
#include "ResourceIds.h"
#include "SearchOptions.h"
#include "Shell.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

using namespace res;

TEST(RulesTest, PagesShowTheirControlsWithTheListNeverAloneMissing) {
    const std::vector<ShowStep> query = ShowPageSteps(kPageQuery);
    const std::vector<ShowStep> results = ShowPageSteps(kPageResults);
    ASSERT_EQ(query.size(), 12u);
    ASSERT_EQ(results.size(), 12u);
    EXPECT_EQ(query.front().id, kIdSearchOnly);
    EXPECT_TRUE(query.front().show);
    EXPECT_EQ(query.back().id, kIdResults);  // the list goes last
    EXPECT_FALSE(query.back().show);
    EXPECT_EQ(results.front().id, kIdResults);  // and comes first
    EXPECT_TRUE(results.front().show);
    for (std::size_t i = 1; i < results.size(); ++i)
        EXPECT_FALSE(results[i].show);
}

TEST(RulesTest, ButtonsAndBoxesFollowTheStateAndTheOptions) {
    EXPECT_TRUE(ButtonsFor(kRunIdle).start);
    EXPECT_FALSE(ButtonsFor(kRunIdle).stop);
    for (std::int32_t busy : {kRunRunning, kRunClosePending}) {
        EXPECT_FALSE(ButtonsFor(busy).start);
        EXPECT_TRUE(ButtonsFor(busy).stop);
    }
    EXPECT_TRUE(ReplaceEnabled(0));
    EXPECT_FALSE(ReplaceEnabled(1));
    EXPECT_FALSE(ReplaceEnabled(-4));
    EXPECT_EQ(CheckBoxValue(2), 2);
    EXPECT_EQ(CheckBoxValue(7), 0);
    EXPECT_EQ(CheckBoxValue(-1), 0);
}

TEST(RulesTest, MenuTogglesFlipTheirOwnOptionOnly) {
    MemorySettingsStore store;
    store.WriteProfileInt("Options", "Ignore Case", 5);
    SearchOptions options(store);
    EXPECT_EQ(ToggleState(options, kCmdIgnoreCase), true);
    EXPECT_EQ(ToggleOption(options, kCmdIgnoreCase), false);
    EXPECT_EQ(options.m_bIgnoreCase, 0);
    EXPECT_EQ(ToggleOption(options, kCmdWantTab), true);
    EXPECT_EQ(options.m_bWantTab, 1);
    EXPECT_EQ(ToggleOption(options, kCmdAbout), std::nullopt);
    EXPECT_EQ(options.m_bHiddenFiles, 1);
    EXPECT_EQ(options.m_bSearchConfirmation, 1);
}

TEST(RulesTest, DialogUnitsBecomePixelsFromTheFontsBaseUnits) {
    const BaseUnits units{7, 16};
    const PixelRect start = ToPixels(239, 7, 50, 14, units);
    EXPECT_EQ(start.x, 418);  // 239 * 7 / 4 = 418.25
    EXPECT_EQ(start.y, 14);
    EXPECT_EQ(start.width, 88);  // 87.5 rounds up
    EXPECT_EQ(start.height, 28);
    const auto controls = MainDialogTemplate().controls;
    auto indexOf = [&](int id) {
        for (std::size_t i = 0; i < controls.size(); ++i)
            if (controls[i].id == id)
                return static_cast<int>(i);
        return -1;
    };
    EXPECT_EQ(BuddyIndex(controls, indexOf(kIdFilterLabel)), indexOf(kIdFilter));
    EXPECT_EQ(BuddyIndex(controls, indexOf(kIdSearchGroup)), indexOf(kIdSearchText));
    EXPECT_EQ(BuddyIndex(controls, indexOf(kIdReplaceGroup)), indexOf(kIdReplaceText));
    EXPECT_EQ(BuddyIndex(controls, indexOf(kIdStart)), -1);
}

class RecordingShell final : public Shell {
  public:
    bool OpenDocument(const QString& path) override {
        m_opened.push_back(path);
        return true;
    }
    QStringList m_opened;
};

TEST(RulesTest, HelpOpensTheTextBesideTheExecutableWhenThereIsOne) {
    EXPECT_EQ(HelpFilePath("/opt/ps/PellumarSearch"), "/opt/ps/PellumarSearch.TXT");
    EXPECT_EQ(HelpFilePath("C:/Tools/PellumarSearch.exe"), "C:/Tools/PellumarSearch.TXT");
    EXPECT_EQ(HelpFilePath("/opt/v1.2/Search"), "/opt/v1.2/Search.TXT");
    QTemporaryDir folder;
    RecordingShell shell;
    CSearchApp app(shell, folder.filePath("PellumarSearch"));
    EXPECT_EQ(app.ApplicationName(), "PellumarSearch");
    app.OnHelp();
    EXPECT_TRUE(shell.m_opened.isEmpty());
    QFile text(folder.filePath("PellumarSearch.TXT"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();
    app.OnHelp();
    EXPECT_EQ(shell.m_opened, QStringList{folder.filePath("PellumarSearch.TXT")});
}

TEST(RulesTest, TheProgramRunsTheWindowUntilItClosesThenSavesUnderItsOwnName) {
    QTemporaryDir folder;
    QFile(folder.filePath("RunTest.TXT")).open(QIODevice::WriteOnly);
    RecordingShell shell;
    CSearchApp app(shell, folder.filePath("RunTest"));
    QTimer::singleShot(0, [] {
        QWidget* window = QApplication::activeModalWidget();
        ASSERT_NE(window, nullptr);
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F1);
        window->close();
    });
    EXPECT_EQ(app.InitInstance(), 0);
    EXPECT_EQ(shell.m_opened, QStringList{folder.filePath("RunTest.TXT")});
    QSettings written("KVT", "RunTest");
    EXPECT_EQ(written.value("Options/Column Two").toInt(), 160);
}

}  // namespace
}  // namespace pellumar
