// The built program's text modes, run as a user runs them: without a
// display, reading files and standard input, writing standard output.
#include "command_run.h"
#include "files/unix_files.h"
#include "native_file.h"
#include "save_journal.h"
#include "table_diff.h"
#include "table_loader.h"
#include "table_text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#endif

namespace
{

using Run = CommandRun;

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + seed * 11 + i / 7) & 0xFF);
    return bytes;
}

// A table as the game's own begins, with the signature.
QByteArray gameTable()
{
    return pattern(1488, 1).replace(0, 5, tableSignature());
}

// Where executable() puts the table.
constexpr qint64 ExecutableTable = 2 + SignatureScanStart + 4000;

// A game executable: the program header, then the table after its
// signature, somewhere past the search start.
QByteArray executable(const QByteArray &table)
{
    QByteArray bytes = "MZ" + QByteArray(ExecutableTable - 2, 'x');
    QByteArray withSignature = table;
    withSignature.replace(0, 5, tableSignature());
    return bytes + withSignature + QByteArray(100, 'y');
}

// What a folder holds, by name.
QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                  QDir::NoDotAndDotDot);
}

// The modification time a file has before a save: long past, so that any
// write since shows.
const QDateTime LongAgo(QDate(2001, 2, 3), QTime(4, 5, 6, 789), Qt::UTC);

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void exportWrites_data();
    void exportWrites();
    void exportUnits_data();
    void exportUnits();
    void exportSaysWhereNoNamesAre_data();
    void exportSaysWhereNoNamesAre();
    void importApplies_data();
    void importApplies();
    void refusesAndWritesNothing_data();
    void refusesAndWritesNothing();
    void diffs_data();
    void diffs();
    void usage_data();
    void usage();
    void exportIntoWhatIsNoRegularFile_data();
    void exportIntoWhatIsNoRegularFile();
    void endsQuietlyWhenTheReaderHasGone_data();
    void endsQuietlyWhenTheReaderHasGone();
    void recovers_data();
    void recovers();
    void refusesWhereItsOwnOutputGoes_data();
    void refusesWhereItsOwnOutputGoes();
    void importWhereNoJournalCanBeWritten_data();
    void importWhereNoJournalCanBeWritten();
    void importFollowsAProgramsTableThatMoved();
    void importLeavesNoFileThatNoModeReads();

private:
    using SetUp = std::function<void(QProcess &)>;
    QString file(const QString &name, const QByteArray &bytes) const;
    QByteArray contents(const QString &name) const;
    qint64 modifiedNs(const QString &name) const;
    QByteArray unfinishedSave(const QString &name, const QByteArray &before, qint64 offset,
                              const QByteArray &table, const QByteArray &left) const;
    Run run(const QStringList &arguments, const QByteArray &input = {}, const SetUp &setUp = {},
            const std::function<void()> &whileRunning = {}) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_table;
    QStringList m_names;
};

void CommandLineTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_table = gameTable(); // whatever the last test made of it
    m_names = QStringList(32);
    QByteArray names;
    for (int f = 0; f < 31; ++f) {
        m_names[f] = QStringLiteral("Formation, \"%1\"").arg(f);
        names += m_names[f].toUtf8() + "\r\n";
    }
    // A name that would retitle a terminal: only diff's text writes it out.
    m_names[2] = QStringLiteral("Formation\x1b]0;owned\a, \"2\"");
    names.replace("Formation, \"2\"", m_names[2].toUtf8());
    file(QStringLiteral("readorder.txt"), names);
}

