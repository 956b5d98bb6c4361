#pragma once

#include <QAbstractListModel>
#include <list>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "LineFetcher.h"
#include "MatchIndex.h"

namespace pellumar {

// The rows of the Matches window: each file, then each of its lines, numbered and with the
// matches marked. A file's lines are read when one of its rows is first shown, and only the lines
// of the files shown last are kept: the rows of the others are known by their number only, and
// are read again should they be shown again.
class MatchesModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    enum Role {
        kKindRole = Qt::UserRole,  // 'f' a file's row, '.' a row waiting for its lines, 'n' a note,
                                   // else the line's kind: ' ' a matching line, '-' old, '+' new
        kNumberRole,               // a line's number
        kMarksRole,                // the marks of the display text: start, length, start, ...
        kPathRole,                 // the path of the row's file, as the bytes the search gave
        kOpenLineRole,             // the line of the file as it is now that the row stands at
    };
    // The lines kept at once, beyond those of the files last used, as many as a list shows.
    static constexpr std::size_t kKeptLines = 20000;
    static constexpr std::size_t kKeptFiles = 64;

    explicit MatchesModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}
    ~MatchesModel() override;

    // Shows these files' lines, read as `request` searches them (or, previewing, replaces them),
    // in place of any others.
    void Reset(const SearchRequest& request, LineFetcher::Mode mode);
    void AddFiles(std::vector<std::string> paths);
    std::size_t Files() const { return m_index.Files(); }
    // Lines read and kept now, for the memory a long list takes.
    std::size_t KeptLines() const { return m_nKept; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    struct Kept {
        std::vector<TextLine> lines;
        std::string note;
        std::vector<uint64_t> openAt;  // previewing: where each line stands in the file now
        std::list<std::size_t>::iterator used;  // its place among the files used, last first
    };
    void Take(LineFetcher::Fetched fetched);
    void Resize(std::size_t file, std::size_t rows);
    void Forget(std::size_t keep);
    QVariant LineData(const Kept& kept, std::size_t line, int role) const;
    const Kept* Lines(std::size_t file) const;

    mutable MatchIndex m_index;
    std::unique_ptr<LineFetcher> m_pFetcher;
    mutable std::unordered_map<std::size_t, Kept> m_kept;
    mutable std::list<std::size_t> m_used;            // the kept files, the last one shown first
    mutable std::unordered_set<std::size_t> m_asked;  // asked for and not yet come
    std::size_t m_nKept = 0;
    uint64_t m_nGeneration = 0;  // of the files shown: what comes for earlier ones is dropped
};

}  // namespace pellumar
