#include "MatchesModel.h"

#include <QFile>

#include "LineMarkup.h"

namespace pellumar {

MatchesModel::~MatchesModel() {
    m_pFetcher.reset();  // its thread ends before the rows it reports to go
}

void MatchesModel::Reset(const SearchRequest& request, LineFetcher::Mode mode) {
    m_pFetcher.reset();
    beginResetModel();
    m_index.Clear();
    m_kept.clear();
    m_used.clear();
    m_asked.clear();
    m_nKept = 0;
    endResetModel();
    const uint64_t generation = ++m_nGeneration;
    // The lines pass through the fetcher's own lock; the call across only wakes this thread.
    m_pFetcher = std::make_unique<LineFetcher>(request, mode, [this, generation] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation != m_nGeneration || !m_pFetcher)
                    return;
                for (LineFetcher::Fetched& fetched : m_pFetcher->Take())
                    Take(std::move(fetched));
            },
            Qt::QueuedConnection);
    });
}

void MatchesModel::AddFiles(std::vector<std::string> paths) {
    if (paths.empty())
        return;
    const int first = rowCount();
    const auto count = static_cast<int>(2 * paths.size());  // a name and a waiting row each
    beginInsertRows({}, first, first + count - 1);
    m_index.AddFiles(std::move(paths));
    endInsertRows();
}

int MatchesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_index.Rows());
}

QVariant MatchesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const MatchIndex::Place place = m_index.At(static_cast<std::size_t>(index.row()));
    const std::string& path = m_index.Path(place.file);
    if (role == kPathRole)
        return QByteArray::fromStdString(path);
    if (place.line == MatchIndex::kNameRow) {
        if (role == kKindRole)
            return QChar('f');
        return role == Qt::DisplayRole
                   ? QVariant(QFile::decodeName(QByteArray::fromStdString(path)))
                   : QVariant();
    }
    const Kept* kept = Lines(place.file);
    if (kept == nullptr) {
        if (role == kKindRole)
            return QChar('.');
        return role == Qt::DisplayRole ? QVariant(QString(QChar(0x2026))) : QVariant();
    }
    if (!kept->note.empty() || place.line >= kept->lines.size()) {
        if (role == kKindRole)
            return QChar('n');
        return role == Qt::DisplayRole ? QVariant(QString::fromStdString(kept->note)) : QVariant();
    }
    return LineData(*kept, place.line, role);
}

QVariant MatchesModel::LineData(const Kept& kept, std::size_t line, int role) const {
    const TextLine& text = kept.lines[line];
    switch (role) {
        case kKindRole:
            return QChar(text.kind);
        case kNumberRole:
            return static_cast<qulonglong>(text.number);
        case kOpenLineRole:
            return static_cast<qulonglong>(line < kept.openAt.size() ? kept.openAt[line]
                                                                     : text.number);
        case Qt::DisplayRole:
            return MarkupOf(text).text;
        case kMarksRole: {
            QVariantList marks;
            for (const auto& [start, length] : MarkupOf(text).marks)
                marks << start << length;
            return marks;
        }
        default:
            return {};
    }
}

// The file's lines when they are kept, and then they are the last used; otherwise they are
// asked for, once.
const MatchesModel::Kept* MatchesModel::Lines(std::size_t file) const {
    const auto it = m_kept.find(file);
    if (it == m_kept.end()) {
        if (m_pFetcher && m_asked.insert(file).second)
            m_pFetcher->Ask(file, m_index.Path(file));
        return nullptr;
    }
    m_used.splice(m_used.begin(), m_used, it->second.used);
    return &it->second;
}

void MatchesModel::Take(LineFetcher::Fetched fetched) {
    const std::size_t file = fetched.file;
    m_asked.erase(file);
    if (file >= m_index.Files())
        return;
    if (const auto it = m_kept.find(file); it != m_kept.end()) {
        m_nKept -= it->second.lines.size();
        m_used.erase(it->second.used);
        m_kept.erase(it);
    }
    const std::size_t rows = fetched.note.empty() ? fetched.lines.size() : 1;
    m_used.push_front(file);
    m_nKept += fetched.lines.size();
    m_kept[file] = Kept{std::move(fetched.lines), std::move(fetched.note),
                        std::move(fetched.openAt), m_used.begin()};
    Resize(file, rows);
    const int first = static_cast<int>(m_index.FirstRow(file)) + 1;
    emit dataChanged(index(first), index(first + static_cast<int>(rows) - 1));
    Forget(file);
}

void MatchesModel::Resize(std::size_t file, std::size_t rows) {
    const std::size_t before = m_index.LineRows(file);
    rows = std::max<std::size_t>(rows, 1);
    const int first = static_cast<int>(m_index.FirstRow(file)) + 1;
    if (rows > before) {
        beginInsertRows({}, first + static_cast<int>(before), first + static_cast<int>(rows) - 1);
        m_index.SetLineRows(file, rows);
        endInsertRows();
    } else if (rows < before) {
        beginRemoveRows({}, first + static_cast<int>(rows), first + static_cast<int>(before) - 1);
        m_index.SetLineRows(file, rows);
        endRemoveRows();
    } else {
        m_index.SetLineRows(file, rows);
    }
}

// Past the lines kept, those of the files used longest ago go, but never those of the files a
// list shows at once, nor the file just read.
void MatchesModel::Forget(std::size_t keep) {
    while (m_nKept > kKeptLines && m_used.size() > kKeptFiles) {
        const std::size_t file = m_used.back();
        if (file == keep)
            break;
        m_used.pop_back();
        m_nKept -= m_kept[file].lines.size();
        m_kept.erase(file);
    }
}

}  // namespace pellumar
