#include "ResultsModel.h"

#include <algorithm>

#include "ResultText.h"

namespace pellumar {
namespace {

const char* const kHeadings[] = {"Name", "Location", "Size", "Type", "Modified"};

// The first units of a key, past its end 0, which no name holds, so that a shorter key comes
// first, as in QString::compare; then the key's length, up to one more than fits. Keys that fit
// are equal exactly when their heads are: names repeated over many folders ("index.html") are
// told equal without reading their texts. With `lower`, the text is a name of ASCII, whose key
// is itself with A to Z lowered.
ResultsModel::Head HeadOf(const QString& text, bool lower) {
    ResultsModel::Head head{};
    const qsizetype units = std::min<qsizetype>(text.size(), ResultsModel::kHeadUnits);
    for (qsizetype at = 0; at < units; ++at) {
        quint64 unit = text.at(at).unicode();
        if (lower && unit >= 'A' && unit <= 'Z')
            unit += 'a' - 'A';
        head[static_cast<size_t>(at / 4)] |= unit << (48 - 16 * (at % 4));
    }
    head.back() |= static_cast<quint64>(std::min<qsizetype>(text.size(), units + 1));
    return head;
}

bool IsShortAscii(const QString& name) {
    return name.size() <= ResultsModel::kHeadUnits &&
           std::all_of(name.cbegin(), name.cend(),
                       [](QChar unit) { return unit.unicode() < 0x80; });
}

// The first of [first, last) that `value` comes before. A batch's rows mostly go near the one
// before them, often to the same place (a name repeated over many folders): steps that double
// from `first` find it in a few comparisons of rows close together, where a binary search over
// the whole rest would take twenty, scattered over a million rows.
template <class Iterator, class Less>
Iterator UpperBoundFrom(Iterator first, Iterator last, quint32 value, Less before) {
    for (std::ptrdiff_t step = 1;; step *= 2) {
        if (last - first <= step)
            return std::upper_bound(first, last, value, before);
        const Iterator probe = first + (step - 1);
        if (before(value, *probe))
            return std::upper_bound(first, probe, value, before);
        first = probe + 1;
    }
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
            return 0;  // names compare by their heads and keys
    }
}

int ResultsModel::CompareHeads(const Head& x, const Head& y) {
    for (size_t at = 0; at < x.size(); ++at) {
        if (x[at] != y[at])
            return x[at] < y[at] ? -1 : 1;
    }
    return 0;
}

int ResultsModel::CompareNames(quint32 a, quint32 b) const {
    const Head& x = m_heads[a];
    if (const int order = CompareHeads(x, m_heads[b]);
        order != 0 || (x.back() & 0xffff) <= kHeadUnits)
        return order;
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
        added.push_back(static_cast<quint32>(m_entries.size()));
        // Most names are short and plain: their head is made from them, and holds all their key.
        QString key;
        if (IsShortAscii(row.name)) {
            m_heads.push_back(HeadOf(row.name, true));
        } else {
            key = row.name.toCaseFolded();
            m_heads.push_back(HeadOf(key, false));
            if (key.size() <= kHeadUnits)
                key = {};
        }
        m_entries.push_back({std::move(row), std::move(key), std::nullopt});
    }
    Merge(std::move(added));
}

// By name, the batch is sorted with its heads beside it: most comparisons end there, in memory
// of the batch's size rather than scattered over every row's.
void ResultsModel::SortBatch(std::vector<quint32>& added) const {
    if (m_nSortColumn != 0) {
        std::sort(added.begin(), added.end(),
                  [this](quint32 a, quint32 b) { return Before(a, b); });
        return;
    }
    std::vector<std::pair<Head, quint32>> keyed;
    keyed.reserve(added.size());
    for (const quint32 row : added)
        keyed.emplace_back(m_heads[row], row);
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    std::sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
        if (const int order = CompareHeads(x.first, y.first); order != 0)
            return (order < 0) != descending;
        // Equal heads of names that fit are equal names: they keep their order of arrival.
        if ((x.first.back() & 0xffff) <= kHeadUnits)
            return x.second < y.second;
        return Before(x.second, y.second);
    });
    for (size_t at = 0; at < keyed.size(); ++at)
        added[at] = keyed[at].second;
}

// One pass for a whole batch: the batch is sorted, then merged with the rows already shown,
// and the view's remembered rows (selection, current row) follow their rows. Equal names keep
// their order of arrival, which is the order of their positions.
void ResultsModel::Merge(std::vector<quint32> added) {
    auto before = [this](quint32 a, quint32 b) { return Before(a, b); };
    SortBatch(added);
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
    // Each new row finds its place from where the one before it went; the rows between are
    // copied unseen.
    auto old = m_order.cbegin();
    for (quint32 fresh : added) {
        const auto place = UpperBoundFrom(old, m_order.cend(), fresh, before);
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
