#include "formation_names.h"

#include "native_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

NameLineReader::NameLineReader(int maxLines, int maxLineBytes)
    : m_maxLines(maxLines), m_maxLineBytes(maxLineBytes)
{
}

bool NameLineReader::feed(QByteArrayView bytes)
{
    for (const char byte : bytes) {
        if (done())
            return false;
        if (m_afterCr) {
            m_afterCr = false;
            if (byte == '\n')
                continue;
        }
        if (byte == '\r' || byte == '\n') {
            m_afterCr = byte == '\r';
            endLine();
        } else if (m_line.size() < m_maxLineBytes) {
            m_line += byte;
        } else {
            m_lineCut = true;
        }
    }
    return !done();
}

void NameLineReader::finish()
{
    if (!done() && (!m_line.isEmpty() || m_lineCut))
        endLine();
}

void NameLineReader::endLine()
{
    m_lines.append(decodeNameLine(m_line, m_lineCut));
    m_cutLines += m_lineCut;
    m_line.clear();
    m_lineCut = false;
}

QStringList splitNameLines(QByteArrayView bytes, int maxLines)
{
    NameLineReader reader(maxLines);
    reader.feed(bytes);
    reader.finish();
    return reader.lines();
}

QString decodeNameLine(QByteArrayView bytes, bool cut)
{
    // A character is at most four bytes, so a cut one leaves at most three.
    for (int dropped = 0; dropped <= (cut ? 3 : 0) && dropped <= bytes.size(); ++dropped) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes.first(bytes.size() - dropped));
        if (!utf8.hasError())
            return text;
    }
    return QString::fromLatin1(bytes);
}

FormationNames readFormationNames(const QString &path)
{
    FormationNames result;
    const QString shownPath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const QString noNames = QStringLiteral("so the selector buttons have no names.");

    QFile file(path);
    if (pathKind(path) == PathKind::Missing) {
        result.status = FormationNames::Status::Missing;
        result.problem =
            QStringLiteral("The formation names file %1 was not found, %2").arg(shownPath, noNames);
        return result;
    }
    QString unreadable;
    if (const OpenResult opened = openRegularFile(file, QIODevice::ReadOnly); !opened.ok)
        unreadable = opened.reason;

    NameLineReader reader;
    qint64 total = 0;
    QByteArray chunk(64 * 1024, '\0');
    while (unreadable.isEmpty() && !reader.done() && total < FormationNames::MaxBytesRead) {
        const qint64 got = file.read(
            chunk.data(), std::min<qint64>(chunk.size(), FormationNames::MaxBytesRead - total));
        if (got < 0)
            unreadable = plainReason(file.errorString(), "the system reported a read error");
        if (got <= 0)
            break;
        total += got;
        reader.feed(QByteArrayView(chunk.constData(), got));
    }
    if (!unreadable.isEmpty()) {
        result.status = FormationNames::Status::Unreadable;
        result.problem = QStringLiteral("The formation names file %1 could not be read (%2), %3")
                             .arg(shownPath, unreadable, noNames);
        return result;
    }
    reader.finish();

    const QStringList &lines = reader.lines();
    for (int i = 0; i < lines.size(); ++i)
        result.names[i] = lines[i];
    result.linesRead = int(lines.size());
    result.namesCut = reader.cutLines();
    QStringList problems;
    if (result.linesRead < FormationNames::LinesUsed) {
        result.status = FormationNames::Status::Short;
        const QString count = QString::number(result.linesRead);
        problems << QStringLiteral("The formation names file %1 has only %2 of 31 lines%3; "
                                   "formations %2 to 30 have no name.")
                        .arg(shownPath, count,
                             total >= FormationNames::MaxBytesRead
                                 ? QStringLiteral(" in its first 64 MiB, which is all that is read")
                                 : QString());
    } else {
        result.status = FormationNames::Status::Complete;
    }
    if (result.namesCut == 1)
        problems << QStringLiteral("One name in %1 is longer than %2 bytes and was cut there.")
                        .arg(shownPath, QString::number(FormationNames::MaxNameBytes));
    else if (result.namesCut > 1)
        problems << QStringLiteral("%1 names in %2 are longer than %3 bytes and were cut there.")
                        .arg(QString::number(result.namesCut), shownPath,
                             QString::number(FormationNames::MaxNameBytes));
    result.problem = problems.join(u' ');
    return result;
}
