// Two sweeps over one whole save, system call by system call: before each
// call of a first, undisturbed save, another program acts on the files, or
// the call fails once as the system can make it fail. After every run the
// files must be what the outcome says, and nothing the other program wrote
// may be gone unless the user agreed after being asked about it.
#include "native_file.h"
#include "save_asking.h"
#include "table_loader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace
{

constexpr int TableSize = 1488;
using Bytes = std::optional<QByteArray>; // nullopt: no file of that name

// How the save is driven: as the window does, answering Save to every
// question, or as import does, which declines them all.
enum class Driver { Window, Import };

// The saves swept: as the window and as import do it, and the window's
// save of a table back where it was loaded from, at an offset.
struct Way {
    Driver driver;
    qint64 offset;
    const char *name;
};
constexpr Way Ways[] = {{Driver::Window, 0, "window"},
                        {Driver::Import, 0, "import"},
                        {Driver::Window, 500, "window, at byte 500"}};

enum class Action {
    ChangeInsideTable,
    ChangeAfterTable,
    Append,
    CutShort,
    ReplaceByRename,
    Delete,
    SymbolicLink,
    BackupAppears,
};
constexpr const char *ActionNames[] = {"changes bytes inside the table",
                                       "changes bytes after the table",
                                       "appends",
                                       "cuts it short",
                                       "replaces it by rename",
                                       "deletes it",
                                       "puts a symbolic link in its place",
                                       "makes NAME.bak appear"};

// The failures each call can really give.
QList<SystemFault> faultsOf(const QByteArray &call)
{
    using F = SystemFault;
    if (call == "read")
        return {F::IoError, F::Interrupted, F::Short};
    if (call == "write")
        return {F::NoSpace, F::IoError, F::Interrupted, F::Short};
    if (call == "sync" || call == "create")
        return {F::NoSpace, F::IoError, F::Interrupted};
    if (call == "open" || call == "resize")
        return {F::IoError, F::Interrupted};
    if (call == "rename")
        return {F::NoSpace, F::IoError};
    return {F::IoError}; // looking at a path or a file, setting a time or permissions, removing
}
constexpr const char *FaultNames[] = {"none", "ENOSPC", "EIO", "EINTR", "short"};

QByteArray pattern(qint64 size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) % 253);
    return bytes;
}

QByteArray table()
{
    return pattern(TableSize, 200);
}

Bytes contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// `base` with the table written at `offset`.
QByteArray overlaid(const Bytes &base, qint64 offset)
{
    const QByteArray old = base.value_or(QByteArray());
    return old.left(offset).leftJustified(offset, '\0') + table() + old.mid(offset + TableSize);
}

// False where the system refuses, as Windows does while the save has the file open.
bool writeAll(const QString &path, const QByteArray &bytes, qint64 at = 0,
              QIODevice::OpenMode mode = QIODevice::ReadWrite)
{
    QFile file(path);
    return file.open(mode) && file.seek(at) && file.write(bytes) == bytes.size();
}

// One run's folder: the target, watched as loaded, and a second name of it
// that shows the file itself once the name points elsewhere.
struct Scene {
    qint64 offset = 0; // where the table is loaded from and saved to
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("frmation.dat"));
    QString backup = path + QStringLiteral(".bak");
    QString keep = dir.filePath(QStringLiteral("keep.dat"));
    QByteArray before = pattern(3000, 1);
    WatchedFiles watched;
    bool kept = false; // the second name could be made

    explicit Scene(qint64 at) : offset(at)
    {
        // Old, as game files are: any other program's write moves its time.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(before) != before.size() ||
            !file.setFileTime(QDateTime::currentDateTime().addDays(-1),
                              QFileDevice::FileModificationTime))
            qFatal("cannot write %s", qPrintable(path));
        file.close();
#ifdef Q_OS_UNIX
        kept =
            ::link(QFile::encodeName(path).constData(), QFile::encodeName(keep).constData()) == 0;
#endif
        watched.loaded = loadFromDataFile(path, qint32(offset)).source;
    }

    // What another program does; false when there was nothing to do.
    bool act(Action action) const
    {
        const QString theirs = dir.filePath(QStringLiteral("theirs.dat"));
        switch (action) {
        case Action::ChangeInsideTable:
            return writeAll(path, "another program's", offset + 100);
        case Action::ChangeAfterTable:
            return writeAll(path, "another program's", 2000);
        case Action::Append:
            return writeAll(path, "another program's", 0, QIODevice::Append);
        case Action::CutShort:
            return QFile(path).resize(700);
        case Action::ReplaceByRename:
            return writeAll(theirs, pattern(2500, 2), 0, QIODevice::WriteOnly) &&
                   QFile::remove(path) && QFile::rename(theirs, path);
        case Action::Delete:
            return QFile::remove(path);
        case Action::SymbolicLink: {
            const QString link = dir.filePath(QStringLiteral("link.tmp"));
            return writeAll(theirs, pattern(2600, 3), 0, QIODevice::WriteOnly) &&
                   QFile::link(theirs, link) && QFile::remove(path) && QFile::rename(link, path);
        }
        case Action::BackupAppears:
            if (QFileInfo::exists(backup) || QFileInfo(backup).isSymLink())
                return false;
            return writeAll(backup, "another program's backup", 0, QIODevice::WriteOnly);
        }
        return false;
    }
};

