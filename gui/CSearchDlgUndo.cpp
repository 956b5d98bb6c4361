// The main window's side of taking back a replacement: the menu item, the question, the undo on
// a thread of its own, and what it did.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <system_error>

#include "CSearchDlg.h"
#include "FileSystem.h"
#include "NameText.h"
#include "Prompter.h"
#include "ResourceIds.h"
#include "UndoStore.h"
#include "UndoText.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

constexpr const char* kUndoCaption = "Undo Last Replacement";

// The sentence, then each file left as it is with the reason, one a line.
QString OutcomeText(const UndoOutcome& outcome) {
    if (outcome.error != 0 && !outcome.stopped) {
        return NameText("Cannot take back the replacement (" + outcome.where +
                        "): " + FileSystem::ErrorText(outcome.error) + ".");
    }
    std::string text = UndoOutcomeText(outcome);
    for (const UndoLeft& left : outcome.left) {
        text += "\n" + left.path + ": " + left.reason;
    }
    return NameText(text);
}

}  // namespace

// Whether there is something to take back is asked of the store each time the menu opens:
// another program may have replaced or taken back meanwhile.
void CSearchDlg::ConnectUndoItem() {
    auto* item = m_pMenuBar->findChild<QAction*>(QString::number(res::kCmdUndoLast));
    for (QObject* menu : item->associatedObjects())
        if (auto* popup = qobject_cast<QMenu*>(menu))
            connect(popup, &QMenu::aboutToShow, this, &CSearchDlg::EnableUndoItem);
}

void CSearchDlg::EnableUndoItem() {
    auto* item = m_pMenuBar->findChild<QAction*>(QString::number(res::kCmdUndoLast));
    const bool kept =
        m_nRunState == RunState::Idle && UndoStore(m_strUndoFolder, m_sys).LastToUndo().has_value();
    item->setEnabled(UndoEnabled(m_nRunState, kept));
}

void CSearchDlg::OnUndoLast() {
    if (m_nRunState != RunState::Idle)
        return;
    const std::optional<UndoRunSummary> run = UndoStore(m_strUndoFolder, m_sys).LastToUndo();
    if (!run) {
        m_prompter.Ask(QStringLiteral("There is no replacement to take back."),
                       QString::fromUtf8(kUndoCaption), Prompter::kOk, Prompter::kNoIcon);
        return;
    }
    if (m_prompter.Ask(NameText(UndoQuestionText(*run)), QString::fromUtf8(kUndoCaption),
                       Prompter::kYesNo, Prompter::kQuestion) != Prompter::kIdYes)
        return;
    EndWorker();
    m_nRunState = RunState::Running;
    SetButtons();
    m_animate.Play();
    StopState stop;
    m_stop = stop.Handle();
    try {
        m_worker = std::thread([this, stop, folder = m_strUndoFolder, id = run->id] {
            UndoOutcome outcome =
                UndoStore(folder, m_sys).Undo(id, [&stop] { return stop.Stopped(); });
            QMetaObject::invokeMethod(
                this, [this, outcome = std::move(outcome)] { OnUndoFinished(outcome); },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error& error) {
        UndoOutcome outcome;  // no thread: nothing was taken back
        outcome.error = error.code().value();
        outcome.where = m_strUndoFolder;
        OnUndoFinished(outcome);
    }
}

// Closing while the undo ran: it stopped between two files, and the window closes with no box.
void CSearchDlg::OnUndoFinished(const UndoOutcome& outcome) {
    const bool closing = m_nRunState == RunState::ClosePending;
    OnSearchFinished();
    if (closing)
        return;
    const bool whole = outcome.error == 0 && outcome.left.empty() && !outcome.stopped;
    m_prompter.Ask(OutcomeText(outcome), QString::fromUtf8(kUndoCaption), Prompter::kOk,
                   whole ? Prompter::kNoIcon : Prompter::kExclamation);
}

}  // namespace pellumar
