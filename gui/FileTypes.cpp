#include "FileTypes.h"

#include <QFileIconProvider>

namespace pellumar {

const FileTypes::Type& FileTypes::Of(const QString& fileName) {
    const QMimeType mime = m_mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    auto known = m_known.constFind(mime.name());
    if (known != m_known.constEnd())
        return *known;
    if (m_fileIcon.isNull())
        m_fileIcon = QFileIconProvider().icon(QAbstractFileIconProvider::File);
    QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
    return *m_known.insert(mime.name(), {icon.isNull() ? m_fileIcon : icon, mime.comment()});
}

}  // namespace pellumar
