#pragma once

#include <QTreeView>

namespace pellumar {

// The results list. Enter opens the current row, as a double-click does, and never reaches the
// window's default button; the selection shows only while the list has the focus; the columns
// keep their order. Empty, it may say why in its own area.
class ResultsView final : public QTreeView {
    Q_OBJECT

  public:
    explicit ResultsView(QWidget* parent = nullptr);

    // The text drawn in the list's area while it has no rows; empty: none.
    void SetEmptyText(const QString& text);
    const QString& EmptyText() const { return m_strEmpty; }

  signals:
    void openRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Draws the selected rows in the theme's selection colours, or as the other rows.
    void ShowSelection(bool shown);

    QString m_strEmpty;
};

}  // namespace pellumar
