#pragma once

#include <QDialog>
#include <QIcon>
#include <QTabWidget>
#include <QTreeView>
#include <map>

#include "BusyAnimation.h"
#include "CRecentCombo.h"
#include "CTabEdit.h"
#include "SearchOptions.h"

class QMenuBar;
class QStandardItemModel;

namespace pellumar {

// The main window: a fixed-size dialog with a menu bar, the Query and Results pages, the
// command buttons and the busy animation. It owns the options for as long as it exists.
class CSearchDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CSearchDlg(SettingsStore& store, QWidget* parent = nullptr);
    // Destroys the members in reverse order: the folder list, then the filter list, then
    // the options write themselves to the store.
    ~CSearchDlg() override;

    int DoModal() { return exec(); }

    // Copies between the controls and the fields: from the controls when `bSaveAndValidate`.
    void UpdateData(bool bSaveAndValidate);
    // Shows the controls of the selected page and hides the others.
    void ShowPage();
    void OnSearchOnly();
    // A menu command; false for one this window leaves to the default handling.
    bool OnCommand(int id);
    void SaveColumnWidths();
    // The close logic of Close, File > Close, Esc and the window's close button.
    void OnOK();

    SearchOptions& Options() { return m_options; }
    std::int32_t RunState() const { return m_nRunState; }
    QWidget* Control(int id) const;
    QMenuBar* MenuBar() const { return m_pMenuBar; }

  protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    void done(int result) override;

  private:
    void BuildWindow();
    void OnInitDialog();
    void SetUpRecentCombo(CRecentCombo& combo, const char* section, const char* format);
    void InsertColumns();
    void UpdateCheckMarks();
    void EnableReplaceBox();

    SearchOptions m_options;
    CTabEdit m_editReplace;
    CTabEdit m_editSearch;
    BusyAnimation m_animate;
    QTreeView m_listResults;
    CRecentCombo m_comboFilter;
    CRecentCombo m_comboLookIn;
    QTabWidget m_tabPages;
    QString m_strFilter;
    QString m_strFolder;
    QString m_strSearch;
    QString m_strReplace;
    QIcon m_hIcon;
    std::int32_t m_nRunState = 0;

    std::map<int, QWidget*> m_controls;
    QMenuBar* m_pMenuBar = nullptr;
    QStandardItemModel* m_pResultsModel = nullptr;
    bool m_bInitialised = false;
};

}  // namespace pellumar
