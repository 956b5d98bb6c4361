#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "SearchRequest.h"

class QDialogButtonBox;
class QLabel;
class QListView;
class QPushButton;

namespace pellumar {

class MatchesModel;

// The Matches window: the matching lines of files the results list holds, or, previewing a
// replacement, the lines it would change, old and new, under each file. Resizable and not
// modal; one for each main window, which fills it and acts on what it asks for.
class CMatchesDlg final : public QDialog {
    Q_OBJECT

  public:
    explicit CMatchesDlg(QWidget* parent);

    // The matching lines of these files, found as `request` searches.
    void ShowMatches(const SearchRequest& request, std::vector<std::string> paths);
    // The lines a replacement as `request` asks would change, in the files that are added as a
    // dry run finds them. Replace waits for PreviewEnded.
    void BeginPreview(const SearchRequest& request);
    void AddFiles(std::vector<std::string> paths);
    // The dry run ended; Replace is offered only where it looked at every file.
    void PreviewEnded(bool complete);
    // A preview is shown, whose Replace or Cancel is still to come.
    bool Previewing() const { return m_bPreview && isVisible(); }

    QListView* List() const { return m_pList; }
    MatchesModel& Model() const { return *m_pModel; }
    QPushButton* ReplaceButton() const { return m_pReplace; }

  signals:
    // A line, or a file's own row (line 0), was double-clicked or Enter was pressed on it.
    void openRequested(const QByteArray& path, qulonglong line);
    void replaceChosen();
    void previewCancelled();

  public slots:
    // Escape, the close box, Cancel and Close: a preview is cancelled, with nothing written.
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetMode(bool preview, const QString& caption);
    void OpenCurrent();

    QLabel* m_pCaption;
    QListView* m_pList;
    MatchesModel* m_pModel;
    QDialogButtonBox* m_pButtons;
    QPushButton* m_pReplace;
    QPushButton* m_pCancel;
    QPushButton* m_pClose;
    bool m_bPreview = false;
    bool m_bAtEnd = false;  // the list was scrolled to its end before rows came in
};

}  // namespace pellumar
