// The Matches window as people use it: the matching lines of the rows selected, opened at their
// line in the program the Double-Click Action names, a hundred thousand of them in a few
// megabytes; and the preview of a replacement, made as Yes would make it, or cancelled with
// nothing written.
#include <QListView>
#include <QMenu>
#include <QPushButton>

#include <QDialogButtonBox>

#include "CMatchesDlg.h"
#include "LineMarkup.h"
#include "MatchesModel.h"
#include "SearchWindowFixture.h"
#include "ViewerCommand.h"

namespace pellumar {
namespace {

class MatchesTest : public SearchWindowTest {
  protected:
    // Every row as the window shows it, once its lines are read: "kind number:text [marks]",
    // a file's row as its path below the tree.
    QStringList Rows() {
        const MatchesModel& model = m_dialog->MatchesWindow()->Model();
        const auto all = [&] {
            QStringList rows;
            for (int row = 0; row < model.rowCount(); ++row)
                rows << Row(model.index(row));
            return rows;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return !all().join('\n').contains(QChar(0x2026)); }));
        return all();
    }
    QString Row(const QModelIndex& index) const {
        const QChar kind = index.data(MatchesModel::kKindRole).toChar();
        const QString text = index.data().toString();
        if (kind == QLatin1Char('f'))
            return "file " + text.mid(tree.Root().size() + 1);
        if (kind == QLatin1Char('.') || kind == QLatin1Char('n'))
            return "  " + text;
        QString row = QString(kind) + index.data(MatchesModel::kNumberRole).toString() + ":" + text;
        const QVariantList marks = index.data(MatchesModel::kMarksRole).toList();
        for (int i = 0; i + 1 < marks.size(); i += 2)
            row += QStringLiteral(" [%1,%2]").arg(marks[i].toInt()).arg(marks[i + 1].toInt());
        return row;
    }
    void ShowMatchesOfAll() {
        List()->selectAll();
        QMenu* menu = m_dialog->ResultsMenu();
        emit menu->aboutToShow();
        QAction* show = menu->findChild<QAction*>("showMatches");
        ASSERT_TRUE(show->isEnabled());
        show->trigger();
        ASSERT_NE(m_dialog->MatchesWindow(), nullptr);
    }
    QString Path(const std::string& name) const { return QString::fromStdString(tree.Path(name)); }
};

TEST_F(MatchesTest, TheLinesOfTheSelectedFilesAreShownAndOpenWhereTheyAre) {
    tree.Write("a.txt", "one foo\ntwo\nfoo\tfoo\r\n");
    tree.Write("sub/c\xff.txt", "xfoo");
    tree.Write("bin", std::string("a\0foo\n", 6));
    SearchOnly(true);
    Query(tree.Root(), "*.*", "foo");
    Run();
    ShowMatchesOfAll();
    CMatchesDlg* window = m_dialog->MatchesWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->windowTitle(), "Matches");
    EXPECT_EQ(Rows(),
              QStringList({"file a.txt", " 1:one foo [4,3]", " 3:foo\tfoo [0,3] [4,3]", "file bin",
                           "  binary file matches", "file sub/c\uFFFD.txt", " 1:xfoo [1,3]"}));
    // Enter and a double-click open the line in the program, as the action names it.
    m_dialog->Options().m_nDoubleClickAction = 2;
    QListView* list = window->List();
    const auto open = [&](int row, const char* viewer, bool byKey) {
        m_dialog->Options().m_strFileViewer = viewer;
        m_shell.m_calls.clear();
        list->setCurrentIndex(list->model()->index(row, 0));
        if (byKey) {
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            list->scrollTo(list->currentIndex());
            const QPoint at = list->visualRect(list->currentIndex()).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        }
        return m_shell.m_calls.join(" / ");
    };
    EXPECT_EQ(open(2, "kate %f -l %l", true),
              "start kate [" + Path("a.txt") + "|-l|3] in " + Root());
    EXPECT_EQ(open(6, "gedit +%l %f", false),
              "start gedit [+1|" + Path("sub/c\xff.txt") + "] in " + Path("sub"));
    EXPECT_EQ(m_shell.m_files.last(), QByteArray::fromStdString(tree.Path("sub/c\xff.txt")));
    EXPECT_EQ(open(0, "my viewer", true), "start my viewer [" + Path("a.txt") + "] in " + Root());
    EXPECT_TRUE(window->isVisible());  // Enter opened a line and closed nothing
    // A listing has no lines to show.
    Query(tree.Root(), "*.*", "");
    Run();
    List()->selectAll();
    emit m_dialog->ResultsMenu()->aboutToShow();
    EXPECT_FALSE(m_dialog->ResultsMenu()->findChild<QAction*>("showMatches")->isEnabled());
}

