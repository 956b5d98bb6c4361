#pragma once

#include <QDialog>

#include "CUrlLabel.h"

namespace pellumar {

// The About box: the icon, name and version, the ownership notice and the home page link.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    CAboutDlg(Shell& shell, Prompter& prompter, QWidget* parent = nullptr);
    ~CAboutDlg() override;

    int DoModal() { return exec(); }
    CUrlLabel& Link() { return m_link; }
    QWidget* Control(int id) const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void SetLinkColors();

    CUrlLabel m_link;
};

}  // namespace pellumar
