#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "CTabEdit.h"

namespace pellumar {
namespace {

// A window with a text box between two other controls, the focus in the box.
class TabEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&m_window);
        m_before = new QLineEdit(&m_window);
        m_edit = new CTabEdit(&m_window);
        m_after = new QPushButton("OK", &m_window);
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

    void Select(int from, int to) {
        QTextCursor cursor = m_edit->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        m_edit->setTextCursor(cursor);
    }

    QWidget m_window;
    QLineEdit* m_before = nullptr;
    CTabEdit* m_edit = nullptr;
    QPushButton* m_after = nullptr;
    bool m_bWantTab = false;
};

TEST_F(TabEditTest, WithoutWantTabTheKeyMovesTheFocusBothWays) {
    QTest::keyClick(m_edit, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_after);
    m_edit->setFocus();
    QTest::keyClick(m_edit, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), m_before);
    EXPECT_EQ(m_edit->toPlainText(), "abcdef");
}

TEST_F(TabEditTest, WithWantTabATabReplacesTheSelectionAsOneUndoableStepAskedAtEveryKey) {
    m_bWantTab = true;
    Select(1, 4);
    QTest::keyClick(m_edit, Qt::Key_Tab);
    EXPECT_EQ(m_edit->toPlainText(), "a\tef");
    EXPECT_EQ(QApplication::focusWidget(), m_edit);
    QTest::keyClick(m_edit, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(m_edit->toPlainText(), "a\t\tef");
    m_edit->undo();
    m_edit->undo();
    EXPECT_EQ(m_edit->toPlainText(), "abcdef");
    // The setting is asked at every key, and other keys are untouched.
    QTest::keyClick(m_edit, Qt::Key_End);
    QTest::keyClick(m_edit, Qt::Key_Tab);
    QTest::keyClick(m_edit, Qt::Key_Return);
    m_bWantTab = false;
    QTest::keyClick(m_edit, Qt::Key_Tab);
    EXPECT_EQ(m_edit->toPlainText(), "abcdef\t\n");
    EXPECT_EQ(QApplication::focusWidget(), m_after);
}

}  // namespace
}  // namespace pellumar
