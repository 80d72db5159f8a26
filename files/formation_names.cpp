#include "formation_names.h"

#include "message_text.h"
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
    if (m_encoding == Encoding::Undecided) {
        const qsizetype taken = std::min<qsizetype>(bytes.size(), 3 - m_head.size());
        m_head.append(bytes.first(taken));
        bytes = bytes.sliced(taken);
        if (!decide(false))
            return true;
    }
    return consume(bytes);
}

void NameLineReader::finish()
{
    if (m_encoding == Encoding::Undecided)
        decide(true);
    if (m_oddByte >= 0 && !done()) {
        m_oddByte = -1;
        m_afterCr = false;
        if (m_line.size() < m_maxLineBytes)
            m_halfUnit = true;
        else
            m_lineCut = true;
    }
    if (!done() && (!m_line.isEmpty() || m_lineCut || m_halfUnit))
        endLine();
}

// Decides the encoding once the first bytes tell it or the file ends, and
// passes on those of them that are text. False while undecided.
bool NameLineReader::decide(bool atEnd)
{
    static const QByteArray marks[] = {QByteArrayLiteral("\xEF\xBB\xBF"),
                                       QByteArrayLiteral("\xFF\xFE"),
                                       QByteArrayLiteral("\xFE\xFF")};
    static const Encoding encodings[] = {Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE};
    qsizetype markSize = 0;
    m_encoding = Encoding::PerLine;
    for (int i = 0; i < 3; ++i) {
        if (m_head.startsWith(marks[i])) {
            m_encoding = encodings[i];
            markSize = marks[i].size();
            break;
        }
        if (!atEnd && marks[i].startsWith(m_head)) {
            m_encoding = Encoding::Undecided; // the next byte may complete it
            return false;
        }
    }
    const QByteArray text = m_head.mid(markSize);
    m_head.clear();
    consume(text);
    return true;
}

bool NameLineReader::consume(QByteArrayView bytes)
{
    const bool wide = m_encoding == Encoding::Utf16LE || m_encoding == Encoding::Utf16BE;
    for (const char byte : bytes) {
        if (done())
            return false;
        if (!wide) {
            take(uchar(byte), &byte, 1);
        } else if (m_oddByte < 0) {
            m_oddByte = uchar(byte);
        } else {
            const char unit[2] = {char(m_oddByte), byte};
            m_oddByte = -1;
            const uint first = uchar(unit[0]);
            const uint second = uchar(byte);
            take(m_encoding == Encoding::Utf16LE ? first | second << 8 : first << 8 | second, unit,
                 2);
        }
    }
    return !done();
}

// One code of the text, a byte or a UTF-16 unit, and its bytes in the file.
void NameLineReader::take(uint code, const char *bytes, int count)
{
    if (m_afterCr) {
        m_afterCr = false;
        if (code == '\n')
            return;
    }
    if (code == '\r' || code == '\n') {
        m_afterCr = code == '\r';
        endLine();
    } else if (m_line.size() + count <= m_maxLineBytes) {
        m_line.append(bytes, count);
    } else {
        m_lineCut = true;
    }
}