QString CommandLineTest::file(const QString &name, const QByteArray &bytes) const
{
    QFile out(m_dir->filePath(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(name));
    return out.fileName();
}

QByteArray CommandLineTest::contents(const QString &name) const
{
    QFile in(m_dir->filePath(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
}

qint64 CommandLineTest::modifiedNs(const QString &name) const
{
    QFile in(m_dir->filePath(name));
    FileStatus status;
    QString reason;
    return in.open(QIODevice::ReadOnly) && fileStatus(in, &status, &reason) ? status.modifiedNs
                                                                            : -1;
}

// Leaves `name` as a save that did not finish leaves it: it held `before`
// (modified long ago), the save of `table` at `offset` wrote its journal
// beside it, and then the file came to hold `left`, written in place so
// that it stays the file the journal names. Gives the journal's bytes.
QByteArray CommandLineTest::unfinishedSave(const QString &name, const QByteArray &before,
                                           qint64 offset, const QByteArray &table,
                                           const QByteArray &left) const
{
    QFile saved(file(name, before));
    FileStatus status;
    QString reason;
    if (!saved.open(QIODevice::ReadWrite) ||
        !saved.setFileTime(LongAgo, QFileDevice::FileModificationTime) ||
        !fileStatus(saved, &status, &reason))
        qFatal("cannot look at %s", qPrintable(name));
    const QByteArray journal = encodeJournal({status.identity, status.size, status.modifiedNs,
                                              offset, before.mid(offset, table.size()), table});
    file(journalPath(name), journal);
    if (!saved.seek(0) || saved.write(left) != left.size() || !saved.resize(left.size()))
        qFatal("cannot write %s", qPrintable(name));
    return journal;
}

Run CommandLineTest::run(const QStringList &arguments, const QByteArray &input, const SetUp &setUp,
                         const std::function<void()> &whileRunning) const
{
    return runCommand(QStringLiteral(PROGRAM), m_dir->path(), arguments, input, setUp,
                      whileRunning);
}

void CommandLineTest::exportWrites_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<TextFormat>("format");
    QTest::addColumn<QByteArray>("head"); // the table's first bytes, in place of the signature
    QTest::newRow("data file, json")
        << "frmation.dat" << QStringList{} << TextFormat::Json << QByteArray();
    QTest::newRow("data file at a start, csv")
        << "shifted.dat" << QStringList{"--start", "16", "--format", "csv"} << TextFormat::Csv
        << QByteArray();
    QTest::newRow("executable, to a file marked executable that holds text")
        << "kgf.exe" << QStringList{"--output", "out.txt"} << TextFormat::Json << QByteArray();
    QTest::newRow("a renamed copy of the executable, known by its content")
        << "kgf.exe.orig" << QStringList{} << TextFormat::Json << QByteArray();
    QTest::newRow("a data file that begins as a program, at --start 0")
        << "frmation.dat" << QStringList{"--start", "0"} << TextFormat::Json << QByteArray("MZ");
    // OUT that may hold a table is written over with --force only; a table
    // text, or a file too short for a table, is text to replace.
    QTest::newRow("over a backup, with --force")
        << "frmation.dat" << QStringList{"--force", "--output", "table.bak"} << TextFormat::Json
        << QByteArray();
    QTest::newRow("over a file as long as a table, with --force")
        << "frmation.dat" << QStringList{"--force", "--output", "other.dat"} << TextFormat::Json
        << QByteArray();
    QTest::newRow("over a table text longer than a table")
        << "frmation.dat" << QStringList{"--output", "old.json"} << TextFormat::Json
        << QByteArray();
    QTest::newRow("over a file one byte short of a table")
        << "frmation.dat" << QStringList{"--output", "short.dat"} << TextFormat::Json
        << QByteArray();
}

void CommandLineTest::exportWrites()
{
    QFETCH(QString, source);
    QFETCH(QStringList, options);
    QFETCH(TextFormat, format);
    QFETCH(QByteArray, head);
    m_table.replace(0, head.size(), head);
    file(QStringLiteral("frmation.dat"), m_table + "tail");
    file(QStringLiteral("shifted.dat"), QByteArray(16, 'z') + m_table);
    file(QStringLiteral("kgf.exe"), executable(m_table));
    file(QStringLiteral("kgf.exe.orig"), executable(m_table));
    file(QStringLiteral("table.bak"), m_table);
    file(QStringLiteral("other.dat"), pattern(1488, 5));
    file(QStringLiteral("old.json"), writeTableText(pattern(1488, 6), {}, TextFormat::Json));
    file(QStringLiteral("short.dat"), pattern(1487, 7));
    // Marked executable, as every file on a Windows disk mounted on Linux is.
    QVERIFY(QFile::setPermissions(file(QStringLiteral("out.txt"), "older\n"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const Run result = run(QStringList{QStringLiteral("export")} + options + QStringList{source});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    const qsizetype output = options.indexOf(QStringLiteral("--output"));
    const QByteArray text = output >= 0 ? contents(options.at(output + 1)) : result.out;
    QCOMPARE(text, writeTableText(m_table, m_names, format));
}

void CommandLineTest::exportUnits_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("units");
    QTest::addColumn<OffsetUnits>("written");
    QTest::newRow("json, the default") << "json" << QString() << OffsetUnits::Both;
    QTest::newRow("json, feet") << "json"
                                << "feet" << OffsetUnits::Feet;
    QTest::newRow("csv, stored") << "csv"
                                 << "stored" << OffsetUnits::Stored;
}

// Either unit alone gives the table back through import, byte for byte.
void CommandLineTest::exportUnits()
{
    QFETCH(QString, format);
    QFETCH(QString, units);
    QFETCH(OffsetUnits, written);
    // The ends of the range and the smallest steps, beside the pattern's offsets.
    m_table.replace(5 * 48 + 16, 16,
                    FormationLine{0, 0, 0, 0, -2147483647 - 1, 2147483647, -1}.toBytes());
    m_table.replace(6 * 48 + 16, 16, FormationLine{0, 0, 0, 0, 1, 2, -2}.toBytes());
    file(QStringLiteral("frmation.dat"), m_table);
    QStringList arguments{"export", "--format", format, "-o", "table.txt", "frmation.dat"};
    if (!units.isEmpty())
        arguments << "--units" << units;
    const Run exported = run(arguments);
    QCOMPARE(exported.err, QByteArray());
    QCOMPARE(exported.status, 0);
    const TextFormat textFormat =
        format == QLatin1String("csv") ? TextFormat::Csv : TextFormat::Json;
    QCOMPARE(contents(QStringLiteral("table.txt")),
             writeTableText(m_table, m_names, textFormat, written));
    const Run imported = run({"import", "--quiet", "table.txt", "new.dat"});
    QVERIFY2(imported.status == 0, imported.err.constData());
    QCOMPARE(contents(QStringLiteral("new.dat")), m_table);
}

void CommandLineTest::exportSaysWhereNoNamesAre_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("names"); // where readorder.txt is: "game", "." or nowhere
    QTest::addColumn<QString>("said");  // %1: the working folder
    const QStringList exportGame{"export", "game/frmation.dat"};
    QTest::newRow("nowhere")
        << exportGame << QString()
        << "No readorder.txt beside frmation.dat (%1/game/readorder.txt) or in the working folder "
           "(%1/readorder.txt): the formations are written without names.";
    QTest::newRow("beside the table") << exportGame << "game" << QString();
    QTest::newRow("diff says nothing")
        << QStringList{"diff", "game/frmation.dat", "frmation.dat"} << QString() << QString();
}

void CommandLineTest::exportSaysWhereNoNamesAre()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, names);
    QFETCH(QString, said);
    const QByteArray namesFile = contents(QStringLiteral("readorder.txt"));
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("readorder.txt"))));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("game")));
    if (!names.isEmpty())
        file(names + QStringLiteral("/readorder.txt"), namesFile);
    file(QStringLiteral("game/frmation.dat"), m_table);
    file(QStringLiteral("frmation.dat"), m_table);
    const Run result = run(arguments);
    QCOMPARE(result.status, 0);
    const QString folder = QFileInfo(m_dir->path()).canonicalFilePath();
    // The paths as the system writes them; the message has no other slash.
    QCOMPARE(QString::fromUtf8(result.err),
             said.isEmpty() ? QString()
                            : QStringLiteral("kgf-formation-editor: ") +
                                  QDir::toNativeSeparators(said.arg(folder)) + u'\n');
    if (arguments.constFirst() != QLatin1String("export"))
        return;
    QCOMPARE(result.out,
             writeTableText(m_table, names.isEmpty() ? QStringList() : m_names, TextFormat::Json));
}

