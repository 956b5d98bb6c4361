#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellumar {

// Where each row of a list of matching lines comes from: each file has a row of its own, then
// a row for each of its lines, or a single row while they are not known. Only how many rows each
// file takes is kept, so that a hundred thousand lines cost a few bytes each.
class MatchIndex {
  public:
    struct Place {
        std::size_t file = 0;
        std::size_t line = kNameRow;  // the line's place among the file's, or kNameRow
    };
    static constexpr std::size_t kNameRow = static_cast<std::size_t>(-1);

    // Files come after those already there, in the order given.
    void AddFiles(std::vector<std::string> paths);
    void Clear();

    std::size_t Files() const { return m_paths.size(); }
    const std::string& Path(std::size_t file) const { return m_paths[file]; }
    std::size_t Rows();
    Place At(std::size_t row);
    // The file's own row.
    std::size_t FirstRow(std::size_t file);
    // The rows under its own: those of its lines, or one while they are not known.
    std::size_t LineRows(std::size_t file) const;
    bool Known(std::size_t file) const { return m_lineRows[file] != kUnknown; }
    // Its lines are known: `rows` of them (at least one, that may say there are none).
    void SetLineRows(std::size_t file, std::size_t rows);

  private:
    static constexpr uint32_t kUnknown = static_cast<uint32_t>(-1);
    void CountRows();

    std::vector<std::string> m_paths;
    std::vector<uint32_t> m_lineRows;
    std::vector<uint64_t> m_firstRows;  // valid below m_counted
    std::size_t m_counted = 0;
};

}  // namespace pellumar
