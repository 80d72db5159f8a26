#include "formation_table.h"
#include "native_file.h"
#include "save_journal.h"
#include "save_leftovers.h"
#include "save_recovery.h"
#include "save_target.h"
#include "table_loader.h"
#include "table_saver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

class SaveRecoveryTest : public QObject
{
    Q_OBJECT
private slots:
    void journalRoundTrip_data();
    void journalRoundTrip();
    void damagedJournalIsRefused_data();
    void damagedJournalIsRefused();
    void journalFieldsMustFit_data();
    void journalFieldsMustFit();
    void matchJournal_data();
    void matchJournal();
    void recoverPutsBack_data();
    void recoverPutsBack();
    void recoverRefuses_data();
    void recoverRefuses();
    void nothingToRecover();
    void keepRemovesOnlyTheJournal_data();
    void keepRemovesOnlyTheJournal();
    void journalOfALongName_data();
    void journalOfALongName();
    void oneJournalForEveryName_data();
    void oneJournalForEveryName();
    void clearLeftovers_data();
    void clearLeftovers();
    void clearLeftoversNamesEachLeft();
    void leftoverOfASaveJustStarting();
    void rootCopiesKeepAccess_data();
    void rootCopiesKeepAccess();
};

namespace
{

constexpr qint64 TableBytes = FormationTable::ByteCount;
// A modification time long past, finer than a second, that only a put-back
// restores: 2001-09-09, in the system's own units.
#ifdef Q_OS_WIN
constexpr qint64 Past = 126'444'736'001'234'567; // 100 ns since 1601
#else
constexpr qint64 Past = 1'000'000'000'123'456'789; // ns since 1970
#endif

// Letters only; two seeds that differ by less than 26 differ at every byte.
QByteArray pattern(qint64 size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i + seed) % 26);
    return bytes;
}

// The table a save writes: where it goes at byte 0, 500 or 1,400,000 of
// oldFile(), no byte of it is the old one at the same place.
QByteArray newTable()
{
    return pattern(TableBytes, 8);
}

QByteArray oldFile(qint64 size)
{
    return pattern(size, 1);
}

QByteArray zeros(qint64 count)
{
    return QByteArray(std::max<qint64>(count, 0), '\0');
}

// `file` with `bytes` written over it at `offset`, grown with zeros where needed.
QByteArray overwritten(QByteArray file, qint64 offset, const QByteArray &bytes)
{
    if (file.size() < offset + bytes.size())
        file += zeros(offset + bytes.size() - file.size());
    file.replace(offset, bytes.size(), bytes);
    return file;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Writes `bytes` as the whole of the existing file `path`, in place: the
// same file, as a save leaves it.
bool writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QString reason;
    return openRegularFile(file, QIODevice::ReadWrite).ok &&
           writeAt(file, 0, bytes.constData(), bytes.size(), &reason) == bytes.size() &&
           resizeFile(file, bytes.size(), &reason);
}

std::optional<FileStatus> statusOf(const QString &path)
{
    QFile file(path);
    FileStatus status;
    QString reason;
    if (!openRegularFile(file, QIODevice::ReadOnly).ok || !fileStatus(file, &status, &reason))
        return std::nullopt;
    return status;
}

bool setTime(const QString &path, qint64 modifiedNs)
{
    QFile file(path);
    QString reason;
    return openRegularFile(file, QIODevice::ReadOnly).ok &&
           setModifiedTime(file, modifiedNs, &reason);
}

QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Gives the file `from` the name `to`, in place of the file there.
bool replaceByRename(const QString &from, const QString &to)
{
#ifdef Q_OS_UNIX
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#else
    return QFile::remove(to) && QFile::rename(from, to);
#endif
}

// A row's words with the file (%1) and its journal (%2) put in.
QString filled(QString text, const QString &path)
{
    return text.replace(QStringLiteral("%1"), shown(path))
        .replace(QStringLiteral("%2"), shown(journalPath(path)));
}

// "0-15", "0, 3": formations as a row writes them.
QList<int> formations(const QString &text)
{
    QList<int> list;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(u'-');
        for (int f = ends.first().toInt(); f <= ends.last().toInt(); ++f)
            list << f;
    }
    return list;
}

// Writes `old` as `path`, modified at Past, and beside it the journal of a
// save of the table at `offset` that has not yet changed a byte.
SaveJournal journalBeside(const QString &path, const QByteArray &old, qint64 offset)
{
    SaveJournal journal;
    if (!writeFile(path, old) || !setTime(path, Past))
        qFatal("cannot write %s", qPrintable(path));
    const std::optional<FileStatus> status = statusOf(path);
    journal.identity = status->identity;
    journal.size = status->size;
    journal.modifiedNs = status->modifiedNs;
    journal.offset = offset;
    journal.oldBytes = old.mid(offset, TableBytes);
    journal.newBytes = newTable();
    if (!writeFile(journalPath(path), encodeJournal(journal)))
        qFatal("cannot write the journal of %s", qPrintable(path));
    return journal;
}

// A small journal whose fields fit: a 30-byte table at byte 10 of a
// 40-byte file, so that every byte of its encoding can be a row.
SaveJournal smallJournal()
{
    SaveJournal journal;
    journal.identity = {0x0123456789abcdefULL, 0xfedcba9876543210ULL, true};
    journal.size = 40;
    journal.modifiedNs = Past;
    journal.offset = 10;
    journal.oldBytes = pattern(30, 1);
    journal.newBytes = pattern(30, 2);
    return journal;
}

// Where each part of an encoded journal is, as [from, to) and the words a
// damage there is refused with.
struct Region {
    const char *name;
    qint64 from;
    qint64 to;
    const char *why;
};

const char *const NotAJournal = "it is not a journal of this program";
const char *const CutShort = "it is cut short or longer than a journal";
const char *const BadSums = "its checksums do not match what it holds";
const char *const Unfit = "its fields do not fit together";

QList<Region> regionsOf(const SaveJournal &journal)
{
    const qint64 magic = QByteArrayLiteral("KGF formation editor save journal 1\n").size();
    const qint64 old = journal.oldBytes.size();
    const qint64 fresh = journal.newBytes.size();
    QList<Region> regions;
    qint64 at = 0;
    const auto add = [&](const char *name, qint64 length, const char *why) {
        regions.append({name, at, at + length, why});
        at += length;
    };
    add("the first line", magic, NotAJournal);
    add("the volume", 8, BadSums);
    add("the file index", 8, BadSums);
    add("the length", 8, BadSums);
    add("the time", 8, BadSums);
    add("the offset", 8, BadSums);
    add("the old bytes' count", 8, CutShort);
    add("the old bytes", old, BadSums);
    add("the new bytes' count", 8, CutShort);
    add("the new bytes", fresh, BadSums);
    add("the old bytes' checksum", 32, BadSums);
    add("the new bytes' checksum", 32, BadSums);
    add("the whole checksum", 32, BadSums);
    return regions;
}