void CommandLineTest::importApplies_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("before"); // empty: no such file yet
    QTest::addColumn<QByteArray>("backup"); // TARGET.bak before; empty: none, "/": a folder
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<qint64>("at");       // where the table is: its changes are listed; -1: none
    QTest::addColumn<QByteArray>("told"); // the last line on standard output

    const QByteArray other = pattern(1488, 9);
    // Formation 2: its name holds an escape sequence.
    const QByteArray one = writeFormationText(other, 2, QString());
    const QByteArray table = gameTable();
    QByteArray second = table;
    second.replace(2 * 48, 48, other.mid(2 * 48, 48));
    const QByteArray made = "A copy of it as it was before is kept as ";
    QTest::newRow("one formation into a longer file, from standard input")
        << QStringList{"import", "-", "frmation.dat"} << one << "frmation.dat" << table + "tail"
        << QByteArray() << second + "tail" << qint64(0)
        << "frmation.dat was saved. " + made + "frmation.dat.bak.\n";
    QTest::newRow("a whole table in csv, into a new file")
        << QStringList{"import", "--format", "csv", "table.csv", "new.dat"}
        << writeTableText(other, m_names, TextFormat::Csv) << "new.dat" << QByteArray()
        << QByteArray() << other << qint64(-1)
        << QByteArray("new.dat was made, with all 31 formations of the text. No backup was "
                      "made: there was no file before.\n");
    QStringEncoder toUtf16(QStringConverter::Utf16BE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("a whole table in UTF-16 with its mark, as Windows editors save it")
        << QStringList{"import", "table.csv", "new.dat"}
        << QByteArray(toUtf16(QString::fromUtf8(writeTableText(other, {}, TextFormat::Json))))
        << "new.dat" << QByteArray() << QByteArray() << other << qint64(-1)
        << QByteArray("new.dat was made, with all 31 formations of the text. No backup was "
                      "made: there was no file before.\n");
    QTest::newRow("into a program, at its signature, --force or not")
        << QStringList{"import", "--force", "-", "kgf.exe"} << one << "kgf.exe" << executable(table)
        << QByteArray() << executable(second) << ExecutableTable
        << "kgf.exe was saved at byte 1,354,001, where the program keeps its table. " + made +
               "kgf.exe.bak.\n";
    QTest::newRow("into a renamed copy of the program, known by its content")
        << QStringList{"import", "-", "game.orig"} << one << "game.orig" << executable(table)
        << QByteArray() << executable(second) << ExecutableTable
        << "game.orig was saved at byte 1,354,001, where the program keeps its table. " + made +
               "game.orig.bak.\n";
    QTest::newRow("into a data file at --start")
        << QStringList{"import", "--start", "16", "-", "shifted.dat"} << one << "shifted.dat"
        << "0123456789abcdef" + table + "tail" << QByteArray()
        << "0123456789abcdef" + second + "tail" << qint64(16)
        << "shifted.dat was saved at byte 16. " + made + "shifted.dat.bak.\n";
    const QByteArray text = writeTableText(table, {}, TextFormat::Json);
    QTest::newRow("over a table text with --force")
        << QStringList{"import", "--force", "-", "old.json"} << one << "old.json" << text
        << QByteArray() << QByteArray(text).replace(2 * 48, 48, other.mid(2 * 48, 48)) << qint64(0)
        << "old.json was saved. " + made + "old.json.bak.\n";
    QTest::newRow("a backup that is there stays")
        << QStringList{"import", "-", "frmation.dat"} << one << "frmation.dat" << table
        << QByteArray("older") << second << qint64(0)
        << QByteArray("frmation.dat was saved. No backup was made: frmation.dat.bak is there "
                      "already and was left as it is.\n");
    QTest::newRow("no backup can be made, and --allow-no-backup")
        << QStringList{"import", "--allow-no-backup", "-", "frmation.dat"} << one << "frmation.dat"
        << table << QByteArray("/") << second << qint64(0)
        << QByteArray("frmation.dat was saved. No backup of frmation.dat can be made "
                      "(frmation.dat.bak is there, but it is a folder, not a regular file); "
                      "--allow-no-backup said to import without one.\n");
    QTest::newRow("--no-backup makes none")
        << QStringList{"import", "--no-backup", "-", "frmation.dat"} << one << "frmation.dat"
        << table << QByteArray() << second << qint64(0)
        << QByteArray("frmation.dat was saved. No backup was made: --no-backup said to make "
                      "none.\n");
    QTest::newRow("quiet") << QStringList{"import", "--quiet", "-", "frmation.dat"} << one
                           << "frmation.dat" << table << QByteArray() << second << qint64(-1)
                           << QByteArray();
    QTest::newRow("nothing to change")
        << QStringList{"import", "-", "frmation.dat"} << writeFormationText(table, 2, QString())
        << "frmation.dat" << table << QByteArray() << table << qint64(-1)
        << QByteArray("frmation.dat is unchanged: it holds these formations already, so nothing "
                      "was written and no backup made.\n");
    // kept.dat is there: kept.dat.bak is the copy kept of it.
    QTest::newRow("into another file's backup with --force")
        << QStringList{"import", "--force", "-", "kept.dat.bak"} << one << "kept.dat.bak" << table
        << QByteArray() << second << qint64(0)
        << "kept.dat.bak was saved. " + made + "kept.dat.bak.bak.\n";
    QTest::newRow("into a .bak of no file, without --force")
        << QStringList{"import", "-", "lone.dat.bak"} << one << "lone.dat.bak" << table
        << QByteArray() << second << qint64(0)
        << "lone.dat.bak was saved. " + made + "lone.dat.bak.bak.\n";
}

void CommandLineTest::importApplies()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, target);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, backup);
    QFETCH(QByteArray, after);
    QFETCH(qint64, at);
    QFETCH(QByteArray, told);
    file(QStringLiteral("table.csv"), input);
    const QByteArray kept = pattern(1488, 6);
    file(QStringLiteral("kept.dat"), kept);
    if (!before.isEmpty())
        file(target, before);
    const QString backupName = target + QStringLiteral(".bak");
    if (backup == "/")
        QVERIFY(QDir(m_dir->path()).mkdir(backupName));
    else if (!backup.isEmpty())
        file(backupName, backup);
    const Run result = run(arguments, input);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(contents(target), after);
    // What changed, formation by formation, as diff lists it, names escaped.
    const QByteArray changes =
        at < 0 ? QByteArray()
               : diffText(diffTables(before.mid(at, 1488), after.mid(at, 1488)), m_names).toUtf8();
    QCOMPARE(result.out, changes + told);
    QVERIFY(!result.out.contains('\x1b'));
    if (backup != "/")
        QCOMPARE(contents(backupName),
                 !backup.isEmpty() ? backup
                 : !before.isEmpty() && before != after && !arguments.contains("--no-backup")
                     ? before
                     : "(missing)");
    // The save's journal goes once the table is written.
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.kgf-journal*")}, QDir::AllEntries),
             QStringList());
    QCOMPARE(contents(QStringLiteral("kept.dat")), kept);
}

