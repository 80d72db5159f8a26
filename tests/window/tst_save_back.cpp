// Where a save goes, what it asks first, and what the window shows after it.
#include "table_loader.h"
#include "window_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class SaveBackTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void saveGoesWhereTheTableCameFrom_data();
    void saveGoesWhereTheTableCameFrom();
    void dangerousQuestionsDefaultToCancel_data();
    void dangerousQuestionsDefaultToCancel();
    void windowShowsWhereTheTableWent();
    void namesComeFromBesideTheFile_data();
    void namesComeFromBesideTheFile();
};

// Bytes that never begin as a program's, unless `program` says so.
static QByteArray bytes(qint64 size, int seed, bool program = false)
{
    QByteArray data(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        data[i] = char((i * 7 + seed) % 200 + 1);
    if (program)
        data.replace(0, 2, "MZ");
    return data;
}

static QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Chooses `formation` and writes `count` aircraft into its first line.
static void edit(WindowFixture &f, int formation, int count)
{
    f.click(QStringLiteral("Option2(%1)").arg(formation));
    f.box(1)->setText(QString::number(count));
    f.click(QStringLiteral("Command2"));
}

static void press(WindowFixture &f, Qt::KeyboardModifiers modifiers)
{
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    QTest::keyClick(f.window.get(), Qt::Key_S, modifiers);
}

void SaveBackTest::saveGoesWhereTheTableCameFrom_data()
{
    QTest::addColumn<bool>("program"); // the game by its signature, or a data file at byte 16
    QTest::addColumn<QString>("via");  // Ctrl+S, or the dialog to another name of the file
    QTest::addColumn<int>("answer");   // the choice taken: -1 Cancel
    QTest::addColumn<qint64>("at");    // where the table is written; -1 nowhere
    const qint64 signature = SignatureScanStart + 40;
    QTest::newRow("data file, back at its byte") << false << "" << 0 << qint64(16);
    QTest::newRow("data file, at the first byte") << false << "" << 1 << qint64(0);
    QTest::newRow("data file, cancelled") << false << "" << -1 << qint64(-1);
    QTest::newRow("data file through a hard link") << false << "link" << 0 << qint64(16);
    QTest::newRow("program, back at its signature") << true << "" << 0 << signature;
    QTest::newRow("program, cancelled") << true << "" << -1 << qint64(-1);
}

void SaveBackTest::saveGoesWhereTheTableCameFrom()
{
    QFETCH(bool, program);
    QFETCH(QString, via);
    QFETCH(int, answer);
    QFETCH(qint64, at);
    WindowFixture f;
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("game")));
    const qint64 start = program ? SignatureScanStart + 40 : 16;
    QByteArray old = bytes(program ? start + 3000 : 2000, 3, program);
    old.replace(start, 5, tableSignature());
    const QString path = f.writeFile(program ? "game/KGF.EXE" : "game/frmation.dat", old);
    f.control<QLineEdit>(QStringLiteral("Text2"))->setText(QString::number(start));
    f.window->loadFile(path); // as the command line loads it
    edit(f, 2, 9);
    const QByteArray table = f.window->GF1().toBytes();
    f.prompter.chooseAnswer = answer;
    if (via.isEmpty()) {
        press(f, Qt::ControlModifier);
    } else {
#ifdef Q_OS_UNIX
        QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(f.path(via))), 0);
#else
        QSKIP("hard links are made on POSIX systems here");
#endif
        f.answers.push_back(f.path(via));
        f.click(QStringLiteral("Command3"));
        QCOMPARE(f.requests.last().directory, f.path(QStringLiteral("game")));
    }
    QStringList offered = {QStringLiteral("Write it back at byte %1, where it was loaded from")
                               .arg(QLocale(QLocale::English).toString(start))};
    if (!program)
        offered << QStringLiteral("Write it at the first byte");
    QCOMPARE(f.prompter.offered, QList<QStringList>{offered});
    QCOMPARE(fileBytes(path), at < 0 ? old : QByteArray(old).replace(at, 1488, table));
    QCOMPARE(f.window->hasUnsavedChanges(), at < 0);
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
}

void SaveBackTest::dangerousQuestionsDefaultToCancel_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("key");
    for (const char *question : {"program", "zeros", "changed"})
        for (const auto &[key, name] :
             {std::pair(Qt::Key_Return, "Enter"), std::pair(Qt::Key_Escape, "Escape")})
            QTest::addRow("%s, %s", question, name) << QString::fromLatin1(question) << int(key);
}

void SaveBackTest::dangerousQuestionsDefaultToCancel()
{
    QFETCH(QString, question);
    QFETCH(int, key);
    WindowFixture f;
    BiForm window; // asks through real message boxes
    // A copy of the game under another name is a program by its content.
    const QString path =
        f.writeFile(QStringLiteral("game.bin"), bytes(2000, 5, question == "program"));
    if (question == QLatin1String("changed")) {
        window.loadFile(path);
        f.writeFile(QStringLiteral("game.bin"), bytes(2000, 6)); // another program's change
        window.findChild<QLineEdit *>(QStringLiteral("Text3(1)"))->setText(QStringLiteral("3"));
        window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    }
    const QByteArray before = fileBytes(path);
    QStringList defaults;
    QTimer answering;
    connect(&answering, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            defaults << box->defaultButton()->text() << box->escapeButton()->text();
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(key));
        }
    });
    answering.start(10);
    window.CD1().setAsker([&](const CommonDialog::Request &) { return path; });
    window.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QCOMPARE(defaults, (QStringList{QStringLiteral("Cancel"), QStringLiteral("Cancel")}));
    QCOMPARE(fileBytes(path), before);
}

