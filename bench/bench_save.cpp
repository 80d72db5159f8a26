// What the journal costs a save: the median and the slowest of many saves
// in place, with the journal and without it (as after "Save without one?"),
// into a copy of the sample frmation.dat and into a generated 64 MiB game
// executable at its table. Each save changes the table (two tables take
// turns), and NAME.bak is there already, as for every save but the first:
// the figures are the journal's two syncs and its naming, not the copy for
// the backup. The first save of each, which makes the backup, is timed once.
#include "bench_files.h"
#include "table_saver.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

constexpr int Saves = 201;
int made = 0; // tables saved so far: each save writes other bytes than the last

QByteArray tableOf(char fill)
{
    QByteArray table = tableSignature() + QByteArray(1488 - tableSignature().size(), fill);
    return table;
}

struct Timing {
    double median = 0;
    double slowest = 0;
};

// Saves `Saves` times into `path` at `offset`; milliseconds.
Timing time(const QString &path, qint64 offset, bool program, bool journal)
{
    std::vector<double> ms;
    for (int i = 0; i < Saves; ++i) {
        SaveOptions options;
        options.offset = offset;
        options.intoProgramTable = program;
        options.withoutJournal = !journal;
        QElapsedTimer timer;
        timer.start();
        const SaveOutcome outcome = saveTable(path, tableOf(++made % 2 ? 'b' : 'a'), options);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        if (outcome.kind != SaveOutcome::Kind::Saved)
            qFatal("save failed: %s", qPrintable(outcome.message));
        ms.push_back(elapsed);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

double firstSave(const QString &path, qint64 offset, bool program)
{
    QFile::remove(path + QStringLiteral(".bak"));
    SaveOptions options;
    options.offset = offset;
    options.intoProgramTable = program;
    QElapsedTimer timer;
    timer.start();
    const SaveOutcome outcome = saveTable(path, tableOf(++made % 2 ? 'b' : 'a'), options);
    if (outcome.kind != SaveOutcome::Kind::Saved || outcome.backupPath.isEmpty())
        qFatal("first save failed: %s", qPrintable(outcome.message));
    return double(timer.nsecsElapsed()) / 1e6;
}

void report(const char *what, const QString &path, qint64 offset, bool program)
{
    const double first = firstSave(path, offset, program);
    const Timing with = time(path, offset, program, true);
    const Timing without = time(path, offset, program, false);
    std::printf("%-24s %9.2f ms %9.2f ms %9.2f ms %9.2f ms %11.1f ms\n", what, with.median,
                with.slowest, without.median, without.slowest, first);
}

} // namespace

int main()
{
    const QString sample = benchDir().filePath(QStringLiteral("frmation.dat"));
    if (!QFile::copy(QStringLiteral(SAMPLE_TABLE), sample))
        qFatal("cannot copy the sample");
    QFile::setPermissions(sample, QFile::ReadOwner | QFile::WriteOwner);
    const QString program = benchExecutable(64 * MiB);

    std::printf("%d saves each, in %s\n", Saves, qPrintable(benchDir().path()));
    std::printf("%-24s %12s %12s %12s %12s %14s\n", "", "journal:", "slowest",
                "without:", "slowest", "first save");
    report("sample frmation.dat", sample, 0, false);
    report("64 MiB game executable", program, signatureOffset(64 * MiB), true);
    return 0;
}
