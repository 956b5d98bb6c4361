#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FileChanges.h"
#include "FileScanner.h"
#include "MatchedLines.h"

namespace pellumar {

class Replacement;

// Keeps where each match of a scan lies, and, once the file's bytes are all in view, makes its
// matching lines, or, given the replacement, the changes the replacement makes. The matches may
// go on to another handler, which does with them what it would alone.
class MatchRecorder final : public MatchHandler {
  public:
    MatchRecorder(const Replacement* pReplacement, MatchHandler* pNext)
        : m_pReplacement(pReplacement), m_pNext(pNext) {}

    MatchStep OnMatch(const FileView& view, const MatchSpan& match) override;
    bool TakeInPlace(const unsigned char* /*text*/, const MatchSpan& /*match*/) override {
        return false;  // each match is to be kept, which takes memory
    }
    bool WantsTail(uint64_t /*size*/) const override { return true; }
    MatchStep OnTail(const FileView& view) override;

    // Searching, the lines go to a sink a batch at a time as they are made, where one is given:
    // it answers false to hear no more of the file. Otherwise they are kept for Lines().
    using LineSink = std::function<bool(std::vector<TextLine>&)>;
    void SendLinesTo(LineSink sink) { m_sink = std::move(sink); }

    // What the scan came to: without a replacement, the lines; with one, the changes.
    MatchedLines& Lines() { return m_lines; }
    std::unique_ptr<FileChanges> TakeChanges() { return std::move(m_pChanges); }

  private:
    MatchStep TailLines(const FileView& view);

    const Replacement* m_pReplacement;
    MatchHandler* m_pNext;
    std::string m_expanded;
    std::vector<FoundSpan> m_spans;  // searching
    std::vector<TextEdit> m_edits;   // replacing: those that change something
    MatchedLines m_lines;
    LineSink m_sink;
    std::unique_ptr<FileChanges> m_pChanges;
};

}  // namespace pellumar
