// The results list on its own, given made-up reports and no search run: the order of its rows,
// sorting by a heading, how it shows and opens them, its right-click menu, and what it says when
// a search found nothing.
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QTabWidget>
#include <algorithm>
#include <random>

#include "ResultsView.h"
#include "SearchWindowFixture.h"

namespace pellumar {

static ResultRow Found(const QString& name, const QString& folder = "/f", uint64_t size = 0,
                       uint32_t time = 0) {
    return {name, folder, size, {time, 0}, (folder + "/" + name).toUtf8()};
}

static QString Names(const ResultsModel& model, const QString& between = "") {
    QStringList names;
    for (int i = 0; i < model.rowCount(); ++i)
        names << model.Row(i).name;
    return names.join(between);
}

class ResultsListTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Open();
    }
    // The rows selected, in the list's order.
    QString Selected() const {
        QString rows;
        for (const QModelIndex& index : List()->selectionModel()->selectedRows())
            rows += QString::number(index.row());
        return rows;
    }
};

// Names are ordered as their case-folded texts compare, whether they differ early or late,
// within their first eight or fifteen characters or past them, by length, or beyond ASCII; equal
// names as they came, whatever the batches they came in. Emptied, the list is by name again.
TEST_F(ResultsListTest, NamesKeepTheirOrderWhateverTheBatches) {
    const QStringList names =
        QString(
            "file0001.txt|file0001.tx|FILE0001.TXT|file0001|file000|file0001.txz|file00010|zz|"
            "|\u00e9t\u00e9|\u00c9T\u00c9x|z\u00df|b|\U0001F600a|\U0001F600|abcdefgh|abcdefghi|"
            "ABCDEFGG|abcdefgH0|~|Zz|B|abcdefghijklmnoq|ABCDEFGHIJKLMNOP|abcdefghijklmno|"
            "abcdefghijklmnop0|abcdefghijklmnop")
            .split('|');
    for (const qsizetype batch : {qsizetype{1}, qsizetype{3}, names.size()}) {
        ResultsModel model;
        for (qsizetype at = 0; at < names.size(); at += batch) {
            std::vector<ResultRow> rows;
            for (const QString& name : names.mid(at, batch))
                rows.push_back(Found(name));
            model.AddRows(std::move(rows));
        }
        EXPECT_EQ(Names(model, "|"),
                  "|ABCDEFGG|abcdefgh|abcdefgH0|abcdefghi|abcdefghijklmno|ABCDEFGHIJKLMNOP|"
                  "abcdefghijklmnop|abcdefghijklmnop0|abcdefghijklmnoq|b|B|file000|file0001|"
                  "file0001.tx|"
                  "file0001.txt|FILE0001.TXT|file0001.txz|file00010|zz|Zz|z\u00df|~|\u00e9t\u00e9|"
                  "\u00c9T\u00c9x|\U0001F600|\U0001F600a")
            << batch;
        model.sort(2, Qt::DescendingOrder);
        model.Clear();
        EXPECT_EQ(model.SortColumn(), 0);
    }
}

// Thousands of rows, in batches of any size, stand where a stable sort of them all puts them,
// by name or by size, either way: names repeated, differing only in case or past a long common
// start, beyond ASCII, folding to more letters ("ß").
TEST_F(ResultsListTest, RowsInAnyBatchesStandWhereASortOfThemAllPutsThem) {
    std::mt19937 random(36);
    const QStringList parts = {
        "a",  "B", "file0001", "FILE0001.txt", "abcdefghijklmnop", "\u00e9", "\u00df",
        "ss", "Z", "0"};
    const auto pick = [&](qsizetype count) { return static_cast<qsizetype>(random() % count); };
    for (const auto& sorted :
         {std::pair{0, Qt::AscendingOrder}, {0, Qt::DescendingOrder}, {2, Qt::DescendingOrder}}) {
        const int column = sorted.first;  // named, not bound: the lambdas below take them
        const Qt::SortOrder order = sorted.second;
        ResultsModel model;
        model.sort(column, order);
        std::vector<ResultRow> all;
        while (all.size() < 5000) {
            std::vector<ResultRow> batch;
            for (qsizetype count = pick(900) + 1; count > 0; --count) {
                QString name;
                for (qsizetype units = pick(4); units >= 0; --units)
                    name += parts[pick(parts.size())];
                batch.push_back(Found(name, "/" + QString::number(all.size() + batch.size()),
                                      static_cast<uint64_t>(pick(3))));
            }
            all.insert(all.end(), batch.begin(), batch.end());
            model.AddRows(std::move(batch));
        }
        const int way = order == Qt::AscendingOrder ? 1 : -1;
        std::stable_sort(all.begin(), all.end(), [&](const ResultRow& a, const ResultRow& b) {
            const int names = a.name.toCaseFolded().compare(b.name.toCaseFolded());
            if (column == 2 && a.size != b.size)
                return (a.size < b.size) == (way > 0);
            return column == 2 ? names < 0 : names * way < 0;
        });
        QStringList expected, shown;
        for (size_t row = 0; row < all.size(); ++row) {
            expected << all[row].location;
            shown << model.Row(static_cast<int>(row)).location;
        }
        EXPECT_EQ(shown, expected) << column << order;
    }
}

