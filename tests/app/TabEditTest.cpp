// The text boxes' Tab key: it moves the focus, or with the setting asked at every key, types a tab.
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "AppDoubles.h"
#include "CTabEdit.h"

namespace pellumar {
namespace {

// A window with a text box between two other controls, the focus in the box.
class TabEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&m_window);
        for (QWidget* widget : {static_cast<QWidget*>(m_before), static_cast<QWidget*>(m_edit),
                                static_cast<QWidget*>(m_after)})
            layout->addWidget(widget);
        m_edit->SetWantTab([this] { return m_bWantTab; });
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        m_edit->setFocus();
        m_edit->setPlainText("abcdef");
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(m_edit, key, modifiers);
    }

    QWidget m_window;
    QLineEdit* m_before = new QLineEdit(&m_window);
    CTabEdit* m_edit = new CTabEdit(&m_window);
    QPushButton* m_after = new QPushButton("OK", &m_window);
    bool m_bWantTab = false;
};

// With the setting a tab replaces the selection as one step that one undo takes back.
TEST_F(TabEditTest, TabMovesTheFocusBothWaysOrWithTheSettingTypesATab) {
    Key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_after);
    m_edit->setFocus();
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), m_before);
    EXPECT_EQ(m_edit->toPlainText(), "abcdef");
    m_edit->setFocus();
    m_bWantTab = true;
    QTextCursor cursor = m_edit->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    m_edit->setTextCursor(cursor);
    Key(Qt::Key_Tab);
    EXPECT_EQ(m_edit->toPlainText(), "a\tef");
    EXPECT_EQ(QApplication::focusWidget(), m_edit);
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(m_edit->toPlainText(), "a\t\tef");
    m_edit->undo();
    m_edit->undo();
    EXPECT_EQ(m_edit->toPlainText(), "abcdef");
    Key(Qt::Key_End);
    Key(Qt::Key_Tab);
    Key(Qt::Key_Return);
    m_bWantTab = false;
    Key(Qt::Key_Tab);
    EXPECT_EQ(m_edit->toPlainText(), "abcdef\t\n");
    EXPECT_EQ(QApplication::focusWidget(), m_after);
}

}  // namespace
}  // namespace pellumar