void CommandLineTest::refusesAndWritesNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");

    const QByteArray whole = writeTableText(QByteArray(1488, '\0'), {}, TextFormat::Json);
    const QStringList import{"import", "text.json", "frmation.dat"};
    auto changed = [&whole](const QByteArray &from, const QByteArray &to) {
        return QByteArray(whole).replace(whole.indexOf(from), from.size(), to); // the first only
    };
    QTest::newRow("not json") << import << QByteArray("{") << 1
                              << QByteArray("text.json: line 1, column 2: this is not valid JSON");
    QTest::newRow("count out of range")
        << import << changed(R"("count": 0)", R"("count": 256)") << 1
        << QByteArray("text.json: formation 0, line 1 (`formations[0].lines[0].count`): 256 is "
                      "not a number of aircraft from 0 to 255.");
    QTest::newRow("unknown field")
        << import << changed("\"byte0\"", "\"byte1\"") << 1
        << QByteArray(R"(text.json: formation 0, line 1 (`formations[0].lines[0]`): "byte1" is )"
                      "not a field of a line");
    QTest::newRow("unknown caption")
        << import << changed("Line Astern", "Line astern") << 1
        << QByteArray(R"(`formations[0].lines[0].type`): "Line astern" is not a type)");
    QTest::newRow("feet and stored disagree")
        << import << changed(R"("yFeet": 0,)", R"("yFeet": 1,)") << 1
        << QByteArray(R"(`formations[0].lines[0].yFeet`): 1 feet is stored as 21, but yStored )"
                      "is 0, which is 0 feet; change yFeet or yStored so that they agree, or "
                      "delete one of them.");
    QTest::newRow("too large") << import << QByteArray(MaxTableTextBytes + 1, ' ') << 1
                               << QByteArray("text.json: The text is longer than 16 MiB");
    const QByteArray intoProgram =
        "Nothing was written: a table is written into a program only where the program keeps its "
        "own.";
    QTest::newRow("a program without the signature, refused before the text is read")
        << QStringList{"import", "nothing.json", "KGF.EXE"} << QByteArray() << 1
        << "KGF.EXE is not the game executable: it holds 1,492 bytes, and the formation table "
           "is searched for from byte 1,350,000 on. " +
               intoProgram;
    QTest::newRow("a program without the signature, even with --force")
        << QStringList{"import", "--force", "text.json", "KGF.EXE"} << whole << 1 << intoProgram;
    QTest::newRow("a text that changes the signature of a program's table")
        << QStringList{"import", "text.json", "game.bak"} << whole << 1
        << QByteArray("Nothing was written: the text changes the first five bytes of the table");
    QTest::newRow("--start with a program")
        << QStringList{"import", "--start", "0", "text.json", "game.bak"} << whole << 1
        << QByteArray("Nothing was written: game.bak is a program, where the table goes at its "
                      "signature; --start is for a formation data file.");
    QTest::newRow("--start beyond the end of the data file")
        << QStringList{"import", "--start", "5", "text.json", "frmation.dat"} << whole << 1
        << QByteArray("Nothing was written: frmation.dat holds 1,492 bytes, fewer than the "
                      "1,493 that a table at byte 5 needs.");
    QTest::newRow("--start with a file that does not exist")
        << QStringList{"import", "--start", "0", "text.json", "new.dat"} << whole << 1
        << QByteArray("Nothing was written: new.dat does not exist, and --start names a place "
                      "in a file that holds a table.");
    // A JSON text that import refuses is never exported as if its
    // characters were a table's bytes.
    QTest::newRow("export of a JSON text after a comment")
        << QStringList{"export", "text.json"} << "// mine\n" + whole << 1
        << QByteArray("text.json");
    QTest::newRow("diff of a JSON text after a comment")
        << QStringList{"diff", "text.json", "frmation.dat"} << "/* mine */\n" + whole << 2
        << QByteArray("text.json");
    QTest::newRow("export of a data file that begins as a program, without --start")
        << QStringList{"export", "odd.dat"} << QByteArray() << 1
        << QByteArray("It begins as a program does (\"MZ\")");
    QTest::newRow("some formations into a file that does not exist")
        << QStringList{"import", "text.json", "new.dat"}
        << writeFormationText(pattern(1488, 4), 3, QString()) << 1
        << QByteArray("new.dat does not exist yet, so the text must give all 31 formations; it "
                      "gives 1.");
    QTest::newRow("a field given twice")
        << import << changed(R"("count": 0)", R"("count": 7, "count": 0)") << 1
        << QByteArray("text.json: formation 0, line 1 (`formations[0].lines[0].count`): this "
                      "field is given twice.");
    QTest::newRow("program name as Windows opens it")
        << QStringList{"import", "nothing.json", "KGF.EXE."} << QByteArray() << 1 << intoProgram;
    QTest::newRow("export over the file it reads")
        << QStringList{"export", "-o", "./frmation.dat", "frmation.dat"} << QByteArray() << 1
        << QStringLiteral("Nothing was written: %1 is the file being exported.")
               .arg(QDir::toNativeSeparators(QStringLiteral("./frmation.dat")))
               .toUtf8();
    QTest::newRow("export into a program")
        << QStringList{"export", "--output", "KGF.EXE", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Nothing was written: KGF.EXE is a program, and export writes text.");
    QTest::newRow("one file only") << QStringList{"import", "text.json"} << whole << 2
                                   << QByteArray("import takes TEXT and TARGET; 1 given.");
    QTest::newRow("export into a program known by its content")
        << QStringList{"export", "-o", "game.bak", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Nothing was written: game.bak is a program, and export writes text.");
    const QString itself = QStringLiteral("Nothing was written: %1 is the text being imported");
    QTest::newRow("a text into itself under another name")
        << QStringList{"import", "./text.json", "text.json"} << whole << 1
        << itself.arg("text.json").toUtf8();
    QTest::newRow("a text into itself from standard input")
        << QStringList{"import", "-", "text.json"} << whole << 1
        << itself.arg("text.json").toUtf8();
    for (const char *name : {"old.json", "old.csv"})
        QTest::addRow("into the table text %s", name)
            << QStringList{"import", "text.json", name} << whole << 1
            << QStringLiteral("Nothing was written: %1 is a formation table text, not a table file")
                   .arg(QLatin1String(name))
                   .toUtf8();
    QTest::newRow("export over a script marked executable")
        << QStringList{"export", "-o", "tool.bat", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Nothing was written: tool.bat is a program, and export writes text.");
    QTest::newRow("a socket as the text")
        << QStringList{"import", "sock", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Could not open sock: it is a socket, "
                      "which cannot be read by name.");
    QTest::newRow("export over a file marked read-only")
        << QStringList{"export", "-o", "locked.json", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Could not write locked.json: it is marked read-only.");
    QTest::newRow("a path with control characters")
        << QStringList{"export", u"none\x1b[2J\u0085\u202e.dat"_qs} << QByteArray() << 1
        << QByteArray("Could not open none\\x1b[2J\\x85\\u202e.dat: ");
    QTest::newRow("a picture into a folder with control characters in its name")
        << QStringList{"picture", "-o", u"none\x1b[2J/x.png"_qs, "frmation.dat"} << QByteArray()
        << 1 << QByteArray("Could not write none\\x1b[2J");

    // The game executable's table is found by its signature, never at a start location.
    const QString signatureOnly = QStringLiteral("KGF.EXE is the game executable, whose table is "
                                                 "found by its signature; --%1 is for a "
                                                 "formation data file.\n");
    QTest::newRow("export --start with the game executable")
        << QStringList{"export", "--start", "0", "KGF.EXE"} << QByteArray() << 1
        << signatureOnly.arg("start").toUtf8();
    QTest::newRow("diff --start-a with the game executable")
        << QStringList{"diff", "--start-a", "0", "KGF.EXE", "frmation.dat"} << QByteArray() << 2
        << signatureOnly.arg("start-a").toUtf8();
    QTest::newRow("diff --start-b with the game executable")
        << QStringList{"diff", "--start-b", "0", "frmation.dat", "KGF.EXE"} << QByteArray() << 2
        << signatureOnly.arg("start-b").toUtf8();
    // exact.dat holds 1,488 bytes: a table from its first byte, none from byte 1.
    const QString fromFirstByte =
        QStringLiteral("exact.dat is too short: it holds 1,488 bytes, but a table at start "
                       "location 1 needs 1,489 bytes. Give --%1 0 to read the table from the "
                       "file's first byte.\n");
    QTest::newRow("export --start past a table that is there from the first byte")
        << QStringList{"export", "--start", "1", "exact.dat"} << QByteArray() << 1
        << fromFirstByte.arg("start").toUtf8();
    QTest::newRow("diff --start-a past a table that is there from the first byte")
        << QStringList{"diff", "--start-a", "1", "exact.dat", "frmation.dat"} << QByteArray() << 2
        << fromFirstByte.arg("start-a").toUtf8();
    QTest::newRow("diff --start-b past a table that is there from the first byte")
        << QStringList{"diff", "--start-b", "1", "frmation.dat", "exact.dat"} << QByteArray() << 2
        << fromFirstByte.arg("start-b").toUtf8();
    QTest::newRow("export --start in a file too short for a table from any byte")
        << QStringList{"export", "--start", "1", "short.dat"} << QByteArray() << 1
        << QByteArray("short.dat is too short: it holds 1,487 bytes, but a table at start "
                      "location 1 needs 1,489 bytes.\n");
    // An OUT that may hold a table, or is a backup, needs --force; a
    // program and FILE itself are refused even then.
    QTest::newRow("export over a backup")
        << QStringList{"export", "-o", "old.bak", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Nothing was written: old.bak is a backup, and export writes text; give "
                      "--force to write it anyway.\n");
    QTest::newRow("export over a file as long as a table")
        << QStringList{"export", "-o", "exact.dat", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Nothing was written: exact.dat may hold a formation table, and export "
                      "writes text; give --force to write it anyway.\n");
    QTest::newRow("export into a program, even with --force")
        << QStringList{"export", "--force", "-o", "KGF.EXE", "frmation.dat"} << QByteArray() << 1
        << QByteArray("Nothing was written: KGF.EXE is a program, and export writes text.\n");
    QTest::newRow("export over the file it reads, even with --force")
        << QStringList{"export", "--force", "-o", "./frmation.dat", "frmation.dat"} << QByteArray()
        << 1
        << QStringLiteral("Nothing was written: %1 is the file being exported.\n")
               .arg(QDir::toNativeSeparators(QStringLiteral("./frmation.dat")))
               .toUtf8();
    QTest::newRow("import into another file's backup")
        << QStringList{"import", "text.json", "kept.dat.bak"} << whole << 1
        << QByteArray("Nothing was written: kept.dat.bak is the copy kept of kept.dat before it "
                      "was first changed, and saving to it writes over that copy. Give --force "
                      "to write it anyway.\n");
    // torn.dat and torn-kgf.exe: a save of each did not finish (their journals beside them).
    const QString notRead = QStringLiteral("%1 was not read: a save of it did not finish, so its "
                                           "table may be part old, part new. Run "
                                           "kgf-formation-editor recover %1 to put back what it "
                                           "held before.\n");
    QTest::newRow("export of a file whose save did not finish")
        << QStringList{"export", "torn.dat"} << QByteArray() << 1
        << notRead.arg("torn.dat").toUtf8();
    QTest::newRow("export of the game executable whose save did not finish")
        << QStringList{"export", "torn-kgf.exe"} << QByteArray() << 1
        << notRead.arg("torn-kgf.exe").toUtf8();
    QTest::newRow("diff with A whose save did not finish")
        << QStringList{"diff", "torn.dat", "frmation.dat"} << QByteArray() << 2
        << notRead.arg("torn.dat").toUtf8();
    QTest::newRow("diff with B whose save did not finish")
        << QStringList{"diff", "frmation.dat", "torn.dat"} << QByteArray() << 2
        << notRead.arg("torn.dat").toUtf8();
    const QString notSaved =
        QStringLiteral("The table was not saved to %1: an earlier save of it did not finish, and "
                       "%1.kgf-journal holds what is needed to put back what it held before. "
                       "Load it in the editor to choose what to do, or run kgf-formation-editor "
                       "recover %1.\n");
    QTest::newRow("import into a file whose save did not finish, whatever the options")
        << QStringList{"import", "--force", "--no-backup", "--start", "0", "text.json", "torn.dat"}
        << whole << 1 << notSaved.arg("torn.dat").toUtf8();
    QTest::newRow("import into a program whose save did not finish")
        << QStringList{"import", "-", "torn-kgf.exe"}
        << writeFormationText(gameTable(), 4, QString()) << 1
        << notSaved.arg("torn-kgf.exe").toUtf8();
}

void CommandLineTest::refusesAndWritesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, text);
    QFETCH(int, status);
    QFETCH(QByteArray, message);
    const QByteArray table = m_table + "tail";
    const QByteArray zero(1488, '\0');
    QMap<QString, QByteArray> before{
        {"text.json", text},
        {"frmation.dat", table},
        {"KGF.EXE", table},
        {"game.bak", executable(m_table)},
        {"odd.dat", "MZ" + m_table.mid(2)},
        {"old.json", "\xEF\xBB\xBF \r\n" + writeTableText(zero, {}, TextFormat::Json)},
        {"old.csv", "\r\n" + writeTableText(zero, {}, TextFormat::Csv)},
        {"locked.json", "kept"},
        {"tool.bat", "#!/bin/sh\necho hi\n"},
        {"exact.dat", m_table},
        {"short.dat", m_table.left(1487)},
        {"old.bak", "kept copy"},
        {"kept.dat", pattern(1488, 6)},
        {"kept.dat.bak", table}};
    for (auto it = before.begin(); it != before.end(); ++it)
        file(it.key(), it.value());
    // Saves that did not finish: each file holds the new table, whole.
    const QByteArray other = pattern(1488, 8).replace(0, 5, tableSignature());
    before[QStringLiteral("torn.dat.kgf-journal")] =
        unfinishedSave(QStringLiteral("torn.dat"), table, 0, other, other + "tail");
    before[QStringLiteral("torn.dat")] = other + "tail";
    before[QStringLiteral("torn-kgf.exe.kgf-journal")] =
        unfinishedSave(QStringLiteral("torn-kgf.exe"), executable(m_table), ExecutableTable, other,
                       executable(other));
    before[QStringLiteral("torn-kgf.exe")] = executable(other);
    QVERIFY(QFile::setPermissions(m_dir->filePath(QStringLiteral("locked.json")),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(m_dir->filePath(QStringLiteral("tool.bat")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (arguments.contains(QLatin1String("sock")) &&
        !unixfiles::makeSocket(m_dir->filePath(QStringLiteral("sock"))))
        QSKIP("this system makes no Unix-domain sockets");
    const QStringList entries = listing(m_dir->path());
    const Run result = run(arguments, {}, [this](QProcess &process) {
        process.setStandardInputFile(m_dir->filePath(QStringLiteral("text.json")));
    });
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QVERIFY(!result.err.contains('\x1b'));
    // The usage follows a usage error; diff's status 2 is also a file it
    // could not load, said in one line.
    const bool usageError = status == 2 && arguments.constFirst() != QLatin1String("diff");
    if (usageError)
        QVERIFY2(result.err.count('\n') > 1 && result.err.contains("\nUsage: ") &&
                     result.err.endsWith(" --help for more.\n"),
                 result.err.constData());
    else
        QCOMPARE(result.err.count('\n'), 1);
    QCOMPARE(result.out, QByteArray());
    for (auto it = before.begin(); it != before.end(); ++it)
        QCOMPARE(contents(it.key()), it.value());
    QCOMPARE(contents(QStringLiteral("new.dat")), QByteArray("(missing)"));
    QCOMPARE(listing(m_dir->path()), entries);
}

void CommandLineTest::diffs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("same table in a data file and an executable")
        << QStringList{"diff", "kgf.exe", "frmation.dat"} << 0 << QByteArray();
    QTest::newRow("changed count and offset")
        << QStringList{"diff", "--start-b", "3", "frmation.dat", "changed.dat"} << 1
        << QByteArray("formation 2 (Formation\\x1b]0;owned\\x07, \"2\")\n  line 3\n"
                      "    count: 5 -> 4\n    zFeet: -4.76190476190476E-02 -> 0\n");
    QTest::newRow("a backup of the executable, known by its content, and the executable")
        << QStringList{"diff", "KGF.EXE.bak", "kgf.exe"} << 0 << QByteArray();
    QTest::newRow("data files that begin as a program, at --start-a 0 and --start-b 0")
        << QStringList{"diff", "--start-a", "0", "--start-b", "0", "odd.dat", "odd.dat"} << 0
        << QByteArray();
    QTest::newRow("a data file that begins as a program, searched without --start-b")
        << QStringList{"diff", "--start-a", "0", "odd.dat", "odd.dat"} << 2 << QByteArray();
    QTest::newRow("a file that is not there")
        << QStringList{"diff", "frmation.dat", "none.dat"} << 2 << QByteArray();
    QTest::newRow("as JSON: the same, a whole document")
        << QStringList{"diff", "--format", "json", "kgf.exe", "frmation.dat"} << 0
        << QByteArray("{\n    \"formations\": [\n    ]\n}\n");
    QTest::newRow("as JSON: changed count and offset, in feet and stored")
        << QStringList{"diff", "--start-b", "3", "--format", "json", "frmation.dat", "changed.dat"}
        << 1 << QByteArray(R"({
    "formations": [
        {
            "formation": 2,
            "formationName": "Formation\u001b]0;owned\u0007, \"2\"",
            "lines": [
                {
                    "fields": {
                        "count": {
                            "a": 5,
                            "b": 4
                        },
                        "z": {
                            "a": {
                                "feet": -0.047619047619047616,
                                "stored": -1
                            },
                            "b": {
                                "feet": 0,
                                "stored": 0
                            }
                        }
                    },
                    "line": 3
                }
            ]
        }
    ]
}
)");
    QTest::newRow("as CSV: refused")
        << QStringList{"diff", "--format", "csv", "frmation.dat", "changed.dat"} << 2
        << QByteArray();
}

void CommandLineTest::diffs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    FormationLine line = FormationLine::fromBytes(m_table.mid(2 * 48 + 32, 16));
    line.count = 5;
    line.zOffset = -1;
    m_table.replace(2 * 48 + 32, 16, line.toBytes());
    file(QStringLiteral("frmation.dat"), m_table);
    file(QStringLiteral("kgf.exe"), executable(m_table));
    file(QStringLiteral("KGF.EXE.bak"), executable(m_table) + "more");
    file(QStringLiteral("odd.dat"), "MZ" + m_table.mid(2));
    line.count = 4;
    line.zOffset = 0;
    file(QStringLiteral("changed.dat"),
         "abc" + QByteArray(m_table).replace(2 * 48 + 32, 16, line.toBytes()));
    const Run result = run(arguments);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
    QCOMPARE(result.err.isEmpty(), status != 2);
}

void CommandLineTest::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << QByteArray("Usage: kgf-formation-editor");
    QTest::newRow("help: which files are programs")
        << QStringList{"--help"} << 0
        << QByteArray("the signature when its name ends in .exe or it begins with MZ\n"
                      "             (--start is refused for it).");
    QTest::newRow("version") << QStringList{"-v"} << 0 << QByteArray("kgf-formation-editor 0.");
    QTest::newRow("unknown option")
        << QStringList{"export", "--bogus", "a"} << 2 << QByteArray("Unknown option 'bogus'.");
    QTest::newRow("option of another mode") << QStringList{"export", "--quiet", "a"} << 2
                                            << QByteArray("--quiet is not an option of export.");
    QTest::newRow("bad format") << QStringList{"export", "--format", "xml", "a"} << 2
                                << QByteArray("--format is json or csv, not \"xml\".");
    QTest::newRow("bad units") << QStringList{"export", "--units", "metres", "a"} << 2
                               << QByteArray("--units is feet, stored or both, not \"metres\".");
    QTest::newRow("units are export's") << QStringList{"diff", "--units", "feet", "a", "b"} << 2
                                        << QByteArray("--units is not an option of diff.");
    QTest::newRow("bad start") << QStringList{"diff", "--start-a", "1e3", "a", "b"} << 2
                               << QByteArray("--start-a is a byte offset from 0 to 2147483647");
    QTest::newRow("recover takes one file") << QStringList{"recover", "a", "b"} << 2
                                            << QByteArray("recover takes one file, FILE; 2 given.");
    QTest::newRow("recover takes no option") << QStringList{"recover", "--force", "a"} << 2
                                             << QByteArray("--force is not an option of recover.");
}

void CommandLineTest::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    const Run result = run(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2((status == 0 ? result.out : result.err).contains(said), result.err.constData());
    if (status == 2)
        QVERIFY(result.err.contains("Usage: kgf-formation-editor [FILE]"));
}

void CommandLineTest::exportIntoWhatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("output"); // "node", "link" and "full" are made here
    QTest::addColumn<bool>("append");    // how standard output or error goes to redirected.txt
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("a device node") << "node" << false << QByteArray();
    QTest::newRow("a link to a device node") << "link" << false << QByteArray();
    QTest::newRow("a device that refuses the bytes")
        << "full" << false << QByteArray(": No space left on device.");
    QTest::newRow("a socket, which no program can open by name")
        << "socket" << false << QByteArray(": it is a socket, which cannot be written by name.");
    QTest::newRow("NUL") << "NUL" << false << QByteArray();
    QTest::newRow("standard output by its own name") << "redirected.txt" << false << QByteArray();
    QTest::newRow("/dev/stdout") << "/dev/stdout" << false << QByteArray();
    QTest::newRow("/dev/stdout, appending") << "/dev/stdout" << true << QByteArray();
    QTest::newRow("/dev/stderr, appending") << "/dev/stderr" << true << QByteArray();
}

