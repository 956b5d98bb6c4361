#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string_view>

namespace pellumar {

// A name or path of the file system as the window shows it, decoded as the system encodes names.
inline QString NameText(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace pellumar
