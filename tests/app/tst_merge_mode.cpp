// merge run as a user (or git) runs it: three tables in, one saved or
// printed, and nothing written where a conflict is left or a file cannot
// be read. Its report is import's, tested there.
#include "command_run.h"
#include "table_loader.h"
#include "table_text.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace
{

using Files = QMap<QString, QByteArray>;

QByteArray baseTable()
{
    QByteArray bytes(1488, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 29 + 5 + i / 11) & 0x7F);
    return bytes;
}

// `table` with the field at byte `at` of a formation's line set to `value`:
// one byte, or a stored offset of four.
QByteArray withField(QByteArray table, int formation, int line, int at, qint32 value)
{
    const int start = (3 * formation + line - 1) * 16 + at;
    if (at >= 4)
        qToLittleEndian<qint32>(value, table.data() + start);
    else
        table[start] = char(value);
    return table;
}

constexpr int Count = 2;
constexpr int X = 4;

// A readorder.txt naming formations 0 to 4.
QByteArray names()
{
    QByteArray names = "Zero\r\nOne\r\nTwo\r\nThree\r\nFour\r\n";
    for (int formation = 5; formation < 31; ++formation)
        names += "F" + QByteArray::number(formation) + "\r\n";
    return names;
}

// What a folder holds, by name.
QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                  QDir::NoDotAndDotDot);
}

// A program holding `table` at its signature, found past the search start.
QByteArray program(const QByteArray &table)
{
    QByteArray withSignature = table;
    withSignature.replace(0, 5, tableSignature());
    return "MZ" + QByteArray(SignatureScanStart + 100, 'x') + withSignature + "tail";
}

} // namespace

class MergeModeTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void merges_data();
    void merges();
    void refusesAndWritesNothing_data();
    void refusesAndWritesNothing();
    void streamsIntoOursRefused_data();
    void streamsIntoOursRefused();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QByteArray contents(const QString &name) const
    {
        QFile in(path(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
    }
    // A null value is a folder.
    void write(const Files &files) const
    {
        for (auto it = files.begin(); it != files.end(); ++it) {
            if (it.value().isNull() && QDir(m_dir->path()).mkdir(it.key()))
                continue;
            QFile out(path(it.key()));
            if (!out.open(QIODevice::WriteOnly) || out.write(it.value()) != it.value().size())
                qFatal("cannot write %s", qPrintable(it.key()));
        }
    }
    // The files are as written, and nothing else is beside them.
    void untouched(const Files &files) const
    {
        for (auto it = files.begin(); it != files.end(); ++it)
            if (!it.value().isNull())
                QCOMPARE(contents(it.key()), it.value());
        QCOMPARE(listing(m_dir->path()), files.keys());
    }
    CommandRun run(const QStringList &arguments) const
    {
        return runCommand(QStringLiteral(PROGRAM), m_dir->path(), arguments);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void MergeModeTest::merges_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("merged"); // the target's bytes after
    QTest::addColumn<QByteArray>("told");   // some of the report
    QTest::addColumn<QStringList>("made");  // files beside the three after

    const QByteArray base = baseTable();
    const QByteArray ours = withField(base, 2, 1, Count, 9);
    const QByteArray theirs = withField(base, 7, 3, X, 210);
    const QByteArray both = withField(ours, 7, 3, X, 210);
    const Files three{{"base.dat", base}, {"ours.dat", ours}, {"theirs.dat", theirs}};
    const QStringList files{"base.dat", "ours.dat", "theirs.dat"};
    const QByteArray noBackup("No backup was made: --no-backup said to make none.\n");
    const QByteArray saved = "ours.dat was saved. " + noBackup;

    QTest::newRow("each side's change, into OURS")
        << three << QStringList{"merge"} + files << "ours.dat" << both
        << QByteArray("ours.dat was saved. A copy of it as it was before is kept as "
                      "ours.dat.bak.\n")
        << QStringList{"ours.dat.bak"};
    QTest::newRow("--no-backup, as git runs it")
        << three << QStringList{"merge", "--no-backup"} + files << "ours.dat" << both << saved
        << QStringList{};
    QTest::newRow("into a new OUT")
        << three << QStringList{"merge", "-o", "new.dat"} + files << "new.dat" << both
        << QByteArray("No backup was made: there was no file before.\n") << QStringList{"new.dat"};
    // The same count on both sides is no conflict.
    QTest::newRow("the same change on both sides")
        << Files{{"base.dat", base},
                 {"ours.dat", ours},
                 {"theirs.dat", withField(theirs, 2, 1, Count, 9)}}
        << QStringList{"merge", "--no-backup"} + files << "ours.dat" << both << saved
        << QStringList{};

    const QByteArray clash = withField(withField(base, 5, 2, X, 21), 2, 1, Count, 4);
    const QByteArray oursClash = withField(withField(clash, 5, 2, X, 63), 2, 1, Count, 9);
    const QByteArray theirsClash = withField(withField(clash, 5, 2, X, -42), 0, 1, 0, 77);
    Files clashing{{"base.dat", clash}, {"ours.dat", oursClash}, {"theirs.dat", theirsClash}};
    QTest::newRow("--take theirs")
        << clashing << QStringList{"merge", "--no-backup", "--take", "theirs"} + files << "ours.dat"
        << withField(withField(oursClash, 5, 2, X, -42), 0, 1, 0, 77)
        << QByteArray("1 field was changed differently in OURS and THEIRS, settled with THEIRS's "
                      "value:\nformation 5, line 2, x: BASE 1 ft (21 stored), OURS 3 ft (63 "
                      "stored), THEIRS -2 ft (-42 stored)\nformation 0\n  line 1\n    byte0: 5 -> "
                      "77\nformation 5\n  line 2\n    xFeet: 3 -> -2\n" +
                      saved)
        << QStringList{};
    // The names beside OURS, where OUT is elsewhere.
    clashing.insert(QStringLiteral("readorder.txt"), names());
    QTest::newRow("--take ours, into OUT")
        << clashing << QStringList{"merge", "--take", "ours", "-o", "out.dat"} + files << "out.dat"
        << withField(oursClash, 0, 1, 0, 77)
        << QByteArray("settled with OURS's value:\nformation 5 (F5), line 2, x: BASE 1 ft (21 "
                      "stored), OURS 3 ft (63 stored), THEIRS -2 ft (-42 stored)\nout.dat was made")
        << QStringList{"out.dat"};

    // Mods shared as text: a JSON BASE, a CSV THEIRS, a program as OURS.
    const QByteArray inProgram = program(ours);
    QTest::newRow("texts and a program")
        << Files{{"base.json", writeTableText(base, {}, TextFormat::Json)},
                 {"kgf.exe", inProgram},
                 {"theirs.csv", writeTableText(theirs, {}, TextFormat::Csv)}}
        << QStringList{"merge", "--no-backup", "base.json", "kgf.exe", "theirs.csv"} << "kgf.exe"
        << QByteArray(inProgram).replace(SignatureScanStart + 102, 1488,
                                         program(both).mid(SignatureScanStart + 102, 1488))
        << "kgf.exe was saved at byte 1,350,101, where the program keeps its table. " + noBackup
        << QStringList{};

    // Data files beginning with " {", start locations given: read as bytes.
    QByteArray braced = base;
    braced.replace(0, 2, " {");
    QTest::newRow("data files that begin with a brace, start locations given")
        << Files{{"base.dat", braced},
                 {"ours.dat", withField(braced, 2, 1, Count, 9)},
                 {"theirs.dat", withField(braced, 7, 3, X, 210)}}
        << QStringList{"merge",        "--no-backup", "--start-base",   "0",
                       "--start-ours", "0",           "--start-theirs", "0"} +
               files
        << "ours.dat" << withField(withField(braced, 2, 1, Count, 9), 7, 3, X, 210) << saved
        << QStringList{};

    // --quiet: nothing but errors, also where conflicts were settled.
    clashing.remove(QStringLiteral("readorder.txt"));
    QTest::newRow("--quiet, settled")
        << clashing << QStringList{"merge", "--quiet", "--no-backup", "--take", "ours"} + files
        << "ours.dat" << withField(oursClash, 0, 1, 0, 77) << QByteArray() << QStringList{};
    QTest::newRow("printed, --quiet")
        << clashing << QStringList{"merge", "--quiet", "--take", "ours", "-o", "-"} + files << "-"
        << withField(oursClash, 0, 1, 0, 77) << QByteArray() << QStringList{};

    // Tables past a prefix of their own: the merge goes back to OURS's place
    // (also with OURS named again as OUT), and a new OUT is a table of its own.
    const QByteArray prefix(100, 'p');
    const QByteArray lowZ = withField(base, 30, 3, X + 8, -2147483647 - 1);
    const Files prefixed{{"base.dat", "b" + base},
                         {"ours.dat", prefix + ours + "tail"},
                         {"theirs.dat", "tt" + lowZ}};
    const QByteArray mergedZ = withField(ours, 30, 3, X + 8, -2147483647 - 1);
    const QStringList starts{"merge",        "--no-backup", "--start-base",   "1",
                             "--start-ours", "100",         "--start-theirs", "2"};
    QTest::newRow("start locations, into OURS")
        << prefixed << starts + files << "ours.dat" << prefix + mergedZ + "tail" << noBackup
        << QStringList{};
    QTest::newRow("start locations, OURS named again as OUT")
        << prefixed << starts + QStringList{"-o", "./ours.dat"} + files << "ours.dat"
        << prefix + mergedZ + "tail" << noBackup << QStringList{};
    QTest::newRow("start locations, a new OUT")
        << prefixed << starts + QStringList{"-o", "new.dat"} + files << "new.dat" << mergedZ
        << QByteArray("new.dat was made") << QStringList{"new.dat"};

    // OURS that is the copy kept of another file, with --force.
    QTest::newRow("into a backup, with --force")
        << Files{{"base.dat", base},
                 {"frmation.dat", base},
                 {"frmation.dat.bak", ours},
                 {"theirs.dat", theirs}}
        << QStringList{"merge",    "--no-backup",      "--force",
                       "base.dat", "frmation.dat.bak", "theirs.dat"}
        << "frmation.dat.bak" << both << QByteArray("frmation.dat.bak was saved") << QStringList{};
}

void MergeModeTest::merges()
{
    QFETCH(Files, files);
    QFETCH(QStringList, arguments);
    QFETCH(QString, target);
    QFETCH(QByteArray, merged);
    QFETCH(QByteArray, told);
    QFETCH(QStringList, made);
    write(files);
    const CommandRun result = run(arguments);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    // The target merged, every other file as it was.
    for (auto it = files.begin(); it != files.end(); ++it)
        QCOMPARE(contents(it.key()).toHex(' '),
                 (it.key() == target ? merged : it.value()).toHex(' '));
    if (target == QLatin1String("-"))
        QCOMPARE(result.out, writeTableText(merged, {}, TextFormat::Json));
    else if (told.isNull()) // --quiet
        QCOMPARE(result.out, QByteArray());
    else
        QVERIFY2(result.out.contains(told), result.out.constData());
    if (!files.contains(target) && target != QLatin1String("-"))
        QCOMPARE(contents(target), merged);
    QStringList expected = files.keys() + made;
    expected.removeDuplicates();
    expected.sort();
    QCOMPARE(listing(m_dir->path()), expected);
    if (!made.isEmpty() && made[0].endsWith(QLatin1String(".bak")))
        QCOMPARE(contents(made[0]), files.value(target));
}

void MergeModeTest::refusesAndWritesNothing_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err"); // a part of it

    const QByteArray base = withField(baseTable(), 5, 2, X, 21);
    const QByteArray ours = withField(withField(base, 5, 2, X, 63), 2, 1, Count, 9);
    const QByteArray theirs = withField(withField(base, 5, 2, X, -42), 2, 1, Count, 4);
    const Files three{{"base.dat", base}, {"ours.dat", ours}, {"theirs.dat", theirs}};
    const QStringList files{"base.dat", "ours.dat", "theirs.dat"};

    Files named = three;
    named.insert(QStringLiteral("readorder.txt"), names());
    QTest::newRow("conflicts, with the names beside OURS")
        << named << QStringList{"merge", "--no-backup"} + files << 1
        << QByteArray("formation 2 (Two), line 1, count: BASE 39, OURS 9, THEIRS 4\n"
                      "formation 5 (F5), line 2, x: BASE 1 ft (21 stored), OURS 3 ft (63 "
                      "stored), THEIRS -2 ft (-42 stored)\n")
        << QByteArray("Nothing was written: 2 fields were changed differently");
    QTest::newRow("THEIRS missing")
        << Files{{"base.dat", base}, {"ours.dat", ours}} << QStringList{"merge"} + files << 2
        << QByteArray() << QByteArray("theirs.dat");
    QTest::newRow("BASE a text of one formation")
        << Files{{"base.json", writeFormationText(base, 3, QString())},
                 {"ours.dat", ours},
                 {"theirs.dat", theirs}}
        << QStringList{"merge", "base.json", "ours.dat", "theirs.dat"} << 2 << QByteArray()
        << QByteArray("base.json begins as a formation table text, but is not a whole table");
    QTest::newRow("OURS a table text")
        << Files{{"base.dat", base},
                 {"ours.json",
                  writeTableText(withField(base, 9, 1, Count, 1), {}, TextFormat::Json)},
                 {"theirs.dat", withField(base, 8, 1, Count, 1)}}
        << QStringList{"merge", "base.dat", "ours.json", "theirs.dat"} << 2 << QByteArray()
        << QByteArray("Nothing was written: ours.json is a formation table text");
    // JSON close to a table text is never merged as a table's bytes.
    QTest::newRow("THEIRS a JSON text after a comment")
        << Files{{"base.dat", base},
                 {"ours.dat", base},
                 {"theirs.json", "// mine\n" + writeTableText(theirs, {}, TextFormat::Json)}}
        << QStringList{"merge", "--no-backup", "base.dat", "ours.dat", "theirs.json"} << 2
        << QByteArray() << QByteArray("theirs.json");
    // A program by its content: the refusal names merge's own option.
    QTest::newRow("a start location for OURS that begins as a program")
        << Files{{"base.dat", base}, {"ours.prog", program(ours)}, {"theirs.dat", base}}
        << QStringList{"merge", "--start-ours", "1350101", "base.dat", "ours.prog", "theirs.dat"}
        << 2 << QByteArray() << QByteArray("--start-ours");
    QTest::newRow("--take of neither side")
        << three << QStringList{"merge", "--take", "both"} + files << 2 << QByteArray()
        << QByteArray("--take is ours or theirs, not \"both\".");
    QTest::newRow("into a backup, without --force")
        << Files{{"base.dat", base},
                 {"frmation.dat", base},
                 {"frmation.dat.bak", ours},
                 {"theirs.dat", base}}
        << QStringList{"merge", "--no-backup", "base.dat", "frmation.dat.bak", "theirs.dat"} << 2
        << QByteArray() << QByteArray("Give --force to write it anyway.");
    // No OURS.bak can be made.
    QTest::newRow("a failed save")
        << Files{{"base.dat", base},
                 {"ours.dat", ours},
                 {"ours.dat.bak", QByteArray()},
                 {"theirs.dat", withField(base, 7, 3, X, 210)}}
        << QStringList{"merge"} + files << 2 << QByteArray()
        << QByteArray(" Nothing was written. Give --no-backup to merge without one.\n");
}

void MergeModeTest::refusesAndWritesNothing()
{
    QFETCH(Files, files);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    write(files);
    const CommandRun result = run(arguments);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.contains(err), result.err.constData());
    untouched(files);
    // Printed, the conflicts go to standard error: standard output is for the JSON.
    if (status == 1) {
        const CommandRun printed = run(QStringList{"merge", "-o", "-"} + arguments.mid(1));
        QCOMPARE(printed.status, 1);
        QCOMPARE(printed.out, QByteArray());
        QVERIFY2(printed.err.contains(out), printed.err.constData());
    }
}

