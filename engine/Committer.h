#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FileJob.h"
#include "FileScanner.h"
#include "ISearchNotify.h"

namespace pellumar {

class FilesSeen;
struct SearchRule;
class UndoRecorder;
struct SearchRequest;

// Alone puts new content in place, and tells what came of the files in the order of the walk.
// A file whose new content is written waits with the others of its group: their undo lines are
// written out, one flush of their file system takes the new files to the disk, and each is then
// renamed and told. A group holds one file where groups are off, where an open file cannot be
// replaced, and where a file's undo line has a flush of its own. A file that another program
// changed meanwhile is read again, and placed at once. What is told of later files waits in
// order behind the group; a question is asked once the files before it are placed, as its
// answer may end the search.
class Committer final : public ISearchNotify {
  public:
    Committer(FileSystem& fs, ISearchNotify& notify, StopState& stop, const SearchRequest& request,
              const SearchRule& rule, UndoRecorder* pUndo, FilesSeen& seen);
    Committer(const Committer&) = delete;
    Committer& operator=(const Committer&) = delete;
    ~Committer() override;

    // A file read once, its new content written if it has any: it waits for its group, or is
    // done with at once. 0, or the error that kept it from being read again.
    int Commit(std::unique_ptr<FileJob> job);
    // Places the waiting files in order: false when the search ended meanwhile.
    bool PlaceAll(int knownLineError = 0);
    // Whether a waiting file is the file `id` names: another name of it is reached.
    bool Holds(const FileId& id) const;

    void OnSearchFound(const std::string& path, const FileInformation& info) override;
    ErrorReply OnSearchError(const char* operation, const CFileException& error) override;
    ErrorReply OnSearchErrorNoRetry(const char* operation, const CFileException& error) override;
    void OnSearchFinished(int result) override { m_notify.OnSearchFinished(result); }
    void OnSearchSkipped(const std::string& path, SkipKind kind, int error) override;
    void OnMatchesCounted(const std::string& path, uint64_t matches) override;
    void OnFileChanged(const std::string& path, std::unique_ptr<FileChanges> changes) override;
    void OnUndoKept(uint64_t run, uint64_t copiedBytes) override {
        m_notify.OnUndoKept(run, copiedBytes);
    }

  private:
    // A waiting file, or a report of a later one that waits behind it.
    struct Entry {
        std::unique_ptr<FileJob> job;
        enum class Kind { Job, Found, Skipped, Counted, Changed } kind = Kind::Job;
        std::string path;
        FileInformation info;
        SkipKind skip = SkipKind::Unread;
        int error = 0;
        uint64_t matches = 0;
        std::unique_ptr<FileChanges> changes;
    };

    bool PlaceEntries(std::vector<Entry> entries, int knownLineError);
    void PlaceWaiting(FileJob& job, int lineError);
    void PutInPlace(FileJob& job, int lineError);
    void Settled(FileJob& job);
    int Finish(FileJob& job);
    int ReadAgain(FileJob& job);
    bool StillNamed(const FileJob& job);
    int Reopen(FileJob& job);
    void TakeOverHeld(FileJob& job);
    void Report(FileJob& job);
    enum class Route { Now, Wait, Drop };
    Route RouteOf() const;
    void Tell(Entry& entry);
    bool MayAsk();

    FileSystem& m_fs;
    ISearchNotify& m_notify;
    StopState& m_stop;
    const SearchRequest& m_request;
    const SearchRule& m_rule;
    UndoRecorder* m_pUndo;
    FilesSeen& m_seen;
    size_t m_nMost;                            // files in a group
    size_t m_nWaiting = 0;                     // files among the entries
    std::vector<Entry> m_entries;              // in the order of the walk
    std::vector<Entry>* m_pPlacing = nullptr;  // the entries being placed
    bool m_bEnded = false;                     // placing them ended the search
    // A file read again, perhaps in the midst of another file's reading.
    FileScanner m_scanner;
    std::vector<char> m_buffer;
};

}  // namespace pellumar
