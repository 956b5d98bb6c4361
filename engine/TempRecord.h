#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Sys.h"

namespace pellumar {

// The record one run keeps of the temporary files it makes: each is named in it before it is
// made, so that whatever ends the run, a later run deletes what it left. A record is a file of
// the user's undo store that its run holds locked: one that no one holds is a record of a run
// that is gone. Used by the worker alone.
class TempRecord {
  public:
    // `store`: the undo store, in which the records have a folder of their own.
    TempRecord(Sys& sys, std::string store);
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
    // The name was another's already: nothing was made under it.
    void Taken(int folder, const std::string& folderPath, std::string_view name);
    // The temporary file stays: it holds content that exists nowhere else.
    void Keeping(int folder, const std::string& folderPath, std::string_view name);

    // Deletes what the runs that are gone left behind: each temporary file that such a run
    // named, made after it named it, that no one holds. Their records go too. Returns how many
    // files were deleted.
    static size_t CleanUp(Sys& sys, const std::string& store);

  private:
    bool Name(int file);
    int MadeNamed();
    void InFolder(int folder, const std::string& folderPath);
    void Append(const std::string& line);

    Sys& m_sys;
    std::string m_strStore;
    int m_nFolder = -1;  // the records' folder
    int m_nFile = -1;    // this run's record, locked
    std::string m_strName;
    bool m_bFailed = false;  // no record could be made: none is tried again
    std::string m_strLastPath;
    uint64_t m_nLastDevice = 0, m_nLastInode = 0;
};

}  // namespace pellumar
