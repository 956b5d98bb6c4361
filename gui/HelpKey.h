#pragma once

#include <QObject>
#include <functional>

namespace pellumar {

// F1, with no Shift, Ctrl or Alt, in any window of the program: the main window, the About box,
// the Double-Click Action dialog or a prompt. Shortcuts are not delivered to a window that a
// modal one blocks, nor while a modal box runs its own loop, so every key is looked at here.
class HelpKey final : public QObject {
  public:
    explicit HelpKey(std::function<void()> onHelp, QObject* parent = nullptr);
    ~HelpKey() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void()> m_onHelp;
};

}  // namespace pellumar
