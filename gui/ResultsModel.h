#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>
#include <deque>
#include <vector>

namespace pellumar {

// One found file as the list shows it, with the path as the engine gave it, so that a name
// that is not valid text still opens.
struct ResultRow {
    QIcon icon;
    QString name;
    QString location;
    QString size;
    QString type;
    QString modified;
    QByteArray path;
};

// The results: five columns, rows kept in order of their names without regard to case, rows
// with equal names in the order they came.
class ResultsModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    using QAbstractTableModel::QAbstractTableModel;

    // Adds rows, in the order they came, each at its place.
    void AddRows(std::vector<ResultRow> rows);
    void Clear();
    const ResultRow& Row(int row) const {
        return m_entries[m_order.at(static_cast<std::size_t>(row))].row;
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Entry {
        ResultRow row;
        QString key;  // the name case-folded once, so that ordering compares plain text
    };
    void Merge(std::vector<quint32> added);

    // Rows stay where they were put, in order of arrival; the order of the list is kept as
    // positions into them, so that a batch moves numbers, not rows.
    std::deque<Entry> m_entries;
    std::vector<quint32> m_order;
};

}  // namespace pellumar