#ifdef Q_OS_UNIX
void signal(int descriptor)
{
    const char c = 'x';
    while (::write(descriptor, &c, 1) < 0 && errno == EINTR) {
    }
}

bool await(int descriptor)
{
    char c = 0;
    return ::read(descriptor, &c, 1) == 1;
}

// Runs `work` in a child process and waits for it: its exit status, or -1
// when it did not exit by itself. A hook the work sets ends it with
// _exit() at the call it chooses, as a kill would: nothing after runs.
int inChild(const std::function<void()> &work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Whether the user `uid` in the group `gid` alone can open `path` to read it.
bool readableBy(const QString &path, quint32 uid, quint32 gid)
{
    const QByteArray name = QFile::encodeName(path);
    return inChild([&] {
               // A save run as a user keeps root saved, to look with.
               if (::geteuid() != 0 && ::setresuid(0, 0, 0) != 0)
                   ::_exit(2);
               if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
                   ::setresuid(uid, uid, uid) != 0)
                   ::_exit(2);
               ::_exit(::open(name.constData(), O_RDONLY | O_NONBLOCK) >= 0 ? 0 : 1);
           }) == 0;
}

// A file held as a save in another process holds its temporary: locked
// there until the object goes.
class HeldByChild
{
public:
    explicit HeldByChild(const QString &path)
    {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_go) != 0)
            return;
        const QByteArray name = QFile::encodeName(path);
        m_pid = ::fork();
        if (m_pid == 0) {
            const int descriptor = ::open(name.constData(), O_RDONLY);
            if (descriptor >= 0 && ::flock(descriptor, LOCK_EX) == 0)
                signal(ready[1]);
            ::close(ready[1]);
            await(m_go[0]);
            ::_exit(0);
        }
        ::close(ready[1]);
        ready[1] = -1;
        m_held = m_pid > 0 && await(ready[0]);
        ::close(ready[0]);
    }
    ~HeldByChild()
    {
        if (m_pid <= 0)
            return;
        signal(m_go[1]);
        ::waitpid(m_pid, nullptr, 0);
        ::close(m_go[0]);
        ::close(m_go[1]);
    }
    HeldByChild(const HeldByChild &) = delete;
    HeldByChild &operator=(const HeldByChild &) = delete;
    bool held() const { return m_held; }

private:
    pid_t m_pid = -1;
    int m_go[2] = {-1, -1};
    bool m_held = false;
};
#endif

} // namespace

void SaveRecoveryTest::journalRoundTrip_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("modifiedNs");
    QTest::addColumn<quint64>("volume");
    QTest::addColumn<quint64>("index");
    QTest::newRow("a longer file, at its first byte") << 3000LL << 0LL << Past << 1ULL << 2ULL;
    QTest::newRow("a program, at its table")
        << 1'500'000LL << 1'400'000LL << Past << 0xfffffffffffffffeULL << 0xffffffffffffffffULL;
    QTest::newRow("a short file") << 100LL << 0LL << Past << 3ULL << 4ULL;
    QTest::newRow("an empty file") << 0LL << 0LL << Past << 5ULL << 6ULL;
    QTest::newRow("a file just a table long") << 1488LL << 0LL << Past << 7ULL << 8ULL;
    QTest::newRow("modified before 1970") << 3000LL << 0LL << -1'234'567'891LL << 9ULL << 10ULL;
    QTest::newRow("identity zero, time zero") << 3000LL << 16LL << 0LL << 0ULL << 0ULL;
}

void SaveRecoveryTest::journalRoundTrip()
{
    QFETCH(qint64, size);
    QFETCH(qint64, offset);
    QFETCH(qint64, modifiedNs);
    QFETCH(quint64, volume);
    QFETCH(quint64, index);
    SaveJournal journal;
    journal.identity = {volume, index, true};
    journal.size = size;
    journal.modifiedNs = modifiedNs;
    journal.offset = offset;
    journal.oldBytes = oldFile(std::min<qint64>(size - offset, TableBytes));
    journal.newBytes = newTable();
    const QByteArray bytes = encodeJournal(journal);
    QVERIFY(bytes.size() <= MaxJournalBytes);

    QString why;
    const std::optional<SaveJournal> read = decodeJournal(bytes, &why);
    QVERIFY2(read, qPrintable(why));
    QCOMPARE(read->identity, journal.identity);
    QCOMPARE(read->size, size);
    QCOMPARE(read->modifiedNs, modifiedNs);
    QCOMPARE(read->offset, offset);
    QCOMPARE(read->oldBytes, journal.oldBytes);
    QCOMPARE(read->newBytes, journal.newBytes);
    // Every start of it is known for a journal's, as a cut-off save leaves one.
    for (qint64 length = 1; length <= bytes.size(); length += 37)
        QVERIFY2(beginsAsJournal(bytes.first(length)), qPrintable(QString::number(length)));
}

void SaveRecoveryTest::damagedJournalIsRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");
    const SaveJournal small = smallJournal();
    const QByteArray whole = encodeJournal(small);
    const QList<Region> regions = regionsOf(small);
    QCOMPARE(regions.last().to, whole.size());

    // Cut at every length: too short for the first line, or for the rest.
    for (qint64 length = 0; length < whole.size(); ++length)
        QTest::addRow("cut to %lld bytes", length)
            << whole.first(length) << (length < regions.first().to ? NotAJournal : CutShort);
    // A whole journal's, cut at each end of a part and a byte either side.
    SaveJournal real = small;
    real.size = 3000;
    real.offset = 0;
    real.oldBytes = oldFile(TableBytes);
    real.newBytes = newTable();
    const QByteArray full = encodeJournal(real);
    for (const Region &region : regionsOf(real))
        for (const qint64 length : {region.to - 1, region.to, region.to + 1})
            if (length < full.size())
                QTest::addRow("a table's journal cut to %lld bytes (%s)", length, region.name)
                    << full.first(length) << (length < regions.first().to ? NotAJournal : CutShort);
    QTest::newRow("a byte more") << whole + 'x' << CutShort;
    QTest::newRow("a checksum more") << whole + whole.last(32) << CutShort;
    QTest::newRow("twice over") << whole + whole << CutShort;

    // Any byte changed, one bit low or high.
    for (const Region &region : regions)
        for (qint64 at = region.from; at < region.to; ++at)
            for (const int bit : {0x01, 0x80}) {
                QByteArray flipped = whole;
                flipped[at] = char(flipped[at] ^ bit);
                QTest::addRow("%s: byte %lld ^ 0x%02x", region.name, at, bit)
                    << flipped << region.why;
            }
}

void SaveRecoveryTest::damagedJournalIsRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    QString said;
    QVERIFY(!decodeJournal(bytes, &said));
    QCOMPARE(said, why);
}

