#include "output_file.h"
#include "program_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Which rule takes which file for a program. The cases are chosen so that
// each rule differs from each other one on at least one of them.
class ProgramFileTest : public QObject
{
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
    void unfitOutputs_data();
    void unfitOutputs();
};

namespace
{

enum class Made { Nothing, File, Executable, Folder };

} // namespace

Q_DECLARE_METATYPE(Made)

void ProgramFileTest::rules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Made>("made");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("nameForLoad");
    QTest::addColumn<bool>("nameForSave");
    QTest::addColumn<bool>("forSave");
    QTest::addColumn<bool>("forOutput");
    const QByteArray none;
    const QByteArray program("MZ\x90\x00", 4);
    const QByteArray data("\x00\x25\x03\x00", 4);
    // name, made, head: load by name, save by name, save, output
    QTest::newRow("the game, missing") << "KGF.EXE" << Made::Nothing << none //
                                       << true << true << true << true;
    QTest::newRow("the game in lower case, a data file")
        << "kgf.exe" << Made::File << data << true << true << true << true;
    QTest::newRow("any name ending in f.exe") << "self.exe" << Made::Nothing << none //
                                              << true << true << true << true;
    QTest::newRow("another program: saved as one, not searched by name")
        << "setup.Exe" << Made::File << data << false << true << true << true;
    QTest::newRow("a dot at the end: Windows opens kgf.exe")
        << "kgf.exe." << Made::Nothing << none << false << true << true << true;
    QTest::newRow("a dot and a blank at the end")
        << "kgf.exe . " << Made::Nothing << none << false << true << true << true;
    QTest::newRow("a backup of the game, by its content")
        << "KGF.EXE.bak" << Made::File << program << false << false << true << true;
    QTest::newRow("the backup's name alone") << "KGF.EXE.bak" << Made::Nothing << none //
                                             << false << false << false << false;
    QTest::newRow("a data file that begins with MZ")
        << "odd.dat" << Made::File << program << false << false << true << true;
    QTest::newRow("M alone is no program") << "m.dat" << Made::File << QByteArray("M") //
                                           << false << false << false << false;
    QTest::newRow("a data file") << "frmation.dat" << Made::File << data //
                                 << false << false << false << false;
    QTest::newRow("a folder with a program's name")
        << "games.exe" << Made::Folder << none << false << true << true << true;
    QTest::newRow("a folder named as the game is searched")
        << "kgf.exe" << Made::Folder << none << true << true << true << true;
    QTest::newRow("exe alone") << "exe" << Made::Nothing << none << false << false << false
                               << false;
    QTest::newRow("too short for F.EXE")
        << "F.EX" << Made::Nothing << none << false << false << false << false;
    QTest::newRow("F.EXE inside the name")
        << "KGF.EXE.txt" << Made::File << data << false << false << false << false;
#ifndef Q_OS_WIN
    // Windows marks files executable by their names only.
    QTest::newRow("an executable script: an output only")
        << "run" << Made::Executable << QByteArray("#!/bin/sh\n") << false << false << false
        << true;
    QTest::newRow("an ELF binary: an output only") << "tool" << Made::Executable
                                                   << QByteArray("\x7f"
                                                                 "ELF\x02")
                                                   << false << false << false << true;
    QTest::newRow("a text marked executable, as a Windows disk marks all")
        << "notes.txt" << Made::Executable << QByteArray("notes\n") << false << false << false
        << false;
    QTest::newRow("a script not marked executable")
        << "run.sh" << Made::File << QByteArray("#!/bin/sh\n") << false << false << false << false;
#endif
}

void ProgramFileTest::rules()
{
    QFETCH(QString, name);
    QFETCH(Made, made);
    QFETCH(QByteArray, head);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(name);
    if (made == Made::Folder) {
        QVERIFY(QDir(folder.path()).mkdir(name));
    } else if (made != Made::Nothing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(head) == head.size());
        file.close();
        if (made == Made::Executable)
            QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    }
    QTEST(isProgramNameForLoad(path), "nameForLoad");
    QTEST(isProgramNameForSave(path), "nameForSave");
    QTEST(isProgramForSave(path), "forSave");
    QTEST(isProgramForOutput(path), "forOutput");
    QString reason;
    QTEST(readsAsProgram(path, &reason).value_or(false), "forSave");
    QCOMPARE(reason, QString());
}

void ProgramFileTest::unfitOutputs_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("said"); // %1: the output as messages show it
    // In the folder: kgf.exe, a program; frmation.dat, saved.dat and
    // other.dat, data files; the sources are frmation.dat, saved.dat and
    // kgf.exe.
    QTest::newRow("a new file") << "new.png"
                                << "";
    QTest::newRow("another data file") << "other.dat"
                                       << "";
    QTest::newRow("the first source") << "frmation.dat"
                                      << "source %1";
    QTest::newRow("the second source") << "saved.dat"
                                       << "source %1";
    QTest::newRow("the last source, a program: a program first") << "kgf.exe"
                                                                 << "program %1";
    QTest::newRow("a source under another name") << "sub/../frmation.dat"
                                                 << "source %1";
    QTest::newRow("a program that is no source") << "setup.exe"
                                                 << "program %1";
#ifndef Q_OS_WIN
    QTest::newRow("a source through a link") << "link.dat"
                                             << "source %1";
    QTest::newRow("a control character in the path, written out") << "bad\x1b.exe"
                                                                  << "program %1";
#endif
}

void ProgramFileTest::unfitOutputs()
{
    QFETCH(QString, output);
    QFETCH(QString, said);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    for (const char *name : {"frmation.dat", "saved.dat", "other.dat", "kgf.exe"}) {
        QFile file(folder.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("data") == 4);
    }
#ifndef Q_OS_WIN
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("frmation.dat")),
                        folder.filePath(QStringLiteral("link.dat"))));
#endif
    const QString path = folder.filePath(output);
    const QString shown =
        QDir::toNativeSeparators(path).replace(QChar(0x1b), QStringLiteral("\\x1b"));
    const QString refusal = unfitOutput(
        path,
        {folder.filePath(QStringLiteral("frmation.dat")),
         folder.filePath(QStringLiteral("saved.dat")), folder.filePath(QStringLiteral("kgf.exe"))},
        {QStringLiteral("program %1"), QStringLiteral("source %1")});
    QCOMPARE(refusal, said.isEmpty() ? QString() : said.arg(shown));
}

QTEST_APPLESS_MAIN(ProgramFileTest)
#include "tst_program_file.moc"