void CommandLineTest::exportIntoWhatIsNoRegularFile()
{
    QFETCH(QString, output);
    QFETCH(bool, append);
    QFETCH(QByteArray, said);
    const bool device = QStringList{"node", "link", "full", "NUL", "socket"}.contains(output);
    QString out = output;
#ifdef Q_OS_WIN
    if (output != QLatin1String("NUL") && output != QLatin1String("redirected.txt"))
        QSKIP("device nodes and /dev/stdout are POSIX's");
#else
    const QString node = m_dir->filePath(QStringLiteral("node"));
    if (output == QLatin1String("NUL") || (output.startsWith(u'/') && !QFileInfo::exists(output)))
        QSKIP("no such device here");
    if (output == QLatin1String("socket")
            ? !unixfiles::makeSocket(node)
            : device && !(output == QLatin1String("full") ? unixfiles::makeFullDevice(node)
                                                          : unixfiles::makeNullDevice(node)))
        QSKIP("device nodes need root");
    if (device)
        out = output == QLatin1String("link") ? m_dir->filePath(output) : node;
    if (output == QLatin1String("link") && !QFile::link(node, out))
        QSKIP("this system makes no symbolic links");
#endif
    file(QStringLiteral("frmation.dat"), m_table);
    const QString redirected = file(QStringLiteral("redirected.txt"), "kept\n");
    const unixfiles::Identity identity = unixfiles::identityOf(device ? out : redirected);
    const QStringList entries = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System);
    const Run result = run({"export", "-o", out, "frmation.dat"}, {}, [&](QProcess &process) {
        const auto mode = append ? QIODevice::Append : QIODevice::Truncate;
        if (output.endsWith(QLatin1String("stderr")))
            process.setStandardErrorFile(redirected, mode);
        else
            process.setStandardOutputFile(redirected, mode);
    });
    QCOMPARE(result.status, said.isEmpty() ? 0 : 1);
    QVERIFY2(result.err.contains(said), result.err.constData());
    QCOMPARE(result.err.isEmpty(), said.isEmpty());
    // Written into, never replaced, and nothing left beside it.
    QCOMPARE(unixfiles::identityOf(device ? out : redirected), identity);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System), entries);
    if (!device)
        QCOMPARE(contents(QStringLiteral("redirected.txt")),
                 (append ? "kept\n" : "") + writeTableText(m_table, m_names, TextFormat::Json));
}

