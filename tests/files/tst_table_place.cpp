#include "formation_table.h"
#include "native_file.h"
#include "save_journal.h"
#include "table_loader.h"
#include "table_place.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TablePlaceTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void placement_data();
    void placement();
    void tableFitsOnlyWithTheSignature_data();
    void tableFitsOnlyWithTheSignature();
    void originalOfBackup_data();
    void originalOfBackup();
    void startBeyondTheLargestStartLocation();

private:
    PlaceRequest request(const QString &target, const QString &table, const QString &caller,
                         qint64 start, bool force) const;
    QTemporaryDir m_dir;
};

namespace
{

constexpr qint64 TableBytes = FormationTable::ByteCount;
constexpr qint64 ProgramTableAt = 1'400'000;

QByteArray letters(qint64 size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i + seed) % 26);
    return bytes;
}

// A program of 1,500,000 bytes that begins with "MZ", with or without its
// table (and signature) at byte 1,400,000; no signature anywhere else.
QByteArray program(bool withTable)
{
    QByteArray bytes(1'500'000, '\0');
    for (qint64 i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 251);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    if (withTable)
        bytes.replace(ProgramTableAt, TableBytes,
                      tableSignature() + letters(TableBytes - tableSignature().size(), 3));
    return bytes;
}

QByteArray tableNamed(const QString &name)
{
    if (name == "signed")
        return tableSignature() + letters(TableBytes - tableSignature().size(), 9);
    if (name == "unsigned")
        return letters(TableBytes, 9);
    return {}; // made later, from what the place holds (import)
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString grouped(qint64 number)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(number);
}

// The targets, each a file in a folder of its own (so that NAME.bak has
// its original beside it only where the row wants it), and where the table
// in hand was loaded from.
struct Target {
    const char *name;
    const char *file;
    const char *loadedFrom; // "", or "FILE@OFFSET" read as data, or "FILE@signature"
};

const Target Targets[] = {
    {"missing file", "missing/frmation.dat", ""},
    {"missing kgf.exe", "missing/kgf.exe", ""},
    {"short data file", "data/short.dat", ""},
    {"data file", "data/frmation.dat", ""},
    {"data file read at 0", "data/frmation.dat", "data/frmation.dat@0"},
    {"data file read at 500", "data/frmation.dat", "data/frmation.dat@500"},
    {"data file, table from another file", "data/frmation.dat", "data/other.dat@500"},
    {"data file beginning with MZ", "mz/frmation.dat", ""},
    {"program with the signature", "prog/kgf.exe", ""},
    {"program by its content", "prog/kgf-copy.bin", ""},
    {"program without the signature", "prog/setup.exe", ""},
    {"program loaded by its signature", "prog/kgf.exe", "prog/kgf.exe@signature"},
    {"program read as data at 1,400,000", "prog/kgf.exe", "prog/kgf.exe@1400000"},
    {"data file's backup", "bak/frmation.dat.bak", ""},
    {"program's backup", "progbak/kgf.exe.bak", ""},
    {"backup without its original", "orphan/orphan.dat.bak", ""},
    {"data file with a journal", "journal/journaled.dat", ""},
    {"program with a journal", "journal/journaled.exe", ""},
};

const Target &targetNamed(const QString &name)
{
    for (const Target &target : Targets)
        if (name == QLatin1String(target.name))
            return target;
    qFatal("no target %s", qPrintable(name));
}

// The rules, in the words of a row: the first rule whose every field
// matches decides. A field is "*" or alternatives joined by "|"; a start
// is "none", "given" (0 or 500), "0" or "500".
//
// What is expected, place by place: the offset, "table" where it is the
// program's own table, "found" where the placement read the table there,
// "confirm" where choosing it asks once more; then "asks" where there is a
// question, and which place Enter takes. "asks first" comes before the
// places where a question is asked before any of them. `said` is a phrase
// the refusal, or one of the questions, holds.
struct Rule {
    const char *caller;
    const char *target;
    const char *table;
    const char *start;
    const char *force;
    const char *expected;
    const char *said;
};

#define DATA_FILES                                                                                 \
    "data file|data file read at 0|data file read at 500|data file, table from another file|"      \
    "backup without its original"
#define PROGRAMS_WITH_TABLE                                                                        \
    "program with the signature|program by its content|program loaded by its signature|"           \
    "program read as data at 1,400,000|program's backup"

