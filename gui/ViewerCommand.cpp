#include "ViewerCommand.h"

#include <QFile>
#include <QProcess>

namespace pellumar {

ViewerCommand ViewerCommandFor(const QString& text, const QByteArray& file, uint64_t line) {
    const bool namesFile = text.contains(QLatin1String("%f"));
    if (!namesFile && !text.contains(QLatin1String("%l")))
        return {text, {file}};
    QStringList words = QProcess::splitCommand(text);
    if (words.isEmpty())
        return {text, {file}};
    ViewerCommand command{words.takeFirst(), {}};
    const QByteArray number = QByteArray::number(static_cast<qulonglong>(line == 0 ? 1 : line));
    for (const QString& word : words) {
        QByteArray argument = QFile::encodeName(word);
        argument.replace("%l", number);
        // The path goes in last: a name that holds "%l" stays as it is.
        argument.replace("%f", file);
        command.arguments << argument;
    }
    if (!namesFile)
        command.arguments << file;
    return command;
}

}  // namespace pellumar
