#include "../files/unix_files.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void stateAfterStartUp();
    void selectorButtonsAreLaidOutInRowsOfFive();
    void namesAreRead_data();
    void namesAreRead();
    void namesProblemIsToldOnceAfterTheWindowOpens_data();
    void namesProblemIsToldOnceAfterTheWindowOpens();
    void namesFileThatIsNotARegularFile();
    void dialogKeepsItsValuesBetweenUses();
    void dialogFilterInToolkitForm();
};

// A table whose 93 lines all differ: line `row` (1 to 93) has type code
// `row`, count 100 + `row` and an X offset of `row` feet.
static QByteArray everyLineItsOwn()
{
    QByteArray table(1488, '\0');
    for (int row = 1; row <= 93; ++row) {
        const int at = 16 * (row - 1);
        table[at + 1] = static_cast<char>(row);
        table[at + 2] = static_cast<char>(100 + row);
        table[at + 4] = static_cast<char>(21 * row % 256);
        table[at + 5] = static_cast<char>(21 * row / 256);
    }
    return table;
}

// Start-up is done once the window answers the user: Load asks for a file
// and takes the table in it, and a click on a selector, here not the first,
// shows that formation's own lines under the name `name`.
static void answersTheUser(WindowFixture &f, int formation, const QString &name)
{
    QVERIFY(formation > 0); // formation 0's lines would not tell one formation from another
    const qsizetype told = f.prompter.told.size();
    const qsizetype requested = f.requests.size();
    f.answers.push_back(f.writeFile(QStringLiteral("lines.dat"), everyLineItsOwn()));
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.requests.size(), requested + 1);
    QCOMPARE(f.requests.last().mode, CommonDialog::Mode::Open);
    QCOMPARE(f.prompter.told.size(), told);
    QCOMPARE(f.window->GF1().toBytes(), everyLineItsOwn());

    f.click(QStringLiteral("Option2(%1)").arg(formation));
    QVERIFY(f.button(QStringLiteral("Option2(%1)").arg(formation))->isChecked());
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral(" %1 ").arg(name));
    for (int line = 0; line < 3; ++line) {
        const int row = 3 * formation + line + 1;
        QCOMPARE(f.box(5 * line)->text(), QString::number(row));           // type code
        QCOMPARE(f.box(5 * line + 1)->text(), QString::number(100 + row)); // aircraft
        QCOMPARE(f.box(5 * line + 2)->text(), QString::number(row));       // X feet
        QCOMPARE(f.box(5 * line + 3)->text(), QStringLiteral("0"));        // Y feet
    }
    QVERIFY(f.prompter.asked.isEmpty());
}

void StartupTest::stateAfterStartUp()
{
    WindowFixture f;
    BiForm &w = *f.window;
    QCOMPARE(w.startLocation(), 0);
    QCOMPARE(w.fileName(), QString());
    QCOMPARE(w.currentByte(), quint8(0));
    QCOMPARE(w.CD1().InitDir(), QDir(f.dir.path()).absolutePath());
    QCOMPARE(w.CD1().Filter(), QString());
    QCOMPARE(w.CD1().FileName(), QString());
    QCOMPARE(w.GF1().toBytes(), QByteArray(1488, '\0'));
    QCOMPARE(f.control<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("0"));
    for (int n = 0; n < 15; ++n)
        QCOMPARE(f.box(n)->text(), QString());
    for (QRadioButton *button : w.findChildren<QRadioButton *>())
        QVERIFY2(!button->isChecked(), qPrintable(button->objectName()));
    for (QCheckBox *box : w.findChildren<QCheckBox *>())
        QVERIFY2(box->checkState() == Qt::Unchecked, qPrintable(box->objectName()));
    QCOMPARE(w.findChildren<QRadioButton *>().size(), 31 + 24);

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(QApplication::focusWidget(), f.control(QStringLiteral("Command1")));
    for (const char *name : {"Label1", "Label4", "Label12"}) {
        auto *label = f.control<QLabel>(QString::fromLatin1(name));
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QString());
        QCOMPARE(label->frameShape(), QFrame::Box);
        QVERIFY(label->width() > 0 && label->width() <= 12);
    }
    QVERIFY(f.prompter.told.isEmpty());
    answersTheUser(f, 4, QStringLiteral("Formation 4"));
}

void StartupTest::selectorButtonsAreLaidOutInRowsOfFive()
{
    WindowFixture f;
    QWidget *first = f.control(QStringLiteral("Option2(0)"));
    // In pixels: 1000 twips apart across from 330, 400 down from 2370, each
    // rounded on its own so that the grid does not drift.
    const int columns[5] = {22, 89, 155, 222, 289};
    const int rows[7] = {158, 185, 211, 238, 265, 291, 318};
    for (int n = 0; n <= 30; ++n) {
        auto *button = f.control<QRadioButton>(QStringLiteral("Option2(%1)").arg(n));
        QCOMPARE(button->text(), n == 0 ? QStringLiteral("0") : QStringLiteral(" %1").arg(n));
        QCOMPARE(button->parentWidget(), first->parentWidget());
        QCOMPARE(button->size(), first->size());
        QCOMPARE(button->pos(), QPoint(columns[n % 5], rows[n / 5]));
        QCOMPARE(button->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(!button->isHidden());
    }
}

void StartupTest::namesAreRead_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected"); // elements 0 to 31
    QTest::addColumn<bool>("complete");

    auto names = [](int count, const char *end) {
        QByteArray bytes;
        for (int i = 0; i < count; ++i)
            bytes += "Name " + QByteArray::number(i) + end;
        return bytes;
    };
    auto expected = [](int count) {
        QStringList list(32);
        for (int i = 0; i < qMin(count, 31); ++i)
            list[i] = QStringLiteral("Name %1").arg(i);
        return list;
    };
    QTest::newRow("CR LF") << names(31, "\r\n") << expected(31) << true;
    QTest::newRow("LF") << names(31, "\n") << expected(31) << true;
    QTest::newRow("CR") << names(31, "\r") << expected(31) << true;
    QTest::newRow("40 lines") << names(40, "\r\n") << expected(40) << true;
    QTest::newRow("5 lines") << names(5, "\r\n") << expected(5) << false;

    QStringList blanks = expected(31);
    blanks[1] = QStringLiteral("   ");
    blanks[2] = QString();
    QByteArray blankFile = names(31, "\r\n");
    blankFile.replace("Name 1\r\n", "   \r\n").replace("Name 2\r\n", "\r\n");
    QTest::newRow("blank and empty names") << blankFile << blanks << true;
}

