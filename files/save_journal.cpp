#include "save_journal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace
{

const QByteArray Magic = QByteArrayLiteral("KGF formation editor save journal 1\n");
constexpr qint64 DigestBytes = 32; // SHA-256

QByteArray digest(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

void put64(QByteArray &out, quint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}

void putBytes(QByteArray &out, const QByteArray &bytes)
{
    put64(out, quint64(bytes.size()));
    out.append(bytes);
}

// Reads the fields back in order; any read past the end fails them all.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    quint64 take64()
    {
        if (!has(8))
            return 0;
        const quint64 value = qFromLittleEndian<quint64>(m_bytes.data() + m_at);
        m_at += 8;
        return value;
    }

    QByteArray takeBytes(qint64 most)
    {
        const quint64 length = take64();
        if (length > quint64(most) || !has(qint64(length))) {
            m_ok = false;
            return {};
        }
        const QByteArray bytes = m_bytes.sliced(m_at, qint64(length)).toByteArray();
        m_at += qint64(length);
        return bytes;
    }

    bool ok() const { return m_ok; }
    qint64 at() const { return m_at; }

private:
    bool has(qint64 count)
    {
        m_ok = m_ok && m_bytes.size() - m_at >= count;
        return m_ok;
    }

    QByteArrayView m_bytes;
    qint64 m_at = 0;
    bool m_ok = true;
};

} // namespace

QString journalPath(const QString &path)
{
    const QString suffix = QStringLiteral(".kgf-journal");
    // The file's own name and folder, whatever link led to it, so that
    // every way to the file finds the same journal; as the path spells it
    // where no link is on the way.
    const QFileInfo named(path);
    const QString real = named.canonicalFilePath();
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    const bool linked = !real.isEmpty() && real.compare(named.absoluteFilePath(), cs) != 0;
    const QFileInfo info(linked ? real : path);
    QString file = info.filePath();
    QString name = info.fileName();
#ifdef Q_OS_WIN
    // Windows drops the dots and spaces that end a name: "kgf.exe." is
    // kgf.exe, and has its journal.
    while (name.endsWith(u'.') || name.endsWith(u' ')) {
        name.chop(1);
        file.chop(1);
    }
#endif
    // The longest name most file systems take: 255 bytes (UTF-16 units on Windows).
#ifdef Q_OS_WIN
    const bool fits = name.size() + suffix.size() <= 255;
#else
    const bool fits = QFile::encodeName(name + suffix).size() <= 255;
#endif
    if (fits)
        return file + suffix;
    const QByteArray hash = digest(name.toUtf8()).left(8).toHex();
    return QDir(info.path()).filePath(suffix + u'-' + QString::fromLatin1(hash));
}

JournalState journalState(const QString &path)
{
    const QString journal = journalPath(path);
    switch (pathKind(journal)) {
    case PathKind::Missing:
    case PathKind::Unknown:
        return JournalState::None;
    case PathKind::Regular:
        return isHeldByAnother(journal) ? JournalState::SaveRunning : JournalState::Unfinished;
    case PathKind::Folder:
    case PathKind::Device:
    case PathKind::Special:
    case PathKind::BrokenLink:
        break;
    }
    return JournalState::NotAJournal;
}

bool hasJournal(const QString &path)
{
    return journalState(path) != JournalState::None;
}

QByteArray encodeJournal(const SaveJournal &journal)
{
    QByteArray out = Magic;
    put64(out, journal.identity.volume);
    put64(out, journal.identity.index);
    put64(out, quint64(journal.size));
    put64(out, quint64(journal.modifiedNs));
    put64(out, quint64(journal.offset));
    putBytes(out, journal.oldBytes);
    putBytes(out, journal.newBytes);
    out.append(digest(journal.oldBytes));
    out.append(digest(journal.newBytes));
    out.append(digest(out));
    return out;
}

bool beginsAsWholeJournalLine(QByteArrayView head)
{
    return head.startsWith(Magic);
}

bool isJournalFile(const QString &path)
{
    QFile file(path);
    if (pathKind(path) != PathKind::Regular || !openRegularFile(file, QIODevice::ReadOnly).ok)
        return false;
    QByteArray head(Magic.size(), '\0');
    return readUpTo(file, head.data(), head.size()) == head.size() &&
           beginsAsWholeJournalLine(head);
}

bool beginsAsJournal(QByteArrayView head)
{
    return head.startsWith(Magic.first(std::min(head.size(), Magic.size()))) && !head.isEmpty();
}

std::optional<SaveJournal> decodeJournal(QByteArrayView bytes, QString *why)
{
    if (!bytes.startsWith(Magic)) {
        *why = QStringLiteral("it is not a journal of this program");
        return std::nullopt;
    }
    Reader reader(bytes.sliced(Magic.size()));
    SaveJournal journal;
    journal.identity.volume = reader.take64();
    journal.identity.index = reader.take64();
    journal.identity.valid = true;
    journal.size = qint64(reader.take64());
    journal.modifiedNs = qint64(reader.take64());
    journal.offset = qint64(reader.take64());
    journal.oldBytes = reader.takeBytes(MaxJournalBytes);
    journal.newBytes = reader.takeBytes(MaxJournalBytes);
    const qint64 checked = Magic.size() + reader.at();
    if (!reader.ok() || bytes.size() != checked + 3 * DigestBytes) {
        *why = QStringLiteral("it is cut short or longer than a journal");
        return std::nullopt;
    }
    const QByteArrayView sums = bytes.sliced(checked);
    if (sums.sliced(2 * DigestBytes) != digest(bytes.first(checked + 2 * DigestBytes)) ||
        sums.first(DigestBytes) != digest(journal.oldBytes) ||
        sums.sliced(DigestBytes, DigestBytes) != digest(journal.newBytes)) {
        *why = QStringLiteral("its checksums do not match what it holds");
        return std::nullopt;
    }
    if (journal.size < 0 || journal.offset < 0 || journal.newBytes.isEmpty() ||
        journal.oldBytes.size() > journal.newBytes.size() ||
        journal.oldBytes.size() !=
            std::clamp<qint64>(journal.size - journal.offset, 0, journal.newBytes.size())) {
        *why = QStringLiteral("its fields do not fit together");
        return std::nullopt;
    }
    return journal;
}

JournalMatch matchJournal(const SaveJournal &journal, QByteArrayView now, qint64 size)
{
    const qint64 grownTo = std::max(journal.size, journal.offset + journal.newBytes.size());
    if (size < journal.size || size > grownTo ||
        now.size() != std::clamp<qint64>(size - journal.offset, 0, journal.newBytes.size()))
        return JournalMatch::Elsewhere;
    if (size == journal.size && now == journal.oldBytes)
        return JournalMatch::Old;
    if (size == grownTo && now == journal.newBytes)
        return JournalMatch::New;
    // Where the file was shorter, the part a torn write did not reach may
    // read as zeros.
    for (qint64 i = 0; i < now.size(); ++i) {
        const char was = i < journal.oldBytes.size() ? journal.oldBytes[i] : '\0';
        if (now[i] != was && now[i] != journal.newBytes[i])
            return JournalMatch::Elsewhere;
    }
    return JournalMatch::Mixed;
}