void NameLineReader::endLine()
{
    QString name;
    switch (m_encoding) {
    case Encoding::Undecided:
    case Encoding::PerLine:
        name = decodeNameLine(m_line, m_lineCut);
        break;
    case Encoding::Utf8: {
        // A stateful decoder keeps back a character cut in two: it is dropped.
        QStringDecoder utf8(QStringDecoder::Utf8, m_lineCut ? QStringDecoder::Flag::Default
                                                            : QStringDecoder::Flag::Stateless);
        name = utf8.decode(m_line);
        break;
    }
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        for (qsizetype i = 0; i + 1 < m_line.size(); i += 2) {
            const uint first = uchar(m_line[i]);
            const uint second = uchar(m_line[i + 1]);
            name += QChar(char16_t(m_encoding == Encoding::Utf16LE ? first | second << 8
                                                                   : first << 8 | second));
        }
        if (m_lineCut && !name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
        if (m_halfUnit)
            name += QChar(QChar::ReplacementCharacter);
        break;
    }
    m_lines.append(name);
    m_cutLines += m_lineCut;
    m_line.clear();
    m_lineCut = false;
    m_halfUnit = false;
}

QStringList splitNameLines(QByteArrayView bytes, int maxLines)
{
    NameLineReader reader(maxLines);
    reader.feed(bytes);
    reader.finish();
    return reader.lines();
}

namespace
{

// How many bytes at the end of `bytes` are the start of a UTF-8 character
// that the cut left without its end: 0 to 3.
int unfinishedCharacter(QByteArrayView bytes)
{
    for (int back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<quint8>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: the lead is further back
        // A lead byte of a sequence longer than what follows it; bytes that
        // can lead no character (C0, C1, F5 to FF) lead none here either.
        const int length = byte >= 0xF0 && byte <= 0xF4  ? 4
                           : byte >= 0xE0 && byte < 0xF0 ? 3
                           : byte >= 0xC2 && byte < 0xE0 ? 2
                                                         : 1;
        return length > back ? back : 0;
    }
    return 0;
}

bool isUtf8(QByteArrayView bytes, QString *text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = utf8.decode(bytes);
    return !utf8.hasError();
}

} // namespace

QString decodeNameLine(QByteArrayView bytes, bool cut)
{
    // Only a UTF-8 character cut in two is dropped; a line that is not
    // UTF-8 keeps every byte it has.
    QString text;
    if (isUtf8(bytes, &text))
        return text;
    if (const int unfinished = cut ? unfinishedCharacter(bytes) : 0;
        unfinished > 0 && isUtf8(bytes.first(bytes.size() - unfinished), &text))
        return text;
    return fromWindows1252(bytes);
}

QString fromWindows1252(QByteArrayView bytes)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text = QString::fromLatin1(bytes);
    for (QChar &character : text)
        if (character.unicode() >= 0x80 && character.unicode() < 0xA0)
            character = QChar(high[character.unicode() - 0x80]);
    return text;
}

FormationNames readFormationNames(const QString &path)
{
    FormationNames result;
    const QString shown = shownPath(QFileInfo(path).absoluteFilePath());
    const QString noNames = QStringLiteral("so the formations have no names.");

    QFile file(path);
    if (pathKind(path) == PathKind::Missing) {
        result.status = FormationNames::Status::Missing;
        result.problem =
            QStringLiteral("The formation names file %1 was not found, %2").arg(shown, noNames);
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
                             .arg(shown, unreadable, noNames);
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
        const QString count = grouped(result.linesRead);
        problems << QStringLiteral("The formation names file %1 has only %2 of 31 lines%3; "
                                   "formations %2 to 30 have no name.")
                        .arg(shown, count,
                             total >= FormationNames::MaxBytesRead
                                 ? QStringLiteral(" in its first 64 MiB, which is all that is read")
                                 : QString());
    } else {
        result.status = FormationNames::Status::Complete;
    }
    if (result.namesCut == 1)
        problems << QStringLiteral("One name in %1 is longer than %2 bytes and was cut there.")
                        .arg(shown, grouped(FormationNames::MaxNameBytes));
    else if (result.namesCut > 1)
        problems << QStringLiteral("%1 names in %2 are longer than %3 bytes and were cut there.")
                        .arg(grouped(result.namesCut), shown,
                             grouped(FormationNames::MaxNameBytes));
    result.problem = problems.join(u' ');
    return result;
}

QString namesFileFor(const QString &tableFile, const QString &workingFolder)
{
    if (!tableFile.isEmpty()) {
        const QString beside = namesFileBeside(tableFile);
        if (pathKind(beside) != PathKind::Missing)
            return beside;
    }
    return QDir(workingFolder).filePath(QStringLiteral("readorder.txt"));
}

QString namesFileBeside(const QString &tableFile)
{
    Q_ASSERT(!tableFile.isEmpty());
    return QFileInfo(tableFile).absoluteDir().filePath(QStringLiteral("readorder.txt"));
}