// A hundred thousand matching lines are all listed, read file by file as they are shown, and
// never more than a few megabytes of them kept.
TEST_F(MatchesTest, AHundredThousandLinesAreShownWithoutKeepingThemAll) {
    std::string content;
    for (int line = 0; line < 100; ++line)
        content += "line " + std::to_string(line) + " holds the needle\n";
    for (int file = 0; file < 1000; ++file)
        tree.Write("d" + std::to_string(file / 100) + "/f" + std::to_string(file), content);
    SearchOnly(true);
    Query(tree.Root(), "*.*", "needle");
    Run();
    ShowMatchesOfAll();
    const MatchesModel& model = m_dialog->MatchesWindow()->Model();
    std::size_t most = 0;
    int lines = 0;
    for (int row = 0; row < model.rowCount(); ++row) {  // scrolled through, a row at a time
        const QModelIndex index = model.index(row);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return index.data(MatchesModel::kKindRole) != QChar('.');
        })) << row;
        lines += index.data(MatchesModel::kKindRole) == QChar(' ') ? 1 : 0;
        most = std::max(most, model.KeptLines());
    }
    EXPECT_EQ(lines, 100000);
    EXPECT_EQ(model.rowCount(), 101000);
    EXPECT_LE(most, MatchesModel::kKeptLines + MatchesModel::kKeptFiles * 100);
    EXPECT_EQ(Row(model.index(model.rowCount() - 1)), " 100:line 99 holds the needle [18,6]");
}

class PreviewTest : public MatchesTest {
  protected:
    void SetUp() override {
        MatchesTest::SetUp();
        m_dialog->Options().m_bSearchConfirmation = 1;
        tree.Write("a.txt", "keep\nold text\n");
        tree.Write("b.txt", "old");
        tree.Write("c.txt", "nothing\n");
        SearchOnly(false);
        Query(tree.Root(), "*.*", "old", "new");
    }
    CMatchesDlg* Preview() {
        m_prompter.Answer({P::kIdPreview});
        m_dialog->OnStart();
        EXPECT_TRUE(Idle());
        CMatchesDlg* window = m_dialog->MatchesWindow();
        EXPECT_TRUE(window != nullptr && window->Previewing());
        return window;
    }
    const std::map<std::string, std::string> before = {
        {"a.txt", "keep\nold text\n"}, {"b.txt", "old"}, {"c.txt", "nothing\n"}};
};

