#pragma once

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace pellumar {

// The icon and type name of a file, told from its name alone so that a list of many files
// never waits on their contents; remembered per type.
class FileTypes {
  public:
    struct Type {
        QIcon icon;
        QString name;
    };
    const Type& Of(const QString& fileName);

  private:
    QMimeDatabase m_mimes;
    QHash<QString, Type> m_known;  // by MIME type name
    QIcon m_fileIcon;
};

}  // namespace pellumar
