#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "Sys.h"

namespace pellumar {

// The record one run keeps of the temporary files it makes: each is named in it before it is
// made, so that whatever kills the run, a later run deletes what it left. A record is a file
// that its run holds locked: one that no one holds is a record of a run that is gone. Used by
// the worker alone.
class TempRecord {
  public:
    // The records' folder is in `memory` (a folder of the user's that the system keeps in
    // memory, as MemoryFolder tells it) where given, so that writing them costs the disk
    // nothing; else in the undo store, `store`.
    TempRecord(Sys& sys, std::string store, std::string memory = {});
    // $XDG_RUNTIME_DIR/pellumar where it is the user's, else /dev/shm/pellumar-UID where that can
    // be the user's; empty where neither is.
    static std::string MemoryFolder();
    TempRecord(const TempRecord&) = delete;
    TempRecord& operator=(const TempRecord&) = delete;
    // A run that ends takes its record with it.
    ~TempRecord();

    // Makes the record, so that the first temporary file costs no more than the others: false
    // where none can be made, and the run then goes on without.
    bool Begin();
    // A temporary file named `name` is about to be made in the folder open as `folder`, whose
    // path is `folderPath`. Where no record can be kept, the run goes on without.
    void Making(int folder, const std::string& folderPath, std::string_view name);
    // A file of the run's may stand at the name: the one made, or one an exchange of names is
    // about to move there; `device` and `inode` tell which.
    void Made(int folder, const std::string& folderPath, std::string_view name, uint64_t device,
              uint64_t inode);
    // The names are about to be exchanged: the file made (`made`) and the one that the exchange
    // moves to the temporary name (`displaced`), each as device and inode, may stand there.
    using FileKey = std::pair<uint64_t, uint64_t>;
    void Exchanging(int folder, const std::string& folderPath, std::string_view name, FileKey made,
                    FileKey displaced);
    // The name was another's already: nothing was made under it.
    void Taken(int folder, const std::string& folderPath, std::string_view name);
    // The temporary file stays: it holds content that exists nowhere else.
    void Keeping(int folder, const std::string& folderPath, std::string_view name);

    // Deletes what the runs that are gone left behind: each temporary file that such a run
    // named, made after it named it, that no one holds. Their records go too. Returns how many
    // files were deleted.
    // Both places are looked at.
    static size_t CleanUp(Sys& sys, const std::string& store, const std::string& memory = {});

  private:
    bool Name(int file);
    static size_t CleanUpIn(Sys& sys, const std::string& base);
    int MadeNamed();
    void InFolder(int folder, const std::string& folderPath);
    void Append(const std::string& line);

    Sys& m_sys;
    std::string m_strBase;  // the folder that holds the records' folder
    int m_nFolder = -1;     // the records' folder
    int m_nFile = -1;       // this run's record, locked
    std::string m_strName;
    bool m_bFailed = false;  // no record could be made: none is tried again
    int m_nLastFolder = -1;  // the folder named last, by descriptor and path
    std::string m_strLastPath;
};

}  // namespace pellumar
