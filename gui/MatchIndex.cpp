#include "MatchIndex.h"

#include <algorithm>

namespace pellumar {

void MatchIndex::AddFiles(std::vector<std::string> paths) {
    m_lineRows.resize(m_lineRows.size() + paths.size(), kUnknown);
    std::move(paths.begin(), paths.end(), std::back_inserter(m_paths));
}

void MatchIndex::Clear() {
    m_paths.clear();
    m_lineRows.clear();
    m_firstRows.clear();
    m_counted = 0;
}

std::size_t MatchIndex::LineRows(std::size_t file) const {
    return m_lineRows[file] == kUnknown ? 1 : m_lineRows[file];
}

void MatchIndex::SetLineRows(std::size_t file, std::size_t rows) {
    m_lineRows[file] = static_cast<uint32_t>(std::clamp<std::size_t>(rows, 1, kUnknown - 1));
    m_counted = std::min(m_counted, file + 1);  // the files after it moved
}

// The first rows of the files are counted again from the first one whose count is stale.
void MatchIndex::CountRows() {
    m_firstRows.resize(m_paths.size() + 1);
    if (m_counted == 0) {
        m_firstRows[0] = 0;
        m_counted = 1;
    }
    for (std::size_t file = m_counted; file <= m_paths.size(); ++file) {
        m_firstRows[file] = m_firstRows[file - 1] + 1 + LineRows(file - 1);
    }
    m_counted = m_paths.size() + 1;
}

std::size_t MatchIndex::Rows() {
    CountRows();
    return m_firstRows.back();
}

std::size_t MatchIndex::FirstRow(std::size_t file) {
    CountRows();
    return m_firstRows[file];
}

MatchIndex::Place MatchIndex::At(std::size_t row) {
    CountRows();
    const auto after = std::upper_bound(m_firstRows.begin(), m_firstRows.end(), row);
    const std::size_t file = static_cast<std::size_t>(after - m_firstRows.begin()) - 1;
    const std::size_t offset = row - m_firstRows[file];
    return {file, offset == 0 ? kNameRow : offset - 1};
}

}  // namespace pellumar
