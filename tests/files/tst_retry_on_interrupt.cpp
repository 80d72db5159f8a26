#include "retry_on_interrupt.h"

#include <QList>
#include <QTest>
#include <algorithm>
#include <cerrno>

// The POSIX file layer makes its calls through retryOnInterrupt: a signal
// must never end a save, and no other error may be taken for one.
class RetryOnInterruptTest : public QObject
{
    Q_OBJECT
private slots:
    void givesTheFirstAnswer_data();
    void givesTheFirstAnswer();
};

void RetryOnInterruptTest::givesTheFirstAnswer_data()
{
    // What the call returns each time it is made, with errno as it leaves it.
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<QList<int>>("errors");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("calls");

    QTest::newRow("answered at once") << QList{3} << QList{0} << 3 << 0 << 1;
    QTest::newRow("nothing done is an answer") << QList{0, 5} << QList{EINTR, 0} << 0 << EINTR << 1;
    QTest::newRow("an answer with errno left over") << QList{7} << QList{EINTR} << 7 << EINTR << 1;
    QTest::newRow("interrupted twice") << QList{-1, -1, 4} << QList{EINTR, EINTR, 0} << 4 << 0 << 3;
    QTest::newRow("another error ends it") << QList{-1, 2} << QList{EIO, 0} << -1 << EIO << 1;
    QTest::newRow("interrupted, then full")
        << QList{-1, -1, 1} << QList{EINTR, ENOSPC, 0} << -1 << ENOSPC << 2;
}

void RetryOnInterruptTest::givesTheFirstAnswer()
{
    QFETCH(QList<int>, results);
    QFETCH(QList<int>, errors);
    QFETCH(int, result);
    QFETCH(int, error);
    QFETCH(int, calls);

    int made = 0;
    const int got = retryOnInterrupt([&] {
        const int at = std::min<int>(made++, int(results.size()) - 1);
        errno = errors[at];
        return results[at];
    });
    QCOMPARE(got, result);
    QCOMPARE(errno, error);
    QCOMPARE(made, calls);
}

QTEST_APPLESS_MAIN(RetryOnInterruptTest)
#include "tst_retry_on_interrupt.moc"
