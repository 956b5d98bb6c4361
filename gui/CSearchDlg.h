#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "BusyAnimation.h"
#include "CRecentCombo.h"
#include "CTabEdit.h"
#include "FileTypes.h"
#include "ResultsView.h"
#include "RunSummary.h"
#include "SearchEvents.h"
#include "SearchOptions.h"
#include "SearchRequest.h"
#include "SearchStopHandle.h"
#include "StopState.h"
#include "Sys.h"
#include "WindowRules.h"

class QMenu;
class QMenuBar;

namespace pellumar {
class CMatchesDlg;
struct CFileException;
class Prompter;
class ResultsModel;
struct ResultRow;
class NotificationQueue;
class SearchProgress;
struct SearchEvent;
struct UndoOutcome;
class Shell;
}  // namespace pellumar

namespace pellumar {

// The main window: a fixed-size dialog with a menu bar, the Query and Results pages, the
// command buttons and the busy animation. It owns the options for as long as it exists.
class CSearchDlg : public QDialog {
    Q_OBJECT

  public:
    // The prompts, the desktop and the system calls of the searches are the caller's, so
    // that tests can answer, record and fail them.
    CSearchDlg(SettingsStore& store, Prompter& prompter, Shell& shell, Sys& sys = DefaultSys(),
               QWidget* parent = nullptr);
    // Ends a search that still runs, then destroys the members in reverse order: the folder
    // list, then the filter list, then the options write themselves to the store.
    ~CSearchDlg() override;

    int DoModal() { return exec(); }
    // What Help > Help Topics does: the program's help, as F1 opens it.
    void SetHelp(std::function<void()> onHelp) { m_onHelp = std::move(onHelp); }

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
    // The program is asked to end (a signal): every box open is dismissed, a search is stopped
    // as a Stop does, and the window closes once it has ended, with no question.
    void OnEndRequested();

    void OnStart();
    void OnStop();
    void OnNewQuery();
    void OnBrowseFolder();
    void OnResultDblClk();
    // The results list's right-click menu, made once; its items follow the selection.
    QMenu* ResultsMenu() const { return m_pResultsMenu; }
    // A right-click at `at`, in the coordinates of the list's viewport.
    void OnResultsMenu(const QPoint& at);
    void OnOpenContainingFolder();
    void OnCopyPath();
    // The matching lines of the selected rows, in the Matches window.
    void OnShowMatches();
    // Opens a file as the Double-Click Action says: a program given %l gets `line` (0: none).
    void OpenFile(const QByteArray& path, uint64_t line);
    // The Matches window, once it was first opened.
    CMatchesDlg* MatchesWindow() const { return m_pMatches; }
    // File > Undo Last Replacement: asks, then takes the last replacement back on a thread of
    // its own, as a search runs, and tells what it did.
    void OnUndoLast();
    void OnUndoFinished(const UndoOutcome& outcome);
    // The worker's notifications, on the window's thread; the error handlers return the reply.
    void OnSearchFinished();
    ErrorReply OnSearchError(const char* operation, const CFileException& error);
    ErrorReply OnSearchErrorNoRetry(const char* operation, const CFileException& error);

    SearchOptions& Options() { return m_options; }
    RunState GetRunState() const { return m_nRunState; }
    QWidget* Control(int id) const;
    QMenuBar* MenuBar() const { return m_pMenuBar; }
    const ResultsModel& Results() const { return *m_pResultsModel; }

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;
    void done(int result) override;

