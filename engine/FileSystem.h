#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "NativeTypes.h"
#include "Sys.h"

namespace pellumar {

class FolderListing;
class TempRecord;
enum class FileCause : int;

struct FileIdHash {
    size_t operator()(const FileId& id) const noexcept {
        return static_cast<size_t>(id.index * 0x9E3779B97F4A7C15ull ^ id.volume);
    }
};

// One entry of a folder that the walk has a use for.
struct FolderEntry {
    const char* name = nullptr;  // valid until the next entry
    uint32_t attributes = 0;     // FILE_ATTRIBUTE_ values; DEVICE for anything not a file
    bool matches = false;        // the name passes the filter
    bool link = false;           // reached through a symbolic link
    bool listedPlain = false;    // the listing itself told a plain file, not reached through a link
    int error = 0;               // what the entry leads to could not be told: why
};

// The operations the search needs from the system, in its own terms, over the system-call layer
// in which tests inject failures. Each returns 0 or the system's error code, or one of the
// engine's own codes below. There is one implementation for each platform, chosen at build time.
class FileSystem {
  public:
    explicit FileSystem(Sys& sys);

    // Whether one listing of a folder serves both its files and its subfolders.
    static constexpr bool kListsOnce = kOneListingPerFolder;
    // Whether the searched file stays open until its new content is in place.
    static constexpr bool kKeepsOpen = kKeepsFileOpenWhileReplacing;
    // Files may be searched on a second thread, ahead of the worker.
    static constexpr bool kSearchesAhead = kOneListingPerFolder;
    // New files may wait to be placed together, each file still open and locked meanwhile.
    static constexpr bool kPlacesInGroups = kKeepsFileOpenWhileReplacing;

    // The engine's own reasons, beside the system's error codes.
    static constexpr int kChangedMeanwhile = -1;  // another program changed or replaced the file
    static constexpr int kShrankMeanwhile = -2;   // the file became shorter while it was read
    static constexpr int kLockedElsewhere = -3;   // another program held the file's lock too long
    static constexpr int kGaveUp = -4;            // the search was stopped while waiting
    // The new content was put in place, and another program saved over it right after: the
    // change was made, and what stands under the name now is the other program's.
    static constexpr int kSavedOver = -5;
    static constexpr int kNotPlain = -6;    // the name leads to no plain file: it is passed over
    static constexpr int kTooComplex = -7;  // matching the pattern took more than its limits

    Sys& GetSys() { return m_sys; }
    // Each temporary file is named in `record` before it is made, and each one that must stay
    // is named as kept, so that what a killed run leaves is deleted later. Null: none.
    void RecordTemporariesIn(TempRecord* record) { m_pRecord = record; }

    // Opens a folder, by its name in `parent`, or by `path` when there is no parent, and names
    // it. Nothing is entered yet.
    int OpenFolder(const FolderState* parent, const std::string& name, const std::string& path,
                   FolderState& folder, FileId& id);
    // Makes an opened folder the process's current one.
    int MakeCurrent(const FolderState& folder);
    void CloseFolder(FolderState& folder);

    // A file of the listing `where` (by its path when there is no listing), opened for reading.
    int Open(const FolderListing* where, const char* name, const std::string& path,
             NativeHandle& handle);
    int Status(NativeHandle handle, FileStatus& status);
    // The status, with the file's generation where the file system tells it: enough to tell
    // the file from a later one that is given its number.
    int StatusAndGeneration(NativeHandle handle, FileStatus& status);
    // Opens what the name leads to now as a file to rewrite, into `handle`, and reads its status
    // with its generation: 0, the error, or kNotPlain (the handle is then open all the same).
    int OpenPlain(const FolderListing* where, const char* name, const std::string& path,
                  NativeHandle& handle, FileStatus& status);
    // The status of a file opened to be rewritten: 0, the error, or kNotPlain.
    int PlainStatus(NativeHandle handle, FileStatus& status);
    // The status of a file that is not opened, and whether it could be read: 0, or the error
    // that an open would meet.
    int StatusUnopened(const FolderListing* where, const char* name, const std::string& path,
                       FileStatus& status);
    // Whether a file that its listing told as plain (`listedPlain`) is one that an open would
    // surely read: then a listing that needs nothing of it asks the system nothing more.
    bool SurelyReadable(bool listedPlain) const;
    int Close(NativeHandle handle);
    int ReadAt(NativeHandle handle, void* buffer, size_t size, uint64_t offset, size_t& got);
    int Map(NativeHandle handle, uint64_t size, const unsigned char*& data);
    void Unmap(const unsigned char* data, uint64_t size);
    // Lets the system take back mapped pages in [from, to); returns where the given-back part
    // now ends. Only a hint.
    uint64_t Release(const unsigned char* data, uint64_t from, uint64_t to);

