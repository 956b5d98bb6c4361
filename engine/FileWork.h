#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FileScanner.h"
#include "FileSearcher.h"
#include "TreeWalker.h"

namespace pellumar {

class Committer;
class FilesSeen;
struct SearchRule;
class SearchAhead;
class SearchProgress;
class StopState;
class UndoRecorder;
struct FileJob;
struct SearchRequest;

// What the run does with each file the walk hands it: lists it, searches it, or scans it with a
// rewriter and hands its new content to the committer, which places it and tells of it.
// Searching, a second thread searches the next files of a folder ahead of the worker.
class FileWork final : public FileStep {
  public:
    FileWork(FileSystem& fs, const SearchRequest& request, StopState& stop,
             SearchProgress& progress, const SearchRule& rule, UndoRecorder* pUndo, FilesSeen& seen,
             Committer& committer);
    FileWork(const FileWork&) = delete;
    FileWork& operator=(const FileWork&) = delete;
    ~FileWork();

    // The second thread, where the request has one, for the length of a walk.
    void BeginAhead();
    void EndAhead();

    // 0, or the error that kept the file from being opened or read.
    int OnFile(const FolderListing* pWhere, const char* name, const std::string& strPath,
               bool listedPlain) override;
    SearchAhead* Ahead() override;
    void OnFolderDone() override;

  private:
    int ListFile(const FolderListing* pWhere, const char* name, const std::string& strPath,
                 bool listedPlain);
    void SearchOne(int helper, const FolderListing& where, const std::string& name, FileJob& job);
    int ReplaceFile(std::unique_ptr<FileJob> job);
    // A file reached again under another name: told where a replacement that changed it would
    // have rewritten that name too.
    void TellOtherName(const FileJob& job);

    FileSystem& m_fs;
    const SearchRequest& m_request;
    const bool m_bListOnly;
    StopState& m_stop;
    SearchProgress& m_progress;
    const SearchRule& m_rule;
    UndoRecorder* m_pUndo;  // replacing with undo: keeps the old content
    FilesSeen& m_seen;
    Committer& m_committer;
    FileScanner m_scanner;
    std::vector<char> m_writeBuffer;  // reused for every temporary file
    FileSearcher m_searcher;
    // While a search that searches ahead runs: the second thread's scanner, and the thread.
    std::unique_ptr<FileScanner> m_pHelperScanner;
    std::unique_ptr<SearchAhead> m_pAhead;
};

}  // namespace pellumar
