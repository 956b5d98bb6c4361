#pragma once

#include "Prompter.h"

class QWidget;

namespace pellumar {

// Asks with QMessageBox and QFileDialog, owned by a window so that it is disabled meanwhile.
class MessageBoxPrompter final : public Prompter {
  public:
    void SetOwner(QWidget* owner) { m_pOwner = owner; }
    int Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;
    QString ChooseFolder(const QString& title, const QString& start) override;
    QString ChooseProgram(QWidget* owner) override;

  private:
    QWidget* m_pOwner = nullptr;
};

}  // namespace pellumar
