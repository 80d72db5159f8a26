// merge run as a user (or git) runs it: three tables in, one saved or
// printed, and nothing written where a conflict is left or a file cannot
// be read.
#include "command_run.h"
#include "formation_line.h"
#include "table_diff.h"
#include "table_loader.h"
#include "table_text.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
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
    void init();
    void merges_data();
    void merges();
    void refusesAndWritesNothing_data();
    void refusesAndWritesNothing();
    void failedSave();
    void helpGivesTheStatusOfAFailedSave();
    void startLocations_data();
    void startLocations();
    void streamsIntoOursRefused_data();
    void streamsIntoOursRefused();
    void quiet_data();
    void quiet();
    void whatIsSaid_data();
    void whatIsSaid();
    void intoABackupWithForceOnly();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QByteArray contents(const QString &name) const;
    void write(const QString &name, const QByteArray &bytes) const;
    CommandRun run(const QStringList &arguments) const
    {
        return runCommand(QStringLiteral(PROGRAM), m_dir->path(), arguments);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void MergeModeTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

QByteArray MergeModeTest::contents(const QString &name) const
{
    QFile in(path(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
}

void MergeModeTest::write(const QString &name, const QByteArray &bytes) const
{
    QFile out(path(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(name));
}

void MergeModeTest::merges_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("merged"); // the target's bytes after
    QTest::addColumn<QByteArray>("told");   // the report's last line, or all of it
    QTest::addColumn<QStringList>("made");  // files beside the three after

    const QByteArray base = baseTable();
    const QByteArray ours = withField(base, 2, 1, Count, 9);
    const QByteArray theirs = withField(base, 7, 3, X, 210);
    const QByteArray both = withField(ours, 7, 3, X, 210);
    const Files three{{"base.dat", base}, {"ours.dat", ours}, {"theirs.dat", theirs}};
    const QStringList files{"base.dat", "ours.dat", "theirs.dat"};

    QTest::newRow("each side's change, into OURS")
        << three << QStringList{"merge"} + files << "ours.dat" << both
        << QByteArray("ours.dat was saved. A copy of it as it was before is kept as "
                      "ours.dat.bak.\n")
        << QStringList{"ours.dat.bak"};
    QTest::newRow("--no-backup, as git runs it")
        << three << QStringList{"merge", "--no-backup"} + files << "ours.dat" << both
        << QByteArray("ours.dat was saved. No backup was made: --no-backup said to make none.\n")
        << QStringList{};
    QTest::newRow("into a new OUT")
        << three << QStringList{"merge", "-o", "new.dat"} + files << "new.dat" << both
        << QByteArray("new.dat was made, with all 31 formations of the merged table. No backup "
                      "was made: there was no file before.\n")
        << QStringList{"new.dat"};
    QTest::newRow("theirs changed nothing ours lacks")
        << Files{{"base.dat", base}, {"ours.dat", both}, {"theirs.dat", theirs}}
        << QStringList{"merge"} + files << "ours.dat" << both
        << QByteArray("ours.dat is unchanged: it holds these formations already, so nothing "
                      "was written and no backup made.\n")
        << QStringList{};
    // One field each: the count alike on both sides, X only on theirs.
    QTest::newRow("the same change on both sides")
        << Files{{"base.dat", base},
                 {"ours.dat", ours},
                 {"theirs.dat", withField(theirs, 2, 1, Count, 9)}}
        << QStringList{"merge", "--no-backup"} + files << "ours.dat" << both
        << QByteArray("ours.dat was saved. No backup was made: --no-backup said to make none.\n")
        << QStringList{};

    const QByteArray clash = withField(withField(base, 5, 2, X, 21), 2, 1, Count, 4);
    const QByteArray oursClash = withField(withField(clash, 5, 2, X, 63), 2, 1, Count, 9);
    const QByteArray theirsClash = withField(withField(clash, 5, 2, X, -42), 0, 1, 0, 77);
    const Files clashing{{"base.dat", clash}, {"ours.dat", oursClash}, {"theirs.dat", theirsClash}};
    QTest::newRow("--take theirs")
        << clashing << QStringList{"merge", "--no-backup", "--take", "theirs"} + files << "ours.dat"
        << withField(withField(oursClash, 5, 2, X, -42), 0, 1, 0, 77)
        << QByteArray("1 field was changed differently in OURS and THEIRS, settled with THEIRS's "
                      "value:\nformation 5, line 2, x: BASE 1 ft (21 stored), OURS 3 ft (63 "
                      "stored), THEIRS -2 ft (-42 stored)\nformation 0\n  line 1\n    byte0: 5 -> "
                      "77\nformation 5\n  line 2\n    xFeet: 3 -> -2\nours.dat was saved. No "
                      "backup was made: --no-backup said to make none.\n")
        << QStringList{};
    QTest::newRow("--take ours")
        << clashing << QStringList{"merge", "--no-backup", "--take", "ours"} + files << "ours.dat"
        << withField(oursClash, 0, 1, 0, 77)
        << QByteArray("ours.dat was saved. No backup was made: --no-backup said to make none.\n")
        << QStringList{};

    // Mods shared as text: a JSON BASE, a CSV THEIRS, a program as OURS.
    const QByteArray inProgram = program(ours);
    QByteArray mergedProgram = inProgram;
    mergedProgram.replace(SignatureScanStart + 102, 1488,
                          program(both).mid(SignatureScanStart + 102, 1488));
    QTest::newRow("texts and a program")
        << Files{{"base.json", writeTableText(base, {}, TextFormat::Json)},
                 {"kgf.exe", inProgram},
                 {"theirs.csv", writeTableText(theirs, {}, TextFormat::Csv)}}
        << QStringList{"merge", "--no-backup", "base.json", "kgf.exe", "theirs.csv"} << "kgf.exe"
        << mergedProgram
        << QByteArray("kgf.exe was saved at byte 1,350,101, where the program keeps its table. "
                      "No backup was made: --no-backup said to make none.\n")
        << QStringList{};

    // A data file may begin with a blank and "{" (byte0 32, a type code of
    // 123): with the start locations given, its bytes are read and merged
    // into it, as into any other data file.
    QByteArray braced = base;
    braced[0] = ' ';
    braced[1] = '{';
    QTest::newRow("data files that begin with a brace, start locations given")
        << Files{{"base.dat", braced},
                 {"ours.dat", withField(braced, 2, 1, Count, 9)},
                 {"theirs.dat", withField(braced, 7, 3, X, 210)}}
        << QStringList{"merge",        "--no-backup", "--start-base",   "0",
                       "--start-ours", "0",           "--start-theirs", "0"} +
               files
        << "ours.dat" << withField(withField(braced, 2, 1, Count, 9), 7, 3, X, 210)
        << QByteArray("ours.dat was saved. No backup was made: --no-backup said to make none.\n")
        << QStringList{};
}

void MergeModeTest::merges()
{
    QFETCH(Files, files);
    QFETCH(QStringList, arguments);
    QFETCH(QString, target);
    QFETCH(QByteArray, merged);
    QFETCH(QByteArray, told);
    QFETCH(QStringList, made);
    for (auto it = files.begin(); it != files.end(); ++it)
        write(it.key(), it.value());
    const QByteArray before = files.value(target);
    const CommandRun result = run(arguments);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(contents(target), merged);
    QVERIFY2(result.out.endsWith(told), result.out.constData());
    QStringList expected = files.keys() + made;
    expected.removeDuplicates();
    expected.sort();
    QCOMPARE(listing(m_dir->path()), expected);
    if (made.contains(target + QStringLiteral(".bak")))
        QCOMPARE(contents(target + QStringLiteral(".bak")), before);
    // What changed in the target, as diff lists it, comes first.
    if (!before.isEmpty() && before != merged && !arguments.contains(QLatin1String("--take"))) {
        const qint64 at = before.size() == 1488 ? 0 : SignatureScanStart + 102;
        QCOMPARE(result.out,
                 diffText(diffTables(before.mid(at, 1488), merged.mid(at, 1488)), {}).toUtf8() +
                     told);
    }

    // The same merge printed: the JSON of the merged table, and no file touched.
    for (auto it = files.begin(); it != files.end(); ++it)
        write(it.key(), it.value());
    for (const QString &name : made)
        QVERIFY(QDir(m_dir->path()).remove(name));
    QStringList printing = arguments;
    if (const qsizetype o = printing.indexOf(QLatin1String("-o")); o >= 0)
        printing.remove(o, 2);
    printing.insert(1, QStringLiteral("-o"));
    printing.insert(2, QStringLiteral("-"));
    const CommandRun printed = run(printing);
    QCOMPARE(printed.status, 0);
    const qint64 at = merged.size() == 1488 ? 0 : SignatureScanStart + 102;
    QCOMPARE(printed.out, writeTableText(merged.mid(at, 1488), {}, TextFormat::Json));
    QCOMPARE(printed.err.isEmpty(), !arguments.contains(QLatin1String("--take")));
    for (auto it = files.begin(); it != files.end(); ++it)
        QCOMPARE(contents(it.key()), it.value());
    expected = files.keys();
    expected.sort();
    QCOMPARE(listing(m_dir->path()), expected);
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
    named.insert(QStringLiteral("readorder.txt"), QByteArray("Zero\r\nOne\r\nTwo\r\n"));
    QTest::newRow("conflicts, with the names beside OURS")
        << named << QStringList{"merge", "--no-backup"} + files << 1
        << QByteArray("formation 2 (Two), line 1, count: BASE 39, OURS 9, THEIRS 4\n"
                      "formation 5, line 2, x: BASE 1 ft (21 stored), OURS 3 ft (63 stored), "
                      "THEIRS -2 ft (-42 stored)\n")
        << QByteArray("Nothing was written: 2 fields were changed differently in OURS and "
                      "THEIRS. Give --take ours or --take theirs to settle them with that side's "
                      "value.\n");
    FormationLine line;
    line.typeCode = 0x23; // type 3 with the second modifier
    QByteArray typed = base;
    typed.replace(0, 16, line.toBytes());
    QTest::newRow("a type code's conflict, in words")
        << Files{{"base.dat", typed},
                 {"ours.dat", withField(typed, 0, 1, 1, 0x13)},
                 {"theirs.dat", withField(typed, 0, 1, 1, 0x04)}}
        << QStringList{"merge"} + files << 1
        << QByteArray("formation 0, line 1, typeCode: BASE 35 (Line echelon right; modifiers: "
                      "Staggered), OURS 19 (Line echelon right; modifiers: One lead), THEIRS 4 "
                      "(Line echelon left; modifiers: none)\n")
        << QByteArray("Nothing was written: 1 field was changed differently");
    QTest::newRow("THEIRS missing")
        << Files{{"base.dat", base}, {"ours.dat", ours}} << QStringList{"merge"} + files << 2
        << QByteArray() << QByteArray("theirs.dat");
    QTest::newRow("BASE a text of one formation")
        << Files{{"base.json", writeFormationText(base, 3, QString())},
                 {"ours.dat", ours},
                 {"theirs.dat", theirs}}
        << QStringList{"merge", "base.json", "ours.dat", "theirs.dat"} << 2 << QByteArray()
        << QByteArray("base.json begins as a formation table text, but is not a whole table "
                      "this program can read: it gives 1 of the 31 formations.");
    QTest::newRow("OURS a table text")
        << Files{{"base.dat", base},
                 {"ours.json",
                  writeTableText(withField(base, 9, 1, Count, 1), {}, TextFormat::Json)},
                 {"theirs.dat", withField(base, 8, 1, Count, 1)}}
        << QStringList{"merge", "base.dat", "ours.json", "theirs.dat"} << 2 << QByteArray()
        << QByteArray("Nothing was written: ours.json is a formation table text, and merge "
                      "saves a table's bytes into it.");
    // Texts that are JSON, but no table text this program reads, are never
    // read as a table's bytes: the text's characters would be merged.
    const QByteArray theirsJson = writeTableText(theirs, {}, TextFormat::Json);
    QTest::newRow("THEIRS a JSON text after a comment")
        << Files{{"base.dat", base}, {"ours.dat", base}, {"theirs.json", "// mine\n" + theirsJson}}
        << QStringList{"merge", "--no-backup", "base.dat", "ours.dat", "theirs.json"} << 2
        << QByteArray() << QByteArray("theirs.json");
    QTest::newRow("BASE a JSON list")
        << Files{{"base.json", "[" + writeTableText(base, {}, TextFormat::Json) + "]"},
                 {"ours.dat", ours},
                 {"theirs.dat", theirs}}
        << QStringList{"merge", "base.json", "ours.dat", "theirs.dat"} << 2 << QByteArray()
        << QByteArray("base.json");
    QStringEncoder utf32(QStringConverter::Utf32LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("OURS a UTF-32 text, into OUT")
        << Files{{"base.dat", base},
                 {"ours.json",
                  utf32(QString::fromUtf8(writeTableText(ours, {}, TextFormat::Json)))},
                 {"theirs.dat", base}}
        << QStringList{"merge", "-o", "out.dat", "base.dat", "ours.json", "theirs.dat"} << 2
        << QByteArray() << QByteArray("ours.json");
    // A program by its content: the refusal names merge's own option.
    QTest::newRow("a start location for OURS that begins as a program")
        << Files{{"base.dat", base}, {"ours.prog", program(ours)}, {"theirs.dat", base}}
        << QStringList{"merge", "--start-ours", "1350101", "base.dat", "ours.prog", "theirs.dat"}
        << 2 << QByteArray() << QByteArray("--start-ours");
    QTest::newRow("a start location for a program")
        << Files{{"base.dat", base}, {"kgf.exe", program(ours)}, {"theirs.dat", theirs}}
        << QStringList{"merge", "--start-ours", "0", "base.dat", "kgf.exe", "theirs.dat"} << 2
        << QByteArray() << QByteArray("--start-ours");
    QTest::newRow("--take of neither side")
        << three << QStringList{"merge", "--take", "both"} + files << 2 << QByteArray()
        << QByteArray("--take is ours or theirs, not \"both\".");
    QTest::newRow("two files") << three << QStringList{"merge", "base.dat", "ours.dat"} << 2
                               << QByteArray()
                               << QByteArray("merge takes BASE, OURS and THEIRS; 2 given.");
}

void MergeModeTest::refusesAndWritesNothing()
{
    QFETCH(Files, files);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    for (auto it = files.begin(); it != files.end(); ++it)
        write(it.key(), it.value());
    const CommandRun result = run(arguments);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.contains(err), result.err.constData());
    for (auto it = files.begin(); it != files.end(); ++it)
        QCOMPARE(contents(it.key()), it.value());
    QStringList expected = files.keys();
    expected.sort();
    QCOMPARE(listing(m_dir->path()), expected);
    // Printing the merge: standard output is for its JSON alone, so the
    // conflicts go to standard error.
    if (status == 1 && !out.isEmpty()) {
        const CommandRun printed = run(QStringList{"merge", "-o", "-"} + arguments.mid(1));
        QCOMPARE(printed.status, 1);
        QCOMPARE(printed.out, QByteArray());
        QVERIFY2(printed.err.contains(out), printed.err.constData());
    }
}

// A save that fails (no OURS.bak can be made) writes nothing, says how to
// go on, and ends with the status the documentation gives it.
void MergeModeTest::failedSave()
{
    const QByteArray base = baseTable();
    const QByteArray ours = withField(base, 2, 1, Count, 9);
    write(QStringLiteral("base.dat"), base);
    write(QStringLiteral("ours.dat"), ours);
    write(QStringLiteral("theirs.dat"), withField(base, 7, 3, X, 210));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ours.dat.bak")));
    const CommandRun result = run({"merge", "base.dat", "ours.dat", "theirs.dat"});
    QVERIFY2(result.err.endsWith(" Nothing was written. Give --no-backup to merge without one.\n"),
             result.err.constData());
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(contents(QStringLiteral("ours.dat")), ours);
    QCOMPARE(listing(m_dir->path()),
             QStringList({"base.dat", "ours.dat", "ours.dat.bak", "theirs.dat"}));
    QCOMPARE(result.status, 2); // as docs/command-line.md says: 1 is a conflict only
}

// The help gives a save that fails the status the program ends with (2).
void MergeModeTest::helpGivesTheStatusOfAFailedSave()
{
    const CommandRun help = run({"--help"});
    QCOMPARE(help.status, 0);
    const QString said = QString::fromUtf8(help.out + help.err).simplified();
    const qsizetype at = said.indexOf(QStringLiteral("Exit status 0: merged"));
    QVERIFY2(at >= 0, qPrintable(said));
    const QString statuses = said.mid(at, said.indexOf(QStringLiteral("git's"), at) - at);
    QVERIFY2(!statuses.contains(QStringLiteral("1: a conflict, or the table could not be saved")),
             qPrintable(statuses));
}

// Data files that hold their tables past a prefix of their own: the start
// locations read them there, the merge goes back to OURS's place (also
// when OURS is named again as OUT), and a new OUT is a table of its own.
void MergeModeTest::startLocations_data()
{
    QTest::addColumn<QStringList>("output"); // -o OUT, if given
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("prefixed"); // the target keeps OURS's prefix
    QTest::newRow("into OURS") << QStringList() << "ours.dat" << true;
    QTest::newRow("OURS named again as OUT")
        << QStringList{"-o", "./ours.dat"} << "ours.dat" << true;
    QTest::newRow("a new OUT") << QStringList{"-o", "new.dat"} << "new.dat" << false;
}

void MergeModeTest::startLocations()
{
    QFETCH(QStringList, output);
    QFETCH(QString, target);
    QFETCH(bool, prefixed);
    const QByteArray prefix(100, 'p');
    const QByteArray base = baseTable();
    const QByteArray ours = withField(base, 2, 1, Count, 9);
    const QByteArray theirs = withField(base, 30, 3, X + 8, -2147483647 - 1); // z
    const QByteArray merged = withField(ours, 30, 3, X + 8, -2147483647 - 1);
    write(QStringLiteral("base.dat"), "b" + base);
    write(QStringLiteral("ours.dat"), prefix + ours + "tail");
    write(QStringLiteral("theirs.dat"), "tt" + theirs);
    const CommandRun result = run(QStringList{"merge", "--no-backup", "--start-base", "1",
                                              "--start-ours", "100", "--start-theirs", "2"} +
                                  output + QStringList{"base.dat", "ours.dat", "theirs.dat"});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(contents(target).toHex(' '),
             (prefixed ? prefix + merged + "tail" : merged).toHex(' '));
    if (target != QLatin1String("ours.dat"))
        QCOMPARE(contents(QStringLiteral("ours.dat")), prefix + ours + "tail");
    QCOMPARE(contents(QStringLiteral("theirs.dat")), "tt" + theirs);
}

// The program's own streams are never let into OURS, its .bak or its
// journal, conflicts or not.
void MergeModeTest::streamsIntoOursRefused_data()
{
    QTest::addColumn<QString>("redirected");
    QTest::addColumn<bool>("error"); // stderr, else stdout
    QTest::newRow("stdout appended to OURS") << "ours.dat" << false;
    QTest::newRow("stderr appended to OURS") << "ours.dat" << true;
    QTest::newRow("stdout into OURS.bak") << "ours.dat.bak" << false;
    QTest::newRow("stderr into OURS's journal") << "ours.dat.kgf-journal" << true;
}

void MergeModeTest::streamsIntoOursRefused()
{
    QFETCH(QString, redirected);
    QFETCH(bool, error);
    const QByteArray base = baseTable();
    const QByteArray ours = withField(base, 2, 1, Count, 9);
    const QByteArray theirs = withField(withField(base, 2, 1, Count, 4), 7, 3, X, 210);
    write(QStringLiteral("base.dat"), base);
    write(QStringLiteral("ours.dat"), ours);
    write(QStringLiteral("theirs.dat"), theirs);
    const QStringList before = listing(m_dir->path());
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
    QCOMPARE(contents(QStringLiteral("ours.dat")), ours);
    QCOMPARE(contents(QStringLiteral("base.dat")), base);
    QCOMPARE(contents(QStringLiteral("theirs.dat")), theirs);
    QStringList expected = before;
    if (redirected != QLatin1String("ours.dat"))
        expected << redirected; // made by the redirection itself, and left empty
    expected.sort();
    QCOMPARE(listing(m_dir->path()), expected);
    if (redirected != QLatin1String("ours.dat")) // the refusal is said on the other stream
        QCOMPARE(contents(redirected), QByteArray());
}

// --quiet: nothing but errors, also where conflicts were settled.
void MergeModeTest::quiet_data()
{
    QTest::addColumn<QStringList>("output");
    QTest::newRow("into OURS") << QStringList();
    QTest::newRow("printed") << QStringList{"-o", "-"};
}

void MergeModeTest::quiet()
{
    QFETCH(QStringList, output);
    const QByteArray base = baseTable();
    const QByteArray ours = withField(base, 2, 1, Count, 9);
    const QByteArray theirs = withField(withField(base, 2, 1, Count, 4), 7, 3, X, 210);
    write(QStringLiteral("base.dat"), base);
    write(QStringLiteral("ours.dat"), ours);
    write(QStringLiteral("theirs.dat"), theirs);
    const CommandRun result = run(QStringList{"merge", "--quiet", "--no-backup", "--take", "ours"} +
                                  output + QStringList{"base.dat", "ours.dat", "theirs.dat"});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, QByteArray());
    const QByteArray merged = withField(ours, 7, 3, X, 210);
    QCOMPARE(result.out,
             output.isEmpty() ? QByteArray() : writeTableText(merged, {}, TextFormat::Json));
    QCOMPARE(contents(QStringLiteral("ours.dat")), output.isEmpty() ? merged : ours);
}

// What is said of conflicts: the side that settled them, one conflict's
// own words, and the names from readorder.txt beside OURS even where OUT
// is elsewhere.
void MergeModeTest::whatIsSaid_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    const QStringList files{"mods/base.dat", "mods/ours.dat", "mods/theirs.dat"};
    QTest::newRow("one conflict left")
        << QStringList{"merge"} + files << 1
        << QByteArray("formation 2 (Two), line 1, count: BASE 39, OURS 9, THEIRS 4\n")
        << QByteArray("kgf-formation-editor: Nothing was written: 1 field was changed differently "
                      "in OURS and THEIRS. Give --take ours or --take theirs to settle it with "
                      "that side's value.\n");
    QTest::newRow("settled with ours, saved elsewhere")
        << QStringList{"merge", "--take", "ours", "-o", "out.dat"} + files << 0
        << QByteArray("1 field was changed differently in OURS and THEIRS, settled with OURS's "
                      "value:\nformation 2 (Two), line 1, count: BASE 39, OURS 9, THEIRS 4\n"
                      "out.dat was made, with all 31 formations of the merged table. No backup "
                      "was made: there was no file before.\n")
        << QByteArray();
    QTest::newRow("settled with theirs, the report's names")
        << QStringList{"merge", "--take", "theirs", "--no-backup"} + files << 0
        << QByteArray("1 field was changed differently in OURS and THEIRS, settled with THEIRS's "
                      "value:\nformation 2 (Two), line 1, count: BASE 39, OURS 9, THEIRS 4\n"
                      "formation 2 (Two)\n  line 1\n    count: 9 -> 4\n"
                      "mods/ours.dat was saved. No backup was made: --no-backup said to make "
                      "none.\n")
        << QByteArray();
}

void MergeModeTest::whatIsSaid()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("mods")));
    const QByteArray base = baseTable();
    write(QStringLiteral("mods/base.dat"), base);
    write(QStringLiteral("mods/ours.dat"), withField(base, 2, 1, Count, 9));
    write(QStringLiteral("mods/theirs.dat"), withField(base, 2, 1, Count, 4));
    QByteArray names = "Zero\r\nOne\r\nTwo\r\n";
    for (int formation = 3; formation < 31; ++formation)
        names += "F" + QByteArray::number(formation) + "\r\n";
    write(QStringLiteral("mods/readorder.txt"), names);
    const CommandRun result = run(arguments);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
    QCOMPARE(result.err, err);
}

