#pragma once

#include <QStyledItemDelegate>

namespace pellumar {

// Draws the rows of the Matches window: a file's name in bold; a line's number in a column of
// its own, then its text with each match marked; old and new lines of a preview on the colours
// of taken away and put in; a row waiting for its lines, or a note, dimmed.
class MatchesDelegate final : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    void PaintLine(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                   QChar kind) const;
};

}  // namespace pellumar