void SaveBackTest::windowShowsWhereTheTableWent()
{
    WindowFixture f;
    press(f, Qt::ControlModifier); // nothing loaded: Ctrl+S asks where, in the start-up folder
    QCOMPARE(f.requests.size(), 1);
    QCOMPARE(f.requests[0].directory, f.dir.path());
    // A character that turns the text around is written out wherever the window quotes it.
    const QString a = f.writeFile(QStringLiteral("a\u202e.dat"), bytes(1488, 1));
    const QString b = f.writeFile(QStringLiteral("b.dat"), bytes(1488, 2));
    const QString escaped = QDir::toNativeSeparators(f.path(QStringLiteral("a\\u202e.dat")));
    f.window->loadFile(a);
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label1"))->text(), escaped);
    const QString caption = f.window->windowTitle();
    edit(f, 4, 7);
    QCOMPARE(f.window->windowHandle()->title(), caption + u'*');
    QCOMPARE(f.button(QStringLiteral("Option2(4)"))->toolTip(),
             QStringLiteral("Changed since loaded"));
    f.click(QStringLiteral("Command1")); // loading another table asks first
    QVERIFY2(f.prompter.asked.value(0).startsWith(
                 QStringLiteral("The table loaded from %1 has").arg(escaped)),
             qPrintable(f.prompter.asked.value(0)));
    for (int count : {8, 9}) { // the backup is told of once
        f.answers.push_back(b);
        f.click(QStringLiteral("Command3"));
        edit(f, 5, count);
    }
    QCOMPARE(f.prompter.informed.size(), 1);
    QVERIFY(f.prompter.informed[0].contains(QDir::toNativeSeparators(b + ".bak")));
    QCOMPARE(f.control<QLabel>(QStringLiteral("Label1"))->text(), QDir::toNativeSeparators(b));
    QCOMPARE(f.button(QStringLiteral("Option2(5)"))->toolTip(),
             QStringLiteral("Changed since saved"));
    f.window->undo(); // back to the last save
    QCOMPARE(f.window->windowHandle()->title(), caption);
    QCOMPARE(f.window->windowTitle(), caption);
    f.window->redo();
    const qsizetype asked = f.requests.size();
    press(f, Qt::ControlModifier); // back to the file last saved to, without a dialog
    QCOMPARE(f.requests.size(), asked);
    QCOMPARE(fileBytes(b), f.window->GF1().toBytes());
    QVERIFY(!f.window->isWindowModified());
    QVERIFY2(f.prompter.told.isEmpty(), qPrintable(f.prompter.told.join(u'\n')));
}

void SaveBackTest::namesComeFromBesideTheFile_data()
{
    QTest::addColumn<bool>("working");  // the working folder has a names file
    QTest::addColumn<QString>("from");  // the folder of the file loaded
    QTest::addColumn<bool>("game");     // the game folder has a names file
    QTest::addColumn<bool>("fails");    // the load fails
    QTest::addColumn<QString>("named"); // whose names the window then has
    QTest::newRow("same folder") << true << "" << false << false << "work";
    QTest::newRow("game folder with names") << true << "game/" << true << false << "game";
    QTest::newRow("game folder without") << true << "game/" << false << false << "work";
    QTest::newRow("none in the working folder") << false << "game/" << true << false << "game";
    QTest::newRow("failed load") << true << "game/" << true << true << "work";
}

void SaveBackTest::namesComeFromBesideTheFile()
{
    QFETCH(bool, working);
    QFETCH(QString, from);
    QFETCH(bool, game);
    QFETCH(bool, fails);
    QFETCH(QString, named);
    WindowFixture f("work\r\n", working);
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("game")));
    if (game)
        f.writeFile(QStringLiteral("game/readorder.txt"), "game\r\n");
    const QString table = f.writeFile(from + "frmation.dat", bytes(fails ? 100 : 1488, 1));
    // Started with the file: a missing names file is told only if it stays in use.
    f.window->loadWhenShown(table);
    f.window->show();
    QTRY_COMPARE(f.window->GF1().toBytes() != QByteArray(1488, '\0'), !fails);
    QTest::qWait(20);
    const QString source = f.path(named == "game" ? "game/readorder.txt" : "readorder.txt");
    QCOMPARE(f.window->formationNames()[0], working || named == "game" ? named : QString());
    QCOMPARE(f.window->namesFile(), source);
    QVERIFY(
        f.control(QStringLiteral("Label10"))->toolTip().endsWith(QDir::toNativeSeparators(source)));
    QCOMPARE(f.prompter.told.size(), int(fails) + 1); // each file has 1 of 31 lines
}

QTEST_MAIN(SaveBackTest)
#include "tst_save_back.moc"
