// The window as the program starts it, with a file named on the command line.
#include "../window/window_fixture.h"
#include "table_loader.h"
#include "window_start.h"

#include <QApplication>
#include <QLabel>

class WindowStartTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void loadsTheFile_data();
    void loadsTheFile();
};

void WindowStartTest::loadsTheFile_data()
{
    QTest::addColumn<QString>("name");      // the file named on the command line; empty: none
    QTest::addColumn<QString>("startText"); // the start-location box afterwards
    QTest::addColumn<QString>("told");      // the start of the message shown; empty: none
    QTest::newRow("no file") << QString() << "0" << QString();
    QTest::newRow("data file") << "frmation.dat"
                               << "0" << QString();
    QTest::newRow("executable, searched")
        << "KGF.EXE" << QString::number(SignatureScanStart + 10) << QString();
    QTest::newRow("a file that is not there") << "none.dat"
                                              << "0"
                                              << "Could not open ";
}

void WindowStartTest::loadsTheFile()
{
    QFETCH(QString, name);
    QFETCH(QString, startText);
    QFETCH(QString, told);
    QTemporaryDir dir;
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = char(i * 7 + 1);
    table.replace(0, 5, tableSignature());
    const QByteArray files[] = {table, QByteArray(SignatureScanStart + 10, 'x') + table,
                                WindowFixture::defaultNames()};
    const char *names[] = {"frmation.dat", "KGF.EXE", "readorder.txt"};
    for (int k = 0; k < 3; ++k) {
        QFile file(dir.filePath(QLatin1String(names[k])));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(files[k]) == files[k].size());
    }

    // A relative name, from the working directory the program was started in.
    RecordingPrompter prompter;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const auto window = startWindow(name, &prompter);
    QDir::setCurrent(previous);
    QVERIFY(window->isVisible());
    QTest::qWait(50); // the load runs once the window is up
    QTRY_COMPARE(prompter.told.size(), told.isEmpty() ? 0 : 1);
    QVERIFY2(told.isEmpty() || prompter.told.value(0).startsWith(told),
             qPrintable(prompter.told.value(0)));
    const bool loaded = !name.isEmpty() && told.isEmpty();
    QCOMPARE(window->GF1().toBytes(), loaded ? table : QByteArray(1488, '\0'));
    QCOMPARE(window->fileName(),
             loaded ? QFileInfo(dir.filePath(name)).absoluteFilePath() : QString());
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
             loaded ? QDir::toNativeSeparators(window->fileName()) : QString());
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("Text2"))->text(), startText);
}

QTEST_MAIN(WindowStartTest)
#include "tst_window_start.moc"