void CommandLineTest::endsQuietlyWhenTheReaderHasGone_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::newRow("export") << QStringList{"export", "frmation.dat"} << 1;
    QTest::newRow("diff still says that they differ")
        << QStringList{"diff", "frmation.dat", "other.dat"} << 1;
}

// As "export FILE | head -c 10" where head has already ended: the write
// fails, the program is not killed by the signal, and it says nothing.
void CommandLineTest::endsQuietlyWhenTheReaderHasGone()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
#ifdef Q_OS_UNIX
    file(QStringLiteral("frmation.dat"), m_table);
    file(QStringLiteral("other.dat"), pattern(1488, 5));
    int ends[2];
    QVERIFY(::pipe(ends) == 0);
    ::close(ends[0]);
    const Run result = run(arguments, {}, [&ends](QProcess &process) {
        process.setChildProcessModifier([&ends] { ::dup2(ends[1], STDOUT_FILENO); });
    });
    ::close(ends[1]);
    QCOMPARE(result.status, status);
    QCOMPARE(result.err, QByteArray());
#else
    Q_UNUSED(status);
    QSKIP("Windows sends no signal for a pipe without a reader");
#endif
}

void CommandLineTest::recovers_data()
{
    QTest::addColumn<QByteArray>("before"); // what the file held before the save
    QTest::addColumn<qint64>("offset");     // where the save wrote its table
    QTest::addColumn<QByteArray>("saved");  // the table it wrote
    QTest::addColumn<QByteArray>("left");   // what the file holds now
    // What else happened: "no journal" or "damaged journal". The other ways
    // recover refuses are tried in tst_save_recovery; here, what it prints.
    QTest::addColumn<QString>("twist");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // the whole line, on standard output for status 0

    const QByteArray table = gameTable();
    // The save's table: formation 2 changed.
    const QByteArray saved = QByteArray(table).replace(2 * 48, 48, pattern(48, 3));
    const QByteArray tail = "tail";
    const QByteArray back = "frmation.dat holds again what it held before the save that did not "
                            "finish (formation 2 is back). Its journal was removed.\n";
    QTest::newRow("nothing to recover")
        << table << qint64(0) << saved << table << "no journal" << 0
        << QByteArray("Nothing to recover: no save of frmation.dat was left unfinished (there is "
                      "no frmation.dat.kgf-journal).\n");
    QTest::newRow("a mix, a write cut off part-way")
        << table + tail << qint64(0) << saved
        << saved.left(2 * 48 + 20) + table.mid(2 * 48 + 20) + tail << "" << 0 << back;
    const QByteArray nothingChanged = " Nothing was changed.\n";
    const QByteArray otherBytes = "frmation.dat holds other bytes there than that save left: "
                                  "another program has changed it since, so the bytes in the "
                                  "journal would go over its changes." +
                                  nothingChanged;
    QTest::newRow("a byte neither old nor new")
        << table + tail << qint64(0) << saved
        << QByteArray(saved).replace(2 * 48 + 30, 1, "\xA5") + tail << "" << 1 << otherBytes;
    QTest::newRow("a damaged journal")
        << table << qint64(0) << saved << saved << "damaged journal" << 1
        << "frmation.dat.kgf-journal is no journal this program can use: its checksums do not "
           "match what it holds." +
               nothingChanged;
}