void SaveRecoveryTest::journalFieldsMustFit_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<int>("oldCount");
    QTest::addColumn<int>("newCount");
    QTest::addColumn<bool>("fits");
    // The old bytes are what the file held where the table goes: as many as
    // the file held from the offset on, up to the table's length.
    for (const qint64 size : {0, 1, 100, 1487, 1488, 1489, 3000})
        for (const qint64 offset : {0, 1, 500, 1488, 2999, 3000, 5000}) {
            const int held = int(std::clamp<qint64>(size - offset, 0, TableBytes));
            QTest::addRow("%lld bytes, at %lld: %d old bytes", size, offset, held)
                << size << offset << held << int(TableBytes) << true;
            if (held > 0)
                QTest::addRow("%lld bytes, at %lld: %d old bytes, one short", size, offset,
                              held - 1)
                    << size << offset << held - 1 << int(TableBytes) << false;
            QTest::addRow("%lld bytes, at %lld: %d old bytes, one more", size, offset, held + 1)
                << size << offset << held + 1 << int(TableBytes) << false;
        }
    QTest::newRow("no new bytes") << 0LL << 0LL << 0 << 0 << false;
    QTest::newRow("more old bytes than new") << 3000LL << 0LL << 11 << 10 << false;
    QTest::newRow("a negative length") << -1LL << 0LL << 0 << int(TableBytes) << false;
    QTest::newRow("a negative offset")
        << 3000LL << -1LL << int(TableBytes) << int(TableBytes) << false;
    QTest::newRow("a negative offset and length") << -1LL << -1LL << 0 << int(TableBytes) << false;
}

void SaveRecoveryTest::journalFieldsMustFit()
{
    QFETCH(qint64, size);
    QFETCH(qint64, offset);
    QFETCH(int, oldCount);
    QFETCH(int, newCount);
    QFETCH(bool, fits);
    SaveJournal journal = smallJournal();
    journal.size = size;
    journal.offset = offset;
    journal.oldBytes = oldFile(oldCount);
    journal.newBytes = pattern(newCount, 7);
    QString why;
    const std::optional<SaveJournal> read = decodeJournal(encodeJournal(journal), &why);
    QCOMPARE(bool(read), fits);
    if (!fits)
        QCOMPARE(why, QString::fromLatin1(Unfit));
}

void SaveRecoveryTest::matchJournal_data()
{
    QTest::addColumn<qint64>("size"); // of the file before the save
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QByteArray>("now"); // the whole file now
    QTest::addColumn<QString>("match");
    const QByteArray table = newTable();
    const auto rows = [&](const char *file, qint64 size, qint64 offset) {
        const QByteArray old = oldFile(size);
        const auto row = [&](const QString &what, const QByteArray &now, const char *match) {
            QTest::addRow("%s: %s", file, qPrintable(what)) << size << offset << now << match;
        };
        const QByteArray written = overwritten(old, offset, table);
        row("as before", old, "Old");
        row("the whole table", written, "New");
        for (const qint64 part : {1, 48, 744, 1487})
            row(QStringLiteral("torn after %1 bytes").arg(part),
                overwritten(old, offset, table.first(part)), "Mixed");
        QByteArray alternate = old;
        for (qint64 i = 0; i < TableBytes; i += 2)
            alternate[offset + i] = table[i];
        row("every other byte new", alternate, "Mixed");
        for (const qint64 at : {0, 743, 1487}) {
            for (const auto &[state, bytes] :
                 {std::pair{"as before", old}, std::pair{"the whole table", written},
                  std::pair{"torn after 744 bytes", overwritten(old, offset, table.first(744))}}) {
                QByteArray changed = bytes;
                changed[offset + at] = '#'; // neither old nor new
                row(QStringLiteral("%1, but byte %2 another's").arg(state).arg(at), changed,
                    "Elsewhere");
            }
        }
        row("as before, a byte longer", old + 'x', "Elsewhere");
        row("as before, a byte shorter", old.chopped(1), "Elsewhere");
        row("the whole table, a byte longer", written + 'x', "Elsewhere");
        row("torn after 744 bytes, a byte shorter",
            overwritten(old, offset, table.first(744)).chopped(1), "Elsewhere");
    };
    rows("3,000 bytes", 3000, 0);
    rows("3,000 bytes, table at 500", 3000, 500);
    rows("a table's length", 1488, 0);
    rows("1,500,000 bytes, table at 1,400,000", 1'500'000, 1'400'000);

    // A file shorter than a table grows; where a torn write did not reach,
    // the grown part may read as zeros, but what the file held may not.
    for (const qint64 size : {0, 100}) {
        const QByteArray old = oldFile(size);
        const auto row = [&](const QString &what, const QByteArray &now, const char *match) {
            QTest::addRow("%lld bytes, grown: %s", size, qPrintable(what))
                << size << 0LL << now << match;
        };
        row("as before", old, "Old");
        row("the whole table", table, "New");
        for (const qint64 part : {1, 50, 99, 100, 700, 1487}) {
            row(QStringLiteral("torn after %1 bytes, grown as far").arg(part),
                overwritten(old, 0, table.first(part)), "Mixed");
            row(QStringLiteral("torn after %1 bytes, zeros to a table's length").arg(part),
                overwritten(old + zeros(TableBytes - size), 0, table.first(part)), "Mixed");
        }
        row("nothing written, zeros to a table's length", old + zeros(TableBytes - size), "Mixed");
        QByteArray other = overwritten(old, 0, table.first(700));
        other[600] = '#';
        row("torn after 700 bytes, byte 600 another's", other, "Elsewhere");
        row("the whole table, a byte longer", table + 'x', "Elsewhere");
        row("zeros to a table's length and a byte more", old + zeros(TableBytes - size + 1),
            "Elsewhere");
        if (size > 0) {
            row("zeros where it held bytes", zeros(TableBytes), "Elsewhere");
            row("a byte shorter than before", old.chopped(1), "Elsewhere");
            QByteArray held = old;
            held[size - 1] = '#';
            row("as long as before, its last byte another's", held, "Elsewhere");
        }
    }
}

void SaveRecoveryTest::matchJournal()
{
    QFETCH(qint64, size);
    QFETCH(qint64, offset);
    QFETCH(QByteArray, now);
    QFETCH(QString, match);
    SaveJournal journal;
    journal.identity = {1, 2, true};
    journal.size = size;
    journal.offset = offset;
    journal.oldBytes = oldFile(size).mid(offset, TableBytes);
    journal.newBytes = newTable();
    const JournalMatch got = ::matchJournal(journal, now.mid(offset, TableBytes), now.size());
    const char *names[] = {"Old", "New", "Mixed", "Elsewhere"};
    QCOMPARE(QString::fromLatin1(names[int(got)]), match);
}

