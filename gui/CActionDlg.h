#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

namespace pellumar {

class Prompter;

// Chooses what a double-click on a result does: nothing (0), the default viewer (1) or the
// program in m_strViewer (2). The caller sets both fields, runs it and reads them back: OK
// reads them from the controls, Cancel leaves them as they were.
class CActionDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CActionDlg(Prompter& prompter, QWidget* parent = nullptr);
    ~CActionDlg() override;

    int DoModal();
    // Shows the fields; called by DoModal, and by tests that look before running it.
    void OnInitDialog();
    void OnRadioClicked(int id);
    void OnBrowse();
    QWidget* Control(int id) const;

    std::int32_t m_nAction = -1;  // -1: no button chosen
    QString m_strViewer;

  protected:
    void accept() override;

  private:
    void UpdateData(bool bSaveAndValidate);
    Prompter& m_prompter;
};

}  // namespace pellumar
