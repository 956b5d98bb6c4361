#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "AppDoubles.h"
#include "CSearchApp.h"
#include "DialogLayout.h"
#include "MemorySettingsStore.h"
#include "ResourceIds.h"
#include "ResultsModel.h"
#include "SearchOptions.h"
#include "Shell.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

using namespace res;
using test::RecordingShell;

TEST(RulesTest, OddStoredValuesShowAsOff) {
    EXPECT_FALSE(ReplaceEnabled(-4));
    EXPECT_EQ(CheckBoxValue(2), 2);
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

ResultRow Named(const char* name) {
    return {name, "/f", 0, {}, name};
}

TEST(RulesTest, ResultsKeepNameOrderAndTheSelectionFollowsItsRows) {
    ResultsModel model;
    QItemSelectionModel selection(&model);
    model.AddRows({Named("b"), Named("D")});
    selection.select(model.index(1, 0), QItemSelectionModel::Select);  // "D"
    std::vector<ResultRow> batch;
    for (const char* name : {"c", "B", "a", "b"})
        batch.push_back(Named(name));
    model.AddRows(std::move(batch));
    QStringList names;
    for (int i = 0; i < model.rowCount(); ++i)
        names << model.Row(i).name;
    EXPECT_EQ(names, QStringList({"a", "b", "B", "b", "c", "D"}));  // equal names: as they came
    ASSERT_EQ(selection.selectedIndexes().size(), 1);
    EXPECT_EQ(selection.selectedIndexes()[0].row(), 5);
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, Qt::DisplayRole), "Modified");
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(RulesTest, DialogUnitsBecomePixelsFromTheFontsBaseUnits) {
    const BaseUnits units{7, 16};
    const PixelRect start = ToPixels(239, 7, 50, 14, units);
    EXPECT_EQ(start.x, 418);  // 239 * 7 / 4 = 418.25
    EXPECT_EQ(start.y, 14);
    EXPECT_EQ(start.width, 88);  // 87.5 rounds up
    EXPECT_EQ(start.height, 28);
}

TEST(RulesTest, HelpOpensTheTextBesideTheExecutableWhenThereIsOne) {
    EXPECT_EQ(HelpFilePath("/opt/ps/PellumarSearch"), "/opt/ps/PellumarSearch.TXT");
    EXPECT_EQ(HelpFilePath("/opt/v1.2/Search"), "/opt/v1.2/Search.TXT");
    QTemporaryDir folder;
    RecordingShell shell;
    CSearchApp app(shell, folder.filePath("PellumarSearch"));
    EXPECT_EQ(app.ApplicationName(), "PellumarSearch");
    app.OnHelp();
    EXPECT_TRUE(shell.m_calls.isEmpty());
    QFile text(folder.filePath("PellumarSearch.TXT"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();
    app.OnHelp();
    EXPECT_EQ(shell.m_calls, QStringList{"open " + folder.filePath("PellumarSearch.TXT")});
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
    EXPECT_EQ(shell.m_calls, QStringList{"open " + folder.filePath("RunTest.TXT")});
    // The window says which launcher entry it belongs to.
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.example.PellumarSearch");
    QSettings written("KVT", "RunTest");
    EXPECT_EQ(written.value("Options/Column Two").toInt(), 160);
}

}  // namespace
}  // namespace pellumar
