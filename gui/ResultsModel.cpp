#include "ResultsModel.h"

#include <algorithm>

#include "ResultText.h"

namespace pellumar {
namespace {

const char* const kHeadings[] = {"Name", "Location", "Size", "Type", "Modified"};

// The first units of a key, past its end 0, which no name holds, so that a shorter key comes
// first, as in QString::compare; then the key's length, up to one more than fits. Keys that fit
// are equal exactly when their heads are: names repeated over many folders ("index.html") are
// told equal without reading their texts.
ResultsModel::Head HeadOf(const QString& key) {
    ResultsModel::Head head{};
    const qsizetype units = std::min<qsizetype>(key.size(), ResultsModel::kHeadUnits);
    for (qsizetype at = 0; at < units; ++at) {
        head[static_cast<size_t>(at / 4)] |= quint64{key.at(at).unicode()} << (48 - 16 * (at % 4));
    }
    head.back() |= static_cast<quint64>(std::min<qsizetype>(key.size(), units + 1));
    return head;
}

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
    // A million rows' memory is given back, not kept for the next search.
    m_entries = {};
    m_heads = {};
    m_order = {};
    m_mergeBuffer = {};
    m_movedBuffer = {};
    m_nSortColumn = 0;
    m_sortOrder = Qt::AscendingOrder;
    endResetModel();
}

int ResultsModel::CompareIn(int column, const Entry& a, const Entry& b) const {
    const auto three = [](auto x, auto y) { return x < y ? -1 : y < x ? 1 : 0; };
    switch (column) {
        case 1:
            return a.row.location.compare(b.row.location, Qt::CaseInsensitive);
        case 2:
            return three(a.row.size, b.row.size);
        case 3:
            return TypeOf(a).name.compare(TypeOf(b).name, Qt::CaseInsensitive);
        case 4:
            return three(a.row.modified.Ticks(), b.row.modified.Ticks());
        default:
            return a.key.compare(b.key);
    }
}

int ResultsModel::CompareNames(quint32 a, quint32 b) const {
    const auto& x = m_heads[a];
    const auto& y = m_heads[b];
    if (x != y) {
        return x < y ? -1 : 1;
    }
    if ((x.back() & 0xffff) <= kHeadUnits)
        return 0;
    return m_entries[a].key.compare(m_entries[b].key);
}

bool ResultsModel::Before(quint32 a, quint32 b) const {
    int order = m_nSortColumn == 0 ? CompareNames(a, b)
                                   : CompareIn(m_nSortColumn, m_entries[a], m_entries[b]);
    if (m_sortOrder == Qt::DescendingOrder) {
        order = -order;
    }
    if (order == 0 && m_nSortColumn != 0) {
        order = CompareNames(a, b);
    }
    return order != 0 ? order < 0 : a < b;
}

void ResultsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) {
        return;
    }
    m_nSortColumn = column;
    m_sortOrder = order;
    std::vector<quint32> sorted = m_order;
    std::sort(sorted.begin(), sorted.end(), [this](quint32 a, quint32 b) { return Before(a, b); });
    // Each row's former position, by its place in the rows as they came.
    std::vector<int> was(m_entries.size());
    for (size_t at = 0; at < m_order.size(); ++at) {
        was[m_order[at]] = static_cast<int>(at);
    }
    std::vector<int> moved(m_order.size());
    for (size_t at = 0; at < sorted.size(); ++at) {
        moved[static_cast<size_t>(was[sorted[at]])] = static_cast<int>(at);
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    Reorder(sorted, moved);
}

void ResultsModel::AddRows(std::vector<ResultRow> rows) {
    if (rows.empty())
        return;
    std::vector<quint32> added;
    added.reserve(rows.size());
    for (ResultRow& row : rows) {
        QString key = row.name.toCaseFolded();
        added.push_back(static_cast<quint32>(m_entries.size()));
        m_heads.push_back(HeadOf(key));
        m_entries.push_back({std::move(row), std::move(key), std::nullopt});
    }
    Merge(std::move(added));
}

// One pass for a whole batch: the batch is sorted, then merged with the rows already shown,
// and the view's remembered rows (selection, current row) follow their rows. Equal names keep
// their order of arrival, which is the order of their positions.
void ResultsModel::Merge(std::vector<quint32> added) {
    auto before = [this](quint32 a, quint32 b) { return Before(a, b); };
    std::sort(added.begin(), added.end(), before);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<quint32>& merged = m_mergeBuffer;
    merged.clear();
    // With room to spare: the buffer takes turns with the list's order, and grows seldom.
    const size_t need = m_order.size() + added.size();
    if (merged.capacity() < need)
        merged.reserve(need + need / 2);
    std::vector<int>& moved = m_movedBuffer;
    moved.resize(persistentIndexList().isEmpty() ? 0 : m_order.size());
    auto keep = [&](std::vector<quint32>::const_iterator from,
                    std::vector<quint32>::const_iterator to) {
        if (moved.empty()) {
            merged.insert(merged.end(), from, to);
            return;
        }
        for (auto row = from; row != to; ++row) {
            moved[static_cast<size_t>(row - m_order.begin())] = static_cast<int>(merged.size());
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
    Reorder(merged, moved);
}

// Follows layoutAboutToBeChanged: the view's remembered rows (selection, current row) move
// with their rows. `order` is left holding the former order.
void ResultsModel::Reorder(std::vector<quint32>& order, const std::vector<int>& moved) {
    const QModelIndexList remembered = persistentIndexList();
    m_order.swap(order);
    QModelIndexList now;
    for (const QModelIndex& index : remembered)
        now.push_back(createIndex(moved[static_cast<std::size_t>(index.row())], index.column()));
    changePersistentIndexList(remembered, now);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace pellumar
