#pragma once

// Inside the save: the copy of a file kept beside it as NAME.bak before a
// save first changes it. Made complete under a temporary name, synced and
// read back, and only then given its name, never replacing anything.

#include "save_target.h"

#include <QString>
#include <optional>

// What NAME.bak is before a save, for the file whose identity is `target`
// and whose length is `targetSize`.
struct ExistingBackup {
    enum class State {
        None,     // nothing has the name: a copy is to be made
        Kept,     // a regular file of its own: it stays, and is the backup
        NoBackup, // something that is no copy of the file: `why`
    };
    State state = State::None;
    QString why;
};
ExistingBackup existingBackup(const QString &backupPath, const FileIdentity &target,
                              qint64 targetSize);

// A complete copy, synced and read back, still under its temporary name.
struct PendingBackup {
    QString temporary;
    OpenFile file;
};

// Copies the whole of `source`, which the save found as `status`, into a
// new file beside `backupPath`, with its owner, group, ACL and permission
// bits (keepAccessOf). Nothing, with `reason`, when that failed; no
// temporary file is left then, or the reason names it.
std::optional<PendingBackup> copyForBackup(OpenFile &source, const FileStatus &status,
                                           const QString &backupPath, const SaveOptions &options,
                                           QString *reason);

// Gives the copy the name `backupPath`. Empty when it has it, or when a
// file of its own took the name meanwhile, which then serves as the
// backup (`made` false); otherwise why there is no backup.
QString nameBackup(PendingBackup &pending, const QString &backupPath, const FileStatus &target,
                   const SaveOptions &options, bool *made);

// Drops a copy that will not be named: empty, or words that name it where
// it could not be removed.
QString discardBackup(PendingBackup &pending);
