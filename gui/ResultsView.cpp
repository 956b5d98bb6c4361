#include "ResultsView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

namespace pellumar {

ResultsView::ResultsView(QWidget* parent) : QTreeView(parent) {
    header()->setSectionsMovable(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    ShowSelection(false);
}

void ResultsView::SetEmptyText(const QString& text) {
    if (text != m_strEmpty) {
        m_strEmpty = text;
        viewport()->update();
    }
}

// Drawn where the first row would be, in the theme's colour for text that stands in for
// content.
void ResultsView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (m_strEmpty.isEmpty() || model() == nullptr || model()->rowCount() != 0) {
        return;
    }
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().height() / 2;
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_strEmpty);
}

void ResultsView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit openRequested();
        return;
    }
    // Shift+F10 opens the menu as the Menu key does: at the current row.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        event->accept();
        const QRect row = visualRect(currentIndex());
        emit customContextMenuRequested(row.isValid() ? row.center() : QPoint(0, 0));
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ResultsView::focusInEvent(QFocusEvent* event) {
    ShowSelection(true);
    QTreeView::focusInEvent(event);
}

void ResultsView::focusOutEvent(QFocusEvent* event) {
    // The menu opened on the rows acts on them: they stay marked while it is open.
    if (event->reason() != Qt::PopupFocusReason)
        ShowSelection(false);
    QTreeView::focusOutEvent(event);
}

// The theme's colours are taken afresh each time, so that a change of theme is followed.
void ResultsView::ShowSelection(bool shown) {
    QPalette colors = QApplication::palette(this);
    if (!shown) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            colors.setColor(group, QPalette::Highlight, colors.color(group, QPalette::Base));
            colors.setColor(group, QPalette::HighlightedText, colors.color(group, QPalette::Text));
        }
    }
    setPalette(colors);
}

}  // namespace pellumar
