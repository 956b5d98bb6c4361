#include "CliRun.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include "CSearchThread.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "CliPlatform.h"
#include "CliProgress.h"
#include "CliPrompt.h"
#include "CliRequest.h"
#include "CliShow.h"
#include "CliUndo.h"
#include "Escaped.h"
#include "NotificationQueue.h"
#include "ResultText.h"
#include "SearchErrorText.h"
#include "SearchQuery.h"
#include "UndoText.h"

namespace pellumar::cli {

namespace {

// Stop signals reach only the main thread, one at a time: the first stops the search cleanly;
// the second ends the program once the results already reported are written out; a third ends
// it at once, whatever it is doing, even waiting for a reader that never comes.
volatile std::sig_atomic_t g_signal = 0;               // written by the signal handler: the first
volatile std::sig_atomic_t g_nSignals = 0;             // written by the signal handler
std::atomic<const SearchStopHandle*> g_stop{nullptr};  // written by the main thread

void OnSignal(int signal) {
    g_nSignals = g_nSignals + 1;
    if (g_nSignals == 1) {
        g_signal = signal;
    } else if (g_nSignals > 2) {
        EndBySignal(signal);
    }
    if (const SearchStopHandle* stop = g_stop.load()) {
        stop->RequestStopNow();
    }
}

// How long a second interrupt waits for the worker to end its file.
constexpr std::chrono::milliseconds kLastWait{1000};

void Fail(const std::string& message) {
    std::fprintf(stderr, "pellumar: %s\n", Escaped(message).c_str());
}

class CliSession {
  public:
    explicit CliSession(CliOptions options)
        : m_options(std::move(options)),
          m_onError(
              m_options.onError.value_or(::isatty(STDIN_FILENO) ? OnError::Ask : OnError::Abort)),
          m_progress(!m_options.bQuiet && ::isatty(STDERR_FILENO)) {}

    int Run();

  private:
    bool Validate();
    bool CheckPattern();
    bool Confirm();
    int Search();
    [[noreturn]] void EndNow(NotificationQueue& queue);
    void Handle(NotificationQueue& queue, const SearchEvent& event);
    void Report(const SearchEvent& event);
    void NameSkipped(const SearchEvent& event);
    void TellUndo(const SearchEvent& event);
    ErrorReply Answer(const SearchEvent& event);
    ErrorReply Decided(ErrorReply reply);
    int ExitStatus() const;

