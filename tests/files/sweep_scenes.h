#pragma once

// The folders the save sweeps run in, and how each save in them is driven:
// as the window does it (answering Save to every question), as the command
// line's import does it (saveIntoTarget, asking nothing), or recover.

#include "native_file.h"
#include "save_asking.h"
#include "save_journal.h"
#include "save_recovery.h"
#include "save_steps.h"
#include "table_loader.h"
#include "target_save.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace sweep
{

constexpr int TableSize = 1488;
using Bytes = std::optional<QByteArray>; // nullopt: no file of that name

inline QByteArray pattern(qint64 size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) % 253);
    return bytes;
}

// The table every sweep saves: it keeps the signature, so that it may go
// into a program too.
inline QByteArray table()
{
    return tableSignature() + pattern(TableSize - tableSignature().size(), 200);
}

inline Bytes contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// `base` with the table written at `offset`.
inline QByteArray overlaid(const Bytes &base, qint64 offset)
{
    const QByteArray old = base.value_or(QByteArray());
    return old.left(offset).leftJustified(offset, '\0') + table() + old.mid(offset + TableSize);
}

// False where the system refuses, as Windows does while the save has the file open.
inline bool writeAll(const QString &path, const QByteArray &bytes, qint64 at = 0,
                     QIODevice::OpenMode mode = QIODevice::ReadWrite)
{
    QFile file(path);
    if (!file.open(mode))
        return false;
    // Appending writes at the end, on every system (a seek would move it on
    // Windows, where appending is a seek to the end at opening).
    if (!(mode & QIODevice::Append) && !file.seek(at))
        return false;
    return file.write(bytes) == bytes.size();
}

enum class Driver { Window, Import, Recover };

// What else the folder holds, or what happened to the file, before the save.
enum class Twist {
    None,
    BackupKept,    // NAME.bak is there already
    BackupBlocked, // a folder has the name NAME.bak: no backup can be made
    BackupIsLink,  // NAME.bak is a symbolic link to the file, which is no copy
    ChangedBefore, // another program changed the table after it was loaded
    TableMoved,    // a new version of the program moved its table after it was loaded
    LookAlikes,    // files with a save's temporary names that no save made
};

// What is in the folder before the save, and who saves.
struct SceneKind {
    const char *name;
    Driver driver;
    qint64 size;   // of the file before; -1: none
    qint64 offset; // where the table goes (a program: where its signature is)
    bool program;  // the file is a program with the signature at `offset`
    Twist twist;
    bool startGiven; // import's --start
};

constexpr qint64 ProgramSize = 3 << 20; // backed up in three pieces
constexpr qint64 ProgramTable = 1'400'000;
constexpr qint64 MovedBy = 4096; // where a new version of the program keeps its table
// The file's own access: a backup or a journal must let in no one else.
constexpr QFileDevice::Permissions FilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;

inline const QList<SceneKind> &scenes()
{
    using T = Twist;
    static const QList<SceneKind> all = {
        {"first save", Driver::Window, 3000, 0, false, T::None, false},
        {"later save, NAME.bak kept", Driver::Window, 3000, 0, false, T::BackupKept, false},
        {"file shorter than a table", Driver::Window, 700, 0, false, T::None, false},
        {"program of 3 MiB", Driver::Window, ProgramSize, ProgramTable, true, T::None, false},
        {"new file", Driver::Window, -1, 0, false, T::None, false},
        {"back at byte 500", Driver::Window, 3000, 500, false, T::None, false},
        {"changed since loaded, saved over", Driver::Window, 3000, 0, false, T::ChangedBefore,
         false},
        {"no backup possible, saved without", Driver::Window, 3000, 0, false, T::BackupBlocked,
         false},
#ifndef Q_OS_WIN // where a link needs rights a player's account lacks
        {"NAME.bak a link to the file, saved without", Driver::Window, 3000, 0, false,
         T::BackupIsLink, false},
#endif
        {"program's table moved since loaded, written there", Driver::Window, ProgramSize,
         ProgramTable, true, T::TableMoved, false},
        {"look-alike files in the folder", Driver::Window, 3000, 0, false, T::LookAlikes, false},
        {"import", Driver::Import, 3000, 0, false, T::None, false},
        {"import at --start 500", Driver::Import, 3000, 500, false, T::None, true},
        {"import into a program", Driver::Import, ProgramSize, ProgramTable, true, T::None, false},
        {"recover", Driver::Recover, 3000, 500, false, T::None, false},
        {"recover of a file the save made longer", Driver::Recover, 700, 0, false, T::None, false},
    };
    return all;
}