void SaveRecoveryTest::recoverPutsBack_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QByteArray>("now");
    QTest::addColumn<QString>("match");
    QTest::addColumn<QString>("differing");
    QTest::addColumn<QString>("told"); // after "%1 holds ", %1 the file
    const QByteArray table = newTable();
    const QString back = "again what it held before the save that did not finish (%1 back).";
    const QString untouched =
        "what it held before the save that did not finish; nothing needed putting back.";
    const QByteArray old = oldFile(3000);
    QTest::newRow("3,000 bytes, untouched") << 3000LL << 0LL << old << "Old"
                                            << "" << untouched;
    QTest::newRow("3,000 bytes, the whole table")
        << 3000LL << 0LL << overwritten(old, 0, table) << "New"
        << "0-30" << back.arg("formations 0, 1, 2, 3, 4 and 26 more are");
    QTest::newRow("3,000 bytes, torn after 1 byte")
        << 3000LL << 0LL << overwritten(old, 0, table.first(1)) << "Mixed"
        << "0" << back.arg("formation 0 is");
    QTest::newRow("3,000 bytes, torn after 744 bytes")
        << 3000LL << 0LL << overwritten(old, 0, table.first(744)) << "Mixed"
        << "0-15" << back.arg("formations 0, 1, 2, 3, 4 and 11 more are");
    QTest::newRow("3,000 bytes, torn after 1,487 bytes")
        << 3000LL << 0LL << overwritten(old, 0, table.first(1487)) << "Mixed"
        << "0-30" << back.arg("formations 0, 1, 2, 3, 4 and 26 more are");
    QTest::newRow("3,000 bytes, at 500, torn after 100 bytes")
        << 3000LL << 500LL << overwritten(old, 500, table.first(100)) << "Mixed"
        << "0-2" << back.arg("formations 0, 1 and 2 are");
    const QByteArray shortFile = oldFile(100);
    QTest::newRow("100 bytes grown to the table")
        << 100LL << 0LL << table << "New"
        << "0-30" << back.arg("formations 0, 1, 2, 3, 4 and 26 more are");
    QTest::newRow("100 bytes, torn after 700 bytes, grown as far")
        << 100LL << 0LL << table.first(700) << "Mixed"
        << "0-14" << back.arg("formations 0, 1, 2, 3, 4 and 10 more are");
    QTest::newRow("100 bytes, torn after 50 bytes, zeros to a table's length")
        << 100LL << 0LL << overwritten(shortFile + zeros(1388), 0, table.first(50)) << "Mixed"
        << "0-30" << back.arg("formations 0, 1, 2, 3, 4 and 26 more are");
    QTest::newRow("empty, grown to zeros")
        << 0LL << 0LL << zeros(1488) << "Mixed"
        << "0-30" << back.arg("formations 0, 1, 2, 3, 4 and 26 more are");
}

void SaveRecoveryTest::recoverPutsBack()
{
    QFETCH(qint64, size);
    QFETCH(qint64, offset);
    QFETCH(QByteArray, now);
    QFETCH(QString, match);
    QFETCH(QString, differing);
    QFETCH(QString, told);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = oldFile(size);
    journalBeside(path, old, offset);
    const std::optional<FileStatus> before = statusOf(path);
    QVERIFY(writeInPlace(path, now));
    if (now == old)
        QVERIFY(setTime(path, Past));

    const UnfinishedSave unfinished = findUnfinishedSave(path);
    QVERIFY(unfinished.found);
    QCOMPARE(unfinished.journalPath, journalPath(path));
    QVERIFY2(unfinished.canPutBack, qPrintable(unfinished.problem));
    QCOMPARE(unfinished.problem, QString());
    const char *names[] = {"Old", "New", "Mixed", "Elsewhere"};
    QCOMPARE(QString::fromLatin1(names[int(unfinished.match)]), match);
    QCOMPARE(unfinished.differing, formations(differing));
    QVERIFY(loadFromDataFile(path, 0).unfinishedSave);

    const Recovery recovery = recoverSave(path);
    QCOMPARE(recovery.kind, Recovery::Kind::PutBack);
    QCOMPARE(recovery.message,
             QStringLiteral("%1 holds %2 Its journal was removed.").arg(shown(path), told));
    QCOMPARE(contents(path), old);
    const std::optional<FileStatus> after = statusOf(path);
    QVERIFY(after);
    QCOMPARE(after->identity, before->identity); // the same file, put back in place
    QCOMPARE(after->size, size);
    // Bytes put back take the time of that write, which hides no other
    // program's change; a file left untouched keeps its own.
    QCOMPARE(after->modifiedNs == Past, now == old);
    QCOMPARE(namesIn(dir.path()), QStringList{"frmation.dat"});
    QVERIFY(!hasJournal(path));
    QVERIFY(!loadFromDataFile(path, 0).unfinishedSave);
}

void SaveRecoveryTest::recoverRefuses_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("told"); // %1 the file, %2 its journal
    const QString otherBytes = "%1 holds other bytes there than that save left: another program "
                               "has changed it since, so the bytes in the journal would go over "
                               "its changes.";
    const auto unusable = [](const char *why) {
        return QStringLiteral("%2 is no journal this program can use: ") + QLatin1String(why) +
               u'.';
    };
    QTest::newRow("another byte in the table") << "byte" << otherBytes;
    QTest::newRow("a byte longer") << "longer" << otherBytes;
    QTest::newRow("a byte shorter") << "shorter" << otherBytes;
    QTest::newRow("another file has its name")
        << "renamed"
        << "%1 is not the file that save wrote into: another file has its name now.";
    QTest::newRow("the file is gone") << "gone"
                                      << "%1 is not there any more.";
    QTest::newRow("the journal cut short") << "cut" << unusable(CutShort);
    QTest::newRow("a byte of the journal changed") << "flipped" << unusable(BadSums);
    QTest::newRow("the journal empty") << "empty" << unusable(NotAJournal);
    QTest::newRow("the journal another program's") << "foreign" << unusable(NotAJournal);
    QTest::newRow("the journal longer than any") << "huge" << unusable(CutShort);
    // Here findUnfinishedSave says it in words of its own.
    QTest::newRow("the journal a folder")
        << "folder"
        << "%2 is no journal: it is a folder, not a regular file.";
#ifdef Q_OS_UNIX
    QTest::newRow("the journal a link to nothing")
        << "dangling"
        << "%2 is no journal: it is a link to a file that does not exist.";
#endif
}

