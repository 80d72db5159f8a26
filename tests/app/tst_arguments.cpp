#include "command_line.h"

#include <QTest>

// The whole numbers the options take, start locations first.
class ArgumentsTest : public QObject
{
    Q_OBJECT
private slots:
    void startArguments_data();
    void startArguments();
    void wholeArguments_data();
    void wholeArguments();
};

void ArgumentsTest::startArguments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("start"); // -1: refused
    QTest::newRow("0") << "0" << qint64(0);
    QTest::newRow("the game's table") << "1398384" << qint64(1398384);
    QTest::newRow("the largest") << "2147483647" << qint64(2147483647);
    QTest::newRow("one past the largest") << "2147483648" << qint64(-1);
    QTest::newRow("beyond any 64-bit number") << "99999999999999999999" << qint64(-1);
    QTest::newRow("leading zeros") << "000000000012" << qint64(12);
    QTest::newRow("empty") << "" << qint64(-1);
    QTest::newRow("a sign") << "+5" << qint64(-1);
    QTest::newRow("negative") << "-1" << qint64(-1);
    QTest::newRow("a blank") << " 5" << qint64(-1);
    QTest::newRow("a blank after") << "5 " << qint64(-1);
    QTest::newRow("a fraction") << "5.0" << qint64(-1);
    QTest::newRow("an exponent") << "1e3" << qint64(-1);
    QTest::newRow("hexadecimal") << "0x10" << qint64(-1);
    QTest::newRow("digits of another script") << QString::fromUtf8("\u0665") << qint64(-1);
    QTest::newRow("full-width digits") << QString::fromUtf8("\uff15") << qint64(-1);
}

void ArgumentsTest::startArguments()
{
    QFETCH(QString, text);
    QFETCH(qint64, start);
    QCOMPARE(startArgument(text).value_or(-1), start);
    QCOMPARE(
        notAStartArgument(QStringLiteral("start-b"), text),
        QStringLiteral("--start-b is a byte offset from 0 to 2147483647, not \"%1\".").arg(text));
}

void ArgumentsTest::wholeArguments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::addColumn<qint64>("value"); // -1: refused
    QTest::newRow("the lowest") << "0" << qint64(0) << qint64(30) << qint64(0);
    QTest::newRow("the highest") << "30" << qint64(0) << qint64(30) << qint64(30);
    QTest::newRow("above") << "31" << qint64(0) << qint64(30) << qint64(-1);
    QTest::newRow("below") << "4" << qint64(5) << qint64(30) << qint64(-1);
    QTest::newRow("leading zero") << "09" << qint64(0) << qint64(30) << qint64(9);
}

void ArgumentsTest::wholeArguments()
{
    QFETCH(QString, text);
    QFETCH(qint64, low);
    QFETCH(qint64, high);
    QTEST(wholeArgument(text, low, high).value_or(-1), "value");
}

QTEST_APPLESS_MAIN(ArgumentsTest)
#include "tst_arguments.moc"