// The file before the save; a program has the signature at its table.
inline QByteArray oldFile(const SceneKind &kind, qint64 tableAt)
{
    QByteArray bytes = pattern(std::max<qint64>(kind.size, 0), 1);
    if (kind.program)
        bytes = "MZ" + bytes.mid(2, tableAt - 2) + tableSignature() +
                bytes.mid(tableAt + tableSignature().size());
    return bytes;
}

// The names a save gives its temporary files, taken by files no save made.
inline const QList<QPair<QString, QByteArray>> &lookAlikes()
{
    static const QList<QPair<QString, QByteArray>> files = {
        {QStringLiteral(".kgf-journal-00000000.tmp"), "my notes"},
        {QStringLiteral(".kgf-save-11111111.tmp"), pattern(2000, 4)},
    };
    return files;
}

// One run's folder: the target, watched as loaded, and a second name of it
// that shows the file itself once the name points elsewhere.
struct Folder {
    SceneKind kind;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("frmation.dat"));
    QString backup = path + QStringLiteral(".bak");
    QString keep = dir.filePath(QStringLiteral("keep.dat"));
    QString journal = journalPath(path);
    qint64 offset = kind.offset; // where the table is to end up
    QByteArray before;           // the file as the save will find it, undisturbed
    QByteArray keptBackup;       // NAME.bak as it was there before
    QByteArray tornFrom;         // recover: the file before the save that did not finish
    qint64 modifiedNs = 0;       // the file's time before the save
    WatchedFiles watched;
    bool linked = false; // the second name could be made

    explicit Folder(const SceneKind &scene) : kind(scene)
    {
        if (kind.size < 0)
            return;
        before = oldFile(kind, kind.offset);
        if (!writeAll(path, before, 0, QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        // Old, as game files are: any other program's write moves its time;
        // and not for everyone, as a backup or journal must not be either.
        ageFile(path);
        QFile::setPermissions(path, FilePermissions);
        if (kind.twist == Twist::BackupKept &&
            !writeAll(backup, keptBackup = pattern(2900, 9), 0, QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(backup));
        if (kind.twist == Twist::BackupBlocked)
            QDir(dir.path()).mkdir(QFileInfo(backup).fileName());
        if (kind.twist == Twist::BackupIsLink)
            QFile::link(path, backup);
        if (kind.twist == Twist::LookAlikes)
            for (const auto &[name, bytes] : lookAlikes())
                writeAll(dir.filePath(name), bytes, 0, QIODevice::WriteOnly);
#ifdef Q_OS_UNIX
        linked =
            ::link(QFile::encodeName(path).constData(), QFile::encodeName(keep).constData()) == 0;
#endif
        watched.loaded = loadFromDataFile(path, qint32(kind.offset)).source;
        if (kind.twist == Twist::ChangedBefore) {
            writeAll(path, "another program's", 100);
            ageFile(path, -2);
            before = *contents(path);
        }
        if (kind.twist == Twist::TableMoved) {
            offset = kind.offset + MovedBy;
            before = oldFile(kind, offset);
            writeAll(path, before);
            ageFile(path, -2);
        }
        if (kind.driver == Driver::Recover)
            tear();
        modifiedNs = timeOf(path);
    }

    static qint64 timeOf(const QString &file)
    {
        QFile opened(file);
        FileStatus status;
        QString reason;
        return openRegularFile(opened, QIODevice::ReadOnly).ok &&
                       fileStatus(opened, &status, &reason)
                   ? status.modifiedNs
                   : -1;
    }

    static void ageFile(const QString &file, int days = -1)
    {
        QFile aged(file);
        if (!aged.open(QIODevice::ReadWrite) ||
            !aged.setFileTime(QDateTime::currentDateTime().addDays(days),
                              QFileDevice::FileModificationTime))
            qFatal("cannot age %s", qPrintable(file));
    }

    // A save of the table that did not finish: its journal, and the file
    // with the first half of the table written.
    void tear()
    {
        FileStatus status;
        {
            QFile file(path);
            QString reason;
            if (!openRegularFile(file, QIODevice::ReadOnly).ok ||
                !fileStatus(file, &status, &reason))
                qFatal("cannot open %s", qPrintable(path));
        } // closed: on Windows a file open to be written is no one else's
        const QByteArray old = before.mid(kind.offset, TableSize);
        const QByteArray journalBytes = encodeJournal(
            {status.identity, status.size, status.modifiedNs, kind.offset, old, table()});
        if (!writeAll(journal, journalBytes, 0, QIODevice::WriteOnly) ||
            !writeAll(path, table().left(TableSize / 2), kind.offset))
            qFatal("cannot tear %s", qPrintable(path));
        tornFrom = before;
        before = *contents(path);
    }

    // The files the folder holds, hidden ones too.
    QStringList names() const
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // The part a path plays, for the lists of steps.
    QString role(const QString &file) const
    {
        const QString name = QFileInfo(file).fileName();
        if (QFileInfo(file).absoluteFilePath() == QFileInfo(path).absoluteFilePath())
            return QStringLiteral("F");
        if (QFileInfo(file).absoluteFilePath() == QDir(dir.path()).absolutePath())
            return QStringLiteral("folder");
        if (file == backup)
            return QStringLiteral("F.bak");
        if (file == journal)
            return QStringLiteral("journal");
        for (const char *prefix : {".kgf-save-", ".kgf-backup-", ".kgf-journal-"})
            if (name.startsWith(QLatin1String(prefix)))
                return QLatin1String(prefix).mid(5).chopped(1) + QStringLiteral("-temp");
        return name;
    }
};

// How one run of a driver ended, in the terms of a save's outcome.
struct Ending {
    SaveOutcome outcome;                // window and import (import's own outcome mapped back)
    Recovery recovery;                  // recover
    int questions = 0;                  // the window's questions answered
    QList<SaveOutcome::Question> asked; // and which they were
    Bytes agreedOver; // what the user agreed to save over, after another program acted
    // Each save that ended in a way save_steps.h does not allow for its step.
    QStringList offTable;
};

// Hears which step ended each save, and notes an ending the table does not allow.
inline std::function<void(SaveStep, const SaveOutcome &)> stepEndsIn(Ending &ending)
{
    return [&ending](SaveStep step, const SaveOutcome &outcome) {
        if (!stepMayEnd(step, outcome.kind, outcome.question))
            ending.offTable << QStringLiteral("step %1 ended in outcome %2 (question %3)")
                                   .arg(int(step))
                                   .arg(int(outcome.kind))
                                   .arg(int(outcome.question));
    };
}

// Saves (or recovers) once as the scene's driver does. `onQuestion` hears
// each question of the window before it is answered with Save.
inline Ending drive(Folder &folder, const std::function<void(const SaveOutcome &)> &onQuestion = {})
{
    Ending ending;
    const SceneKind &kind = folder.kind;
    switch (kind.driver) {
    case Driver::Window: {
        SaveOptions options;
        options.offset = kind.offset;
        options.intoProgramTable = kind.program;
        options.stepEnded = stepEndsIn(ending);
        ending.outcome = saveAsking(folder.path, table(), folder.watched, options,
                                    [&](const SaveOutcome &asked) {
                                        if (++ending.questions > 4)
                                            return false;
                                        ending.asked << asked.question;
                                        if (onQuestion)
                                            onQuestion(asked);
                                        return true;
                                    });
        return ending;
    }
    case Driver::Import: {
        TargetSaveOptions options;
        if (kind.startGiven)
            options.start = kind.offset;
        options.save.stepEnded = stepEndsIn(ending);
        const TargetSave saved =
            saveIntoTarget(folder.path, options,
                           [](const QByteArray &, TargetSave::Held,
                              QString *) -> std::optional<QByteArray> { return table(); });
        // What the save said, with the words import adds to it.
        ending.outcome = saved.outcome;
        if (saved.kind == TargetSave::Kind::Failed)
            ending.outcome.message = saved.error;
        return ending;
    }
    case Driver::Recover:
        ending.recovery = recoverSave(folder.path);
        return ending;
    }
    return ending;
}

} // namespace sweep
