#include "ResultsModel.h"

#include <algorithm>

namespace pellumar {
namespace {

const char* const kHeadings[] = {"Name", "Location", "Size", "Type", "Modified"};

}  // namespace

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kHeadings));
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const ResultRow& row = m_rows[static_cast<std::size_t>(index.row())].row;
    if (role == Qt::DecorationRole && index.column() == 0)
        return row.icon;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
        case 0:
            return row.name;
        case 1:
            return row.location;
        case 2:
            return row.size;
        case 3:
            return row.type;
        case 4:
            return row.modified;
        default:
            return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(std::size(kHeadings)))
        return {};
    return QString::fromLatin1(kHeadings[section]);
}

void ResultsModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ResultsModel::AddRows(std::vector<ResultRow> rows) {
    if (rows.empty())
        return;
    std::vector<Entry> added;
    added.reserve(rows.size());
    for (ResultRow& row : rows)
        added.push_back({std::move(row), m_nArrivals++});
    Merge(std::move(added));
}

// One pass for a whole batch: the batch is sorted, then merged with the rows already shown,
// and the view's remembered rows (selection, current row) follow their rows.
void ResultsModel::Merge(std::vector<Entry> added) {
    auto before = [](const Entry& a, const Entry& b) {
        const int order = a.row.name.compare(b.row.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.arrival < b.arrival;
    };
    std::sort(added.begin(), added.end(), before);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Entry> merged;
    merged.reserve(m_rows.size() + added.size());
    std::vector<int> moved(m_rows.size());
    auto old = m_rows.begin();
    auto fresh = added.begin();
    while (old != m_rows.end() || fresh != added.end()) {
        if (fresh == added.end() || (old != m_rows.end() && !before(*fresh, *old))) {
            moved[static_cast<std::size_t>(old - m_rows.begin())] = static_cast<int>(merged.size());
            merged.push_back(std::move(*old++));
        } else {
            merged.push_back(std::move(*fresh++));
        }
    }
    m_rows = std::move(merged);
    const QModelIndexList remembered = persistentIndexList();
    QModelIndexList now;
    for (const QModelIndex& index : remembered)
        now.push_back(createIndex(moved[static_cast<std::size_t>(index.row())], index.column()));
    changePersistentIndexList(remembered, now);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace pellumar
