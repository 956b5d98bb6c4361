// The walk of one search's folder tree.
#include "TreeWalker.h"

#include "FolderListing.h"
#include "ISearchNotify.h"
#include "SearchAhead.h"
#include "SearchProgress.h"
#include "StopState.h"
#include "WalkQueue.h"

namespace pellumar {

TreeWalker::TreeWalker(FileSystem& fs, ISearchNotify& notify, const StopState& stop,
                       SearchProgress& progress, const SearchRequest& request, FileStep& step)
    : m_fs(fs),
      m_notify(notify),
      m_stop(stop),
      m_progress(progress),
      m_request(request),
      m_step(step) {}

// The steps are taken in the walk's order, however far ahead the folders are listed. A stop
// leaves the folder in hand at its next entry; the step still finishes with its files.
int TreeWalker::Walk(const std::string& strFolder) {
    SearchAhead* ahead = m_step.Ahead();
    int result;
    {
        WalkQueue queue(m_fs, m_stop, m_request, ahead, m_foldersWalked);
        result = queue.Start(strFolder);
        bool inFolder = false;
        for (WalkStep step; queue.Next(step);) {
            if (step.kind == WalkStep::Kind::FolderDone) {
                m_step.OnFolderDone();
                // The folder stays open while its subfolders wait to be opened in it; its
                // listing is of no more use.
                step.folder->listing.reset();
                inFolder = false;
                continue;
            }
            if (m_stop.Stopped()) {
                break;
            }
            inFolder = inFolder || step.kind == WalkStep::Kind::Entered;
            Take(step);
        }
        if (inFolder) {
            m_step.OnFolderDone();
        }
        if (ahead != nullptr) {
            ahead->End();  // its files' listings close with the queue
        }
    }
    return result;
}

void TreeWalker::Take(const WalkStep& step) {
    switch (step.kind) {
        case WalkStep::Kind::Entered:
            m_progress.SetFolder(step.folder->path);
            break;
        case WalkStep::Kind::Skipped:
            m_notify.OnSearchSkipped(step.name, SkipKind::Unread, step.error);
            break;
        case WalkStep::Kind::File: {
            // One buffer for every file's path: a path made and freed per file costs more than
            // listing it.
            m_path.assign(step.folder->filesPrefix).append(step.name);
            if (const int error = m_step.OnFile(step.folder->listing.get(), step.name.c_str(),
                                                m_path, step.listedPlain)) {
                m_notify.OnSearchSkipped(m_path, SkipKind::Unread, error);
            }
            break;
        }
        case WalkStep::Kind::FolderDone:
            break;
    }
}

}  // namespace pellumar