void CommandLineTest::recovers()
{
    QFETCH(QByteArray, before);
    QFETCH(qint64, offset);
    QFETCH(QByteArray, saved);
    QFETCH(QByteArray, left);
    QFETCH(QString, twist);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    const QString name = QStringLiteral("frmation.dat");
    const QString journal = journalPath(name);
    QByteArray journalBytes;
    if (twist == QLatin1String("no journal"))
        file(name, left);
    else
        journalBytes = unfinishedSave(name, before, offset, saved, left);
    if (twist == QLatin1String("damaged journal")) {
        journalBytes[100] = char(journalBytes[100] ^ 1);
        file(journal, journalBytes);
    }
    const QByteArray now = contents(name);
    const qint64 modified = modifiedNs(name);
    const QStringList entries = listing(m_dir->path());
    const Run result = run({"recover", name});
    QCOMPARE(result.status, status);
    if (status != 0) {
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.endsWith(said), result.err.constData());
        QCOMPARE(result.err.count('\n'), 1);
        QCOMPARE(contents(name), now);
        QCOMPARE(modifiedNs(name), modified);
        QCOMPARE(contents(journal), journalBytes);
        QCOMPARE(listing(m_dir->path()), entries);
        return;
    }
    QCOMPARE(result.out, said);
    QCOMPARE(result.err, QByteArray());
    const bool putBack = !journalBytes.isEmpty() && left != before;
    QCOMPARE(contents(name), putBack ? before : now);
    if (putBack) // with the time of the put-back, which hides no other change
        QVERIFY(modifiedNs(name) != LongAgo.toMSecsSinceEpoch() * 1'000'000);
    QStringList without = entries;
    without.removeOne(journal);
    QCOMPARE(listing(m_dir->path()), without);
    // Loaded as any file is, again.
    if (before.size() >= 1488) {
        const Run exported = run({"export", name});
        QCOMPARE(exported.err, QByteArray());
        QCOMPARE(exported.out, writeTableText(before.left(1488), m_names, TextFormat::Json));
    }
}

void CommandLineTest::refusesWhereItsOwnOutputGoes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("streams"); // sent into the file: "output", "error" or "both"
    QTest::addColumn<QByteArray>("said"); // on the stream left, if one is

    const QString written = QStringLiteral("Nothing was written: standard %1 is redirected to "
                                           "%2, which this import would write into while it "
                                           "saves the table there.\n");
    const QString changed = QStringLiteral("Nothing was changed: standard %1 is redirected to %2, "
                                           "which recover would write into.\n");
    const QStringList import{"import", "text.json", "frmation.dat"};
    QTest::newRow("import, standard output into TARGET")
        << import << "output" << written.arg("output", "frmation.dat").toUtf8();
    QTest::newRow("import, standard error into TARGET: said on standard output")
        << import << "error" << written.arg("error", "frmation.dat").toUtf8();
    QTest::newRow("import, both into TARGET: nothing said") << import << "both" << QByteArray();
    QTest::newRow("import, standard output into TARGET by another name")
        << QStringList{"import", "text.json", "link.dat"} << "output"
        << written.arg("output", "link.dat").toUtf8();
    QTest::newRow("import, before TEXT is read")
        << QStringList{"import", "missing.json", "frmation.dat"} << "output"
        << written.arg("output", "frmation.dat").toUtf8();
    QTest::newRow("recover, standard output into FILE")
        << QStringList{"recover", "frmation.dat"} << "output"
        << changed.arg("output", "frmation.dat").toUtf8();
    QTest::newRow("recover, standard error into FILE: said on standard output")
        << QStringList{"recover", "frmation.dat"} << "error"
        << changed.arg("error", "frmation.dat").toUtf8();
}

