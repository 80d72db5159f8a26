// The merge of three 64 MiB game executables, as a user runs it, against
// what it must not cost more than: three loads and one save. The floor is
// timed two ways, taking turns with the merge:
//   - as processes: three `export` runs of BASE, OURS and THEIRS and one
//     `import --no-backup` of OURS's changed formation as CSV into a copy of
//     BASE, each started as a shell starts it, as the merge is; this counts
//     four process starts against the merge's one, and import's own load of
//     its target, so the merge should come out well below it;
//   - in this process: loadFromExecutable of the three files and one
//     saveTable of the merged table, the bare reads and write with no
//     process start, which the merge can only come near.
// Each file holds the sample table (with the signature as its first bytes)
// 4 KiB before its end; OURS changes formation 2, THEIRS formation 7. The
// files are in the page cache after the first round, which is not counted.
// Before each round OURS and the copy get BASE's and OURS's tables back,
// untimed; the copy's backup is there from the first round on, as the merge
// makes none. Each merge is checked for the table it must give.
#include "bench_files.h"
#include "process_run.h"
#include "table_loader.h"
#include "table_saver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace
{

constexpr qint64 Size = 64 * MiB;
constexpr int Rounds = 7;

const char *const Ways[] = {"merge process", "3 exports + import", "3 loads + save in-process"};

struct Files {
    QString base, ours, theirs, copy, text;
    QByteArray baseTable, oursTable, mergedTable;
};

QByteArray sampleTable()
{
    QFile file(QStringLiteral(SAMPLE_TABLE));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the sample");
    QByteArray table = file.readAll();
    if (table.size() != 1488)
        qFatal("the sample is no table");
    return table.replace(0, tableSignature().size(), tableSignature());
}

void putTable(const QString &path, const QByteArray &table)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(signatureOffset(Size)) ||
        file.write(table) != table.size())
        qFatal("cannot write the table into %s", qPrintable(path));
}

QByteArray tableIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(signatureOffset(Size)))
        qFatal("cannot read %s", qPrintable(path));
    return file.read(1488);
}

// A program file named as the game is, in its own folder: each of the
// three sides is a KGF.EXE.
QString programIn(const QString &folder, const QByteArray &table)
{
    QDir(benchDir().path()).mkpath(folder);
    const QString path = benchDir().filePath(folder + QStringLiteral("/kgf.exe"));
    if (!QFile::copy(benchExecutable(Size), path))
        qFatal("cannot copy to %s", qPrintable(path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    putTable(path, table);
    return path;
}

const Files &files()
{
    static const Files made = [] {
        Files f;
        f.baseTable = sampleTable();
        f.oursTable = f.baseTable;
        f.oursTable[(2 * 3 + 0) * 16 + 2] = 9; // formation 2, line 1: count
        QByteArray theirsTable = f.baseTable;
        theirsTable[(7 * 3 + 2) * 16 + 2] = 12; // formation 7, line 3: count
        f.mergedTable = f.oursTable;
        f.mergedTable[(7 * 3 + 2) * 16 + 2] = 12;
        f.base = programIn(QStringLiteral("base"), f.baseTable);
        f.ours = programIn(QStringLiteral("ours"), f.oursTable);
        f.theirs = programIn(QStringLiteral("theirs"), theirsTable);
        f.copy = programIn(QStringLiteral("copy"), f.baseTable);

        // OURS's formation 2 as the program writes it, for the import.
        QProcess exporter;
        exporter.start(
            QStringLiteral(PROGRAM),
            {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"), f.ours});
        if (!exporter.waitForFinished(60000) || exporter.exitCode() != 0)
            qFatal("export of OURS failed");
        const QList<QByteArray> rows = exporter.readAllStandardOutput().split('\n');
        QByteArray text = rows.value(0) + '\n';
        for (const QByteArray &row : rows)
            if (row.startsWith("2,"))
                text += row + '\n';
        f.text = benchDir().filePath(QStringLiteral("formation2.csv"));
        QFile file(f.text);
        if (rows.size() < 4 || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write the formation's text");
        return f;
    }();
    return made;
}

std::map<int, std::vector<double>> samples; // way -> seconds

// Each way once, after the files get their tables back; the seconds taken.
bool round(double seconds[3])
{
    const Files &f = files();
    const std::string program = PROGRAM;
    putTable(f.ours, f.oursTable);
    seconds[0] = timedProcess({program, "merge", "--no-backup", f.base.toStdString(),
                               f.ours.toStdString(), f.theirs.toStdString()});
    if (seconds[0] < 0 || tableIn(f.ours) != f.mergedTable ||
        QFile::exists(f.ours + QStringLiteral(".bak")))
        return false;

    putTable(f.copy, f.baseTable);
    seconds[1] = 0;
    for (const QString &side : {f.base, f.ours, f.theirs}) {
        const double export_ = timedProcess({program, "export", side.toStdString()});
        if (export_ < 0)
            return false;
        seconds[1] += export_;
    }
    const double imported = timedProcess(
        {program, "import", "--no-backup", f.text.toStdString(), f.copy.toStdString()});
    if (imported < 0 || tableIn(f.copy) != f.oursTable)
        return false;
    seconds[1] += imported;

    putTable(f.copy, f.baseTable);
    QElapsedTimer timer;
    timer.start();
    for (const QString &side : {f.base, f.ours, f.theirs}) {
        const LoadResult loaded = loadFromExecutable(side);
        if (!loaded.ok || loaded.startLocation != signatureOffset(Size))
            return false;
        benchmark::DoNotOptimize(loaded.table.data());
    }
    SaveOptions options;
    options.offset = signatureOffset(Size);
    options.intoProgramTable = true;
    if (saveTable(f.copy, f.mergedTable, options).kind != SaveOutcome::Kind::Saved)
        return false;
    seconds[2] = double(timer.nsecsElapsed()) / 1e9;
    return tableIn(f.copy) == f.mergedTable;
}

} // namespace

static void MergeAgainstLoadsAndSave(benchmark::State &state)
{
    double seconds[3];
    if (!round(seconds)) { // fills the page cache and makes the copy's backup
        state.SkipWithError("a merge, export, import, load or save failed");
        return;
    }
    for (auto _ : state) {
        if (!round(seconds)) {
            state.SkipWithError("a merge, export, import, load or save failed");
            return;
        }
        for (int way = 0; way < 3; ++way)
            samples[way].push_back(seconds[way]);
        state.SetIterationTime(seconds[0]);
    }
}
BENCHMARK(MergeAgainstLoadsAndSave)
    ->Iterations(Rounds)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    if (samples[0].empty())
        return 1;
    std::printf("\nThree 64 MiB game executables, %zu rounds: median (mean) real time, ms\n",
                samples[0].size());
    const double merge = median(samples[0]);
    for (int way = 0; way < 3; ++way) {
        const std::vector<double> &times = samples[way];
        const double mean = std::accumulate(times.begin(), times.end(), 0.0) / times.size();
        std::printf("%-28s %9.2f (%9.2f)", Ways[way], median(times) * 1e3, mean * 1e3);
        if (way > 0)
            std::printf("   merge / this: %.2fx", merge / median(times));
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