const Rule Rules[] = {
    // A file whose save did not finish takes nothing until that is settled.
    {"*", "data file with a journal|program with a journal", "*", "*", "*", "refused",
     "an earlier save of it did not finish"},

    // The window: --start and --force are not its own, and change nothing.
    {"window",
     "missing file|missing kgf.exe|short data file|data file|data file read at 0|"
     "data file, table from another file|backup without its original",
     "*", "*", "*", "0 | Enter 0", ""},
    {"window", "data file beginning with MZ|program without the signature", "*", "*", "*",
     "0 | asks | Enter Cancel",
     "is a program. Saving writes the formation table over its first 1,488 bytes"},
    {"window", "program with the signature|program by its content", "signed", "*", "*",
     "1,400,000 table found; 0 | asks | Enter Cancel",
     "is a program, with its formation table at byte 1,400,000"},
    {"window", "program with the signature|program by its content", "unsigned", "*", "*",
     "1,400,000 table found; 0 | asks | Enter Cancel",
     "once written, the table cannot be found in the program again"},
    {"window", "program's backup", "signed", "*", "*",
     "asks first | 1,400,000 table found; 0 | asks | Enter Cancel",
     "is the copy kept of kgf.exe before it was first changed"},
    {"window", "program's backup", "unsigned", "*", "*",
     "asks first | 1,400,000 table found; 0 | asks | Enter Cancel",
     "once written, the table cannot be found in the program again"},
    {"window", "program loaded by its signature", "signed", "*", "*",
     "1,400,000 table | asks | Enter 1,400,000", "loaded from byte 1,400,000 of the program"},
    {"window", "program loaded by its signature", "unsigned", "*", "*",
     "1,400,000 table | asks | Enter Cancel",
     "once written, the table cannot be found in the program again"},
    // Read as data at a typed start location, a program is written back as
    // data; over its first bytes only once more asked.
    {"window", "program read as data at 1,400,000", "*", "*", "*",
     "1,400,000; 0 confirm | asks | Enter 1,400,000", "begins as a program does (\"MZ\")"},
    {"window", "data file read at 500", "*", "*", "*", "500; 0 | asks | Enter 500",
     "loaded from byte 500 of"},
    {"window", "data file's backup", "*", "*", "*", "asks first | 0 | Enter 0",
     "is the copy kept of frmation.dat before it was first changed"},

    // The command line: a backup only with --force.
    {"command line", "data file's backup|program's backup", "*", "*", "no", "refused",
     "Give --force to write it anyway"},
    {"command line", "missing file", "*", "none", "*", "0 | Enter 0", ""},
    {"command line", "missing file", "*", "given", "*", "refused",
     "does not exist, and --start names a place in a file that holds a table"},
    // A program takes a table only into its own, found by its signature.
    {"command line",
     "missing kgf.exe|data file beginning with MZ|program without the "
     "signature|" PROGRAMS_WITH_TABLE,
     "*", "given", "*", "refused", "--start is for a formation data file"},
    {"command line", "missing kgf.exe", "*", "none", "*", "refused",
     "a table is written into a program only where the program keeps its own"},
    {"command line", "data file beginning with MZ", "*", "none", "*", "refused",
     "is not the game executable"},
    {"command line", "program without the signature", "*", "none", "*", "refused",
     "The formation table was not found in"},
    {"command line", PROGRAMS_WITH_TABLE, "unsigned", "none", "*", "refused",
     "the text changes the first five bytes of the table"},
    {"command line", PROGRAMS_WITH_TABLE, "signed|made later", "none", "*",
     "1,400,000 table found | Enter 1,400,000", ""},
    // A data file: at its first byte, or at --start where it holds a table.
    {"command line", "short data file", "*", "none", "*", "0 | Enter 0", ""},
    {"command line", "short data file", "*", "0", "*", "refused",
     "holds 100 bytes, fewer than the 1,488 that a table at byte 0 needs"},
    {"command line", "short data file", "*", "500", "*", "refused",
     "holds 100 bytes, fewer than the 1,988 that a table at byte 500 needs"},
    {"command line", DATA_FILES "|data file's backup", "*", "none|0", "*", "0 found | Enter 0", ""},
    {"command line", DATA_FILES "|data file's backup", "*", "500", "*", "500 found | Enter 500",
     ""},
};

bool matches(const char *field, const QString &value)
{
    const QStringList alternatives = QString::fromLatin1(field).split(u'|');
    return alternatives.contains(QStringLiteral("*")) || alternatives.contains(value) ||
           (alternatives.contains(QStringLiteral("given")) && value != QLatin1String("none"));
}

