#include "MatchCounter.h"

#include <cstring>

#include "FileView.h"

namespace pellumar {

MatchStep MatchCounter::OnMatch(const FileView& view, uint64_t at, uint64_t end) {
    ++m_nMatches;
    if (m_bChanges) {
        return MatchStep::Continue;
    }
    if (m_pReplace == nullptr) {
        m_bChanges = true;
        return MatchStep::Continue;
    }
    const std::string& replace = *m_pReplace;
    bool same = false;
    auto compare = [&] {
        same = replace.size() == end - at &&
               std::memcmp(view.Data() + at, replace.data(), replace.size()) == 0;
    };
    if (!view.Read(compare)) {
        return MatchStep::Unreadable;
    }
    m_bChanges = !same;
    return MatchStep::Continue;
}

// Once a match is known to change the file, the others need only be counted.
bool MatchCounter::TakeInPlace(const unsigned char* /*text*/, uint64_t /*at*/, uint64_t /*end*/) {
    if (!m_bChanges) {
        return false;
    }
    ++m_nMatches;
    return true;
}

}  // namespace pellumar
