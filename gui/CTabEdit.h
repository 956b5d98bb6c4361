#pragma once

#include <QPlainTextEdit>
#include <functional>

namespace pellumar {

// A multi-line text box in which the Tab key either moves the focus, as everywhere in the
// dialog, or types a tab character, as the "Want Tab" setting says at the moment of the key.
class CTabEdit : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit CTabEdit(QWidget* parent = nullptr);
    ~CTabEdit() override;

    // Asked at every Tab key press; without it the Tab key moves the focus.
    void SetWantTab(std::function<bool()> wantTab) { m_wantTab = std::move(wantTab); }

    // The text as it was typed: every character as it is (a no-break space, a line separator),
    // and a line break between the lines. Unlike toPlainText, which turns some into others.
    QString TypedText() const;

  protected:
    bool event(QEvent* event) override;

  private:
    std::function<bool()> m_wantTab;
};

}  // namespace pellumar
