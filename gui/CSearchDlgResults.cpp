// The results list's side of the main window: the reports it takes from the worker, opening a
// result, the right-click menu and what its
// items do, what the list says when a search found nothing, and the line under it.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScopedValueRollback>
#include <algorithm>
#include <cstdint>
#include <deque>

#include "CSearchDlg.h"
#include "DesktopShell.h"
#include "FileSystem.h"
#include "NameText.h"
#include "NotificationQueue.h"
#include "Prompter.h"
#include "ResourceIds.h"
#include "ResultText.h"
#include "ResultsModel.h"
#include "SearchProgress.h"
#include "Shell.h"
#include "UndoStore.h"
#include "ViewerCommand.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

// The longest the window spends adding found files before it lets other events in.
constexpr qint64 kFoundBudgetMs = 8;
constexpr std::size_t kFoundBatch = 256;
// How often found files are shown at most: often enough to look continuous, seldom enough that
// sorting them in among a million rows and drawing the list stay a small part of the work.
constexpr qint64 kShowRowsMs = 50;
// The most found files sorted in at once: among a million rows, more would hold the window
// longer than a person waits for it. A slice that has made this many ends, and they are shown.
constexpr std::size_t kMostRowsShownAtOnce = 10000;
// How long notifications gather, once the window has taken them all, before it takes more.
constexpr int kGatherMs = 10;

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : QByteArray("/");
}

}  // namespace

void CSearchDlg::OpenQueue() {
    m_inHand = {};  // an ended search's
    m_nInHandAt = 0;
    m_pQueue = std::make_unique<NotificationQueue>([this] {
        // The window took every notification there was: it takes the next ones a moment later,
        // together, rather than each as it comes, which would cost both threads a wake-up per
        // file. Slices run from the timer alone: a call posted straight to them could run again
        // at once, within the same round of posted events, while the thread keeps posting, and
        // timers and input would wait for the whole flood.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_takeTimer.isActive())
                    m_takeTimer.start(kGatherMs);
            },
            Qt::QueuedConnection);
    });
}

// Notifications are taken in slices, each followed by a turn of the event loop, so that the
// window answers while thousands of files come in. Sorting a batch in among a million rows and
// taking a slice each hold the window for a while: a turn does one or the other.
void CSearchDlg::ContinueTaking() {
    if (m_bTaking) {
        m_takeTimer.start(kGatherMs);  // after the prompt of the slice that runs
    } else if (!m_pendingRows.empty() &&
               (RowsDueInMs() == 0 || m_pendingRows.size() >= kMostRowsShownAtOnce)) {
        ShowPendingRows();
        m_takeTimer.start(0);
    } else if (!TakeNotifications()) {
        m_takeTimer.start(0);
    }
}

// All the notifications there are are taken at once, in a moment under the queue's lock, so that
// the worker never waits while the window takes them; those a slice has no time for wait for the
// next one. While a slice runs, they are its own, whatever a prompt's turns of the loop do.
bool CSearchDlg::TakeNotifications() {
    QElapsedTimer clock;
    clock.start();
    const QScopedValueRollback<bool> taking(m_bTaking, true);
    const NotificationQueue* const queue = m_pQueue.get();
    SearchEvents events = std::exchange(m_inHand, {});
    std::size_t at = std::exchange(m_nInHandAt, 0);
    std::vector<std::string> previewed;  // a preview's files go to its window instead
    // Files of one folder come together: their rows share one text of it.
    std::string_view lastFolder;
    QString lastFolderText;
    while (m_pQueue.get() == queue) {  // not a search begun since
        if (at == events.size()) {
            if (events.HasSlots())
                m_pQueue->Recycle(std::exchange(events, {}));  // their storage is filled again
            events = m_pQueue->Take(SIZE_MAX);
            at = 0;
            lastFolder = {};  // it pointed into the events taken before
            if (events.empty())
                break;
        }
        if (clock.elapsed() >= kFoundBudgetMs || m_pendingRows.size() >= kMostRowsShownAtOnce) {
            m_inHand = std::move(events);
            m_nInHandAt = at;
            m_showRowsTimer.stop();  // the next slices show them, in a turn of their own
            AddPreviewed(std::move(previewed));
            return false;
        }
        for (const std::size_t end = std::min(events.size(), at + kFoundBatch); at < end;) {
            const SearchEvent& event = *(events.begin() + static_cast<std::ptrdiff_t>(at++));
            TakeOne(event, lastFolder, lastFolderText, previewed);
        }
    }
    ShowRowsInTime();
    AddPreviewed(std::move(previewed));
    return true;
}