  private:
    void BuildWindow();
    void OnInitDialog();
    void SetUpRecentCombo(CRecentCombo& combo, const char* section, const char* format);
    void InsertColumns();
    int ColumnWidth(int column);
    int ScaledDefaultWidth(int column) const;
    // Puts the window's frame in the middle of its screen, wholly on it where it fits.
    void PlaceOnScreen();
    void UpdateCheckMarks();
    void EnableReplaceBox();
    void ConnectButtons();
    bool PatternUsable();
    // A run as confirmed: what it asks, and the texts its folder and filter were typed as.
    struct PendingRun {
        SearchRequest request;
        QString folder;
        QString filter;
    };
    PendingRun RunFromFields(const std::string& folder) const;
    void BeginRun(const PendingRun& run);
    void StartPreview(const PendingRun& run);
    void OnPreviewReplace();
    void OnPreviewCancelled();
    CMatchesDlg& Matches();
    // The list holds the files of a search for text: their matching lines may be shown.
    bool ListsFoundText() const;
    void AddPreviewed(std::vector<std::string> paths);
    void SetRunning();
    void StartWorker(SearchRequest request);
    void EndWorker();
    void SetButtons();
    // Handles the notifications so far; false when time ran out before all were handled.
    // The queue the worker reports to; each report that finds it empty wakes the window.
    void OpenQueue();
    bool TakeNotifications();
    void TakeOne(const SearchEvent& event, std::string_view& lastFolder, QString& lastFolderText,
                 std::vector<std::string>& previewed);
    void ContinueTaking();
    // Shows the found files that wait, in the next turn, or later when rows were shown a
    // moment ago.
    void ShowRowsInTime();
    qint64 RowsDueInMs() const;
    void ShowPendingRows();
    void Answer(const SearchEvent& question);
    void Close();
    void ConnectUndoItem();
    void EnableUndoItem();
    void SetUpResultsList();
    void BuildResultsMenu();
    void EnableResultsMenu();
    std::vector<int> SelectedRows() const;
    // Says, in the empty list, that a search that ended found nothing.
    void ShowEmptyList(bool ended);
    // The line under the list: how the run goes, or how it ended.
    void ShowSummary(const std::string& text);
    // A file or folder did not open: says so, with the desktop's reason.
    void TellOpenFailure(const QByteArray& path);
    void ShowProgress();
    void CountSkipped(const SearchEvent& event);

    SearchOptions m_options;
    CTabEdit m_editReplace;
    CTabEdit m_editSearch;
    BusyAnimation m_animate;
    ResultsView m_listResults;
    CRecentCombo m_comboFilter;
    CRecentCombo m_comboLookIn;
    QTabWidget m_tabPages;
    QString m_strFilter;
    QString m_strFolder;
    QString m_strSearch;
    QString m_strReplace;
    QIcon m_hIcon;
    RunState m_nRunState = RunState::Idle;
    // The current search's stop state; shared with the worker, so a stop is harmless after it
    // has ended.
    SearchStopHandle m_stop;

    Prompter& m_prompter;
    Shell& m_shell;
    Sys& m_sys;
    std::string m_strUndoFolder;                  // the user's undo store
    std::unique_ptr<NotificationQueue> m_pQueue;  // the current search's notifications
    std::thread m_worker;                         // joined when the search's end is handled
    FileTypes m_fileTypes;
    QTimer m_takeTimer;  // runs the next slice of notifications after other events
    // Notifications taken and not yet handled when a slice's time ran out, and the next of them.
    SearchEvents m_inHand;
    std::size_t m_nInHandAt = 0;
    bool m_bTaking = false;  // a slice runs: a prompt's own turns of the loop start none
    // Found files wait here to be shown together, a few times a second: each showing sorts
    // them in among every row already listed, and draws the list again.
    std::vector<ResultRow> m_pendingRows;
    QElapsedTimer m_sinceRowsShown;
    QTimer m_showRowsTimer;  // shows the waiting rows when no slice comes to do it
    QTimer m_progressTimer;  // tells how the run goes, ten times a second at most
    std::shared_ptr<const SearchProgress> m_pProgress;  // the current run's, written by its worker
    RunSummary m_summary;
    std::string m_strNotChanged;  // its found report, should one follow, is not listed
    std::map<int, QWidget*> m_controls;
    QMenuBar* m_pMenuBar = nullptr;
    QMenu* m_pResultsMenu = nullptr;
    ResultsModel* m_pResultsModel = nullptr;
    bool m_bInitialised = false;
    std::array<int, 5> m_defaultWidths{};  // the columns' default widths in this font
    bool m_bFramed = false;                // the window was placed again once its frame was known
    std::function<void()> m_onHelp;
    CMatchesDlg* m_pMatches = nullptr;             // a window of its own, owned as a child
    std::optional<SearchRequest> m_listedRequest;  // the run whose files the list shows
    PendingRun m_pending;                          // the run a preview was asked for
    bool m_bPreviewing = false;                    // the worker runs the preview's dry run
};

}  // namespace pellumar