// A search that found nothing says so in the list's area; one that found files says nothing, nor
// does the list before any search. A click on a heading sorts by that column, a second the other
// way, with the indicator shown; size and time by their values: 900 bytes before 2 KB, though
// "2KB" < "900b" as text. Equal values keep the order of names, then of arrival, both ways; rows
// that come while sorted go to their place, the selection following its rows. New Query empties
// the list, sorted by name again and with nothing to say.
TEST_F(ResultsListTest, AnEmptyResultSaysSoAndAHeadingSortsByItsValues) {
    auto* list = List();
    Get<QTabWidget>(kIdTabPages)->setCurrentIndex(kPageResults);
    const auto drawn = [list] {
        list->viewport()->repaint();
        return list->viewport()->grab().toImage();
    };
    const QImage blank = drawn();
    EXPECT_EQ(list->EmptyText(), "");
    m_dialog->OnSearchFinished();
    EXPECT_EQ(list->EmptyText(), "No files found");
    EXPECT_NE(drawn(), blank);
    Model().AddRows(
        {Found("c", "/b", 2048, 3), Found("a", "/B", 900, 1), Found("b", "/a", 900, 2)});
    m_dialog->OnSearchFinished();
    EXPECT_EQ(list->EmptyText(), "");
    QHeaderView* header = List()->header();
    // Clicks the headings, then tells the names in order and the column sorted by, "+" upwards.
    const auto click = [&](std::initializer_list<int> sections) {
        for (int section : sections)
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(section) + 4, header->height() / 2));
        return Names(Model()) + " " + QString::number(header->sortIndicatorSection()) +
               (header->sortIndicatorOrder() == Qt::AscendingOrder ? "+" : "-");
    };
    EXPECT_EQ(Model().headerData(4, Qt::Horizontal, Qt::DisplayRole), "Modified");
    List()->selectionModel()->select(Model().index(0, 0),  // "a"
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(click({2}), "abc 2+");
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(click({2}), "cab 2-");  // the equal sizes stay in name order
    EXPECT_EQ(click({4, 4}), "cba 4-");
    EXPECT_EQ(click({1}), "bac 1+");  // "/B" and "/b" are equal without regard to case
    Model().AddRows({Found("d", "/a", 1, 9), Found("a", "/b", 1, 0)});
    EXPECT_EQ(click({}), "bdaac 1+");  // the second "a" came later
    EXPECT_EQ(Model().Row(2).location + Selected(), "/B2");
    EXPECT_EQ(click({0, 0}), "dcbaa 0-");  // equal names as they came, either way
    EXPECT_EQ(Model().Row(3).location + Selected(), "/B3");
    m_prompter.Answer({P::kIdYes});
    m_dialog->OnNewQuery();
    EXPECT_EQ(click({}) + list->EmptyText(), " 0+");
    EXPECT_EQ(drawn(), blank);
}