TEST_F(PreviewTest, APreviewShowsEachLineThatWouldChangeAndReplaceMakesIt) {
    CMatchesDlg* window = Preview();
    EXPECT_EQ(window->windowTitle(), "Preview");
    EXPECT_TRUE(m_prompter.m_asked.front().startsWith("Search confirmation: "));
    // Each file as the dry run found it, in the walk's order.
    const QString rows = Rows().join('\n');
    EXPECT_TRUE(rows.contains("file a.txt\n-2:old text [0,3]\n+2:new text [0,3]"))
        << rows.toStdString();
    EXPECT_TRUE(rows.contains("file b.txt\n-1:old [0,3]\n+1:new [0,3]")) << rows.toStdString();
    EXPECT_EQ(rows.count(QChar(10)), 5) << rows.toStdString();
    EXPECT_EQ(tree.Contents(), before);
    EXPECT_EQ(Listed(), QStringList());  // the files found are the preview's
    EXPECT_EQ(static_cast<ResultsView*>(List())->EmptyText(), "");
    EXPECT_TRUE(SummaryMatches("Would change 2 files"));
    // The texts typed after Preview are not those of the replacement previewed.
    Query(tree.Root(), "*.*", "keep", "gone");
    QTest::mouseClick(window->ReplaceButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(Idle());
    EXPECT_EQ(tree.Read("a.txt"), "keep\nnew text\n");
    EXPECT_EQ(tree.Read("b.txt"), "new");
    EXPECT_EQ(Listed(), QStringList({"a.txt in ", "b.txt in "}));
    EXPECT_TRUE(SummaryMatches("Changed 2 files"));
    EXPECT_EQ(m_prompter.m_asked.size(), 1);  // Replace asks nothing more
    // The files changed no longer hold what was found: there are no matches to show.
    List()->selectAll();
    emit m_dialog->ResultsMenu()->aboutToShow();
    EXPECT_FALSE(m_dialog->ResultsMenu()->findChild<QAction*>("showMatches")->isEnabled());
}

// A new line opens where it would stand in the file as it is: after a change that adds lines,
// the old line it takes the place of.
TEST_F(PreviewTest, ANewLineOpensWhereItStandsInTheFileAsItIs) {
    tree.Write("a.txt", "old\n1\n2\n3\n4\n5\n6\n7\n8\nold\n");
    Query(tree.Root(), "a.txt", "old", "n1\nn2");
    CMatchesDlg* window = Preview();
    EXPECT_EQ(Rows(), QStringList({"file a.txt", "-1:old [0,3]", "+1:n1 [0,2]", "+2:n2 [0,2]",
                                   "-10:old [0,3]", "+11:n1 [0,2]", "+12:n2 [0,2]"}));
    m_dialog->Options().m_nDoubleClickAction = 2;
    m_dialog->Options().m_strFileViewer = "ed +%l %f";
    window->List()->setCurrentIndex(window->Model().index(5, 0));
    QTest::keyClick(window->List(), Qt::Key_Return);
    EXPECT_EQ(m_shell.m_calls.join(" / "), "start ed [+10|" + Path("a.txt") + "] in " + Root());
    window->reject();
}

TEST_F(PreviewTest, ACancelledPreviewWritesNothingEvenWhileItsDryRunRuns) {
    CMatchesDlg* window = Preview();
    // Enter in the list opens a line, and on Cancel cancels: neither replaces.
    window->List()->setCurrentIndex(window->Model().index(1, 0));
    QTest::keyClick(window->List(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    QPushButton* cancel = window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(tree.Contents(), before);
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Idle);
    window = Preview();
    QTest::keyClick(window->List(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(tree.Contents(), before);
    // Cancelled while the dry run is held at its first file: it is stopped.
    Hold();
    m_prompter.Answer({P::kIdPreview});
    m_dialog->OnStart();
    EXPECT_EQ(m_dialog->GetRunState(), RunState::Running);
    EXPECT_FALSE(window->ReplaceButton()->isEnabled());
    window->reject();
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(SummaryMatches("Stopped after .*"));
    EXPECT_EQ(tree.Contents(), before);
    // Stopped from the main window, the preview stays, without Replace: it did not see it all.
    Hold();
    m_prompter.Answer({P::kIdPreview});
    m_dialog->OnStart();
    m_dialog->OnStop();
    Release();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(window->Previewing());
    EXPECT_FALSE(window->ReplaceButton()->isEnabled());
    window->reject();
    EXPECT_EQ(tree.Contents(), before);
    // No confirmation, no preview: the replacement runs.
    m_dialog->Options().m_bSearchConfirmation = 0;
    Run();
    EXPECT_EQ(tree.Read("b.txt"), "new");
    EXPECT_EQ(m_prompter.m_asked.size(), 4);
}

// A line as a row shows it: its carriage return left out, a mark that takes it too kept within
// the text, controls as pictures, and a long line cut around its first mark.
TEST(ViewerCommandTest, ALineIsShownWithItsMarksWithinItsText) {
    const auto shown = [](const TextLine& line) {
        const LineMarkup markup = MarkupOf(line);
        QString text = markup.text;
        for (const auto& [start, length] : markup.marks)
            text += QStringLiteral(" [%1,%2]").arg(start).arg(length);
        return text;
    };
    EXPECT_EQ(shown({1, ' ', "ab\r", true, {{1, 3}}}), "ab [1,1]");
    EXPECT_EQ(shown({1, '-', "a\r", true, {{1, 2}}}), "a");
    EXPECT_EQ(shown({1, ' ', "\x1b[2Jx\ty", true, {{4, 5}}}),
              QString::fromUtf8("\u241b[2Jx\ty [4,1]"));
    const std::string far = std::string(5000, 'a') + "needle" + std::string(5000, 'b');
    const QString cut = shown({1, ' ', far, true, {{5000, 5006}}});
    EXPECT_TRUE(cut.startsWith(QChar(0x2026))) << cut.left(10).toStdString();
    EXPECT_TRUE(cut.endsWith("\u2026 [41,6]")) << cut.right(20).toStdString();
}

TEST(ViewerCommandTest, AProgramTextNamesTheFileAndLineWhereItSaysSo) {
    const auto text = [](const QString& viewer, uint64_t line) {
        const ViewerCommand command = ViewerCommandFor(viewer, "/t/a b%l.txt", line);
        return command.program + " [" + QString::fromUtf8(command.arguments.join('|')) + "]";
    };
    EXPECT_EQ(text("/usr/bin/my viewer", 3), "/usr/bin/my viewer [/t/a b%l.txt]");
    EXPECT_EQ(text("kate %f -l %l", 3), "kate [/t/a b%l.txt|-l|3]");
    EXPECT_EQ(text("code -g %f:%l", 12), "code [-g|/t/a b%l.txt:12]");
    EXPECT_EQ(text("gedit +%l", 0), "gedit [+1|/t/a b%l.txt]");
    EXPECT_EQ(text("\"/opt/my editor/ed\" --line=%l \"%f\"", 7),
              "/opt/my editor/ed [--line=7|/t/a b%l.txt]");
}

}  // namespace
}  // namespace pellumar
