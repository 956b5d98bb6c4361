#include "MatchRecorder.h"

#include <cstring>

#include "FileView.h"
#include "LineCollector.h"
#include "Replacement.h"

namespace pellumar {

MatchStep MatchRecorder::OnMatch(const FileView& view, const MatchSpan& match) {
    if (m_pReplacement == nullptr) {
        m_spans.push_back({match.start, match.end});
    } else {
        auto keep = [&] {
            const std::string_view text = m_pReplacement->For(view.Data(), match, m_expanded);
            const bool same = text.size() == match.end - match.start &&
                              (text.empty() || std::memcmp(view.Data() + match.start, text.data(),
                                                           text.size()) == 0);
            if (!same) {
                m_edits.push_back({match.start, match.end, std::string(text)});
            }
        };
        if (!view.Read(keep)) {
            return MatchStep::Unreadable;
        }
    }
    return m_pNext != nullptr ? m_pNext->OnMatch(view, match) : MatchStep::Continue;
}

// The lines and changes are made inside the read guard of a mapped file, and allocate there,
// which the guard otherwise forbids: a fault comes only from reading the file's bytes (memchr,
// memcmp, memcpy), never from inside the allocator, so a file that shrinks meanwhile costs the
// memory made so far, and nothing else.
MatchStep MatchRecorder::OnTail(const FileView& view) {
    if (m_pReplacement == nullptr) {
        return TailLines(view);
    }
    auto make = [&] {
        m_pChanges =
            std::make_unique<FileChanges>(FileChanges::Of(view.Data(), view.Size(), m_edits));
    };
    if (!view.Read(make)) {
        return MatchStep::Unreadable;
    }
    if (m_pNext != nullptr && m_pNext->WantsTail(view.Size())) {
        return m_pNext->OnTail(view);
    }
    return MatchStep::Continue;
}

// The lines a batch at a time, each batch made under the guard and handed on outside it.
MatchStep MatchRecorder::TailLines(const FileView& view) {
    constexpr std::size_t kBatch = 4096;
    auto check = [&] { m_lines.binary = IsBinary(view.Data(), view.Size()); };
    if (!view.Read(check)) {
        return MatchStep::Unreadable;
    }
    if (m_lines.binary) {
        return MatchStep::Continue;
    }
    LineCollector collector(view.Data(), view.Size(), m_spans);
    std::vector<TextLine> batch;
    for (bool more = true; more;) {
        auto collect = [&] { more = collector.Collect(kBatch, m_sink ? batch : m_lines.lines); };
        if (!view.Read(collect)) {
            return MatchStep::Unreadable;
        }
        if (m_sink) {
            more = m_sink(batch) && more;
            batch.clear();
        }
    }
    return MatchStep::Continue;
}

}  // namespace pellumar
