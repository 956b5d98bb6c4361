#include "ResultsView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>

namespace pellumar {

ResultsView::ResultsView(QWidget* parent) : QTreeView(parent) {
    header()->setSectionsMovable(false);
    ShowSelection(false);
}

void ResultsView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit openRequested();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ResultsView::focusInEvent(QFocusEvent* event) {
    ShowSelection(true);
    QTreeView::focusInEvent(event);
}

void ResultsView::focusOutEvent(QFocusEvent* event) {
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
