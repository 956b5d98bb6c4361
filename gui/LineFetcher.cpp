#include "LineFetcher.h"

#include "FileSystem.h"
#include "LineReader.h"
#include "SearchRule.h"
#include "SearchStopHandle.h"

namespace pellumar {

LineFetcher::LineFetcher(const SearchRequest& request, Mode mode, Wake wake)
    : m_request(request), m_mode(mode), m_wake(std::move(wake)) {
    m_thread = std::thread([this] { Run(); });
}

LineFetcher::~LineFetcher() {
    m_stop.Handle().RequestStopNow();
    {
        const std::lock_guard lock(m_mutexFiles);
        m_bEnding = true;
    }
    m_askedOrEnding.notify_one();
    m_thread.join();
}

void LineFetcher::Ask(std::size_t file, std::string path) {
    {
        const std::lock_guard lock(m_mutexFiles);
        m_asked.emplace_back(file, std::move(path));
    }
    m_askedOrEnding.notify_one();
}

std::deque<LineFetcher::Fetched> LineFetcher::Take() {
    const std::lock_guard lock(m_mutexFiles);
    return std::exchange(m_read, {});
}

void LineFetcher::Run() {
    FileSystem fs(DefaultSys());
    RuleProblem problem;
    const SearchRule rule = MakeSearchRule(m_request, problem);
    std::unique_ptr<LineReader> reader;
    if (rule.matcher) {
        reader = std::make_unique<LineReader>(fs, rule, m_stop);
    }
    for (;;) {
        std::pair<std::size_t, std::string> asked;
        {
            std::unique_lock lock(m_mutexFiles);
            m_askedOrEnding.wait(lock, [this] { return m_bEnding || !m_asked.empty(); });
            if (m_bEnding) {
                return;
            }
            asked = std::move(m_asked.back());
            m_asked.pop_back();
        }
        Fetched fetched;
        fetched.file = asked.first;
        if (reader) {
            fetched = Fetch(*reader, asked.first, asked.second);
        } else {
            fetched.note = RuleProblemText(problem);
        }
        if (m_stop.Stopped()) {
            return;
        }
        bool wasEmpty = false;
        {
            const std::lock_guard lock(m_mutexFiles);
            wasEmpty = m_read.empty();
            m_read.push_back(std::move(fetched));
        }
        if (wasEmpty) {
            m_wake();
        }
    }
}

LineFetcher::Fetched LineFetcher::Fetch(LineReader& reader, std::size_t file,
                                        const std::string& path) const {
    Fetched fetched;
    fetched.file = file;
    int error = 0;
    bool binary = false;
    if (m_mode == Mode::Lines) {
        MatchedLines lines;
        error = reader.Lines(path, lines);
        binary = lines.binary;
        fetched.lines = std::move(lines.lines);
    } else {
        FileChanges changes;
        error = reader.Changes(path, changes);
        binary = changes.binary;
        for (ChangeHunk& hunk : changes.hunks) {
            // A new line stands where the old lines it takes the place of began.
            uint64_t old = hunk.oldStart;  // the old line the next line stands at
            uint64_t run = old;            // where the run of changes in hand began
            for (TextLine& line : hunk.lines) {
                const char kind = line.kind;
                old += kind != '+' ? 1 : 0;
                if (kind == ' ') {
                    run = old;
                    continue;
                }
                fetched.openAt.push_back(kind == '-' ? line.number : run);
                fetched.lines.push_back(std::move(line));
            }
        }
    }
    if (error != 0) {
        fetched.lines.clear();
        fetched.note = FileSystem::ErrorText(error);
    } else if (binary) {
        fetched.note = kBinary;
    } else if (fetched.lines.empty()) {
        fetched.note = m_mode == Mode::Lines ? kNoLines : kNoChanges;
    }
    return fetched;
}

}  // namespace pellumar
