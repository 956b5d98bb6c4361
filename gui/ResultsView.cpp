#include "ResultsView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace pellumar {

ResultsView::ResultsView(QWidget* parent) : QTableView(parent) {
    header()->setSectionsMovable(false);
    header()->setHighlightSections(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(ScrollPerPixel);  // wide columns scroll smoothly, not column by column
    // Tab leaves the list for the next control, as it does from any other.
    setTabKeyNavigation(false);
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
    QTableView::paintEvent(event);
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
    QTableView::keyPressEvent(event);
}

void ResultsView::focusInEvent(QFocusEvent* event) {
    ShowSelection(true);
    QTableView::focusInEvent(event);
}

void ResultsView::focusOutEvent(QFocusEvent* event) {
    // The menu opened on the rows acts on them: they stay marked while it is open.
    if (event->reason() != Qt::PopupFocusReason)
        ShowSelection(false);
    QTableView::focusOutEvent(event);
}

// Keys move between rows: Home and End to the first and last, Left and Right scroll the
// columns, as in any list of files.
QModelIndex ResultsView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    switch (action) {
        case MoveHome:
        case MoveEnd: {
            const int rows = model() == nullptr ? 0 : model()->rowCount(rootIndex());
            const int column = std::max(currentIndex().column(), 0);
            return rows == 0
                       ? QModelIndex()
                       : model()->index(action == MoveHome ? 0 : rows - 1, column, rootIndex());
        }
        case MoveLeft:
        case MoveRight: {
            QScrollBar* bar = horizontalScrollBar();
            bar->setValue(bar->value() + (action == MoveLeft ? -1 : 1) * bar->singleStep());
            return currentIndex();
        }
        default:
            return QTableView::moveCursor(action, modifiers);
    }
}

void ResultsView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    m_bRowHeightFitted = false;
    if (model == nullptr)
        return;
    // Rows come in by insertion or, sorted in among the others, by a change of layout.
    connect(model, &QAbstractItemModel::rowsInserted, this, &ResultsView::FitRowHeight);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ResultsView::FitRowHeight);
}

void ResultsView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_bRowHeightFitted = false;
        FitRowHeight();
    }
}

void ResultsView::FitRowHeight() {
    if (m_bRowHeightFitted || model() == nullptr || model()->rowCount() == 0)
        return;
    m_bRowHeightFitted = true;
    int height = 1;
    for (int column = 0; column < model()->columnCount(); ++column)
        height = std::max(height, sizeHintForIndex(model()->index(0, column)).height());
    if (height != verticalHeader()->defaultSectionSize())
        verticalHeader()->setDefaultSectionSize(height);
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