const Rule *ruleFor(const QString &caller, const QString &target, const QString &table,
                    const QString &start, const QString &force)
{
    for (const Rule &rule : Rules)
        if (matches(rule.caller, caller) && matches(rule.target, target) &&
            matches(rule.table, table) && matches(rule.start, start) && matches(rule.force, force))
            return &rule;
    return nullptr;
}

// A placement in the rules' words.
QString described(const Placement &placement)
{
    if (!placement.refusal.isEmpty())
        return QStringLiteral("refused");
    QStringList places;
    for (const TablePlace &place : placement.places) {
        QString words = grouped(place.offset);
        if (place.intoProgramTable)
            words += QStringLiteral(" table");
        if (place.found.valid)
            words += QStringLiteral(" found");
        if (place.confirmation)
            words += QStringLiteral(" confirm");
        places << words;
    }
    QStringList parts;
    if (!placement.before.isEmpty())
        parts << QStringLiteral("asks first");
    parts << places.join(QStringLiteral("; "));
    if (!placement.question.isEmpty())
        parts << QStringLiteral("asks");
    const int enter = placement.preferred;
    parts << QStringLiteral("Enter ") + (enter < 0 ? QStringLiteral("Cancel")
                                         : enter < places.size()
                                             ? grouped(placement.places[enter].offset)
                                             : QStringLiteral("nothing"));
    return parts.join(QStringLiteral(" | "));
}

// Every word a placement would show the user, line by line.
QStringList words(const Placement &placement)
{
    QStringList lines;
    if (!placement.refusal.isEmpty())
        lines << QStringLiteral("refused: ") + placement.refusal;
    for (const Confirmation &first : placement.before)
        lines << QStringLiteral("first: %1 [%2]").arg(first.text, first.accept);
    if (!placement.question.isEmpty())
        lines << QStringLiteral("question: ") + placement.question;
    for (const TablePlace &place : placement.places) {
        lines << QStringLiteral("place %1%2")
                     .arg(grouped(place.offset),
                          place.choice.isEmpty() ? QString() : QStringLiteral(": ") + place.choice);
        if (place.confirmation)
            lines << QStringLiteral("  confirm: %1 [%2]")
                         .arg(place.confirmation->text, place.confirmation->accept);
    }
    return lines;
}

} // namespace

void TablePlaceTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QDir root(m_dir.path());
    for (const char *folder :
         {"missing", "data", "mz", "prog", "bak", "progbak", "orphan", "journal", "links"})
        QVERIFY(root.mkdir(QLatin1String(folder)));
    const QByteArray mz = "MZ" + letters(2998, 1);
    const struct {
        const char *name;
        QByteArray bytes;
    } files[] = {
        {"data/frmation.dat", letters(3000, 1)},
        {"data/short.dat", letters(100, 1)},
        {"data/other.dat", letters(3000, 2)},
        {"mz/frmation.dat", mz},
        {"prog/kgf.exe", program(true)},
        {"prog/kgf-copy.bin", program(true)},
        {"prog/setup.exe", program(false)},
        {"bak/frmation.dat", letters(3000, 4)},
        {"bak/frmation.dat.bak", letters(3000, 5)},
        {"progbak/kgf.exe", program(true)},
        {"progbak/kgf.exe.bak", program(true)},
        {"orphan/orphan.dat.bak", letters(3000, 6)},
        {"journal/journaled.dat", letters(3000, 7)},
        {"journal/journaled.exe", program(true)},
    };
    for (const auto &file : files)
        QVERIFY(writeFile(m_dir.filePath(QLatin1String(file.name)), file.bytes));
    for (const char *journaled : {"journal/journaled.dat", "journal/journaled.exe"})
        QVERIFY(writeFile(journalPath(m_dir.filePath(QLatin1String(journaled))), "a journal"));
}

PlaceRequest TablePlaceTest::request(const QString &targetName, const QString &table,
                                     const QString &caller, qint64 start, bool force) const
{
    const Target &target = targetNamed(targetName);
    PlaceRequest request;
    request.target = m_dir.filePath(QLatin1String(target.file));
    request.table = tableNamed(table);
    request.caller = caller == "window" ? PlaceFor::Window : PlaceFor::CommandLine;
    if (start >= 0)
        request.start = start;
    request.force = force;
    const QString from = QLatin1String(target.loadedFrom);
    if (!from.isEmpty()) {
        const QString file = m_dir.filePath(from.section(u'@', 0, 0));
        const QString at = from.section(u'@', 1);
        const LoadResult load =
            at == "signature" ? loadFromExecutable(file) : loadFromDataFile(file, at.toInt());
        if (!load.ok)
            qFatal("cannot load %s", qPrintable(load.error));
        request.origin.loaded = load.source;
        request.origin.fromProgram = load.foundBySignature;
    }
    return request;
}

