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

  protected:
    bool event(QEvent* event) override;

  private:
    std::function<bool()> m_wantTab;
};

}  // namespace pellumar