// A double-click and the right-click menu act on the rows selected, the first of them in the
// list's order opened as the option says, by its own bytes when its name is not UTF-8: Open, the
// first row's folder, every path copied; what does not open is named with the desktop's reason.
// A right-click on a row not selected acts on that row alone; below the rows, on none.
TEST_F(ResultsListTest, ADoubleClickTheMenuAndTheKeysActOnTheSelectedRows) {
    const QByteArray odd("/srv/sub/bad\xffname.txt");
    const QString shown = QString::fromUtf8(odd);
    Model().AddRows({Found("c.txt", "/srv"), {shown.mid(9), "/srv/sub", 1, {}, odd}});
    QMenu* menu = m_dialog->ResultsMenu();
    const auto item = [&](const char* name) { return menu->findChild<QAction*>(name); };
    // Open, Open Containing Folder and Copy Path as the menu opens, with a double-click action.
    const auto enabled = [&](int action) {
        m_dialog->Options().m_nDoubleClickAction = action;
        emit menu->aboutToShow();
        QString states;
        for (const char* name : {"open", "openFolder", "copyPath"})
            states += item(name)->isEnabled() ? '1' : '0';
        return states;
    };
    EXPECT_EQ(enabled(1), "000");
    EXPECT_TRUE(menu->actions().contains(Menu(kCmdUndoLast)));
    for (int row : {1, 0})
        List()->selectionModel()->select(Model().index(row, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_dialog->Options().m_strFileViewer = "my viewer";
    for (int action : {0, 1, 2, 5}) {
        m_dialog->Options().m_nDoubleClickAction = action;
        m_dialog->OnResultDblClk();
    }
    const QString viewer = "start my viewer [" + shown + "] in /srv/sub";
    EXPECT_EQ(m_shell.m_calls, QStringList({"open " + shown, viewer, viewer}));
    EXPECT_EQ(m_shell.m_files, QByteArrayList(3, odd));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(enabled(0), "011");  // no double-click action: nothing to open
    EXPECT_EQ(enabled(1), "111");
    m_shell.m_files.clear();
    m_shell.m_bDocumentOpens = false;
    m_shell.m_strFailure = "it does not exist";
    for (const char* name : {"open", "openFolder", "copyPath"})
        item(name)->trigger();
    EXPECT_EQ(m_shell.m_files, QByteArrayList({odd, "/srv/sub"}));
    EXPECT_EQ(m_prompter.m_asked,
              QStringList({"Pellumar Search: Cannot open " + shown + ":\nit does not exist.",
                           "Pellumar Search: Cannot open /srv/sub:\nit does not exist."}));
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->data("text/plain"), odd + "\n/srv/c.txt");
    EXPECT_EQ(copied->data("text/uri-list"),
              "file:///srv/sub/bad%FFname.txt\r\nfile:///srv/c.txt\r\n");

    List()->selectionModel()->select(
        Model().index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_dialog->OnResultsMenu(List()->visualRect(Model().index(1, 0)).center());
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    EXPECT_EQ(Selected(), "1");
    m_dialog->OnResultsMenu(QPoint(4, List()->viewport()->height() - 4));
    menu->hide();
    EXPECT_EQ(enabled(1), "000");

    // The list marks its selection only while it has the focus, and while its menu is open,
    // which Shift+F10 opens as the Menu key does; Enter opens the current row as a double-click
    // does and never reaches the window's Start; a heading dragged leaves the columns in order.
    m_shell.m_calls.clear();
    m_shell.m_bDocumentOpens = true;
    ResultsView* list = List();
    Get<QTabWidget>(kIdTabPages)->setCurrentIndex(kPageResults);
    list->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }));
    list->setCurrentIndex(Model().index(1, 0));
    const auto marked = [list] {  // in the selection's colour, not as the other rows
        return list->palette().color(QPalette::Active, QPalette::Highlight) !=
               list->palette().color(QPalette::Active, QPalette::Base);
    };
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(menu->isVisible() && marked());
        EXPECT_EQ(Selected(), "1");
        menu->close();
    });
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 2000));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(list, Qt::Key_Enter);
    EXPECT_EQ(m_shell.m_calls, QStringList(2, "open /srv/c.txt"));
    EXPECT_EQ(m_prompter.m_asked.size(), 2);

    // Home and End go to the first and the last row, Left and Right stay on the row; rows are
    // as high as a line of the list's text needs; Tab leaves the list for the next control.
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(list->currentIndex(), Model().index(Model().rowCount() - 1, 0));
    QTest::keyClick(list, Qt::Key_Left);
    EXPECT_EQ(list->currentIndex().row(), Model().rowCount() - 1);
    QTest::keyClick(list, Qt::Key_Home);
    EXPECT_EQ(list->currentIndex().row(), 0);
    const int rowHeight = list->visualRect(Model().index(0, 0)).height();
    EXPECT_GE(rowHeight, list->fontMetrics().height());
    EXPECT_LE(rowHeight, list->fontMetrics().height() + 8);
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_FALSE(list->hasFocus());
    Get(kIdStart)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->hasFocus(); }));
    EXPECT_FALSE(marked());
    EXPECT_FALSE(list->header()->sectionsMovable());
}

}  // namespace pellumar
