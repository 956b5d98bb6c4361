#include "MatchCounter.h"

#include <cstring>

#include "FileView.h"

namespace pellumar {

MatchStep MatchCounter::OnMatch(const FileView& view, const MatchSpan& match) {
    ++m_nMatches;
    if (m_bChanges) {
        return MatchStep::Continue;
    }
    if (m_pReplacement == nullptr) {
        m_bChanges = true;
        return MatchStep::Continue;
    }
    bool same = false;
    auto compare = [&] {
        const std::string_view replace = m_pReplacement->For(view.Data(), match, m_expanded);
        same = replace.size() == match.end - match.start &&
               (replace.empty() ||
                std::memcmp(view.Data() + match.start, replace.data(), replace.size()) == 0);
    };
    if (!view.Read(compare)) {
        return MatchStep::Unreadable;
    }
    m_bChanges = !same;
    return MatchStep::Continue;
}

// Once a match is known to change the file, the others need only be counted.
bool MatchCounter::TakeInPlace(const unsigned char* /*text*/, const MatchSpan& /*match*/) {
    if (!m_bChanges) {
        return false;
    }
    ++m_nMatches;
    return true;
}

}  // namespace pellumar
