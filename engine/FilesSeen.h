#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "FileSystem.h"

namespace pellumar {

struct FileJob;

// The files a replacement has met and the names it has told, so that no file is rewritten twice
// and each name that a rewrite changes is told once, whatever links and names lead to a file.
class FilesSeen {
  public:
    explicit FilesSeen(FileSystem& fs) : m_fs(fs) {}

    // False for a file reached again, through a link or another name, as this search left it:
    // its text is replaced once. A file that another program changed since, or a new file that
    // the system gave the number of one deleted since, is a file to search.
    bool IsNew(const FileStatus& status);
    // The file was read again, and is now as `status` says.
    void ReadAgain(const FileStatus& status) { m_seen[status.Id()] = status.Version(); }
    // A new file took the place of `old`. It is never scanned again; the old one may still have
    // other names, each rewritten when reached, from the old content, so that none keeps the text.
    void Replaced(const FileStatus& old, const FileStatus& written);
    // A file that went from the name it was read under: met again, it is searched anew.
    void Forget(const FileId& id) { m_seen.erase(id); }
    // Whether a name now leads to a file that this run put in place, still as the run left it.
    // Its number alone does not tell: once another program replaced that file, the system may
    // give the number to the next new file, another program's too.
    bool IsMade(const FileStatus& status) const;
    // A file that holds the text but that the replacement leaves as it is: its other names are
    // told as they are reached, as a replacement that changed it would tell each name it rewrote.
    void LeftAsItIs(const FileJob& job);
    // Another name of a file: its matches when it is to be told, as a name of a file left as it
    // is that was not told yet.
    std::optional<uint64_t> OtherName(const FileJob& job);
    // A dry run: whether the name a replacement would rewrite is told for the first time.
    bool FirstCounted(const FileJob& job) {
        return m_namesCounted.insert(RewrittenName(job)).second;
    }

    // The path a replacement would write the file at: where its links lead.
    std::string RewrittenPath(const FileJob& job);

  private:
    // The name a file reached under the job's name would be rewritten at.
    std::string RewrittenName(const FileJob& job);

    FileSystem& m_fs;
    std::unordered_map<FileId, FileVersion, FileIdHash> m_seen;  // scanned and made, as they were
    std::unordered_map<FileId, FileVersion, FileIdHash> m_made;  // put in place, as they were
    std::unordered_set<std::string> m_namesCounted;
    struct Unchanged {
        uint64_t matches = 0;
        std::unordered_set<std::string> names;  // told so far
    };
    std::unordered_map<FileId, Unchanged, FileIdHash> m_unchanged;
};

}  // namespace pellumar
