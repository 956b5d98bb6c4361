// The main window's side of the Matches window: the matching lines of the rows selected, a
// line opened where it is, and the preview of a replacement, which runs as a dry run and ends
// in Replace, which runs the replacement as Yes would, or in Cancel, which writes nothing.
#include <QScreen>
#include "CMatchesDlg.h"
#include "CSearchDlg.h"

#include "ResultsModel.h"
#include "WindowRules.h"

namespace pellumar {

CMatchesDlg& CSearchDlg::Matches() {
    if (m_pMatches == nullptr) {
        m_pMatches = new CMatchesDlg(this);
        connect(m_pMatches, &CMatchesDlg::openRequested, this,
                [this](const QByteArray& path, qulonglong line) { OpenFile(path, line); });
        connect(m_pMatches, &CMatchesDlg::replaceChosen, this, &CSearchDlg::OnPreviewReplace);
        connect(m_pMatches, &CMatchesDlg::previewCancelled, this, &CSearchDlg::OnPreviewCancelled);
        // It opens beside the main window, which it would hide otherwise.
        Spot spot{};
        const QRect frame = frameGeometry();
        if (screen() != nullptr &&
            BesideSpot(screen()->availableGeometry().x(), screen()->availableGeometry().width(),
                       frame.x(), frame.y(), frame.width(), m_pMatches->width(), spot))
            m_pMatches->move(spot.x, spot.y);
    }
    return *m_pMatches;
}

// The files a replacement changed no longer hold the text it found, and a listing found none.
bool CSearchDlg::ListsFoundText() const {
    return m_listedRequest && m_listedRequest->searchOnly && !m_listedRequest->search.empty();
}

void CSearchDlg::OnShowMatches() {
    if (!ListsFoundText())
        return;
    std::vector<std::string> paths;
    for (const int row : SelectedRows())
        paths.push_back(m_pResultsModel->Row(row).path.toStdString());
    if (paths.empty())
        return;
    CMatchesDlg& window = Matches();
    if (window.Previewing())
        window.reject();
    window.ShowMatches(*m_listedRequest, std::move(paths));
    window.show();
    window.raise();
    window.activateWindow();
}

// The dry run goes as a run does, Stop and all; the files it finds fill the preview.
void CSearchDlg::StartPreview(const PendingRun& run) {
    m_pending = run;
    m_listedRequest.reset();  // the list is emptied, and the preview shows the files found
    CMatchesDlg& window = Matches();
    window.BeginPreview(run.request);
    window.show();
    window.raise();
    SearchRequest dryRun = run.request;
    dryRun.dryRun = true;
    m_summary.Begin(RunSummary::Kind::Preview);
    SetRunning();
    m_bPreviewing = true;
    StartWorker(std::move(dryRun));
}

void CSearchDlg::AddPreviewed(std::vector<std::string> paths) {
    if (!paths.empty() && m_pMatches != nullptr)
        m_pMatches->AddFiles(std::move(paths));
}

void CSearchDlg::OnPreviewReplace() {
    if (m_nRunState != RunState::Idle) {
        m_pMatches->show();  // another run came meanwhile: the preview waits
        return;
    }
    BeginRun(m_pending);
}

// Nothing is written: a dry run that still runs is stopped.
void CSearchDlg::OnPreviewCancelled() {
    if (m_bPreviewing)
        OnStop();
}

}  // namespace pellumar