void StartupTest::namesAreRead()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    QFETCH(bool, complete);
    WindowFixture f(file);
    QCOMPARE(f.window->formationNames(), expected);
    QCOMPARE(f.window->startupProblem().isEmpty(), complete);
    answersTheUser(f, 1, expected[1]);
}

void StartupTest::namesProblemIsToldOnceAfterTheWindowOpens_data()
{
    QTest::addColumn<bool>("writeFile");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("missing") << false << QByteArray() << "was not found";
    QTest::newRow("5 lines") << true << QByteArray("a\nb\nc\nd\ne\n") << "only 5 of 31";
    QTest::newRow("empty") << true << QByteArray() << "only 0 of 31";
    QByteArray longName = QByteArray(5000, 'x') + "\r\n";
    for (int i = 1; i < 31; ++i)
        longName += "name\r\n";
    QTest::newRow("a name cut") << true << longName << "is longer than 4,096 bytes and was cut";
}

void StartupTest::namesProblemIsToldOnceAfterTheWindowOpens()
{
    QFETCH(bool, writeFile);
    QFETCH(QByteArray, file);
    QFETCH(QString, mentions);
    WindowFixture f(file, writeFile);
    QVERIFY(f.prompter.told.isEmpty()); // not before the window is up
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QTRY_COMPARE(f.prompter.told.size(), 1);
    const QString message = f.prompter.told.first();
    QVERIFY2(message.contains(QStringLiteral("readorder.txt")), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(f.dir.path())), qPrintable(message));
    QVERIFY2(message.contains(mentions), qPrintable(message));
    f.window->hide();
    f.window->show();
    QTest::qWait(20);
    QCOMPARE(f.prompter.told.size(), 1);
    answersTheUser(f, 30, QString::fromLatin1(file.split('\n').value(30).trimmed()));
    QCOMPARE(f.prompter.told.size(), 1);
}

void StartupTest::namesFileThatIsNotARegularFile()
{
    // A FIFO with nobody writing to it would hold start-up forever.
    bool made = false;
    WindowFixture f({}, false, [&made](const WindowFixture &fixture) {
        made = unixfiles::makeFifo(fixture.path(QStringLiteral("readorder.txt")));
    });
    if (!made)
        QSKIP("this system makes no FIFOs");
    QCOMPARE(f.window->formationNames(), QStringList(32));
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QTRY_COMPARE(f.prompter.told.size(), 1);
    QVERIFY2(f.prompter.told[0].contains(QStringLiteral("could not be read (it is not a "
                                                        "regular file")),
             qPrintable(f.prompter.told[0]));
    answersTheUser(f, 9, QString());
}

void StartupTest::dialogKeepsItsValuesBetweenUses()
{
    WindowFixture f;
    CommonDialog &dialog = f.window->CD1();
    dialog.setFilter(QStringLiteral("A|*.a"));
    dialog.setFileName(QString());
    f.answers.push_back(f.path(QStringLiteral("sub/x.a")));
    dialog.ShowOpen();
    QCOMPARE(dialog.FileName(), f.path(QStringLiteral("sub/x.a")));
    QCOMPARE(f.requests.last().mode, CommonDialog::Mode::Open);
    QCOMPARE(f.requests.last().directory, dialog.InitDir());
    QCOMPARE(f.requests.last().filter, QStringLiteral("A (*.a)"));

    // Cancel leaves FileName as the caller set it; the dialog now opens
    // where the last file was picked, and the filter stays.
    dialog.setFileName(QString());
    dialog.ShowSave();
    QCOMPARE(dialog.FileName(), QString());
    QCOMPARE(f.requests.last().mode, CommonDialog::Mode::Save);
    QCOMPARE(f.requests.last().directory, f.path(QStringLiteral("sub")));
    QCOMPARE(f.requests.last().filter, QStringLiteral("A (*.a)"));
    QCOMPARE(dialog.InitDir(), QDir(f.dir.path()).absolutePath());
}

void StartupTest::dialogFilterInToolkitForm()
{
    QCOMPARE(CommonDialog::toQtFilter(
                 QStringLiteral("Formation data files|*rmation.dat|KGF exe|kgf.exe")),
             QStringLiteral("Formation data files (*rmation.dat);;KGF exe (kgf.exe)"));
    QCOMPARE(CommonDialog::toQtFilter(QString()), QString());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