// The program's own streams are never let into OURS or its journal.
void MergeModeTest::streamsIntoOursRefused_data()
{
    QTest::addColumn<QString>("redirected");
    QTest::addColumn<bool>("error"); // stderr, else stdout
    QTest::newRow("stdout appended to OURS") << "ours.dat" << false;
    QTest::newRow("stderr into OURS's journal") << "ours.dat.kgf-journal" << true;
}

void MergeModeTest::streamsIntoOursRefused()
{
    QFETCH(QString, redirected);
    QFETCH(bool, error);
    const QByteArray base = baseTable();
    Files files{{"base.dat", base},
                {"ours.dat", withField(base, 2, 1, Count, 9)},
                {"theirs.dat", withField(withField(base, 2, 1, Count, 4), 7, 3, X, 210)}};
    write(files);
    const QString file = path(redirected);
    const CommandRun result =
        runCommand(QStringLiteral(PROGRAM), m_dir->path(),
                   {"merge", "--take", "theirs", "base.dat", "ours.dat", "theirs.dat"}, {},
                   [file, error](QProcess &process) {
                       if (error)
                           process.setStandardErrorFile(file, QIODevice::Append);
                       else
                           process.setStandardOutputFile(file, QIODevice::Append);
                   });
    QCOMPARE(result.status, 2);
    files.insert(redirected, files.value(redirected, "")); // made by the redirection, left empty
    untouched(files);
}

QTEST_GUILESS_MAIN(MergeModeTest)
#include "tst_merge_mode.moc"
