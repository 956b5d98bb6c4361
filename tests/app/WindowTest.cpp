// The main window as it opens and closes: the options and recent lists it starts with and keeps,
// its layout and pages, its keys, and where it opens on the screen.
#include <QFontInfo>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>

#include "BusyAnimation.h"
#include "SearchWindowFixture.h"

namespace pellumar {

// A first run shows the options as the program first comes, and columns that a size, a type and
// a time read in full in, in any font. Every way of closing closes at once when idle, keeping
// the recent lists and the options; a column left at its default is kept as its described width,
// one the user set as it is. The next run shows
// them whatever the window's template says, the most recent folder and filter in the boxes, the
// default columns in its own font. Each toggle flips its own option only.
TEST_F(WindowTest, ARunStartsFromWhatTheLastOneKept) {
    const auto marks = [this] {  // the two check boxes, then the toggles of the Settings menu
        QString shown;
        for (int id : {kIdSubfolders, kIdSearchOnly})
            shown += Get<QCheckBox>(id)->isChecked() ? '1' : '0';
        shown += ' ';
        for (int command : {kCmdIgnoreCase, kCmdSearchConfirmation, kCmdWantTab, kCmdHiddenFiles,
                            kCmdKeepUndo, kCmdRegex})
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
    const QFont font = QApplication::font();
    QFont large = font;
    large.setPixelSize(QFontInfo(font).pixelSize() * 2);
    QApplication::setFont(large);
    m_store.WriteProfileString("Filters MRU", "filter1", "*.c");
    Open();
    EXPECT_EQ(marks(), "10 110110 |*.c");
    EXPECT_EQ(m_dialog->Options().m_nDoubleClickAction, 1);  // opened as the desktop does
    EXPECT_EQ(m_dialog->Options().m_strFileViewer, "xdg-open");
    QHeaderView* header = List()->header();
    const QFontMetrics metrics(List()->font());
    EXPECT_GE(header->sectionSize(2), metrics.horizontalAdvance("1023.9kB") + 8);
    EXPECT_GE(header->sectionSize(3), metrics.horizontalAdvance("plain text document") + 8);
    EXPECT_GE(header->sectionSize(4), metrics.horizontalAdvance("12/31/99 12:59PM") + 8);
    const int largeName = header->sectionSize(0), largeSize = header->sectionSize(2);
    header->resizeSection(1, 222);  // as a drag would
    close([this] { QTest::keyClick(m_dialog.get(), Qt::Key_Escape); });
    QApplication::setFont(font);
    QString widths;
    for (const char* key :
         {"Column One", "Column Two", "Column Three", "Column Four", "Column Five"})
        widths += QString::number(m_store.GetProfileInt("Options", key, 0)) + " ";
    EXPECT_EQ(widths, "120 222 42 90 120 ");

    m_store.WriteProfileInt("Options", "Ignore Case", 5);
    m_store.WriteProfileInt("Options", "Search Only", 1);
    m_store.WriteProfileInt("Options", "Include Subdirs", 7);
    m_store.WriteProfileString("Look In Folders MRU", "dir1", "/srv/data");
    m_store.WriteProfileString("Filters MRU", "filter1", "");
    m_store.WriteProfileString("Filters MRU", "filter2", "*.h");
    Open();
    EXPECT_EQ(marks(), "01 110110 /srv/data|*.h");
    header = List()->header();
    EXPECT_EQ(header->sectionSize(1), 222);
    EXPECT_LT(header->sectionSize(0), largeName);
    EXPECT_LT(header->sectionSize(2), largeSize);
    QTest::mouseClick(Get(kIdSearchOnly), Qt::LeftButton);
    Menu(kCmdIgnoreCase)->trigger();
    Menu(kCmdWantTab)->trigger();
    Menu(kCmdRegex)->trigger();
    EXPECT_EQ(Menu(kCmdRegex)->text(), "&Regular Expressions");
    EXPECT_EQ(marks(), "00 011111 /srv/data|*.h");
    close([this] { m_dialog->close(); });
    EXPECT_EQ(m_store.GetProfileInt("Options", "Regular Expressions", 0), 1);
    Open();
    close([this] { Menu(kCmdClose)->trigger(); });
    Open();
    close([this] { QTest::mouseClick(Get(kIdOk), Qt::LeftButton); });
}

// The window keeps its size. The query page's controls lie on the tab control, the buttons
// beside it; the results page shows only the list with the line that tells of the run, the query
// page all but those two, and the buttons stay. Alt and a label's letter reach its control:
// Alt+Y enables the replace box before the Alt+R that follows at once reaches it. Tab in a text
// box moves the focus on and Shift+Tab back; with the setting, asked at every key, they type a
// tab in place of the selection, one step to undo.
TEST_F(WindowTest, ThePagesShowTheirOwnControlsAndTheKeysReachThem) {
    CSearchDlg& dialog = Open();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    auto* tabs = Get<QTabWidget>(kIdTabPages);
    const auto shown = [&](bool onTab) {  // the controls shown on the tab control, or beside it
        QList<QWidget*> controls;
        for (QWidget* control :
             tabs->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (control != tabs && !control->objectName().isEmpty() && control->isVisible() &&
                tabs->geometry().contains(control->geometry()) == onTab)
                controls << control;
        return controls;
    };
    const QList<QWidget*> query = shown(true), beside = shown(false);
    EXPECT_EQ(std::pair(query.size(), beside.size()), std::pair(qsizetype{11}, qsizetype{5}));
    for (QWidget* a : query) {  // no two overlap, but for the groups that frame the text boxes
        for (QWidget* b : query) {
            if (a != b && !a->inherits("QGroupBox") && !b->inherits("QGroupBox")) {
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " " << b->objectName().toStdString();
            }
        }
    }
    EXPECT_LT(Get(kIdStart)->y(), Get(kIdStop)->y());
    tabs->setCurrentIndex(kPageResults);
    EXPECT_EQ(shown(true), (QList<QWidget*>{List(), Get(kIdSummary)}));
    EXPECT_EQ(shown(false), beside);
    tabs->setCurrentIndex(kPageQuery);
    EXPECT_EQ(shown(true), query);
    EXPECT_EQ(std::pair(Get(kIdStart)->isEnabled(), Get(kIdStop)->isEnabled()),
              std::pair(true, false));
    EXPECT_FALSE(Get<BusyAnimation>(kIdAnimation)->IsPlaying());
    EXPECT_EQ(Get<BusyAnimation>(kIdAnimation)->CurrentFrame(), 0);
    auto* search = Get<QPlainTextEdit>(kIdSearchText);
    // The keys pressed where the focus is, Backtab with Shift as it comes; after each, "s" where
    // the search box has the focus, "-" where it does not.
    const auto keys = [search](std::initializer_list<Qt::Key> pressed) {
        QString focus;
        for (const Qt::Key key : pressed) {
            QTest::keyClick(QApplication::focusWidget(), key,
                            key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            focus += QApplication::focusWidget() == search ? 's' : '-';
        }
        return focus;
    };
    QTest::keyClick(m_dialog.get(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), search);
    search->setPlainText("abcdef");
    EXPECT_EQ(keys({Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Backtab, Qt::Key_Tab}), "-s-s");
    Menu(kCmdWantTab)->trigger();
    QTextCursor cursor = search->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    search->setTextCursor(cursor);
    EXPECT_EQ(keys({Qt::Key_Tab, Qt::Key_Backtab}), "ss");
    EXPECT_EQ(search->toPlainText(), "a\t\tef");
    search->undo();
    search->undo();
    EXPECT_EQ(search->toPlainText(), "abcdef");
    keys({Qt::Key_End, Qt::Key_Tab, Qt::Key_Return});
    Menu(kCmdWantTab)->trigger();
    EXPECT_EQ(keys({Qt::Key_Tab}), "-");
    EXPECT_EQ(search->toPlainText(), "abcdef\t\n");
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
using PlacementTest = WindowTest;
TEST_F(PlacementTest, TheWindowOpensWhollyOnTheScreenInItsMiddle) {
    CSearchDlg& dialog = Open();
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
