#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>
#include <array>
#include <deque>
#include <optional>
#include <vector>

#include "FileInformation.h"
#include "FileTypes.h"

namespace pellumar {

// One found file, with the path as the engine gave it, so that a name that is not valid text
// still opens.
struct ResultRow {
    QString name;
    QString location;
    uint64_t size = 0;
    FILETIME modified{};
    QByteArray path;
};

// The results: five columns, rows kept in order of their names without regard to case, rows
// with equal names in the order they came. Sorted by another column, rows with equal values
// there keep the order of their names, then of their arrival; size and time sort by their
// values, not their texts. The texts of size, type and time, and the icon, are made only for
// the rows that are shown: a search may list a hundred thousand files.
class ResultsModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    using QAbstractTableModel::QAbstractTableModel;

    // The start of a row's key and its length, packed so that they compare as numbers: most
    // comparisons end here, in memory that a million rows keep small.
    static constexpr qsizetype kHeadUnits = 15;
    using Head = std::array<quint64, 4>;

    // Where the types and icons come from; without it, rows show neither.
    void SetFileTypes(FileTypes* pTypes) { m_pTypes = pTypes; }

    // Adds rows, in the order they came, each at its place.
    void AddRows(std::vector<ResultRow> rows);
    // Removes every row; the order is by name again.
    void Clear();
    // Puts the rows in the order of a column, the rows shown and selected following theirs.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int SortColumn() const { return m_nSortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }
    const ResultRow& Row(int row) const { return EntryAt(row).row; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Entry {
        ResultRow row;
        // The name case-folded once, so that ordering compares plain text; kept only where
        // the row's head does not hold all of it.
        QString key;
        mutable std::optional<FileTypes::Type> type;  // told when the row is first shown
    };
    const Entry& EntryAt(int row) const { return m_entries[m_order.at(static_cast<size_t>(row))]; }
    const FileTypes::Type& TypeOf(const Entry& entry) const;
    // The order of the column sorted by: a before b; equal rows by name, then by arrival.
    bool Before(quint32 a, quint32 b) const;
    int CompareIn(int column, const Entry& a, const Entry& b) const;
    static int CompareHeads(const Head& x, const Head& y);
    int CompareNames(quint32 a, quint32 b) const;
    void SortBatch(std::vector<quint32>& added) const;
    void Merge(std::vector<quint32> added);
    // Makes `order` the list's order, and leaves the former one in it; `moved` tells where each
    // former position went.
    void Reorder(std::vector<quint32>& order, const std::vector<int>& moved);

    // Rows stay where they were put, in order of arrival; the order of the list is kept as
    // positions into them, so that a batch moves numbers, not rows.
    std::deque<Entry> m_entries;
    // Each row's head; a deque, so that growing never copies a million of them at once.
    std::deque<Head> m_heads;
    std::vector<quint32> m_order;
    // What each batch's merge writes into, kept from batch to batch: fresh memory of a million
    // rows' size for each batch costs more than the merge itself.
    std::vector<quint32> m_mergeBuffer;
    std::vector<int> m_movedBuffer;
    FileTypes* m_pTypes = nullptr;
    int m_nSortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

}  // namespace pellumar