void TablePlaceTest::placement_data()
{
    QTest::addColumn<QString>("caller");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("table");
    QTest::addColumn<qint64>("start"); // -1: no --start
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("said");
    QList<const Rule *> used;
    for (const QString caller : {"window", "command line"}) {
        const QStringList tables = caller == "window"
                                       ? QStringList{"signed", "unsigned"}
                                       : QStringList{"signed", "unsigned", "made later"};
        for (const Target &target : Targets)
            for (const QString &table : tables)
                for (const qint64 start : {-1, 0, 500})
                    for (const bool force : {false, true}) {
                        const QString startWords =
                            start < 0 ? QStringLiteral("none") : QString::number(start);
                        const Rule *rule = ruleFor(caller, QLatin1String(target.name), table,
                                                   startWords, force ? "yes" : "no");
                        if (!rule)
                            qFatal("no rule for %s, %s, %s, --start %s, --force %d",
                                   qPrintable(caller), target.name, qPrintable(table),
                                   qPrintable(startWords), force);
                        used << rule;
                        QTest::addRow("%s, %s, %s table, --start %s%s", qPrintable(caller),
                                      target.name, qPrintable(table), qPrintable(startWords),
                                      force ? ", --force" : "")
                            << caller << QString::fromLatin1(target.name) << table << start << force
                            << QString::fromLatin1(rule->expected)
                            << QString::fromLatin1(rule->said);
                    }
    }
    for (const Rule &rule : Rules)
        if (!used.contains(&rule))
            qFatal("the rule for %s, %s decides no row", rule.caller, rule.target);
}

void TablePlaceTest::placement()
{
    QFETCH(QString, caller);
    QFETCH(QString, target);
    QFETCH(QString, table);
    QFETCH(qint64, start);
    QFETCH(bool, force);
    QFETCH(QString, expected);
    QFETCH(QString, said);
    const PlaceRequest asked = request(target, table, caller, start, force);
    const QByteArray before = contents(asked.target);

    const Placement placement = placeTable(asked);
    QCOMPARE(described(placement), expected);
    const QString everything = words(placement).join(u'\n');
    QVERIFY2(everything.contains(said), qPrintable(everything));
    if (!placement.refusal.isEmpty())
        QVERIFY2(placement.refusal.contains(shown(asked.target)), qPrintable(placement.refusal));
    // The command line never has a choice to make.
    if (caller == "command line")
        QVERIFY(placement.refusal.isEmpty()
                    ? placement.places.size() == 1 && placement.question.isEmpty() &&
                          placement.before.isEmpty()
                    : placement.places.isEmpty());
    // What a place says it found is what the file holds there.
    for (const TablePlace &place : placement.places) {
        if (!place.found.valid)
            continue;
        QCOMPARE(place.found.tableOffset, place.offset);
        QCOMPARE(place.found.tableBytes, before.mid(place.offset, TableBytes));
        QCOMPARE(place.found.size, qint64(before.size()));
        QCOMPARE(place.found.path, QFileInfo(asked.target).absoluteFilePath());
    }
    QCOMPARE(contents(asked.target), before); // looked at, never written
}

void TablePlaceTest::tableFitsOnlyWithTheSignature_data()
{
    QTest::addColumn<bool>("intoProgramTable");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("fits");
    QTest::newRow("a program's table, the signature kept") << true << "signed" << true;
    QTest::newRow("a program's table, the signature changed") << true << "unsigned" << false;
    QTest::newRow("a data file, the signature changed") << false << "unsigned" << true;
    QTest::newRow("a data file, with the signature") << false << "signed" << true;
}

void TablePlaceTest::tableFitsOnlyWithTheSignature()
{
    QFETCH(bool, intoProgramTable);
    QFETCH(QString, table);
    QFETCH(bool, fits);
    TablePlace place;
    place.offset = intoProgramTable ? ProgramTableAt : 0;
    place.intoProgramTable = intoProgramTable;
    QByteArray bytes = tableNamed(table);
    // Only the first five bytes are the signature: a change after them fits.
    if (table == "signed")
        bytes[5] = char(bytes[5] ^ 0x55);
    const QString target = m_dir.filePath(QStringLiteral("prog/kgf.exe"));
    const QString unfit = tableFitsPlace(place, bytes, target);
    QCOMPARE(unfit.isEmpty(), fits);
    if (!fits)
        QVERIFY2(unfit.contains(shown(target)), qPrintable(unfit));
}

