// The worker's front: one file at a time, it lists, searches or replaces what the walk finds.
#include "CSearchThread.h"

#include <ctime>
#include <optional>

#include "FolderListing.h"
#include "LiteralFinder.h"
#include "MatchCounter.h"
#include "Rewriter.h"
#include "SearchAhead.h"
#include "SearchQuery.h"
#include "TempRecord.h"
#include "UndoRecorder.h"
#include "UndoStore.h"
#include "UniqueFile.h"

namespace pellumar {

namespace {

std::string LeafName(const std::string& path) {
    const size_t at = path.find_last_of(kSeparators);
    return at == std::string::npos ? path : path.substr(at + 1);
}

// The run as the undo history shows it: the texts as they were typed.
UndoRunHeader UndoHeader(const SearchRequest& request) {
    return {static_cast<int64_t>(std::time(nullptr)), AbsoluteFolder(request.folder, DefaultSys()),
            request.filter, request.search, request.replace};
}

// How often a file that other programs keep changing is read before it is given up.
constexpr int kReadings = 3;

// How far the second thread may search ahead of the worker, in files: what a stop leaves begun.
constexpr size_t kFilesAhead = 8;

}  // namespace

// What a reading uses: the worker's scanner and write buffer, or, for a file read again while
// the group is placed (perhaps in the midst of another file's reading), a second pair.
struct CSearchThread::Tools {
    FileScanner& scanner;
    std::vector<char>& buffer;
};

// What came of rewriting a file, over every reading of it.
struct CSearchThread::Reading {
    const FolderListing* pWhere;
    const char* name;
    const std::string& strPath;
    bool found = false;
    int failure = 0;
    bool changedMeanwhile = false;
    uint64_t matches = 0;
    std::optional<FileStatus> placed;  // the new file, once it took the file's place
};

CSearchThread::CSearchThread(ISearchNotify* pNotify, SearchRequest request, Sys& sys)
    : m_ordered(*pNotify, [this] { return PlaceGroup(); }),
      m_pNotify(&m_ordered),
      m_request(request),
      m_bListOnly(m_request.search.empty()),
      m_fs(sys),
      m_pProgress(std::make_shared<SearchProgress>()),
      m_pMatcher(std::make_unique<LiteralFinder>(m_request.search, m_request.ignoreCase)),
      m_scanner(m_fs, *m_pMatcher, m_stop),
      m_walker(m_fs, *m_pNotify, m_stop, *m_pProgress, m_request, *this),
      m_bGroups(m_request.placementGroup > 1 && FileSystem::kPlacesInGroups),
      m_group(m_request.placementGroup) {
    if (m_request.keepUndo && !m_request.undoFolder.empty() && !m_request.searchOnly &&
        !m_request.dryRun && !m_bListOnly && UndoStore::Available()) {
        m_pUndo = std::make_unique<UndoRecorder>(sys, m_request.undoFolder, UndoHeader(request));
    }
    if (!m_request.undoFolder.empty() && !m_request.searchOnly && !m_request.dryRun &&
        !m_bListOnly) {
        m_pRecord = std::make_unique<TempRecord>(sys, m_request.undoFolder, m_request.memoryFolder);
        m_fs.RecordTemporariesIn(m_pRecord.get());
    }
}

CSearchThread::~CSearchThread() = default;

int CSearchThread::ThreadProc(std::unique_ptr<CSearchThread> pWorker) {
    const int result = pWorker->Run();
    pWorker.reset();
    return result;
}

std::thread CSearchThread::Start(std::unique_ptr<CSearchThread> pWorker) {
    return std::thread([p = std::move(pWorker)]() mutable { ThreadProc(std::move(p)); });
}

int CSearchThread::Run() {
    PassOverUndoStore();
    if (m_pRecord) {
        // What killed runs left.
        TempRecord::CleanUp(m_fs.GetSys(), m_request.undoFolder, m_request.memoryFolder);
        m_pRecord->Begin();
    }
    if (m_request.searchAhead && !m_bListOnly && FileSystem::kSearchesAhead) {
        m_pHelperScanner = std::make_unique<FileScanner>(m_fs, *m_pMatcher, m_stop);
        m_pAhead = std::make_unique<SearchAhead>(
            [this](int helper, const FolderListing& where, const std::string& name,
                   FileSearchResult& result) { SearchOne(helper, where, name, result); },
            kFilesAhead);
    }
    const int result = SearchFolder(AbsoluteFolder(m_request.folder, m_fs.GetSys()));
    PlaceGroup();
    m_pAhead.reset();
    if (m_pUndo) {
        m_pUndo->Finish();
    }
    if (m_pUndo && m_pUndo->RunId() != 0) {
        m_pNotify->OnUndoKept(m_pUndo->RunId(), m_pUndo->CopiedBytes());
    }
    m_pNotify->OnSearchFinished(result);
    return result;
}

// The store holds old content that a search would find, and a replacement must never change.
void CSearchThread::PassOverUndoStore() {
    if (m_request.undoFolder.empty()) {
        return;
    }
    if (m_pUndo) {
        m_pUndo->MakeStore();  // made now, so that a walk through its place never enters it
    }
    FolderState store;
    FileId id;
    if (m_fs.OpenFolder(nullptr, m_request.undoFolder, m_request.undoFolder, store, id) == 0) {
        m_walker.PassOver(id);
        m_fs.CloseFolder(store);
    }
}

void CSearchThread::RequestStop() {
    GetStopHandle().RequestStop();
}

int CSearchThread::SearchFolder(const std::string& strFolder) {
    return m_walker.Walk(strFolder);
}

int CSearchThread::ProcessFile(const std::string& strPath) {
    return ProcessFile(nullptr, strPath.c_str(), strPath);
}

int CSearchThread::OnFile(const FolderListing* pWhere, const char* name,
                          const std::string& strPath) {
    return ProcessFile(pWhere, name, strPath);
}

int CSearchThread::ProcessFile(const FolderListing* pWhere, const char* name,
                               const std::string& strPath) {
    m_pProgress->FileExamined();
    if (m_bListOnly) {
        return ListFile(pWhere, name, strPath);
    }
    if (FileSearchResult result; m_pAhead && pWhere && m_pAhead->Take(name, result)) {
        if (m_request.searchOnly) {
            return ReportSearched(strPath, result);
        }
        if (result.error != 0 || !result.found) {
            return result.error;  // as its open or read failed, or nothing to replace (or stopped)
        }
    }
    UniqueFile file(m_fs);
    const int opened = m_fs.Open(pWhere, name, strPath, *file.Receive());
    // Another run's temporary file is passed over: it is held while it is written, and it is
    // gone once in place.
    if (FileSystem::IsTemporaryName(LeafName(strPath)) &&
        m_fs.IsAnotherRunsTemporary(pWhere, name, strPath, opened, file.Get())) {
        return 0;
    }
    if (opened != 0) {
        return opened;
    }
    if (m_request.searchOnly) {
        return SearchFile(strPath, file.Get());
    }
    FileStatus status;
    if (const int error = PlainStatus(file.Get(), status)) {
        return error == FileSystem::kNotPlain ? 0 : error;  // nothing known of a file: skipped
    }
    if (m_request.dryRun) {
        return DryRunFile(pWhere, name, strPath, file.Get(), status);
    }
    if (m_group.Holds(status.Id())) {
        // Another name of the file waits. Once it is placed, this name may lead to the new file.
        if (!PlaceGroup()) {
            return 0;  // placing it ended the search, which would not have reached this name
        }
        if (const int error = OpenPlain(pWhere, name, strPath, file, status)) {
            return error == FileSystem::kNotPlain ? 0 : error;
        }
    }
    if (!SeeFile(status)) {
        TellOtherName(pWhere, name, strPath, status);
        return 0;
    }
    return ReplaceFile(pWhere, name, strPath, file, status);
}

// The status of an open file that is to be rewritten: 0, why it is not known, or kNotPlain.
int CSearchThread::PlainStatus(NativeHandle file, FileStatus& status) {
    if (const int error = m_fs.StatusAndGeneration(file, status)) {
        return error;
    }
    return status.IsRegular() ? 0 : FileSystem::kNotPlain;
}

// Opens what the name leads to now, as a file to rewrite.
int CSearchThread::OpenPlain(const FolderListing* pWhere, const char* name,
                             const std::string& strPath, UniqueFile& file, FileStatus& status) {
    file.Reset();
    if (const int error = m_fs.Open(pWhere, name, strPath, *file.Receive())) {
        return error;
    }
    return PlainStatus(file.Get(), status);
}

void CSearchThread::Report(const std::string& strPath, const FileStatus& status) {
    m_pNotify->OnSearchFound(strPath, status.Information(LeafName(strPath)));
}

void CSearchThread::TellOtherName(const FolderListing* pWhere, const char* name,
                                  const std::string& strPath, const FileStatus& status) {
    const auto unchanged = m_unchanged.find(status.Id());
    if (unchanged == m_unchanged.end() ||
        !unchanged->second.names.insert(RewrittenName(pWhere, name, strPath, status)).second) {
        return;
    }
    if (m_request.countMatches) {
        m_pNotify->OnMatchesCounted(strPath, unchanged->second.matches);
    }
    Report(strPath, status);
}

std::string CSearchThread::RewrittenName(const FolderListing* pWhere, const char* name,
                                         const std::string& strPath, const FileStatus& status) {
    RewriteTarget target;
    const bool resolved = m_fs.ResolveTarget(pWhere, name, strPath, status, target) == 0;
    std::string key = resolved ? m_fs.TargetKey(target) : strPath;
    m_fs.ReleaseTarget(target);
    return key;
}

// False for a file reached again, through a link or another name, as this search left it: its
// text is replaced once. A file that another program changed since, or a new file that the
// system gave the number of one deleted since, is a file to search.
bool CSearchThread::SeeFile(const FileStatus& status) {
    const auto [seen, isNew] = m_filesSeen.try_emplace(status.Id(), status.Version());
    if (isNew) {
        return true;
    }
    if (seen->second == status.Version()) {
        return false;
    }
    seen->second = status.Version();
    return true;
}

// Whether a file of a temporary file's name is another run's: opened only to be asked.
bool CSearchThread::IsAnotherRunsTemporary(const FolderListing* pWhere, const char* name,
                                           const std::string& strPath) {
    UniqueFile file(m_fs);
    const int opened = m_fs.Open(pWhere, name, strPath, *file.Receive());
    return m_fs.IsAnotherRunsTemporary(pWhere, name, strPath, opened, file.Get());
}

// A listed file is never read: what is reported is its status and that it could be opened.
int CSearchThread::ListFile(const FolderListing* pWhere, const char* name,
                            const std::string& strPath) {
    if (!m_request.fileInformation && m_fs.SurelyReadable(pWhere, name) &&
        !FileSystem::IsTemporaryName(LeafName(strPath))) {
        m_pNotify->OnSearchFound(strPath, FileInformation{});
        return 0;
    }
    FileStatus status;
    const int error = m_fs.StatusUnopened(pWhere, name, strPath, status);
    if (FileSystem::IsTemporaryName(LeafName(strPath)) &&
        IsAnotherRunsTemporary(pWhere, name, strPath)) {
        return 0;
    }
    if (error != 0) {
        return error;
    }
    if (status.IsRegular()) {
        Report(strPath, status);
    }
    return 0;
}

// Searches one file of a folder, on the worker's thread (helper 0) or the second one, each with
// its own scanner; it reports nothing. Once a stop state is set, nothing more is begun. Replacing,
// this only tells the files that hold no match, which need nothing more; a search that a stop
// state (a question being answered) may have cut short tells nothing.
void CSearchThread::SearchOne(int helper, const FolderListing& where, const std::string& name,
                              FileSearchResult& result) {
    if (m_stop.Stopped()) {
        return;
    }
    FileScanner& scanner = helper == 0 ? m_scanner : *m_pHelperScanner;
    UniqueFile file(m_fs);
    result.error = m_fs.Open(&where, name.c_str(), name, *file.Receive());
    if (result.error != 0) {
        return;
    }
    ScanInto(scanner, file.Get(), result);
}

// Searches an open file into `result`. A count a stop cut short is not told.
void CSearchThread::ScanInto(FileScanner& scanner, NativeHandle file, FileSearchResult& result) {
    if (!m_request.countMatches || !m_request.searchOnly) {
        const ScanOutcome outcome = scanner.Search(file, result.status);
        result.error = outcome.error;
        result.found = outcome.found;
        return;
    }
    MatchCounter counter(nullptr);
    const ScanOutcome outcome = scanner.Search(file, result.status, &counter);
    result.error = outcome.error;
    result.found = outcome.found && !m_stop.Stopped();
    result.matches = counter.Matches();
}

int CSearchThread::ReportSearched(const std::string& strPath, const FileSearchResult& result) {
    if (result.found) {
        if (m_request.countMatches) {
            m_pNotify->OnMatchesCounted(strPath, result.matches);
        }
        Report(strPath, result.status);
    }
    return result.error;
}

int CSearchThread::SearchFile(const std::string& strPath, NativeHandle file) {
    FileSearchResult result;
    ScanInto(m_scanner, file, result);
    return ReportSearched(strPath, result);
}

// What a replacement would change, counted: a file found only where some match differs from
// its replacement, once for each name that a replacement would rewrite. A replacement rewrites
// every hard link's name, each from the old content, and a link's target once.
int CSearchThread::DryRunFile(const FolderListing* pWhere, const char* name,
                              const std::string& strPath, NativeHandle file,
                              const FileStatus& status) {
    MatchCounter counter(&m_request.replace);
    const ScanOutcome outcome = m_scanner.Scan(file, status.Size(), counter);
    if (outcome.error != 0 || !outcome.found || !counter.WouldChange() || m_stop.Stopped()) {
        return outcome.error;
    }
    const std::string rewritten = RewrittenName(pWhere, name, strPath, status);
    if (m_namesCounted.insert(rewritten).second) {
        m_pNotify->OnMatchesCounted(strPath, counter.Matches());
        Report(strPath, status);
    }
    return 0;
}

// Scans the file and puts new content in its place. Should another program change the file
// meanwhile, it is read again, so that its change stays and this one is made on top of it.
int CSearchThread::ReplaceFile(const FolderListing* pWhere, const char* name,
                               const std::string& strPath, UniqueFile& file, FileStatus status) {
    if (m_bGroups && pWhere != nullptr) {
        return ReplaceInGroup(pWhere, name, strPath, file, status);
    }
    Reading reading{pWhere, name, strPath};
    const Tools tools = WorkerTools();
    if (const int error = ReadOnce(reading, file, status, tools)) {
        return error;
    }
    return ReadAgainAndReport(reading, file, status, 1, tools);
}

CSearchThread::Tools CSearchThread::WorkerTools() {
    return {m_scanner, m_writeBuffer};
}

CSearchThread::Tools CSearchThread::PlacingTools() {
    if (!m_pPlacingScanner) {
        m_pPlacingScanner = std::make_unique<FileScanner>(m_fs, *m_pMatcher, m_stop);
    }
    return {*m_pPlacingScanner, m_placingBuffer};
}

// After `count` readings: while another program changed the file meanwhile, it is read again,
// at most kReadings times in all. Then what came of it is reported.
int CSearchThread::ReadAgainAndReport(Reading& reading, UniqueFile& file, FileStatus& status,
                                      int count, const Tools& tools) {
    for (; reading.changedMeanwhile; ++count) {
        reading.changedMeanwhile = false;
        file.Reset();
        int error = count < kReadings
                        ? OpenPlain(reading.pWhere, reading.name, reading.strPath, file, status)
                        : FileSystem::kChangedMeanwhile;
        if (error == FileSystem::kNotPlain) {
            error = FileSystem::kChangedMeanwhile;
        }
        if (error != 0) {
            reading.failure = error;
            m_stop.Answered(Rewriter::ReportReplaceFailure(*m_pNotify, reading.strPath, error));
            break;
        }
        if (m_made.count(status.Id()) != 0) {
            reading.found = false;  // the name now leads to a file this run wrote: done with
            break;
        }
        TakeOverHeld(file, status);
        m_filesSeen[status.Id()] = status.Version();
        if (const int readError = ReadOnce(reading, file, status, tools)) {
            return readError;
        }
    }
    if (reading.failure != 0) {
        m_pNotify->OnSearchSkipped(reading.strPath, SkipKind::NotChanged, reading.failure);
    }
    if (reading.found) {
        if (m_request.countMatches) {
            m_pNotify->OnMatchesCounted(reading.strPath, reading.matches);
        }
        // Told as it now is on the disk: its new size and time.
        Report(reading.strPath, reading.placed ? *reading.placed : status);
        if (!reading.placed && reading.failure == 0) {        // nothing to change: its other names
            Unchanged& unchanged = m_unchanged[status.Id()];  // are told as they are reached
            unchanged.matches = reading.matches;
            unchanged.names.insert(
                RewrittenName(reading.pWhere, reading.name, reading.strPath, status));
        }
    }
    return 0;
}

// A name read again while a group is placed may now lead to a file that another file of the
// group holds open and locked, as after a rename over it: that handle is taken over, so that the
// run never waits on its own lock, and the file is replaced once, under the name it now has.
void CSearchThread::TakeOverHeld(UniqueFile& file, const FileStatus& status) {
    if (m_pPlacing == nullptr) {
        return;
    }
    for (const auto& waiting : *m_pPlacing) {
        if (&waiting->file == &file || waiting->file.Get() == kNoHandle ||
            !(waiting->status.Id() == status.Id())) {
            continue;
        }
        if (waiting->rewriter) {
            waiting->rewriter->Abandon();
            waiting->rewriter.reset();
        }
        file.Reset();
        *file.Receive() = std::exchange(*waiting->file.Receive(), kNoHandle);
        return;
    }
}

// One reading of a file that is being replaced: 0, or the error that kept it from being read.
int CSearchThread::ReadOnce(Reading& reading, UniqueFile& file, const FileStatus& status,
                            const Tools& tools) {
    reading.found = false;
    reading.placed.reset();
    const RewriteSource source{reading.pWhere, reading.name, reading.strPath, file.Get(), status};
    Rewriter rewriter(m_fs, *m_pNotify, m_stop, m_request.replace, tools.buffer, source,
                      m_pUndo.get());
    const ScanOutcome outcome = tools.scanner.Scan(file.Get(), status.Size(), rewriter);
    if (outcome.error != 0) {
        return outcome.error;  // nothing of the file is put in place
    }
    if (!FileSystem::kKeepsOpen) {
        file.Reset();  // where a file that is still open cannot be replaced
        rewriter.SourceClosed();
    }
    const bool placed = rewriter.PutInPlace();
    Settled(reading, rewriter, status, outcome.found, placed);
    return 0;
}

// What came of one reading, once its new content is in place or given up.
void CSearchThread::Settled(Reading& reading, const Rewriter& rewriter, const FileStatus& status,
                            bool found, bool placed) {
    if (placed) {
        // The new file is never scanned again. The old one may still have other names: each of
        // them is rewritten when reached, from the old content, so that none keeps the text.
        m_filesSeen[rewriter.Written().Id()] = rewriter.Written().Version();
        m_filesSeen.erase(status.Id());
        m_made.insert(rewriter.Written().Id());
        reading.placed = rewriter.Written();
    }
    reading.found = found && !rewriter.Withdrawn();
    reading.failure = rewriter.Failure();
    reading.changedMeanwhile = rewriter.ChangedMeanwhile();
    reading.matches = rewriter.Matches();
}

// The first reading of a file of the folder in hand: its new content is written out, and the
// file waits for its group. A file that needs no placing is done with at once; one whose undo
// line has a flush of its own is placed by itself, after the group before it.
int CSearchThread::ReplaceInGroup(const FolderListing* pWhere, const char* name,
                                  const std::string& strPath, UniqueFile& file,
                                  const FileStatus& status) {
    auto waiting = std::make_unique<WaitingFile>(m_fs, pWhere, name, strPath, status);
    *waiting->file.Receive() = std::exchange(*file.Receive(), kNoHandle);
    waiting->rewriter = std::make_unique<Rewriter>(m_fs, *m_pNotify, m_stop, m_request.replace,
                                                   m_writeBuffer, waiting->Source(), m_pUndo.get());
    const ScanOutcome outcome =
        m_scanner.Scan(waiting->file.Get(), status.Size(), *waiting->rewriter);
    if (outcome.error != 0) {
        return outcome.error;
    }
    waiting->found = outcome.found;
    switch (waiting->rewriter->Ready()) {
        case Rewriter::Readiness::Waits:
            m_group.Add(std::move(waiting));
            if (m_group.Full()) {
                PlaceGroup();
            }
            return 0;
        case Rewriter::Readiness::Alone: {
            // Its line's own flush took the journal to the disk, the waiting lines with it: should
            // it fail, theirs may have failed too.
            const int lineError = m_pUndo->Settle();
            PlaceGroup(lineError);
            PlaceWaiting(*waiting, lineError);  // a search that ended leaves it as it was
            return 0;
        }
        case Rewriter::Readiness::Done:
            break;
    }
    Reading reading{pWhere, waiting->name.c_str(), waiting->path};
    Settled(reading, *waiting->rewriter, status, outcome.found, false);
    waiting->rewriter.reset();
    // Read again, it is placed at once: the files before it go first.
    if (reading.changedMeanwhile && !PlaceGroup()) {
        return 0;  // placing them ended the search, which would not have reached this file
    }
    return ReadAgainAndReport(reading, waiting->file, waiting->status, 1, WorkerTools());
}

// Places the waiting files in order: their undo lines are written out, one flush of their file
// system takes everything to the disk, each file is flushed on its own, and then each is
// renamed and told. A file given up ends there, as a skipped file ends before the next entry of
// the walk. `knownLineError` is a failure that the waiting undo lines share. False when the
// search ended meanwhile.
bool CSearchThread::PlaceGroup(int knownLineError) {
    if (m_group.Empty()) {
        return true;
    }
    const bool stoppedBefore = m_stop.Stopped();
    std::vector<std::unique_ptr<WaitingFile>> files = m_group.Take();
    const int written = m_pUndo ? m_pUndo->WriteOutWaiting() : 0;
    const int lineError = knownLineError != 0 ? knownLineError : written;
    if (!m_stop.Stopped()) {
        m_fs.FlushFileSystem(files.front()->rewriter->NewFile());
    }
    for (const auto& waiting : files) {
        waiting->rewriter->FlushWaiting();
    }
    m_pPlacing = &files;
    for (const auto& waiting : files) {
        if (waiting->rewriter) {  // not taken over by another name of its file
            PlaceWaiting(*waiting, lineError);
        }
    }
    m_pPlacing = nullptr;
    return stoppedBefore || !m_stop.Stopped();
}

void CSearchThread::PlaceWaiting(WaitingFile& waiting, int lineError) {
    Reading reading{waiting.pWhere, waiting.name.c_str(), waiting.path};
    const bool placed = waiting.rewriter->PlaceWaiting(lineError);
    Settled(reading, *waiting.rewriter, waiting.status, waiting.found, placed);
    waiting.rewriter.reset();
    if (const int error =
            ReadAgainAndReport(reading, waiting.file, waiting.status, 1, PlacingTools())) {
        m_pNotify->OnSearchSkipped(waiting.path, SkipKind::Unread, error);
    }
}

}  // namespace pellumar