void SaveRecoveryTest::recoverRefuses()
{
    QFETCH(QString, damage);
    QFETCH(QString, told);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QString journal = journalPath(path);
    const QByteArray old = oldFile(3000);
    journalBeside(path, old, 0);
    QByteArray now = overwritten(old, 0, newTable().first(744));
    QVERIFY(writeInPlace(path, now));
    QByteArray journalBytes = contents(journal);
    if (damage == "byte")
        now[900] = '#'; // within the table, beyond the torn part
    else if (damage == "longer")
        now += 'x';
    else if (damage == "shorter")
        now.chop(1);
    QVERIFY(writeInPlace(path, now));
    if (damage == "renamed") { // the same bytes, under the name by a rename
        const QString copy = dir.filePath(QStringLiteral("copy.dat"));
        QVERIFY(writeFile(copy, now) && replaceByRename(copy, path));
    } else if (damage == "gone") {
        QVERIFY(QFile::remove(path));
    } else if (damage == "cut") {
        journalBytes.chop(1);
    } else if (damage == "flipped") {
        journalBytes[100] = char(journalBytes[100] ^ 0x10);
    } else if (damage == "empty") {
        journalBytes.clear();
    } else if (damage == "foreign") {
        journalBytes = "some other program's notes\n";
    } else if (damage == "huge") {
        journalBytes += QByteArray(MaxJournalBytes, 'x');
    }
    if (damage == "folder" || damage == "dangling") {
        QVERIFY(QFile::remove(journal));
        QVERIFY(damage == "folder" ? QDir().mkdir(journal)
                                   : QFile::link(dir.filePath(QStringLiteral("nothing")), journal));
    } else {
        QVERIFY(writeFile(journal, journalBytes));
    }
    const QStringList names = namesIn(dir.path());
    const std::optional<FileStatus> before = statusOf(path);
    const QString problem = filled(told, path);

    // Something no save made at the journal's name is no unfinished save: a
    // load reads the file, and a save refuses until it is removed.
    const bool noJournal = damage == "folder" || damage == "dangling";
    const UnfinishedSave unfinished = findUnfinishedSave(path);
    QCOMPARE(unfinished.found, !noJournal);
    QVERIFY(!unfinished.canPutBack);
    if (!noJournal)
        QCOMPARE(unfinished.problem, problem);

    const Recovery recovery = recoverSave(path);
    QCOMPARE(recovery.kind, Recovery::Kind::Refused);
    QCOMPARE(recovery.message, problem + QStringLiteral(" Nothing was changed."));
    // Nothing changed, and the journal stays for a later recovery.
    QCOMPARE(namesIn(dir.path()), names);
    if (damage != "gone") {
        QCOMPARE(contents(path), now);
        QCOMPARE(statusOf(path)->modifiedNs, before->modifiedNs);
    }
    if (damage != "folder" && damage != "dangling")
        QCOMPARE(contents(journal), journalBytes);
    QVERIFY(hasJournal(path));
    const LoadResult load = loadFromDataFile(path, 0);
    QCOMPARE(load.unfinishedSave, !noJournal);
    if (!noJournal)
        QCOMPARE(load.error, unfinishedSaveRefusal(path));
    // Asked once more, it says the same and still changes nothing.
    QCOMPARE(recoverSave(path).message, recovery.message);
    QCOMPARE(namesIn(dir.path()), names);
}

void SaveRecoveryTest::nothingToRecover()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QByteArray old = oldFile(3000);
    QVERIFY(writeFile(path, old) && setTime(path, Past));
    QVERIFY(writeFile(path + QStringLiteral(".bak"), oldFile(2000)));
    const QStringList names = namesIn(dir.path());

    const UnfinishedSave unfinished = findUnfinishedSave(path);
    QVERIFY(!unfinished.found);
    QCOMPARE(unfinished.journalPath, journalPath(path));
    const Recovery recovery = recoverSave(path);
    QCOMPARE(recovery.kind, Recovery::Kind::NothingToRecover);
    QCOMPARE(recovery.message, QStringLiteral("Nothing to recover: no save of %1 was left "
                                              "unfinished (there is no %1.kgf-journal).")
                                   .arg(shown(path)));
    QCOMPARE(keepAfterUnfinishedSave(path).kind, Recovery::Kind::NothingToRecover);
    QCOMPARE(namesIn(dir.path()), names);
    QCOMPARE(contents(path), old);
    QCOMPARE(statusOf(path)->modifiedNs, Past);
}

void SaveRecoveryTest::keepRemovesOnlyTheJournal_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("torn part-way") << "torn";
    QTest::newRow("the journal damaged") << "damaged";
    QTest::newRow("another file has the name") << "renamed";
}

void SaveRecoveryTest::keepRemovesOnlyTheJournal()
{
    QFETCH(QString, state);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QString journal = journalPath(path);
    const QByteArray old = oldFile(3000);
    journalBeside(path, old, 0);
    const QByteArray now = overwritten(old, 0, newTable().first(744));
    QVERIFY(writeInPlace(path, now));
    if (state == "damaged")
        QVERIFY(writeFile(journal, contents(journal).chopped(10)));
    if (state == "renamed") {
        const QString copy = dir.filePath(QStringLiteral("copy.dat"));
        QVERIFY(writeFile(copy, now) && replaceByRename(copy, path));
    }
    QVERIFY(writeFile(path + QStringLiteral(".bak"), old));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("other.dat")), "other"));
    QVERIFY(setTime(path, Past + 5));
    QStringList names = namesIn(dir.path());

    const Recovery kept = keepAfterUnfinishedSave(path);
    QCOMPARE(kept.kind, Recovery::Kind::PutBack);
    QCOMPARE(kept.message,
             QStringLiteral("%1 is kept as it is, and its journal was removed.").arg(shown(path)));
    names.removeOne(QFileInfo(journal).fileName());
    QCOMPARE(namesIn(dir.path()), names);
    QCOMPARE(contents(path), now);
    QCOMPARE(statusOf(path)->modifiedNs, Past + 5);
    QCOMPARE(contents(path + QStringLiteral(".bak")), old);
    QVERIFY(!hasJournal(path));
    QVERIFY(loadFromDataFile(path, 0).ok);
}

void SaveRecoveryTest::journalOfALongName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hashed");
    const auto bytes = [](int count) { return QString(count - 4, u'n') + QStringLiteral(".dat"); };
    QTest::newRow("200 bytes") << bytes(200) << false;
    QTest::newRow("243 bytes: just room for the ending") << bytes(243) << false;
    QTest::newRow("244 bytes") << bytes(244) << true;
    QTest::newRow("255 bytes") << bytes(255) << true;
    // Two bytes a letter in UTF-8: the file system counts bytes (Windows'
    // counts UTF-16 units, one a letter).
    QTest::newRow("121 two-byte letters and one") << QString(121, u'\u00e9') + u'x' << false;
#ifdef Q_OS_WIN
    QTest::newRow("243 two-byte letters") << QString(243, u'\u00e9') << false;
    QTest::newRow("244 two-byte letters") << QString(244, u'\u00e9') << true;
#else
    QTest::newRow("122 two-byte letters") << QString(122, u'\u00e9') << true;
#endif
}

void SaveRecoveryTest::journalOfALongName()
{
    QFETCH(QString, name);
    QFETCH(bool, hashed);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QString journal = journalPath(path);
    QCOMPARE(QFileInfo(journal).absolutePath(), QFileInfo(path).absolutePath());
    const QString journalName = QFileInfo(journal).fileName();
#ifdef Q_OS_WIN
    QVERIFY(journalName.size() <= 255);
#else
    QVERIFY(QFile::encodeName(journalName).size() <= 255);
#endif
    if (!hashed) {
        QCOMPARE(journal, path + QStringLiteral(".kgf-journal"));
    } else {
        QVERIFY2(QRegularExpression(QStringLiteral("^\\.kgf-journal-[0-9a-f]{16}$"))
                     .match(journalName)
                     .hasMatch(),
                 qPrintable(journalName));
        // Its own for each name, the same each time; no temporary file's name.
        QCOMPARE(journalPath(path), journal);
        QVERIFY(journalPath(dir.filePath(name.chopped(1) + u'm')) != journal);
        QVERIFY(!temporaryKindOf(journalName));
    }
    if (!writeFile(path, oldFile(3000)))
        QSKIP("this file system takes no names this long");
    QVERIFY(!hasJournal(path));
    QVERIFY(writeFile(journal, "anything"));
    QVERIFY(hasJournal(path));
    const LoadResult load = loadFromDataFile(path, 0);
    QVERIFY(load.unfinishedSave);
    QCOMPARE(load.error, unfinishedSaveRefusal(path));
    QVERIFY(loadFromExecutable(path).unfinishedSave);
    // A save clearing its folder leaves it, whatever it holds.
    QCOMPARE(::clearLeftovers(path), QString());
    QVERIFY(QFileInfo::exists(journal));
}

