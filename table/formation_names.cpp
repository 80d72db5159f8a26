#include "formation_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

QStringList splitNameLines(const QString &text, int maxLines)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size && lines.size() < maxLines) {
        qsizetype end = start;
        while (end < size && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        lines.append(text.mid(start, end - start));
        if (end < size && text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

QString decodeNameText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

FormationNames readFormationNames(const QString &path)
{
    constexpr int wanted = FormationNames::Count - 1;
    FormationNames result;
    const QString shownPath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());

    QFile file(path);
    if (!file.exists()) {
        result.status = FormationNames::Status::Missing;
        result.problem = QStringLiteral("The formation names file %1 was not found, so the "
                                        "selector buttons have no names.")
                             .arg(shownPath);
        return result;
    }
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (file.error() != QFileDevice::NoError) {
        result.status = FormationNames::Status::Unreadable;
        result.problem = QStringLiteral("The formation names file %1 could not be read (%2), so "
                                        "the selector buttons have no names.")
                             .arg(shownPath, file.errorString());
        return result;
    }

    const QStringList lines = splitNameLines(decodeNameText(bytes), wanted);
    for (int i = 0; i < lines.size(); ++i)
        result.names[i] = lines[i];
    result.linesRead = int(lines.size());
    if (result.linesRead < wanted) {
        result.status = FormationNames::Status::Short;
        result.problem = QStringLiteral("The formation names file %1 has only %2 of 31 lines; "
                                        "formations %3 to 30 have no name.")
                             .arg(shownPath)
                             .arg(result.linesRead)
                             .arg(result.linesRead);
    } else {
        result.status = FormationNames::Status::Complete;
    }
    return result;
}
