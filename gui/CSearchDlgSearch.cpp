// The main window's side of a search: starting and stopping it, its questions and its end,
// closing while it runs, New Query and Browse.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <system_error>

#include "CMatchesDlg.h"
#include "CSearchDlg.h"
#include "CSearchThread.h"
#include "NameText.h"
#include "NotificationQueue.h"
#include "Prompter.h"
#include "ResourceIds.h"
#include "ResultText.h"
#include "ResultsModel.h"
#include "SearchErrorText.h"
#include "SearchFlow.h"
#include "SearchProgress.h"
#include "Shell.h"
#include "TempRecord.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

using namespace res;

std::string Bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// A prompt's text, then a blank line and what more there is to say.
std::string WithDetails(const std::string& text, const CFileException& error) {
    const std::string details = SearchErrorDetails(error);
    return details.empty() ? text : text + "\n" + details;
}

}  // namespace

void CSearchDlg::ConnectButtons() {
    const std::pair<int, void (CSearchDlg::*)()> buttons[] = {
        {kIdOk, &CSearchDlg::OnOK},
        {kIdStart, &CSearchDlg::OnStart},
        {kIdStop, &CSearchDlg::OnStop},
        {kIdNewQuery, &CSearchDlg::OnNewQuery},
        {kIdBrowse, &CSearchDlg::OnBrowseFolder}};
    for (const auto& [id, handler] : buttons)
        connect(static_cast<QPushButton*>(Control(id)), &QPushButton::clicked, this, handler);
}

void CSearchDlg::OnStart() {
    UpdateData(true);
    const std::string filter = Bytes(m_strFilter);
    // Resolved before the folder becomes the current one, so that the worker enters the
    // folder the user meant.
    const std::string folder = AbsoluteFolder(Bytes(m_strFolder), m_sys);
    const std::string search = Bytes(m_strSearch);
    const QueryProblem problem =
        CheckQuery(filter, folder, search, m_options.m_bSearchOnly != 0,
                   [this](const std::string& path) { return MakeCurrentFolder(path, m_sys); });
    if (problem != QueryProblem::None) {
        m_prompter.Ask(QString::fromUtf8(QueryProblemText(problem)),
                       QString::fromUtf8(QueryProblemCaption(problem)), Prompter::kOk,
                       Prompter::kExclamation);
        Control(FocusFor(problem))->setFocus();
        return;
    }
    if (!PatternUsable())
        return;
    if (NeedsConfirmation(m_options.m_bSearchConfirmation, search)) {
        const RunScope scope{folder,
                             filter,
                             m_options.m_bSearchOnly != 0,
                             m_options.m_bIncludeSubdirs != 0,
                             m_options.m_bHiddenFiles != 0,
                             m_options.m_bIgnoreCase != 0,
                             m_options.m_bKeepUndo != 0,
                             m_options.m_bRegex != 0};
        const std::string question = RunConfirmationText(search, Bytes(m_strReplace), scope);
        // A replacement may be previewed first.
        const int answer = m_prompter.Ask(
            QString::fromLocal8Bit(question), QStringLiteral("Search confirmation"),
            scope.searchOnly ? Prompter::kYesNo : Prompter::kYesNoPreview, Prompter::kNoIcon);
        if (answer == Prompter::kIdPreview) {
            StartPreview(RunFromFields(folder));
            return;
        }
        if (answer != Prompter::kIdYes)
            return;
    }
    BeginRun(RunFromFields(folder));
}

CSearchDlg::PendingRun CSearchDlg::RunFromFields(const std::string& folder) const {
    SearchRequest request;
    request.folder = folder;
    request.filter = Bytes(m_strFilter);
    request.search = Bytes(m_strSearch);
    request.replace = Bytes(m_strReplace);
    request.subfolders = m_options.m_bIncludeSubdirs != 0;
    request.searchOnly = m_options.m_bSearchOnly != 0;
    request.hidden = m_options.m_bHiddenFiles != 0;
    request.ignoreCase = m_options.m_bIgnoreCase != 0;
    request.undoFolder = m_strUndoFolder;
    request.memoryFolder = TempRecord::MemoryFolder();
    request.keepUndo = m_options.m_bKeepUndo != 0;
    request.regex = m_options.m_bRegex != 0;
    return {std::move(request), m_strFolder, m_strFilter};
}