void CSearchDlg::TakeOne(const SearchEvent& event, std::string_view& lastFolder,
                         QString& lastFolderText, std::vector<std::string>& previewed) {
    if (event.kind == SearchEvent::Kind::Found) {
        if (event.path == std::exchange(m_strNotChanged, {}))
            return;
        m_summary.Listed();
        if (m_bPreviewing) {
            previewed.emplace_back(event.path);
            return;
        }
        const auto [name, folder] = SplitPath(event.path);
        if (folder != lastFolder || lastFolder.data() == nullptr) {
            lastFolder = folder;
            lastFolderText = NameText(folder);
        }
        m_pendingRows.push_back({NameText(name), lastFolderText, event.info.FileSize(),
                                 event.info.ftLastWriteTime,
                                 QByteArray(event.path.data(), std::ssize(event.path))});
        return;
    }
    if (event.kind == SearchEvent::Kind::Skipped) {
        CountSkipped(event);  // named nowhere, only counted
        return;
    }
    if (event.kind == SearchEvent::Kind::UndoKept) {
        return;  // File > Undo Last Replacement looks in the store itself
    }
    ShowPendingRows();  // listed before the prompt, or the end
    AddPreviewed(std::exchange(previewed, {}));
    if (event.IsQuestion()) {
        Answer(event);
    } else {
        if (event.result == 1)
            m_summary.FolderNotEntered();
        OnSearchFinished();
    }
}

qint64 CSearchDlg::RowsDueInMs() const {
    const qint64 since = m_sinceRowsShown.isValid() ? m_sinceRowsShown.elapsed() : kShowRowsMs;
    return std::max<qint64>(kShowRowsMs - since, 0);
}

// A turn after this one at the soonest: the slice that took them has had its time.
void CSearchDlg::ShowRowsInTime() {
    if (!m_pendingRows.empty() && !m_showRowsTimer.isActive()) {
        m_showRowsTimer.start(static_cast<int>(RowsDueInMs()));
    }
}

void CSearchDlg::ShowPendingRows() {
    m_showRowsTimer.stop();
    m_sinceRowsShown.start();
    if (!m_pendingRows.empty()) {
        m_pResultsModel->AddRows(std::exchange(m_pendingRows, {}));
    }
}

// A file that holds the text but was left as it was is not listed: its found report follows.
void CSearchDlg::CountSkipped(const SearchEvent& event) {
    if (event.error == FileSystem::kTooComplex) {
        m_summary.LeftAsItWas();  // read, but the pattern could not be matched in it
    } else if (event.skip == SkipKind::NotChanged) {
        m_strNotChanged = event.path;
        m_summary.LeftAsItWas();
    } else {
        m_summary.NotRead();
    }
}

