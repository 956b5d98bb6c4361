#pragma once

#include <QTableView>

class QHeaderView;

namespace pellumar {

// The results list: whole rows of one height, in columns, with no grid and no row headings. A
// table rather than a tree, since a tree lays out every row again each time rows arrive, which
// holds the window for long on a million rows. Enter opens the current row, as a double-click
// does, and never reaches the window's default button; the selection shows only while the list
// has the focus; the columns keep their order. Empty, it may say why in its own area.
class ResultsView final : public QTableView {
    Q_OBJECT

  public:
    explicit ResultsView(QWidget* parent = nullptr);

    // The text drawn in the list's area while it has no rows; empty: none.
    void SetEmptyText(const QString& text);
    const QString& EmptyText() const { return m_strEmpty; }

    void setModel(QAbstractItemModel* model) override;

    // The column headings.
    QHeaderView* header() const { return horizontalHeader(); }

  signals:
    void openRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void changeEvent(QEvent* event) override;

  private:
    // Draws the selected rows in the theme's selection colours, or as the other rows.
    void ShowSelection(bool shown);
    // Rows are as high as the first row's text and icon need; told once rows are there, and again
    // when the font or the style changes.
    void FitRowHeight();

    QString m_strEmpty;
    bool m_bRowHeightFitted = false;
};

}  // namespace pellumar
