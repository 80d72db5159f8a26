// The built program's start: which part of it runs a command line, what a
// mistyped mode and a missing display say, and, on Linux, that the text
// modes load no QtGui or QtWidgets code (the dynamic loader's own record of
// the libraries it loaded, LD_DEBUG=libs).
#include "table_loader.h"
#include "table_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class LaunchTest : public QObject
{
    Q_OBJECT
private slots:
    void startsTheRightPart_data();
    void startsTheRightPart();
};

void LaunchTest::startsTheRightPart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display"); // QT_QPA_PLATFORM=offscreen; else no display at all
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // on standard error, or output when status is 0
    QTest::addColumn<bool>("gui");        // the window's libraries are loaded

    QTest::newRow("export") << QStringList{"export", "frmation.dat"} << true << 0
                            << QByteArray("\"formatVersion\": 1") << false;
    QTest::newRow("import") << QStringList{"import", "table.json", "new.dat"} << true << 0
                            << QByteArray() << false;
    QTest::newRow("diff") << QStringList{"diff", "frmation.dat", "frmation.dat"} << false << 0
                          << QByteArray() << false;
    QTest::newRow("help after a file")
        << QStringList{"frmation.dat", "--help"} << true << 0 << QByteArray("./export") << false;
    QTest::newRow("mistyped export") << QStringList{"exprot", "frmation.dat"} << false << 2
                                     << QByteArray("; did you mean export?") << false;
    QTest::newRow("mistyped import, even with a display")
        << QStringList{"imprt", "table.json", "new.dat"} << true << 2
        << QByteArray("\"imprt\" is neither a mode nor an existing file; did you mean import?")
        << false;
    QTest::newRow("diff in capitals")
        << QStringList{"DIFF", "a", "b"} << false << 2 << QByteArray("did you mean diff?") << false;
    QTest::newRow("the start of a mode") << QStringList{"exp", "frmation.dat"} << false << 2
                                         << QByteArray("did you mean export?") << false;
    QTest::newRow("a word that is no file, nothing like a mode")
        << QStringList{"frmation"} << false << 2
        << QByteArray("\"frmation\" is neither a mode nor an existing file.\n") << false;
    QTest::newRow("a file named export is the mode")
        << QStringList{"export"} << true << 2 << QByteArray("export takes one file, FILE; 0 given.")
        << false;
    // A wrong window command line is said before any window code is loaded.
    QTest::newRow("./export is the file, for the window")
        << QStringList{"./export", "frmation.dat"} << true << 2
        << QByteArray("The window opens one file at a time; 2 given.") << false;
    QTest::newRow("platform on the command line")
        << QStringList{"-platform", "offscreen", "frmation.dat", "new.dat"} << false << 2
        << QByteArray("The window opens one file at a time; 2 given.") << false;
#ifdef Q_OS_LINUX
    const QByteArray none = "kgf-formation-editor: There is no display to open the window on";
    QTest::newRow("no display") << QStringList{} << false << 1 << none << false;
    QTest::newRow("no display, a file")
        << QStringList{"frmation.dat"} << false << 1 << none << false;
    // A moved file is the window's to report, not a mistyped mode.
    QTest::newRow("no display, a path that names no file")
        << QStringList{"games/frmation.da"} << false << 1 << none << false;
    QTest::newRow("no display, a wrong command line")
        << QStringList{"--bogus"} << false << 2 << QByteArray("Unknown option 'bogus'.") << false;
    QTest::newRow("no display in the environment, one given by -display")
        << QStringList{"-display", ":97", "frmation.dat"} << false << 1
        << QByteArray("kgf-formation-editor: The window could not be opened: ") << true;
    QTest::newRow("a display that is not there")
        << QStringList{"frmation.dat"} << false << 1
        << QByteArray("kgf-formation-editor: The window could not be opened: ") << true;
#endif
}

void LaunchTest::startsTheRightPart()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    QFETCH(bool, gui);
    QTemporaryDir dir;
    QByteArray table(1488, '\0');
    table.replace(0, 5, tableSignature());
    const QByteArray files[] = {table, writeTableText(table, {}, TextFormat::Json), "x"};
    const char *names[] = {"frmation.dat", "table.json", "export"};
    for (int k = 0; k < 3; ++k) {
        QFile file(dir.filePath(QLatin1String(names[k])));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(files[k]) == files[k].size());
    }

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    if (display)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else if (gui && !arguments.contains(QLatin1String("-display"))) // named, nothing is there
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
    const QString loaderRecord = dir.filePath(QStringLiteral("loaded"));
    environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("libs"));
    environment.insert(QStringLiteral("LD_DEBUG_OUTPUT"), loaderRecord);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir.path());
    process.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(PROGRAM)),
                  arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError().replace("\r\n", "\n"); // Windows
    QCOMPARE(process.exitCode(), status);
    QVERIFY2((status == 0 ? out : err).contains(said), err.constData());
    if (status == 1)
        QCOMPARE(err.count('\n'), 1);
    if (status == 2)
        QVERIFY2(err.contains("\nUsage: kgf-formation-editor [FILE]\n"), err.constData());

#ifdef Q_OS_LINUX
    QByteArray loaded; // one record per process the loader ran in
    for (const QString &name : QDir(dir.path()).entryList({QStringLiteral("loaded.*")})) {
        QFile record(dir.filePath(name));
        QVERIFY(record.open(QIODevice::ReadOnly));
        loaded += record.readAll();
    }
    QVERIFY(loaded.contains("libQt6Core.so"));
    for (const char *library : {"libQt6Gui.so", "libQt6Widgets.so", "kgf-formation-editor-gui"})
        QVERIFY2(loaded.contains(library) == gui, library);
#else
    Q_UNUSED(gui);
#endif
}

QTEST_GUILESS_MAIN(LaunchTest)
#include "tst_launch.moc"