// What happened in one run.
struct Run {
    SaveOutcome outcome;
    int calls = 0;
    QList<QPair<QByteArray, QString>> steps; // every call made, with its file
    Action action = Action::ChangeInsideTable;
    bool acted = false;
    Bytes prior;       // the target just before the other program acted
    Bytes theirs;      // and just after
    Bytes theirBackup; // NAME.bak as the other program made it
    Bytes agreedOver;  // what the user agreed to save over, when asked after that
    int questions = 0;

    // The other program changed bytes where the table goes.
    bool changedTableBytes(qint64 offset) const
    {
        return acted && prior && theirs &&
               prior->mid(offset, TableSize) != theirs->mid(offset, TableSize);
    }
    // The name now leads to another file, or to none.
    bool movedName() const
    {
        return acted && (action == Action::ReplaceByRename || action == Action::Delete ||
                         action == Action::SymbolicLink);
    }
};

// Runs the save, letting `beforeCall` act before each system call.
Run runSave(Scene &scene, Driver driver,
            const std::function<SystemFault(Run &, int call)> &beforeCall = {})
{
    Run run;
    setSystemCallHook([&](const char *call, const QString &file) {
        run.steps.append({QByteArray(call), file});
        const int index = run.calls++;
        return beforeCall ? beforeCall(run, index) : SystemFault::None;
    });
    const SaveAnswer answer = [&](const SaveOutcome &asked) {
        if (driver == Driver::Import || ++run.questions > 4)
            return false;
        if (run.acted && asked.question == SaveOutcome::Question::ChangedByOtherProgram)
            run.agreedOver = contents(scene.path);
        return true;
    };
    run.outcome = saveAsking(scene.path, table(), scene.watched, {.offset = scene.offset}, answer);
    setSystemCallHook({});
    return run;
}

// Where the files disagree with the outcome or the rules; empty when they do not.
QString violation(const Scene &scene, const Run &run, bool inUnclosableWindow, bool afterWrite)
{
    const SaveOutcome &outcome = run.outcome;
    const Bytes now = contents(scene.path);
    // What the file may be now, besides the table: what the user agreed to
    // save over, or else what the other program left, or else the file as it was.
    const Bytes base = run.agreedOver ? run.agreedOver
                       : run.acted    ? run.theirs
                                      : Bytes(scene.before);
    const QStringList names =
        QDir(scene.dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        if (name.startsWith(QLatin1String(".kgf-save-")) && !outcome.message.contains(name))
            return QStringLiteral("the temporary file %1 is left and the message does not say so")
                .arg(name);

    if (const Bytes backup = contents(scene.backup)) {
        const bool theirBackup = run.theirBackup && *backup == *run.theirBackup;
        const bool copy = *backup == scene.before || (run.theirs && *backup == *run.theirs);
        if (run.theirBackup && !theirBackup)
            return QStringLiteral("the other program's NAME.bak was replaced");
        if (!theirBackup && !copy)
            return QStringLiteral("NAME.bak is not the file as it was before this save");
        if (outcome.kind == SaveOutcome::Kind::Damaged &&
            outcome.message.contains(QDir::toNativeSeparators(scene.backup)) && !copy)
            return QStringLiteral("the message points to NAME.bak, which holds no copy");
    }
    // Bytes outside the table are never the save's to change, and the file
    // that had the name keeps its bytes once the name leads elsewhere.
    const qint64 end = scene.offset + TableSize;
    if (now && base &&
        (now->left(scene.offset) != base->left(scene.offset) || now->mid(end) != base->mid(end)))
        return QStringLiteral("bytes beside the table differ from the file the save may write");
    if (scene.kept && run.movedName() && contents(scene.keep) != scene.before)
        return QStringLiteral("the file that had the name before is changed");

    switch (outcome.kind) {
    case SaveOutcome::Kind::Saved:
    case SaveOutcome::Kind::NothingToChange:
        // Another program that wrote after the table was written in and
        // read back changed the saved file; all it wrote must be there.
        if (afterWrite ? now != run.theirs : (!now || *now != overlaid(base, scene.offset)))
            return QStringLiteral("said saved, but the file does not hold the table");
        if (run.changedTableBytes(scene.offset) && !run.agreedOver && !inUnclosableWindow &&
            !afterWrite)
            return QStringLiteral("the other program's table bytes were saved over unasked");
        return {};
    case SaveOutcome::Kind::Ask:
        if (run.questions > 4)
            return QStringLiteral("the same question came again and again");
        return now == base ? QString() : QStringLiteral("asked, but the file changed");
    case SaveOutcome::Kind::NotSaved:
        return now == base ? QString() : QStringLiteral("said not saved, but the file changed");
    case SaveOutcome::Kind::Damaged:
        return outcome.message.contains(QStringLiteral("damaged"))
                   ? QString()
                   : QStringLiteral("damaged, but the message does not say so");
    }
    return QStringLiteral("no outcome");
}

// Records an undisturbed save for each way and hands over each of its
// calls: the way, the call's index, its name and file, and whether it is
// the table's own write or comes after it.
void forEachCall(
    const std::function<void(int way, int step, const QByteArray &call, const QString &file,
                             bool tableWrite, bool afterWrite)> &add)
{
    for (int way = 0; way < int(std::size(Ways)); ++way) {
        Scene scene(Ways[way].offset);
        const Run recorded = runSave(scene, Ways[way].driver);
        bool written = false;
        for (int step = 0; step < recorded.steps.size(); ++step) {
            const auto &[call, file] = recorded.steps[step];
            const bool tableWrite = !written && call == "write" && file == scene.path;
            add(way, step, call, QFileInfo(file).fileName(), tableWrite, written);
            written = written || tableWrite;
        }
    }
}

QString told(const Run &run)
{
    return QStringLiteral(". Outcome %1: %2").arg(int(run.outcome.kind)).arg(run.outcome.message);
}

} // namespace