    CliOptions m_options;
    OnError m_onError;
    CliProgress m_progress;
    SearchStopHandle m_stop;
    uint64_t m_nFound = 0;
    int m_nResult = 0;
    bool m_bFinished = false;
    bool m_bOutputEnded = false;  // the output broke, and the search was asked to end
    bool m_bAborted = false;
    CliOutput m_output{STDOUT_FILENO};
    std::unique_ptr<CliShow> m_pShow;  // lines or diffs in place of the paths
    // A file or folder could not be read or changed, or an error was ignored.
    bool m_bPassedOver = false;
    std::string m_strNotChanged;  // its found report, should one follow, is not listed
};

int CliSession::Run() {
    if (!Validate() || !Confirm()) {
        return g_signal ? 128 + g_signal : 2;
    }
    const bool color = UseColor(m_options.color, ::isatty(STDOUT_FILENO), std::getenv("TERM"),
                                std::getenv("NO_COLOR"));
    m_pShow = std::make_unique<CliShow>(m_options, RequestFor(m_options), color);
    return Search();
}

bool CliSession::Validate() {
    if ((m_options.bCount || m_options.bDryRun) && m_options.strSearch.empty()) {
        Fail(std::string(m_options.bCount ? "--count" : "--dry-run") + " needs --search TEXT");
        return false;
    }
    if (m_options.bDryRun && m_options.SearchesOnly()) {
        Fail("--dry-run needs --replace TEXT");
        return false;
    }
    m_options.strFolder = AbsoluteFolder(m_options.strFolder);
    int error = 0;
    const QueryProblem problem =
        CheckQuery(m_options.strFilter, m_options.strFolder, m_options.strSearch,
                   m_options.SearchesOnly(), [&error](const std::string& folder) {
                       errno = 0;
                       const bool entered = MakeCurrentFolder(folder);
                       error = errno;
                       return entered;
                   });
    if (problem != QueryProblem::None) {
        if (problem == QueryProblem::FolderNotFound && error != 0) {
            Fail(m_options.strFolder + ": " +
                 FileSystem::ErrorText(error));  // what the system said
        }
        Fail(QueryProblemText(problem));
        return false;
    }
    return CheckPattern();
}

// A pattern, and the groups its replacement names, are checked before anything is read.
bool CliSession::CheckPattern() {
    RuleProblem problem;
    if (m_options.bRegex && !m_options.strSearch.empty()) {
        MakeSearchRule(RequestFor(m_options), problem);
    }
    if (problem.kind != RuleProblem::Kind::None) {
        Fail(RuleProblemText(problem));
    }
    return problem.kind == RuleProblem::Kind::None;
}

bool CliSession::Confirm() {
    if (m_options.ChangesNothing() || m_options.bYes) {
        return true;
    }
    std::string question =
        ConfirmationText(Escaped(m_options.strSearch), Escaped(m_options.strReplace), false);
    if (m_options.bRegex) {
        question.append("\n").append(kPatternNote);
    }
    return ConfirmChange(question, "replace", "replace");
}

int CliSession::Search() {
    NotificationQueue queue;
    auto worker = std::make_unique<CSearchThread>(&queue, RequestFor(m_options));
    m_stop = worker->GetStopHandle();
    const std::shared_ptr<const SearchProgress> progress = worker->GetProgress();
    g_stop.store(&m_stop);
    if (g_signal) {
        m_stop.RequestStopNow();  // interrupted before the handle was published
    }
    std::thread thread;
    {
        const StopSignalsHeldForNewThreads held;
        thread = CSearchThread::Start(std::move(worker));
    }
    while (!m_bFinished) {
        SearchEvents events = queue.Wait(std::chrono::milliseconds(100));
        for (const SearchEvent& event : events) {
            Handle(queue, event);
        }
        queue.Recycle(std::move(events));
        // Output broken amid a file's lines or changes ends the search as well.
        if (!m_bOutputEnded && (m_output.IsBroken() || !m_output.Flush())) {
            m_bOutputEnded = true;
            m_stop.RequestStopNow();  // the results cannot be written any more: end the search
            if (m_output.Error() != EPIPE) {  // nobody reading is no error to tell
                m_progress.Clear();
                Fail("write error: " + FileSystem::ErrorText(m_output.Error()));
            }
        }
        if (g_nSignals > 1) {
            EndNow(queue);
        }
        if (!m_bFinished) {
            m_progress.Draw(progress->FilesExamined(), m_nFound, progress->Folder());
        }
    }
    thread.join();
    g_stop.store(nullptr);
    m_progress.Clear();
    m_output.Flush();
    return ExitStatus();
}

// Writes out what the worker has reported, and ends. The worker, asked to stop already, is
// given a moment to end its file, so that a file it puts in place is listed too; it is not
// waited for when it is stuck, as in a prompt's answer or a disk that does not answer.
void CliSession::EndNow(NotificationQueue& queue) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + kLastWait;
    while (!m_bFinished && Clock::now() < until) {
        for (const SearchEvent& event : queue.Wait(std::chrono::milliseconds(50))) {
            if (event.kind == SearchEvent::Kind::Found) {
                Report(event);
            } else if (event.kind == SearchEvent::Kind::Skipped) {
                NameSkipped(event);
            } else if (event.kind == SearchEvent::Kind::Finished) {
                m_bFinished = true;
            } else {
                break;  // a question nobody is left to answer
            }
        }
    }
    m_progress.Clear();
    m_output.Flush();
    EndBySignal(g_signal);
}

void CliSession::Handle(NotificationQueue& queue, const SearchEvent& event) {
    switch (event.kind) {
        case SearchEvent::Kind::Found:
            Report(event);
            break;
        case SearchEvent::Kind::Skipped:
            NameSkipped(event);
            break;
        case SearchEvent::Kind::Error:
        case SearchEvent::Kind::ErrorNoRetry:
            queue.Answer(Answer(event));
            break;
        case SearchEvent::Kind::UndoKept:
            TellUndo(event);
            break;
        case SearchEvent::Kind::Finished:
            m_nResult = event.result;
            m_bFinished = true;
            break;
    }
}

void CliSession::Report(const SearchEvent& event) {
    if (event.path == std::exchange(m_strNotChanged, {})) {
        return;  // it holds the text, but it was not changed
    }
    m_progress.Clear();
    if (m_pShow->Shows() && !m_output.IsBroken()) {
        const CliShow::Outcome shown = m_pShow->Show(event, m_output);
        m_nFound += shown.counts ? 1 : 0;
        m_bPassedOver = m_bPassedOver || shown.failed;
        if (!shown.word.empty() && (m_options.bMessages || !shown.failed)) {
            Fail(shown.word);
        }
        return;
    }
    ++m_nFound;
    if (m_output.IsBroken()) {
        return;
    }
    if (m_options.bLong) {
        m_output.Add(FormatSize(event.info.FileSize()));
        m_output.Add("\t");
        m_output.Add(FormatTimeText(event.info.ftLastWriteTime));
        m_output.Add("\t");
    }
    m_output.Add(event.path);
    if (event.matches) {  // as grep -c writes it; after a null, the count ends the line
        m_output.Add(m_options.bNull ? std::string_view("\0", 1) : std::string_view(":"));
        m_output.Add(std::to_string(*event.matches));
        m_output.Add("\n");
    } else {
        m_output.Add(m_options.bNull ? std::string_view("\0", 1) : std::string_view("\n"));
    }
}

// As grep names what it could not read: "pellumar: PATH: REASON".
void CliSession::NameSkipped(const SearchEvent& event) {
    m_bPassedOver = true;
    std::string reason = FileSystem::ErrorText(event.error);
    if (event.skip == SkipKind::NotChanged) {
        m_strNotChanged = event.path;
        reason = "not changed: " + reason;
    }
    if (!m_options.bMessages) {
        return;
    }
    m_progress.Clear();
    std::fprintf(stderr, "pellumar: %s: %s\n", Escaped(event.path).c_str(), reason.c_str());
}

// Where the old files could not be linked into the undo store, their bytes were copied: said
// once, as that takes room.
void CliSession::TellUndo(const SearchEvent& event) {
    if (event.copiedBytes == 0 || m_options.bQuiet || !m_options.bMessages) {
        return;
    }
    m_progress.Clear();
    std::fprintf(stderr,
                 "pellumar: %s of old content copied to the undo store (run %llu): the files "
                 "could not be linked there\n",
                 ByteCountText(event.copiedBytes).c_str(),
                 static_cast<unsigned long long>(event.undoRun));
}

ErrorReply CliSession::Answer(const SearchEvent& event) {
    const bool retryable = event.kind == SearchEvent::Kind::Error;
    const std::string text = retryable
                                 ? FormatSearchErrorText(event.operation, *event.record)
                                 : FormatSearchErrorNoRetryText(event.operation, *event.record);
    if (m_onError != OnError::Ask && !m_options.bMessages) {
        return Decided(AutomaticReply(m_onError));  // no question, and no word asked for
    }
    m_progress.Clear();
    const std::string& replacing = event.record->m_strReplacing;
    std::fputs("pellumar: ", stderr);
    if (!replacing.empty()) {  // the prompt names the temporary file: name the file as well
        std::fprintf(stderr, "%s: ", Escaped(replacing).c_str());
    }
    std::fprintf(stderr, "%s\n", Escaped(text).c_str());
    ErrorReply reply;
    if (m_onError == OnError::Ask) {
        std::optional<ErrorReply> choice;
        while (!choice) {
            std::fputs(retryable ? "[A]bort, [R]etry, [I]gnore? " : "[O]K, [C]ancel? ", stderr);
            std::fflush(stderr);
            const std::optional<std::string> line = ReadLine(STDIN_FILENO);
            choice = line ? ParsePromptAnswer(retryable, *line) : ErrorReply::StopSearch;
        }
        reply = *choice;
    } else {
        reply = AutomaticReply(m_onError);
        std::fprintf(stderr, "pellumar: answered %s\n", ReplyName(retryable, reply));
    }
    return Decided(reply);
}

ErrorReply CliSession::Decided(ErrorReply reply) {
    if (reply == ErrorReply::StopSearch) {
        m_bAborted = true;
    }
    // An error ignored leaves something undone, even where the file was then changed: as
    // without its undo copy.
    m_bPassedOver = m_bPassedOver || reply == ErrorReply::SkipFile;
    return reply;
}

int CliSession::ExitStatus() const {
    if (g_signal) {
        return 128 + g_signal;
    }
    if (m_bAborted || m_output.IsBroken() || m_bPassedOver || m_nResult != 0) {
        return 2;
    }
    return m_nFound > 0 ? 0 : 1;
}

}  // namespace

int RunCli(const std::vector<std::string>& args) {
    std::string error;
    std::optional<CliOptions> options = ParseCliOptions(args, &error);
    if (!options) {
        Fail(error);
        std::fputs(CliUsage(), stderr);
        return 2;
    }
    if (options->bHelp) {
        std::fputs(CliUsage(), stdout);
        return 0;
    }
    if (options->bVersion) {
        std::puts("pellumar " PELLUMAR_VERSION);
        return 0;
    }
    InstallStopSignals(OnSignal);
    if (options->bHistory) {
        return ListUndoHistory();
    }
    if (options->bUndo) {
        const int status = TakeBack(*options, [] { return g_signal != 0; });
        return status < 0 || g_signal ? 128 + g_signal : status;
    }
    return CliSession(std::move(*options)).Run();
}

}  // namespace pellumar::cli