void CSearchDlg::BeginRun(const PendingRun& run) {
    if (m_pMatches != nullptr && m_pMatches->Previewing())
        m_pMatches->reject();  // a preview left open is one of another run
    m_comboLookIn.AddEntry(run.folder, true);
    m_comboFilter.AddEntry(run.filter, false);
    m_summary.Begin(!run.request.searchOnly      ? RunSummary::Kind::Replace
                    : run.request.search.empty() ? RunSummary::Kind::List
                                                 : RunSummary::Kind::Search);
    m_listedRequest = run.request;
    SetRunning();
    StartWorker(run.request);
}

// A pattern, and the groups its replacement names, are checked before anything is read.
bool CSearchDlg::PatternUsable() {
    if (m_options.m_bRegex == 0 || m_strSearch.isEmpty())
        return true;
    SearchRequest request;
    request.search = Bytes(m_strSearch);
    request.replace = m_options.m_bSearchOnly != 0 ? std::string() : Bytes(m_strReplace);
    request.ignoreCase = m_options.m_bIgnoreCase != 0;
    request.regex = true;
    RuleProblem problem;
    MakeSearchRule(request, problem);
    if (problem.kind == RuleProblem::Kind::None)
        return true;
    m_prompter.Ask(QString::fromUtf8(PatternProblemText(problem)),
                   QString::fromUtf8(kPatternProblemCaption), Prompter::kOk,
                   Prompter::kExclamation);
    Control(kIdSearchText)->setFocus();
    return false;
}

void CSearchDlg::SetRunning() {
    m_nRunState = RunState::Running;
    SetButtons();
    m_tabPages.setCurrentIndex(kPageResults);
    ShowPage();
    m_pendingRows.clear();
    m_pResultsModel->Clear();
    m_listResults.header()->setSortIndicator(0, Qt::AscendingOrder);
    ShowEmptyList(false);
    m_animate.Play();
}

void CSearchDlg::SetButtons() {
    const ButtonStates states = ButtonsFor(m_nRunState);
    Control(kIdStart)->setEnabled(states.start);
    Control(kIdStop)->setEnabled(states.stop);
}

void CSearchDlg::StartWorker(SearchRequest request) {
    EndWorker();
    OpenQueue();
    auto worker = std::make_unique<CSearchThread>(m_pQueue.get(), std::move(request), m_sys);
    m_stop = worker->GetStopHandle();
    m_pProgress = worker->GetProgress();
    m_strNotChanged.clear();
    ShowProgress();
    m_progressTimer.start();
    try {
        m_worker = CSearchThread::Start(std::move(worker));
    } catch (const std::system_error&) {
        // No thread, so no end will be reported: the window goes back to idle at once.
        OnSearchFinished();
    }
}

// Nothing of an ended or abandoned search may reach the window any more, and a worker that
// waits for an answer is told to stop.
void CSearchDlg::EndWorker() {
    if (!m_worker.joinable())
        return;
    if (m_pQueue)
        m_pQueue->Detach();
    m_stop.RequestStopNow();
    m_worker.join();
}

void CSearchDlg::OnStop() {
    if (m_nRunState != RunState::Idle)
        m_summary.Stopped();
    m_stop.RequestStop();
}

bool CSearchDlg::event(QEvent* event) {
    // Once framed, the window's frame is known: a guess that left its title bar off the screen
    // is mended.
    if (event->type() == QEvent::WindowActivate && !m_bFramed) {
        m_bFramed = true;
        if (screen() != nullptr && !screen()->availableGeometry().contains(frameGeometry()))
            PlaceOnScreen();
    }
    return QDialog::event(event);
}

void CSearchDlg::Answer(const SearchEvent& question) {
    const ErrorReply reply = question.kind == SearchEvent::Kind::Error
                                 ? OnSearchError(question.operation, *question.record)
                                 : OnSearchErrorNoRetry(question.operation, *question.record);
    if (reply == ErrorReply::StopSearch)
        m_summary.Stopped();
    m_pQueue->Answer(reply);
}