void TablePlaceTest::originalOfBackup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("beside"); // what else is in the folder
    QTest::addColumn<QString>("original");
    QTest::newRow("NAME.bak beside NAME") << "frmation.dat.bak"
                                          << "frmation.dat"
                                          << "frmation.dat";
    QTest::newRow("in capitals") << "frmation.dat.BAK"
                                 << "frmation.dat"
                                 << "frmation.dat";
    QTest::newRow("a backup's backup") << "frmation.dat.bak.bak"
                                       << "frmation.dat.bak"
                                       << "frmation.dat.bak";
    // Windows opens "x.bak." and "x.bak " as x.bak.
    QTest::newRow("with a dot after") << "frmation.dat.bak."
                                      << "frmation.dat"
                                      << "frmation.dat";
    QTest::newRow("with a blank after") << "frmation.dat.bak "
                                        << "frmation.dat"
                                        << "frmation.dat";
    QTest::newRow("alone") << "frmation.dat.bak"
                           << ""
                           << "";
    QTest::newRow("beside another name") << "frmation.dat.bak"
                                         << "frmation"
                                         << "";
    QTest::newRow("NAME without its ending") << "frmation.bak"
                                             << "frmation.dat"
                                             << "";
    QTest::newRow("no name before .bak") << ".bak"
                                         << ""
                                         << "";
    QTest::newRow("beside a folder of the name") << "frmation.dat.bak"
                                                 << "frmation.dat/"
                                                 << "";
    QTest::newRow("no .bak") << "frmation.dat.old"
                             << "frmation.dat"
                             << "";
#ifdef Q_OS_UNIX
    // Another name of the file itself is no copy of it.
    QTest::newRow("a hard link to NAME") << "frmation.dat.bak"
                                         << "frmation.dat=hard"
                                         << "";
    QTest::newRow("a symbolic link to NAME") << "frmation.dat.bak"
                                             << "frmation.dat=soft"
                                             << "";
    QTest::newRow("beside a symbolic link to a file") << "frmation.dat.bak"
                                                      << "frmation.dat>elsewhere"
                                                      << "frmation.dat";
#endif
}

void TablePlaceTest::originalOfBackup()
{
    QFETCH(QString, name);
    QFETCH(QString, beside);
    QFETCH(QString, original);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QString other = dir.filePath(beside.section(u'=', 0, 0).section(u'>', 0, 0));
    if (beside.endsWith(u'/')) {
        QVERIFY(QDir().mkdir(other));
    } else if (beside.contains(u'>')) {
        const QString elsewhere = dir.filePath(beside.section(u'>', 1));
        QVERIFY(writeFile(elsewhere, "the original") && QFile::link(elsewhere, other));
    } else if (!beside.isEmpty()) {
        QVERIFY(writeFile(other, "the original"));
    }
#ifdef Q_OS_UNIX
    if (beside.endsWith(QLatin1String("=hard")))
        QCOMPARE(::link(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()),
                 0);
    else if (beside.endsWith(QLatin1String("=soft")))
        QVERIFY(QFile::link(other, path));
    else
#endif
        QVERIFY(writeFile(path, "a copy"));
    QCOMPARE(::originalOfBackup(path), original.isEmpty() ? QString() : dir.filePath(original));
}

// A start location beyond what a 32-bit one holds names a place the table
// must be found at too, or none.
void TablePlaceTest::startBeyondTheLargestStartLocation()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.dat"));
    const qint64 start = (qint64(1) << 32) + 500;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(letters(3000, 1)) == 3000);
        if (!file.resize(start + 3000)) // sparse: no room is taken
            QSKIP("this file system takes no file of more than 4 GiB");
    }
    PlaceRequest asked;
    asked.target = path;
    asked.caller = PlaceFor::CommandLine;
    asked.start = start;
    const Placement placement = placeTable(asked);
    if (placement.refusal.isEmpty()) {
        QCOMPARE(placement.places.size(), 1);
        QCOMPARE(placement.places.first().offset, start);
        QCOMPARE(placement.places.first().found.tableOffset, start);
    } else {
        QVERIFY2(placement.refusal.contains(shown(path)), qPrintable(placement.refusal));
    }
}

QTEST_APPLESS_MAIN(TablePlaceTest)
#include "tst_table_place.moc"
