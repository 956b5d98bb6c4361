#include "LineReader.h"

#include "MatchRecorder.h"
#include "SearchRule.h"
#include "UniqueFile.h"

namespace pellumar {

LineReader::LineReader(FileSystem& fs, const SearchRule& rule, const StopState& stop)
    : m_fs(fs), m_rule(rule), m_scanner(fs, *rule.matcher, stop) {}

int LineReader::Lines(const std::string& path, MatchedLines& lines,
                      const MatchRecorder::LineSink& sink) {
    MatchRecorder recorder(nullptr, nullptr);
    recorder.SendLinesTo(sink);
    const int error = Scan(path, recorder);
    lines = std::move(recorder.Lines());
    return error;
}

int LineReader::Changes(const std::string& path, FileChanges& changes) {
    MatchRecorder recorder(&m_rule.replacement, nullptr);
    const int error = Scan(path, recorder);
    auto made = recorder.TakeChanges();
    changes = made ? std::move(*made) : FileChanges{};
    return error;
}

int LineReader::Scan(const std::string& path, MatchHandler& handler) {
    UniqueFile file(m_fs);
    if (const int error = m_fs.Open(nullptr, path.c_str(), path, *file.Receive())) {
        return error;
    }
    FileStatus status;
    if (const int error = m_fs.Status(file.Get(), status)) {
        return error;
    }
    if (!status.IsRegular()) {
        return 0;
    }
    return m_scanner.Scan(file.Get(), status.Size(), handler).error;
}

}  // namespace pellumar