void SaveRecoveryTest::oneJournalForEveryName_data()
{
    QTest::addColumn<QString>("other"); // another name of kgf.exe in its folder
    QTest::newRow("through its folder") << "sub/../kgf.exe";
#ifndef Q_OS_WIN // QFile::link makes a shortcut there, a file of its own
    QTest::newRow("a symbolic link") << "link";
#else
    // Windows reads these names as kgf.exe.
    QTest::newRow("with a dot at the end") << "kgf.exe.";
    QTest::newRow("with dots and spaces at the end") << "kgf.exe. .";
    QTest::newRow("in capitals") << "KGF.EXE";
#endif
}

// A save by one name and a load by another find the same journal.
void SaveRecoveryTest::oneJournalForEveryName()
{
    QFETCH(QString, other);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const QString path = dir.filePath(QStringLiteral("kgf.exe"));
    QVERIFY(writeFile(path, oldFile(3000)));
    if (other == QLatin1String("link") && !QFile::link(path, dir.filePath(other)))
        QSKIP("no symbolic links here");
    QVERIFY(writeFile(journalPath(path), "anything"));
    QVERIFY(hasJournal(dir.filePath(other)));
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    const QString found = QFileInfo(journalPath(dir.filePath(other))).canonicalFilePath();
    QVERIFY2(found.compare(QFileInfo(journalPath(path)).canonicalFilePath(), cs) == 0,
             qPrintable(found));
}

void SaveRecoveryTest::clearLeftovers_data()
{
    QTest::addColumn<int>("kind");     // TemporaryKind
    QTest::addColumn<QString>("make"); // "bytes", "link to the target", "link to nothing",
                                       // "folder", "held here", "held by another process"
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("outcome"); // "removed", "left", or why it is named
    const int newFile = int(TemporaryKind::NewFile);
    const int backup = int(TemporaryKind::Backup);
    const int journalKind = int(TemporaryKind::Journal);
    const QByteArray target = oldFile(3000);
    const QString noCopy = "it holds no copy of frmation.dat";
    const QString noFile = "it is no file of this program's";
    SaveJournal journal;
    journal.size = 3000;
    journal.oldBytes = target.first(TableBytes);
    journal.newBytes = newTable();
    const QByteArray journalBytes = encodeJournal(journal);

    QTest::newRow("new file, empty") << newFile << "bytes" << QByteArray() << "removed";
    QTest::newRow("new file, part of a table")
        << newFile << "bytes" << newTable().first(700) << "removed";
    // Perhaps the only copy of that save's table: named, never removed.
    QTest::newRow("new file, a table")
        << newFile << "bytes" << newTable()
        << "it holds a whole table, which a save cut off was writing to a new file; give it a "
           "name to keep it";
    QTest::newRow("new file, longer than a table, the target's start")
        << newFile << "bytes" << target.first(2000) << "removed";
    QTest::newRow("new file, longer than a table, other bytes")
        << newFile << "bytes" << pattern(1489, 3) << noCopy;

    QTest::newRow("backup, empty") << backup << "bytes" << QByteArray() << "removed";
    QTest::newRow("backup, the target's first 1,000 bytes")
        << backup << "bytes" << target.first(1000) << "removed";
    QTest::newRow("backup, the whole target") << backup << "bytes" << target << "removed";
    QByteArray oneOther = target;
    oneOther[2999] = '#';
    QTest::newRow("backup, its last byte other") << backup << "bytes" << oneOther << noCopy;
    QTest::newRow("backup, a byte longer than the target")
        << backup << "bytes" << target + 'x' << noCopy;
    QTest::newRow("backup, another file's bytes") << backup << "bytes" << pattern(10, 5) << noCopy;

    QTest::newRow("journal, empty") << journalKind << "bytes" << QByteArray() << "removed";
    // Part of a journal's first line might be anything's; only a whole one is ours.
    QTest::newRow("journal, cut after 10 bytes")
        << journalKind << "bytes" << journalBytes.first(10) << noCopy;
    QTest::newRow("journal, whole") << journalKind << "bytes" << journalBytes << "removed";
    QTest::newRow("journal, something else")
        << journalKind << "bytes" << QByteArray("KGF notes\n") << noCopy;
    QTest::newRow("journal, begins as one, longer than any")
        << journalKind << "bytes" << journalBytes + QByteArray(MaxJournalBytes, 'x') << noCopy;

#ifdef Q_OS_UNIX
    QTest::newRow("new file's name, a link to the target")
        << newFile << "link to the target" << QByteArray() << noFile;
    QTest::newRow("journal's name, a link to nothing")
        << journalKind << "link to nothing" << QByteArray() << noFile;
    QTest::newRow("backup's name, a folder") << backup << "folder" << QByteArray() << noFile;
    // A save that runs now holds its temporary files.
    QTest::newRow("new file held here, empty") << newFile << "held here" << QByteArray() << "left";
    QTest::newRow("backup held here, no copy") << backup << "held here" << pattern(10, 5) << "left";
    QTest::newRow("journal held by another process, whole")
        << journalKind << "held by another process" << journalBytes << "left";
    QTest::newRow("new file held by another process, other bytes")
        << newFile << "held by another process" << pattern(2000, 3) << "left";
#endif
}

void SaveRecoveryTest::clearLeftovers()
{
    QFETCH(int, kind);
    QFETCH(QString, make);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("frmation.dat"));
    QVERIFY(writeFile(target, oldFile(3000)));
    // Everything else in the folder, some of it empty as a leftover may be.
    const QStringList others{"frmation.dat.bak",
                             "frmation.dat.kgf-journal",
                             ".kgf-journal-0123456789abcdef",
                             "other.dat",
                             ".kgf-save-0123abc.tmp",
                             ".kgf-save-0123ABCD.tmp",
                             ".kgf-save-0123abcg.tmp",
                             ".kgf-save-0123abcd.tmp~",
                             ".kgf-save-0123abcd.TMP",
                             ".kgf-other-01234567.tmp",
                             "kgf-save-01234567.tmp"};
    for (const QString &other : others)
        QVERIFY(writeFile(dir.filePath(other), QByteArray()));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const QString deeper = dir.filePath(QStringLiteral("sub/.kgf-save-01234567.tmp"));
    QVERIFY(writeFile(deeper, QByteArray()));

    QFile file;
    QString reason;
    const QString leftover = createTemporary(dir.path(), TemporaryKind(kind), -1, file, &reason);
    QVERIFY2(!leftover.isEmpty(), qPrintable(reason));
    QCOMPARE(temporaryKindOf(QFileInfo(leftover).fileName()), TemporaryKind(kind));
    QVERIFY(writeAt(file, 0, bytes.constData(), bytes.size(), &reason) == bytes.size());
    if (make != "held here")
        file.close();