void CSearchDlg::OnSearchFinished() {
    if (m_worker.joinable())
        m_worker.join();
    const bool previewed = std::exchange(m_bPreviewing, false);
    if (previewed && m_pMatches != nullptr)
        m_pMatches->PreviewEnded(m_summary.Complete());
    const bool closePending = m_nRunState == RunState::ClosePending;
    m_nRunState = RunState::Idle;
    SetButtons();
    m_progressTimer.stop();
    if (m_pProgress)
        ShowSummary(m_summary.EndText(m_pProgress->FilesExamined()));
    m_pProgress.reset();
    ShowEmptyList(!previewed);  // a preview's files are in its own window
    m_animate.Stop();
    m_animate.ShowFirstFrame();
    if (closePending)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

ErrorReply CSearchDlg::OnSearchError(const char* operation, const CFileException& error) {
    const int answer = m_prompter.Ask(
        QString::fromLocal8Bit(WithDetails(FormatSearchErrorText(operation, error), error)),
        QString::fromUtf8(kSearchErrorCaption), Prompter::kAbortRetryIgnore,
        Prompter::kExclamation);
    return SearchErrorReply(answer);
}

ErrorReply CSearchDlg::OnSearchErrorNoRetry(const char* operation, const CFileException& error) {
    const int answer = m_prompter.Ask(
        QString::fromLocal8Bit(WithDetails(FormatSearchErrorNoRetryText(operation, error), error)),
        QString::fromUtf8(kSearchErrorCaption), Prompter::kOkCancel, Prompter::kExclamation);
    return SearchErrorNoRetryReply(answer);
}

void CSearchDlg::OnOK() {
    if (CloseFor(m_nRunState) == CloseStep::Ask) {
        if (m_prompter.Ask(
                QStringLiteral("A search is in progress. Stop it and close the program?"),
                QStringLiteral("Still Searching"), Prompter::kYesNo,
                Prompter::kQuestion) != Prompter::kIdYes)
            return;
        // The end may have been handled while the question was open.
        if (CloseAfterYes(m_nRunState) == CloseStep::StopAndWait) {
            m_summary.Stopped();
            m_stop.RequestStop();
            m_nRunState = RunState::ClosePending;
            return;
        }
    }
    Close();
}

void CSearchDlg::OnEndRequested() {
    // A box's answer never undoes the stop: the worker keeps a stop once it has one.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QDialog*>(window);
        if (box != nullptr && box != this && box->isVisible())
            box->done(QDialog::Rejected);
    }
    if (m_nRunState == RunState::Running) {
        m_summary.Stopped();
        m_stop.RequestStop();
        m_nRunState = RunState::ClosePending;
    } else if (m_nRunState == RunState::Idle) {
        QMetaObject::invokeMethod(this, &CSearchDlg::Close, Qt::QueuedConnection);
    }
}

void CSearchDlg::Close() {
    UpdateData(true);
    accept();
}

void CSearchDlg::reject() {
    OnOK();
}

void CSearchDlg::done(int result) {
    SaveColumnWidths();
    QDialog::done(result);
}

void CSearchDlg::OnNewQuery() {
    if (m_prompter.Ask(QStringLiteral("This will clear your current search. Are you sure?"),
                       QStringLiteral("New Search"), Prompter::kYesNo,
                       Prompter::kQuestion) != Prompter::kIdYes)
        return;
    const QueryTexts texts = NewQueryTexts();
    m_strFolder = NameText(texts.folder);
    m_strFilter = NameText(texts.filter);
    m_strSearch = NameText(texts.search);
    m_strReplace = NameText(texts.replace);
    m_pendingRows.clear();
    m_pResultsModel->Clear();
    m_listResults.header()->setSortIndicator(0, Qt::AscendingOrder);
    ShowEmptyList(false);
    if (m_nRunState == RunState::Idle)
        ShowSummary({});  // a run that goes on keeps telling how it goes
    UpdateData(false);
}

void CSearchDlg::OnBrowseFolder() {
    // The chooser opens where Look in points, though the field takes the text only at Start.
    const std::string start =
        ChooserStart(AbsoluteFolder(Bytes(m_comboLookIn.currentText()), m_sys),
                     [](const std::string& path) { return QFileInfo(NameText(path)).isDir(); });
    const QString folder =
        m_prompter.ChooseFolder(QStringLiteral("Choose a Folder"), NameText(start));
    if (folder.isEmpty())
        return;
    m_comboLookIn.setEditText(folder);
    m_comboLookIn.AddEntry(folder, true);
}

}  // namespace pellumar
