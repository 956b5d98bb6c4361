#include <gtest/gtest.h>

#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>

#include "AppDoubles.h"
#include "CSearchApp.h"
#include "DialogLayout.h"
#include "ResultsModel.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

ResultRow Named(const char* name) {
    return {name, "/f", 0, {}, name};
}

TEST(RulesTest, ResultsKeepNameOrderAndTheSelectionFollowsItsRows) {
    ResultsModel model;
    QItemSelectionModel selection(&model);
    model.AddRows({Named("b"), Named("D")});
    selection.select(model.index(1, 0), QItemSelectionModel::Select);  // "D"
    model.AddRows({Named("c"), Named("B"), Named("a"), Named("b")});
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
    const PixelRect start = ToPixels(239, 7, 50, 14, {7, 16});
    EXPECT_EQ(start.x, 418);  // 239 * 7 / 4 = 418.25
    EXPECT_EQ(start.y, 14);
    EXPECT_EQ(start.width, 88);  // 87.5 rounds up
    EXPECT_EQ(start.height, 28);
}

// Help opens the text beside the executable when there is one; the program running its window
// is tested with F1 from every window.
TEST(RulesTest, HelpOpensTheTextBesideTheExecutableWhenThereIsOne) {
    EXPECT_EQ(HelpFilePath("/opt/ps/PellumarSearch"), "/opt/ps/PellumarSearch.TXT");
    EXPECT_EQ(HelpFilePath("/opt/v1.2/Search"), "/opt/v1.2/Search.TXT");
    QTemporaryDir folder;
    test::RecordingShell shell;
    CSearchApp app(shell, folder.filePath("PellumarSearch"));
    EXPECT_EQ(app.ApplicationName(), "PellumarSearch");
    app.OnHelp();
    EXPECT_TRUE(shell.m_calls.isEmpty());
    QFile(folder.filePath("PellumarSearch.TXT")).open(QIODevice::WriteOnly);
    app.OnHelp();
    EXPECT_EQ(shell.m_calls, QStringList{"open " + folder.filePath("PellumarSearch.TXT")});
}

}  // namespace
}  // namespace pellumar
