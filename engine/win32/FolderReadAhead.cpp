// The system lists a folder through the filter, one entry at a time: nothing is read ahead.
#include "FolderReadAhead.h"

namespace pellumar {

FolderReadAhead::FolderReadAhead(FileSystem& fs, const StopState& stop, bool bHiddenFolders)
    : m_fs(fs), m_stop(stop), m_bHiddenFolders(bHiddenFolders) {}

FolderReadAhead::~FolderReadAhead() = default;

void FolderReadAhead::Start(const FolderState& /*top*/, const FileId& /*topId*/,
                            std::vector<std::string> /*subfolders*/) {}

std::unique_ptr<FolderRead> FolderReadAhead::Take(const FileId& /*parent*/,
                                                  const std::string& /*name*/,
                                                  const FileId& /*id*/) {
    return nullptr;
}

}  // namespace pellumar