// As "import TEXT TARGET >> TARGET": what the program prints would go into
// the file it writes. The streams append, as >> does, so that the
// redirection itself leaves the file as it was.
void CommandLineTest::refusesWhereItsOwnOutputGoes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, streams);
    QFETCH(QByteArray, said);
    const QString name = QStringLiteral("frmation.dat");
    const QString target = m_dir->filePath(name);
    const QByteArray text = writeTableText(pattern(1488, 4), {}, TextFormat::Json);
    QByteArray before = m_table + "tail";
    QByteArray journal;
    if (arguments.constFirst() == QLatin1String("recover")) {
        const QByteArray saved = pattern(1488, 3).replace(0, 5, tableSignature());
        journal = unfinishedSave(name, before, 0, saved, saved + "tail");
        before = saved + "tail";
    } else {
        file(name, before);
    }
    file(QStringLiteral("text.json"), text);
    if (arguments.contains(QLatin1String("link.dat"))) {
#ifdef Q_OS_WIN
        QSKIP("QFile::link makes a shortcut here, which is a file of its own");
#endif
        if (!QFile::link(target, m_dir->filePath(QStringLiteral("link.dat"))))
            QSKIP("this system makes no symbolic links");
    }
    const QStringList entries = listing(m_dir->path());
    const Run result = run(arguments, text, [&](QProcess &process) {
        if (streams != QLatin1String("error"))
            process.setStandardOutputFile(target, QIODevice::Append);
        if (streams != QLatin1String("output"))
            process.setStandardErrorFile(target, QIODevice::Append);
    });
    QCOMPARE(result.status, 1);
    const QByteArray told = said.isEmpty() ? QByteArray() : "kgf-formation-editor: " + said;
    QCOMPARE(result.err, streams == QLatin1String("output") ? told : QByteArray());
    QCOMPARE(result.out, streams == QLatin1String("error") ? told : QByteArray());
    QCOMPARE(contents(name), before);
    if (!journal.isEmpty())
        QCOMPARE(contents(journalPath(name)), journal);
    QCOMPARE(listing(m_dir->path()), entries);
}

void CommandLineTest::importWhereNoJournalCanBeWritten_data()
{
    QTest::addColumn<bool>("noBackup");
    QTest::addColumn<QString>("option"); // given besides
    QTest::newRow("refused") << false << QString();
    QTest::newRow("with --allow-no-backup") << true << "--allow-no-backup";
    // --no-backup makes no backup; a journal is still needed.
    QTest::newRow("refused with --no-backup") << false << "--no-backup";
}

// No file may grow longer than TARGET is: TARGET.bak can be made and the
// table written in place, but the journal, which is longer, cannot be
// written.
void CommandLineTest::importWhereNoJournalCanBeWritten()
{
    QFETCH(bool, noBackup);
    QFETCH(QString, option);
#ifdef Q_OS_UNIX
    const QByteArray before = m_table + "tail";
    file(QStringLiteral("frmation.dat"), before);
    const QByteArray other = pattern(1488, 9);
    QByteArray after = before;
    after.replace(2 * 48, 48, other.mid(2 * 48, 48));
    const QStringList entries = listing(m_dir->path());
    const rlim_t most = rlim_t(before.size());
    const QStringList arguments = QStringList{"import"} +
                                  (option.isEmpty() ? QStringList() : QStringList{option}) +
                                  QStringList{"-", "frmation.dat"};
    const Run result =
        run(arguments, writeFormationText(other, 2, QString()), [most](QProcess &process) {
            process.setChildProcessModifier([most] {
                ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails, and says so
                const rlimit limit{most, most};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        });
    const QByteArray noJournal = "No journal of frmation.dat can be written beside it (File too "
                                 "large): if the save were cut off part-way, by a crash or a "
                                 "power cut, the file could not be put back.";
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.kgf-journal*")}, QDir::AllEntries),
             QStringList());
    if (noBackup) {
        QCOMPARE(contents(QStringLiteral("frmation.dat.bak")), before); // made where it can be
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.contains(noJournal.chopped(1) + "; --allow-no-backup said"),
                 result.out.constData());
        QVERIFY2(result.out.endsWith("; --allow-no-backup said to import without one.\n"),
                 result.out.constData());
        QCOMPARE(contents(QStringLiteral("frmation.dat")), after);
        return;
    }
    QCOMPARE(result.status, 1);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.contains(noJournal), result.err.constData());
    QVERIFY2(result.err.endsWith(
                 " Nothing was written. Give --allow-no-backup to import without one.\n"),
             result.err.constData());
    QCOMPARE(result.err.count('\n'), 1);
    QCOMPARE(contents(QStringLiteral("frmation.dat")), before);
    // The journal is tried first: refused, the import leaves nothing behind.
    QCOMPARE(listing(m_dir->path()), entries);
#else
    Q_UNUSED(noBackup);
    Q_UNUSED(option);
    QSKIP("a limit on the size of a file is POSIX's");
#endif
}

// The program's table moves (a new version of the game) while import waits
// for its text: the table is made again from what is at the new place and
// saved there, and the report says so.
void CommandLineTest::importFollowsAProgramsTableThatMoved()
{
#ifdef Q_OS_UNIX
    const QString fifo = m_dir->filePath(QStringLiteral("text.json"));
    if (!unixfiles::makeFifo(fifo))
        QSKIP("this system makes no FIFOs");
    file(QStringLiteral("kgf.exe"), executable(m_table));
    // Sixteen bytes on, in a program of the same length, with formation 3 of its own.
    QByteArray table = m_table;
    table.replace(3 * 48, 48, pattern(48, 12));
    const qint64 now = ExecutableTable + 16;
    const QByteArray moved = "MZ" + QByteArray(now - 2, 'x') + table + QByteArray(84, 'y');
    QCOMPARE(moved.size(), executable(m_table).size());
    const QByteArray other = pattern(1488, 9);
    const QByteArray text = writeFormationText(other, 2, QString());
    QByteArray after = moved;
    after.replace(now + 2 * 48, 48, other.mid(2 * 48, 48));

    const Run result = run({"import", "text.json", "kgf.exe"}, {}, {}, [&] {
        // TEXT is opened once the table has been found: then the program changes.
        QElapsedTimer waited;
        waited.start();
        int writer = -1;
        while ((writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK)) < 0 &&
               errno == ENXIO && waited.elapsed() < 30000)
            QThread::msleep(10);
        if (writer < 0)
            return; // the import never read TEXT: the checks below say what it did
        QFile program(m_dir->filePath(QStringLiteral("kgf.exe")));
        if (program.open(QIODevice::ReadWrite)) // in place: the same file
            program.write(moved);
        program.close();
        ::fcntl(writer, F_SETFL, 0);
        const bool all = ::write(writer, text.constData(), size_t(text.size())) == text.size();
        ::close(writer);
        QVERIFY(all);
    });
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(contents(QStringLiteral("kgf.exe")), after);
    QCOMPARE(contents(QStringLiteral("kgf.exe.bak")), moved);
    QCOMPARE(result.out,
             diffText(diffTables(table, after.mid(now, 1488)), m_names).toUtf8() +
                 "kgf.exe was saved at byte 1,354,017, where the program keeps its table now: it "
                 "had moved there from byte 1,354,001 since it was first found. A copy of it as "
                 "it was before is kept as kgf.exe.bak.\n");
#else
    QSKIP("FIFOs are POSIX's");
#endif
}

// A save of TARGET did not finish, and TARGET was removed since: its
// journal is still there. An import refuses, writing nothing, and says
// what is left: it never makes a TARGET that every load refuses and
// recover cannot settle.
void CommandLineTest::importLeavesNoFileThatNoModeReads()
{
    const QString name = QStringLiteral("frmation.dat");
    unfinishedSave(name, m_table, 0, pattern(1488, 3), pattern(1488, 3));
    QVERIFY(QFile::remove(m_dir->filePath(name)));
    const QStringList entries = listing(m_dir->path());
    const Run imported =
        run({"import", "-", name}, writeTableText(pattern(1488, 4), {}, TextFormat::Json));
    QCOMPARE(imported.status, 1);
    QCOMPARE(imported.out, QByteArray());
    QVERIFY2(imported.err.contains("frmation.dat.kgf-journal is left beside it, though the file "
                                   "itself is not there any more"),
             imported.err.constData());
    QCOMPARE(listing(m_dir->path()), entries);
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