#ifdef Q_OS_UNIX
    std::unique_ptr<HeldByChild> heldByChild;
    if (make == "held by another process") {
        heldByChild = std::make_unique<HeldByChild>(leftover);
        QVERIFY(heldByChild->held());
    } else if (make.startsWith(QLatin1String("link")) || make == "folder") {
        QVERIFY(QFile::remove(leftover));
        QVERIFY(make == "folder" ? QDir().mkdir(leftover)
                : make == "link to the target"
                    ? QFile::link(target, leftover)
                    : QFile::link(dir.filePath(QStringLiteral("nothing")), leftover));
    }
#endif
    const QStringList before = namesIn(dir.path());

    const QString said = ::clearLeftovers(target);
    QStringList after = before;
    if (outcome == "removed") {
        after.removeOne(QFileInfo(leftover).fileName());
        QCOMPARE(said, QString());
    } else if (outcome == "left") {
        QCOMPARE(said, QString());
    } else {
        QCOMPARE(said, QStringLiteral("A save that was cut off earlier left %1 (%2) in the folder; "
                                      "it was left as it is, and can be removed once you know it "
                                      "is no longer needed.")
                           .arg(shown(leftover), outcome));
    }
    QCOMPARE(namesIn(dir.path()), after);
    // What stays is as it was; nothing else was touched.
    QCOMPARE(contents(target), oldFile(3000));
    if (make == "bytes" || make.startsWith(QLatin1String("held")))
        QCOMPARE(contents(leftover), outcome == "removed" ? QByteArray("<unreadable>") : bytes);
    if (make == "link to the target")
        QVERIFY(QFileInfo(leftover).isSymLink());
    for (const QString &other : others)
        QCOMPARE(contents(dir.filePath(other)), QByteArray());
    QVERIFY(QFileInfo::exists(deeper));
}

void SaveRecoveryTest::clearLeftoversNamesEachLeft()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("frmation.dat"));
    QVERIFY(writeFile(target, oldFile(3000)));
    const QString first = dir.filePath(QStringLiteral(".kgf-backup-0000000a.tmp"));
    const QString second = dir.filePath(QStringLiteral(".kgf-save-0000000b.tmp"));
    const QString ours = dir.filePath(QStringLiteral(".kgf-journal-0000000c.tmp"));
    QVERIFY(writeFile(first, "not the target's"));
    QVERIFY(writeFile(second, pattern(2000, 3)));
    QVERIFY(writeFile(ours, QByteArray()));
    QCOMPARE(::clearLeftovers(target),
             QStringLiteral("A save that was cut off earlier left %1 (it holds no copy of "
                            "frmation.dat), %2 (it holds no copy of frmation.dat) in the folder; "
                            "they were left as they are, and can be removed once you know they "
                            "are no longer needed.")
                 .arg(shown(first), shown(second)));
    QCOMPARE(namesIn(dir.path()),
             QStringList({".kgf-backup-0000000a.tmp", ".kgf-save-0000000b.tmp", "frmation.dat"}));
    // A save says it too, besides its outcome.
    const SaveOutcome saved = saveTable(target, newTable());
    QVERIFY2(saved.tableInFile(), qPrintable(saved.message));
    QVERIFY2(saved.remark.contains(shown(first)) && saved.remark.contains(shown(second)),
             qPrintable(saved.remark));
}

