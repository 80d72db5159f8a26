#pragma once

// The folders the save sweeps run in, and how each save in them is driven:
// as the window does it (answering Save to every question), as the command
// line's import does it (saveIntoTarget, asking nothing), or recover.

#include "native_file.h"
#include "save_asking.h"
#include "save_journal.h"
#include "save_recovery.h"
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
    return file.open(mode) && file.seek(at) && file.write(bytes) == bytes.size();
}

enum class Driver { Window, Import, Recover };

// What is in the folder before the save, and who saves.
struct SceneKind {
    const char *name;
    Driver driver;
    qint64 size;        // of the file before; -1: none
    qint64 offset;      // where the table goes (a program: where its signature is)
    bool program;       // the file is a program with the signature at `offset`
    bool backupKept;    // NAME.bak is there already
    bool backupBlocked; // a folder has the name NAME.bak: no backup can be made
    bool changedBefore; // another program changed the table after it was loaded
    bool startGiven;    // import's --start
};

constexpr qint64 ProgramSize = 3 << 20; // backed up in three pieces
constexpr qint64 ProgramTable = 1'400'000;

inline const QList<SceneKind> &scenes()
{
    static const QList<SceneKind> all = {
        {"first save", Driver::Window, 3000, 0, false, false, false, false, false},
        {"later save, NAME.bak kept", Driver::Window, 3000, 0, false, true, false, false, false},
        {"file shorter than a table", Driver::Window, 700, 0, false, false, false, false, false},
        {"program of 3 MiB", Driver::Window, ProgramSize, ProgramTable, true, false, false, false,
         false},
        {"new file", Driver::Window, -1, 0, false, false, false, false, false},
        {"back at byte 500", Driver::Window, 3000, 500, false, false, false, false, false},
        {"changed since loaded, saved over", Driver::Window, 3000, 0, false, false, false, true,
         false},
        {"no backup possible, saved without", Driver::Window, 3000, 0, false, false, true, false,
         false},
        {"import", Driver::Import, 3000, 0, false, false, false, false, false},
        {"import at --start 500", Driver::Import, 3000, 500, false, false, false, false, true},
        {"import into a program", Driver::Import, ProgramSize, ProgramTable, true, false, false,
         false, false},
        {"recover", Driver::Recover, 3000, 500, false, false, false, false, false},
    };
    return all;
}

// The file before the save; a program has the signature at its table.
inline QByteArray oldFile(const SceneKind &kind)
{
    QByteArray bytes = pattern(std::max<qint64>(kind.size, 0), 1);
    if (kind.program)
        bytes = "MZ" + bytes.mid(2, kind.offset - 2) + tableSignature() +
                bytes.mid(kind.offset + tableSignature().size());
    return bytes;
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
    QByteArray before;      // the file as the save will find it, undisturbed
    QByteArray keptBackup;  // NAME.bak as it was there before
    QByteArray tornFrom;    // recover: the file before the save that did not finish
    qint64 modifiedNs = 0;  // the file's time before the save
    WatchedFiles watched;
    bool linked = false; // the second name could be made

    explicit Folder(const SceneKind &scene) : kind(scene)
    {
        if (kind.size < 0)
            return;
        before = oldFile(kind);
        if (!writeAll(path, before, 0, QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        // Old, as game files are: any other program's write moves its time.
        ageFile(path);
        if (kind.backupKept &&
            !writeAll(backup, keptBackup = pattern(2900, 9), 0, QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(backup));
        if (kind.backupBlocked)
            QDir(dir.path()).mkdir(QFileInfo(backup).fileName());
#ifdef Q_OS_UNIX
        linked =
            ::link(QFile::encodeName(path).constData(), QFile::encodeName(keep).constData()) == 0;
#endif
        watched.loaded = loadFromDataFile(path, qint32(kind.offset)).source;
        if (kind.changedBefore) {
            writeAll(path, "another program's", 100);
            ageFile(path, -2);
            before = *contents(path);
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
        QFile file(path);
        FileStatus status;
        QString reason;
        if (!openRegularFile(file, QIODevice::ReadWrite).ok || !fileStatus(file, &status, &reason))
            qFatal("cannot open %s", qPrintable(path));
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
    SaveOutcome outcome;   // window and import (import's own outcome mapped back)
    Recovery recovery;     // recover
    int questions = 0;     // the window's questions answered
    Bytes agreedOver;      // what the user agreed to save over, after another program acted
};

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
        ending.outcome = saveAsking(folder.path, table(), folder.watched, options,
                                    [&](const SaveOutcome &asked) {
                                        if (++ending.questions > 4)
                                            return false;
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
        const TargetSave saved = saveIntoTarget(
            folder.path, options,
            [](const QByteArray &, TargetSave::Held, QString *) -> std::optional<QByteArray> {
                return table();
            });
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