// Made once; each time it opens, its items are enabled for the rows selected then.
void CSearchDlg::BuildResultsMenu() {
    m_pResultsMenu = new QMenu(this);
    const auto add = [this](const char* text, const char* name, void (CSearchDlg::*slot)()) {
        QAction* action = m_pResultsMenu->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add("&Open", "open", &CSearchDlg::OnResultDblClk);
    add("Open Containing &Folder", "openFolder", &CSearchDlg::OnOpenContainingFolder);
    add("&Copy Path", "copyPath", &CSearchDlg::OnCopyPath);
    add("Show &Matches...", "showMatches", &CSearchDlg::OnShowMatches);
    if (UndoStore::Available()) {
        m_pResultsMenu->addSeparator();
        m_pResultsMenu->addAction(
            m_pMenuBar->findChild<QAction*>(QString::number(res::kCmdUndoLast)));
    }
    connect(m_pResultsMenu, &QMenu::aboutToShow, this, &CSearchDlg::EnableResultsMenu);
    connect(&m_listResults, &QWidget::customContextMenuRequested, this, &CSearchDlg::OnResultsMenu);
}

// The menu acts on the row under the pointer: a row not selected becomes the selection, and
// empty space below the rows selects nothing. A list reports the point in its viewport.
void CSearchDlg::OnResultsMenu(const QPoint& at) {
    const QModelIndex row = m_listResults.indexAt(at);
    if (!row.isValid()) {
        m_listResults.clearSelection();
    } else if (!m_listResults.selectionModel()->isRowSelected(row.row(), {})) {
        m_listResults.selectionModel()->setCurrentIndex(
            row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_pResultsMenu->popup(m_listResults.viewport()->mapToGlobal(at));
}

void CSearchDlg::EnableResultsMenu() {
    const bool searched = ListsFoundText();
    const ResultsMenuState state = ResultsMenuFor(
        SelectedRows().size(), m_options.m_nDoubleClickAction, UndoStore::Available(), searched);
    for (const auto& [name, enabled] :
         {std::pair{"open", state.open}, std::pair{"openFolder", state.openFolder},
          std::pair{"copyPath", state.copyPath}, std::pair{"showMatches", state.matches}}) {
        m_pResultsMenu->findChild<QAction*>(QString::fromLatin1(name))->setEnabled(enabled);
    }
    if (state.undo) {
        EnableUndoItem();
    }
}

// The rows selected, in the list's order.
std::vector<int> CSearchDlg::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_listResults.selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CSearchDlg::OnOpenContainingFolder() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    const QByteArray folder = FolderOf(m_pResultsModel->Row(rows.front()).path);
    QApplication::setOverrideCursor(Qt::BusyCursor);  // the desktop may take a moment to answer
    const bool opened = m_shell.OpenDocument(folder);
    QApplication::restoreOverrideCursor();
    if (!opened)
        TellOpenFailure(folder);
}

// One path a line, as the files' own bytes; as addresses too, for programs that take files.
void CSearchDlg::OnCopyPath() {
    QByteArray text;
    QByteArray urls;
    for (const int row : SelectedRows()) {
        const QByteArray& path = m_pResultsModel->Row(row).path;
        text += (text.isEmpty() ? "" : "\n") + path;
        urls += FileUrl(path) + "\r\n";
    }
    if (text.isEmpty())
        return;
    auto* mime = new QMimeData;  // the clipboard owns it
    mime->setData(QStringLiteral("text/plain"), text);
    mime->setData(QStringLiteral("text/uri-list"), urls);
    QApplication::clipboard()->setMimeData(mime);
}

void CSearchDlg::ShowEmptyList(bool ended) {
    m_listResults.SetEmptyText(QString::fromLatin1(
        EmptyListText(ended, static_cast<std::size_t>(m_pResultsModel->rowCount()))));
}

void CSearchDlg::ShowProgress() {
    if (m_pProgress)
        ShowSummary(RunSummary::ProgressText(m_pProgress->FilesExamined(), m_pProgress->Folder()));
}

void CSearchDlg::ShowSummary(const std::string& text) {
    auto* line = static_cast<QLabel*>(Control(res::kIdSummary));
    // A long folder keeps both its ends in view.
    line->setText(line->fontMetrics().elidedText(QString::fromLocal8Bit(text), Qt::ElideMiddle,
                                                 line->width()));
    line->setToolTip(line->text() == QString::fromLocal8Bit(text) ? QString()
                                                                  : QString::fromLocal8Bit(text));
}

void CSearchDlg::OnResultDblClk() {
    const std::vector<int> selected = SelectedRows();
    if (!selected.empty())
        OpenFile(m_pResultsModel->Row(selected.front()).path, 0);
}

void CSearchDlg::OpenFile(const QByteArray& path, uint64_t line) {
    if (m_options.m_nDoubleClickAction == 0)
        return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    // The file's own bytes, which need not be UTF-8, go to the desktop or the viewer.
    bool opened = true;
    if (m_options.m_nDoubleClickAction == 1) {
        opened = m_shell.OpenDocument(path);
    } else {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = slash > 0 ? path.left(slash) : QByteArray("/");
        const ViewerCommand command =
            ViewerCommandFor(QString::fromStdString(m_options.m_strFileViewer), path, line);
        opened = m_shell.StartViewer(command.program, command.arguments, folder);
    }
    QApplication::restoreOverrideCursor();
    if (!opened)
        TellOpenFailure(path);
}

void CSearchDlg::TellOpenFailure(const QByteArray& path) {
    m_prompter.Ask(OpenFailureText(QFile::decodeName(path), m_shell.LastFailure()), windowTitle(),
                   Prompter::kOk, Prompter::kExclamation);
}

}  // namespace pellumar
