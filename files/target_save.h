#pragma once

// The command line's save of a table into a target file (import, and every
// mode that writes a table): placed by placeTable, made from what the
// target holds there, and saved through the window's own save, asking
// nothing. Where the window would ask, it stops and writes nothing: another
// program changed the target meanwhile, or no backup can be made (unless
// the caller goes on without one). Where a program's table has moved
// since it was found, the table is made again from what is at the new
// place and saved there.

#include "table_saver.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

struct TargetSave {
    enum class Kind { Saved, Unchanged, Failed };
    enum class Held {
        Table,   // a whole table at `offset`
        Less,    // a file shorter than a table: written from its first byte
        Nothing, // no file yet: made
    };
    Kind kind = Kind::Failed;
    QString error; // with Failed: the message for the user
    Held held = Held::Nothing;
    QByteArray before; // what the target held at the place (zeros without a table)
    QByteArray table;  // what was written, or would have been
    qint64 offset = 0;
    bool inProgram = false; // a program's own table, found by its signature
    qint64 movedFrom = -1;  // where the program's table was first found, when it moved
    QString backupPath;     // the backup this save made, if it made one
    QString noBackup;       // why there is no backup or journal, where the caller went on without
    bool backupNotWanted = false; // TargetSaveOptions::noBackup: none was to be made
    QString remark;               // news besides, from the save
    // With Failed: the question the window would have asked, if that is
    // what stopped it.
    std::optional<SaveOutcome::Question> stoppedAt;
    // The save's own outcome, where it came to one; kind NotSaved and no
    // message where the placement or the table refused first.
    SaveOutcome outcome;
};

struct TargetSaveOptions {
    std::optional<qint64> start;       // --start: where a data file holds its table
    const char *startOption = "start"; // the option `start` came from, for messages
    bool force = false;                // a NAME.bak may be written over
    bool noBackup = false;             // make no backup (the journal is still written)
    bool allowNoBackup = false;        // go on where no backup, or no journal, can be made
    SaveOptions save{};                // tests: the save's seams
};

// Makes the table to write from what the target holds at the place: the
// table, or an error for the user (the text does not fit the target).
using TableMaker = std::function<std::optional<QByteArray>(const QByteArray &before,
                                                           TargetSave::Held held, QString *error)>;

TargetSave saveIntoTarget(const QString &target, const TargetSaveOptions &options,
                          const TableMaker &make);