// A save in another process that has just created its journal's temporary
// file is running now too.
void SaveRecoveryTest::leftoverOfASaveJustStarting()
{
#ifndef Q_OS_UNIX
    QSKIP("two saves at once are run as forked processes on POSIX systems");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    const QString other = dir.filePath(QStringLiteral("other.dat"));
    QVERIFY(writeFile(path, oldFile(3000)) && writeFile(other, oldFile(3000)));
    int ready[2];
    int go[2];
    QVERIFY(::pipe(ready) == 0 && ::pipe(go) == 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        ::close(go[1]);
        bool paused = false;
        setSystemCallHook([&](const char *call, const QString &onFile) {
            // The file exists now, just made.
            if (!paused && QByteArrayView(call) == "set permissions" &&
                onFile.contains(QStringLiteral("/.kgf-journal-"))) {
                paused = true;
                signal(ready[1]);
                await(go[0]);
            }
            return SystemFault::None;
        });
        const SaveOutcome outcome = saveTable(path, newTable(), {.withoutBackup = true});
        ::_exit(outcome.kind == SaveOutcome::Kind::Saved ? 0 : 1);
    }
    // Closed here, so that a child that ends without a word is heard.
    ::close(ready[1]);
    ::close(go[0]);
    QVERIFY(pid > 0);
    const bool reached = await(ready[0]);
    if (!reached) {
        ::close(go[1]);
        ::waitpid(pid, nullptr, 0);
    }
    QVERIFY2(reached, "the save made no journal");
    const QStringList temporaries =
        namesIn(dir.path()).filter(QRegularExpression(QStringLiteral("^\\.kgf-journal-.*tmp$")));
    QCOMPARE(temporaries.size(), 1);
    // A save of another file in the folder clears it meanwhile.
    const QString said = ::clearLeftovers(other);
    const bool kept = QFileInfo::exists(dir.filePath(temporaries.first()));
    signal(go[1]);
    ::close(go[1]);
    ::close(ready[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    QCOMPARE(said, QString());
    // Held from its first moment, it is no leftover to the other save.
    QVERIFY(kept);
    QCOMPARE(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
#endif
}

void SaveRecoveryTest::rootCopiesKeepAccess_data()
{
    QTest::addColumn<int>("owner");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("mode");       // octal
    QTest::addColumn<QString>("folderMode"); // octal; the folder's group is 100
    QTest::addColumn<QString>("extra");      // "", "attribute", "acl", "no owner", "as a user"
    QTest::addColumn<QString>("copies");     // owner:group mode of the backup and journal
    // A setgid folder gives what is made in it the folder's group.
    QTest::newRow("nobody's 0640 file in a setgid folder") << 65534 << 65534 << "640"
                                                           << "2775"
                                                           << ""
                                                           << "65534:65534 640";
    QTest::newRow("a user's 0600 file") << 1234 << 1234 << "600"
                                        << "2775"
                                        << ""
                                        << "1234:1234 600";
    QTest::newRow("a 0640 file with an extended attribute") << 1234 << 1234 << "640"
                                                            << "755"
                                                            << "attribute"
                                                            << "1234:1234 640";
    QTest::newRow("a 0600 file with an ACL for one more user") << 1234 << 1234 << "600"
                                                               << "755"
                                                               << "acl"
                                                               << "1234:1234 640";
    QTest::newRow("nobody's 0640 file, whose owner cannot be given") << 65534 << 65534 << "640"
                                                                     << "2775"
                                                                     << "no owner"
                                                                     << "0:65534 640";
    // Saved by user 4321 (group 100), who may write it as one of the others
    // but give its copies neither its owner nor its group: they are made
    // the saver's own alone, or the file's group would read them as others.
    QTest::newRow("a 0606 file saved by a user outside its group") << 1234 << 1234 << "606"
                                                                   << "777"
                                                                   << "as a user"
                                                                   << "4321:100 600";
}

void SaveRecoveryTest::rootCopiesKeepAccess()
{
#ifndef Q_OS_LINUX
    QSKIP("owners, groups, ACLs and extended attributes of copies are checked on Linux");
#else
    QFETCH(int, owner);
    QFETCH(int, group);
    QFETCH(QString, mode);
    QFETCH(QString, folderMode);
    QFETCH(QString, extra);
    QFETCH(QString, copies);
    if (::geteuid() != 0)
        QSKIP("making files of other owners and reading as other users needs root");
    QTemporaryDir base;
    QCOMPARE(::chmod(QFile::encodeName(base.path()).constData(), 0755), 0);
    const QString folder = base.filePath(QStringLiteral("game"));
    QVERIFY(QDir().mkdir(folder));
    QCOMPARE(::chown(QFile::encodeName(folder).constData(), 0, 100), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderMode.toUInt(nullptr, 8)), 0);
    const QString path = folder + QStringLiteral("/frmation.dat");
    const QByteArray name = QFile::encodeName(path);
    QVERIFY(writeFile(path, oldFile(3000)));
    QCOMPARE(::chown(name.constData(), uid_t(owner), gid_t(group)), 0);
    QCOMPARE(::chmod(name.constData(), mode.toUInt(nullptr, 8)), 0);
    if (extra == "attribute" && ::setxattr(name.constData(), "user.test", "kept", 4, 0) != 0)
        QSKIP(qPrintable(QStringLiteral("this file system takes no user.test attribute (%1)")
                             .arg(QString::fromLocal8Bit(std::strerror(errno)))));
    if (extra == "acl") {
        // The owner rw, user 4321 r, the group and others nothing, mask r.
        QByteArray acl("\x02\x00\x00\x00", 4);
        const auto put = [&acl](quint16 tag, quint16 permissions, quint32 id) {
            for (const quint32 value : {quint32(tag) | quint32(permissions) << 16, id})
                for (int i = 0; i < 4; ++i)
                    acl += char((value >> (8 * i)) & 0xFF);
        };
        put(0x01, 6, 0xFFFFFFFF);
        put(0x02, 4, 4321);
        put(0x04, 0, 0xFFFFFFFF);
        put(0x10, 4, 0xFFFFFFFF);
        put(0x20, 0, 0xFFFFFFFF);
        if (::setxattr(name.constData(), "system.posix_acl_access", acl.constData(),
                       size_t(acl.size()), 0) != 0)
            QSKIP(qPrintable(QStringLiteral("this file system takes no ACL (%1)")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
    }
    struct stat file;
    QCOMPARE(::stat(name.constData(), &file), 0);
    // Those the file keeps out, among its owner, its group, the folder's
    // group and strangers.
    struct Reader {
        quint32 uid;
        quint32 gid;
    };
    QList<Reader> keptOut;
    for (const Reader reader : {Reader{65534, 65534}, Reader{1234, 1234}, Reader{4324, 1234},
                                Reader{4321, 100}, Reader{4323, 100}, Reader{4322, 4322}})
        if (!readableBy(path, reader.uid, reader.gid))
            keptOut << reader;
    QVERIFY(!keptOut.isEmpty());

    // The save, killed once its journal is named: the backup and the
    // journal are both there. Meanwhile each copy is tried by those kept
    // out just before it is given the file's owner.
    const QString journal = journalPath(path);
    constexpr int Killed = 40; // + 1: the backup let one in, + 2: the journal did
    const int status = inChild([&] {
        if (extra == "as a user" &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(100, 100, 0) != 0 ||
             ::setresuid(4321, 4321, 0) != 0))
            ::_exit(3);
        bool named = false;
        int leaked = 0;
        setSystemCallHook([&](const char *call, const QString &onFile) {
            if (named)
                ::_exit(Killed + leaked);
            // Both copies are there once the backup, made after the journal, has its name.
            named = QByteArrayView(call) == "rename" && onFile == path + QStringLiteral(".bak");
            if (QByteArrayView(call) != "set owner")
                return SystemFault::None;
            for (const Reader &reader : keptOut)
                if (readableBy(onFile, reader.uid, reader.gid))
                    leaked |= onFile.contains(QStringLiteral("/.kgf-backup-")) ? 1 : 2;
            return extra == "no owner" ? SystemFault::IoError : SystemFault::None;
        });
        saveTable(path, newTable());
    });
    QVERIFY2(status >= Killed && status < Killed + 4, qPrintable(QString::number(status)));
    QCOMPARE(contents(path), oldFile(3000));

    for (const QString &copy : {path + QStringLiteral(".bak"), journal}) {
        const QByteArray copyName = QFile::encodeName(copy);
        struct stat made;
        QCOMPARE(::stat(copyName.constData(), &made), 0);
        QCOMPARE(QStringLiteral("%1:%2 %3")
                     .arg(made.st_uid)
                     .arg(made.st_gid)
                     .arg(made.st_mode & 0777, 0, 8),
                 copies);
        // No permission bit the file does not have, and no reader it keeps out.
        QCOMPARE(made.st_mode & 0777 & ~file.st_mode, 0U);
        for (const Reader &reader : keptOut)
            QVERIFY2(!readableBy(copy, reader.uid, reader.gid),
                     qPrintable(QStringLiteral("%1 readable by %2").arg(copy).arg(reader.uid)));
        if (extra == "attribute") {
            char value[16] = {};
            QCOMPARE(::getxattr(copyName.constData(), "user.test", value, sizeof value), 4);
            QCOMPARE(QByteArray(value), QByteArray("kept"));
        }
        if (extra == "acl") {
            char mine[128];
            char theirs[128];
            const ssize_t length =
                ::getxattr(name.constData(), "system.posix_acl_access", mine, sizeof mine);
            QVERIFY(length > 0);
            QCOMPARE(
                ::getxattr(copyName.constData(), "system.posix_acl_access", theirs, sizeof theirs),
                length);
            QCOMPARE(QByteArray(theirs, length), QByteArray(mine, length));
            QVERIFY(readableBy(copy, 4321, 4321)); // the user the ACL lets in
        }
    }
    // Its owner's alone until it has the file's owner, group and access.
    const int leaked = status - Killed;
    QVERIFY2(!(leaked & 1), "the backup could be opened by one the file keeps out while made");
    QVERIFY2(!(leaked & 2), "the journal could be opened by one the file keeps out while made");
#endif
}

QTEST_APPLESS_MAIN(SaveRecoveryTest)
#include "tst_save_recovery.moc"
