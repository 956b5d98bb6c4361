#include "ResultsModel.h"

#include <algorithm>

#include "ResultText.h"

namespace pellumar {
namespace {

const char* const kHeadings[] = {"Name", "Location", "Size", "Type", "Modified"};

}  // namespace

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kHeadings));
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const Entry& entry = EntryAt(index.row());
    if (role == Qt::DecorationRole && index.column() == 0)
        return TypeOf(entry).icon;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
        case 0:
            return entry.row.name;
        case 1:
            return entry.row.location;
        case 2:
            return QString::fromStdString(FormatSize(entry.row.size));
        case 3:
            return TypeOf(entry).name;
        case 4:
            return QString::fromStdString(FormatTimeText(entry.row.modified));
        default:
            return {};
    }
}

const FileTypes::Type& ResultsModel::TypeOf(const Entry& entry) const {
    if (!entry.type)
        entry.type = m_pTypes ? m_pTypes->Of(entry.row.name) : FileTypes::Type{};
    return *entry.type;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(std::size(kHeadings)))
        return {};
    return QString::fromLatin1(kHeadings[section]);
}

void ResultsModel::Clear() {
    beginResetModel();
    m_entries.clear();
    m_order.clear();
    endResetModel();
}

void ResultsModel::AddRows(std::vector<ResultRow> rows) {
    if (rows.empty())
        return;
    std::vector<quint32> added;
    added.reserve(rows.size());
    for (ResultRow& row : rows) {
        QString key = row.name.toCaseFolded();
        added.push_back(static_cast<quint32>(m_entries.size()));
        m_entries.push_back({std::move(row), std::move(key), std::nullopt});
    }
    Merge(std::move(added));
}

// One pass for a whole batch: the batch is sorted, then merged with the rows already shown,
// and the view's remembered rows (selection, current row) follow their rows. Equal names keep
// their order of arrival, which is the order of their positions.
void ResultsModel::Merge(std::vector<quint32> added) {
    auto before = [this](quint32 a, quint32 b) {
        const int order = m_entries[a].key.compare(m_entries[b].key);
        return order != 0 ? order < 0 : a < b;
    };
    std::sort(added.begin(), added.end(), before);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList remembered = persistentIndexList();
    std::vector<quint32> merged;
    merged.reserve(m_order.size() + added.size());
    std::vector<int> moved(remembered.isEmpty() ? 0 : m_order.size());
    auto keep = [&](std::vector<quint32>::const_iterator from,
                    std::vector<quint32>::const_iterator to) {
        for (auto row = from; row != to; ++row) {
            if (!moved.empty())
                moved[row - m_order.begin()] = static_cast<int>(merged.size());
            merged.push_back(*row);
        }
    };
    // Each new row finds its place by binary search; the rows between are copied unseen.
    auto old = m_order.cbegin();
    for (quint32 fresh : added) {
        const auto place = std::upper_bound(old, m_order.cend(), fresh, before);
        keep(old, place);
        merged.push_back(fresh);
        old = place;
    }
    keep(old, m_order.cend());
    m_order = std::move(merged);
    QModelIndexList now;
    for (const QModelIndex& index : remembered)
        now.push_back(createIndex(moved[static_cast<std::size_t>(index.row())], index.column()));
    changePersistentIndexList(remembered, now);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace pellumar