class SaveSweepTest : public QObject
{
    Q_OBJECT
private slots:
    void anotherProgramActs_data();
    void anotherProgramActs();
    void eachCallFailsOnce_data();
    void eachCallFailsOnce();
};

void SaveSweepTest::anotherProgramActs_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("inUnclosableWindow"); // just before the table's own write
    QTest::addColumn<bool>("afterWrite");
    for (int way = 0; way < int(std::size(Ways)); ++way)
        QTest::addRow("%s, undisturbed", Ways[way].name) << way << -1 << 0 << false << false;
    int rows = 0;
    forEachCall([&](int way, int step, const QByteArray &call, const QString &file, bool tableWrite,
                    bool afterWrite) {
        for (int action = 0; action < int(std::size(ActionNames)); ++action) {
#ifdef Q_OS_WIN
            if (Action(action) == Action::SymbolicLink)
                continue; // POSIX only
#endif
            QTest::addRow("%s, before call %d (%s %s), another program %s", Ways[way].name, step,
                          call.constData(), qPrintable(file), ActionNames[action])
                << way << step << action << tableWrite << afterWrite;
            ++rows;
        }
    });
    qInfo("%d runs: each call of %d saves (the window's, import's, the window's at an offset), "
          "times each action",
          rows, int(std::size(Ways)));
}

void SaveSweepTest::anotherProgramActs()
{
    QFETCH(int, way);
    QFETCH(int, step);
    QFETCH(int, action);
    QFETCH(bool, inUnclosableWindow);
    QFETCH(bool, afterWrite);
    Scene scene(Ways[way].offset);
    const Run run = runSave(scene, Ways[way].driver, [&](Run &current, int call) {
        if (call == step) {
            current.action = Action(action);
            current.prior = contents(scene.path);
            current.acted = scene.act(current.action);
            current.theirs = contents(scene.path);
            if (current.action == Action::BackupAppears && current.acted)
                current.theirBackup = contents(scene.backup);
        }
        return SystemFault::None;
    });
    const QString wrong = violation(scene, run, inUnclosableWindow, afterWrite);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong + told(run)));
    QVERIFY2(step >= 0 || run.outcome.kind == SaveOutcome::Kind::Saved, qPrintable(told(run)));
}

void SaveSweepTest::eachCallFailsOnce_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("fault");
    int rows = 0;
    forEachCall([&](int way, int step, const QByteArray &call, const QString &file, bool, bool) {
        for (SystemFault fault : faultsOf(call)) {
            QTest::addRow("%s, call %d (%s %s) fails: %s", Ways[way].name, step, call.constData(),
                          qPrintable(file), FaultNames[int(fault)])
                << way << step << int(fault);
            ++rows;
        }
    });
    qInfo("%d runs: each call of %d saves (the window's, import's, the window's at an offset), "
          "times each failure it can give",
          rows, int(std::size(Ways)));
}

void SaveSweepTest::eachCallFailsOnce()
{
    QFETCH(int, way);
    QFETCH(int, step);
    QFETCH(int, fault);
    Scene scene(Ways[way].offset);
    const Run run = runSave(scene, Ways[way].driver, [&](Run &, int call) {
        return call == step ? SystemFault(fault) : SystemFault::None;
    });
    QVERIFY(run.calls > step);
    const QString wrong = violation(scene, run, false, false);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong + told(run)));
}

QTEST_APPLESS_MAIN(SaveSweepTest)
#include "tst_save_sweeps.moc"