    // Where new content for the opened file goes: its own name or, for a link, its target's,
    // resolved through every link without ever replacing one. kChangedMeanwhile when that name
    // no longer leads to the opened file.
    int ResolveTarget(const FolderListing* where, const char* name, const std::string& path,
                      const FileStatus& opened, RewriteTarget& target);
    void ReleaseTarget(RewriteTarget& target);
    // Holds the advisory lock of an open file until it is closed, so that two runs of this
    // program never rewrite one file at once. Waits while another holds it, until `giveUp` says
    // so (kGaveUp) or for a few seconds (kLockedElsewhere).
    [[nodiscard]] int Lock(NativeHandle file, const std::function<bool()>& giveUp);
    // Whether a file named like a temporary file belongs to another run of this program, given
    // what opening it gave (`openError`, or 0 and `file`): that run holds it until it is in
    // place, and its name then leads elsewhere or nowhere.
    bool IsAnotherRunsTemporary(const FolderListing* where, const char* name,
                                const std::string& path, int openError, NativeHandle file);
    // The same of a name not opened yet: it is opened only to be asked.
    bool IsAnotherRunsTemporary(const FolderListing* where, const char* name,
                                const std::string& path);
    // Whether the target may take new content: writable, and still the file as it was opened.
    int CheckReplaceable(const RewriteTarget& target, NativeHandle file, const FileStatus& opened);

    // Creates a new temporary file beside the target, with the access rights (and attributes)
    // of `source`, as `like` describes it; a retry tries `name` again first. `name` is the name
    // tried; `bCreated` tells whether a file of that name now exists.
    int CreateTemporary(const RewriteTarget& target, NativeHandle source, const FileStatus& like,
                        bool bRetry, std::string& name, NativeHandle& handle, bool& bCreated);
    // Gives the file `from` in the folder `fromFolder` a new temporary name beside the target,
    // on the same file system: `name`. Where no such link can be made, the error.
    int LinkTemporary(const RewriteTarget& target, NativeHandle fromFolder, const char* from,
                      std::string& name);
    // The path of a name beside the target, as messages show it.
    std::string PathBeside(const RewriteTarget& target, const std::string& name) const;
    // What a target is, whichever way it was reached: the same for every path that leads to the
    // same name in the same folder, as links and ".." parts may.
    std::string TargetKey(const RewriteTarget& target) const;
    int WriteSome(NativeHandle handle, const void* data, size_t size, size_t& written);
    // Flushes what was written to the file to the disk.
    int Flush(NativeHandle handle);
    // Takes everything written on the file system that holds `handle` to the disk, in one go.
    // True when that took every file written there before it, their data and their size, and
    // no write there failed since `handle` was opened: those files need no flush of their own.
    // False tells nothing: each file is then flushed on its own.
    bool FlushFileSystem(NativeHandle handle);
    // Puts the temporary file, `written` as it was completed, in the target's place in one
    // step, provided that the target is still the file as it was opened (kChangedMeanwhile
    // otherwise) and the temporary name still leads to the temporary file. `bKept` is set when
    // the temporary name must stay, as it then holds content that exists nowhere else.
    // kSavedOver when another program saved over the name right after.
    int Replace(const RewriteTarget& target, const std::string& temporary,
                const FileStatus& written, NativeHandle source, const FileStatus& opened,
                bool& bKept);
    // Deletes a file beside the target; one that is already gone is no error. Given `ours`,
    // only when the name still leads to that file: another program's file is never deleted.
    int Delete(const RewriteTarget& target, const std::string& name,
               const FileStatus* ours = nullptr);

    // The cause code of the prompts for an error code.
    static FileCause Cause(int error);
    // Whether a file name is one this program gives its temporary files.
    static bool IsTemporaryName(std::string_view name);
    // Whether an error says that nothing of that name exists.
    static bool IsMissing(int error);
    // Whether an error says that the process, or the system, has no more handles to open with.
    static bool IsOutOfHandles(int error);
    // How many files and folders the process may hold open at once.
    size_t HandleLimit();
    // What an error code means, in words.
    static std::string ErrorText(int error);
    // The prompts' cause for a system error code, by its meaning.
    static FileCause CauseOfSystemError(int error);

  private:
    static std::string SystemErrorText(int error);
    int OpenLong(const std::string& path, int flags, NativeHandle& handle);
    bool DisplacedIsOld(const RewriteTarget& target, const std::string& temporary,
                        NativeHandle source, const FileStatus& opened);
    int LeaveLaterSave(const RewriteTarget& target, const std::string& temporary,
                       NativeHandle source, const FileStatus& opened, bool& bKept);
    int ExchangeBack(const RewriteTarget& target, const std::string& temporary,
                     const FileStatus& written, bool& bKept);
    void Making(const RewriteTarget& target, const std::string& name);
    void MadeOrNot(const RewriteTarget& target, const std::string& name, int error);
    void KeepTemporary(const RewriteTarget& target, const std::string& name);

    Sys& m_sys;
    PlatformState m_state;
    TempRecord* m_pRecord = nullptr;
};

}  // namespace pellumar