// OURS that is the copy kept of another file is refused, and the refusal
// names no option merge does not take (merge has no --force).
void MergeModeTest::intoABackupWithForceOnly()
{
    const QByteArray base = baseTable();
    const QByteArray ours = withField(base, 2, 1, Count, 9);
    const QByteArray theirs = withField(base, 7, 3, X, 210);
    write(QStringLiteral("base.dat"), base);
    write(QStringLiteral("frmation.dat"), base);
    write(QStringLiteral("frmation.dat.bak"), ours);
    write(QStringLiteral("theirs.dat"), theirs);
    const QStringList before = listing(m_dir->path());
    const CommandRun result =
        run({"merge", "--no-backup", "base.dat", "frmation.dat.bak", "theirs.dat"});
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.contains("frmation.dat.bak"), result.err.constData());
    QCOMPARE(contents(QStringLiteral("frmation.dat.bak")), ours);
    QCOMPARE(listing(m_dir->path()), before);
    // The option the refusal names is merge's own.
    QVERIFY2(result.err.contains("Give --force to write it anyway."), result.err.constData());
    const CommandRun forced =
        run({"merge", "--no-backup", "--force", "base.dat", "frmation.dat.bak", "theirs.dat"});
    QCOMPARE(forced.status, 0);
    QCOMPARE(contents(QStringLiteral("frmation.dat.bak")), withField(ours, 7, 3, X, 210));
}

QTEST_GUILESS_MAIN(MergeModeTest)
#include "tst_merge_mode.moc"
