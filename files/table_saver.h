#pragma once

#include "file_snapshot.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Saving the formation table into a file: to its first 1,488 bytes, or
// over the 1,488 bytes at an offset of a file that holds them.
//
// An existing regular file is written in place, as the same file: it keeps
// its identity (hard links, owner, permissions, extended attributes), a
// longer file keeps every other byte and a shorter one grows to 1,488 bytes.
// Before its first byte changes, a journal (save_journal.h) that holds the
// bytes the table replaces is written beside it and synced, so that a save
// cut off at any moment, by a kill or by a power cut on a disk that honours
// sync, can be put back; it is removed once the table is written and
// synced. Just before the first write the save checks again that the name
// still leads to the file it opened and that its length, modification time
// and those bytes are as it found them; after the write, synced and read
// back, that the name still leads there. If writing, syncing or reading
// back fails after the file took any of the new bytes, the old bytes and
// length are put back, unless another program has written to the file
// since: its bytes are never overwritten that way, and a file is never
// grown back. A file that does not exist yet is written complete under a
// temporary name in its folder and only then given its name, never
// replacing anything, so a failed save never leaves part of a file. Each
// save that put the table in the file then clears its folder of the
// temporary files a save cut off left there, where they are recognisably
// the program's own (save_leftovers.h).
//
// Things asked before an existing file is written; nothing is written until
// the caller agrees and saves again (see saveAsking):
// - another program changed the file: a watched file (the one the table
//   was loaded from, or the one it was last saved to) since the editor saw
//   it, or any file while this save ran;
// - the save would change the file, no NAME.bak (the full name with ".bak")
//   is beside it yet, and that copy of the file's whole content cannot be
//   made. An existing NAME.bak is never replaced or removed, so it keeps the
//   file as it was before the editor first changed it; a NAME.bak that is a
//   link, another name of the file itself, or empty beside a file that is
//   not, holds no copy and counts as none;
// - the save would change the file, and no journal can be written beside
//   it (a folder the user may not write, a full disk): a save cut off
//   part-way could not be put back;
// - the table goes into a program's own table, and the program's signature
//   is no longer where it was: the table has moved (a new version of the
//   program), and the question names the new place.
// A save that would change no byte of the file writes nothing and makes no
// backup.

// A file a save writes, seen as positioned reads and writes. Tests wrap the
// real one to make any step fail.
class WritableFile
{
public:
    virtual ~WritableFile() = default;
    virtual qint64 size() = 0; // -1 on an error
    // Each returns the number of bytes moved, -1 on an error.
    virtual qint64 readAt(qint64 position, char *data, qint64 length) = 0;
    virtual qint64 writeAt(qint64 position, const char *data, qint64 length) = 0;
    virtual bool resize(qint64 size) = 0;
    virtual bool sync() = 0; // through to the disk
    virtual QString errorString() const = 0;
};

// A WritableFile over an open QFile.
std::unique_ptr<WritableFile> writableFile(std::unique_ptr<QFile> file);

struct SaveOutcome;
enum class SaveStep; // save_steps.h

// Given each file a save opens, returns the one the save should use.
using FileWrapper = std::function<std::unique_ptr<WritableFile>(std::unique_ptr<WritableFile>)>;

struct SaveOptions {
    const WatchedFiles *watched = nullptr; // the files the table came from and last went to
    // The file as the user saw it when agreeing to save anyway: checked in
    // place of its watched snapshot, so that a change made since is asked about.
    const FileSnapshot *agreed = nullptr;
    bool withoutBackup = false;  // the user agreed to save without a backup
    bool withoutJournal = false; // the user agreed to save without a journal
    // Where in the file the table goes. Beyond 0 only into an existing file
    // that holds the bytes there already: its length never changes.
    qint64 offset = 0;
    // The table goes into a program's own table: the bytes at `offset` must
    // still begin with its signature, or the save asks (Question::TableMoved).
    bool intoProgramTable = false;
    // The formations' names, for the words that say what another program
    // changed; may be empty.
    QStringList formationNames{};
    FileWrapper wrap{};       // tests: wraps the file the table is written to
    FileWrapper wrapBackup{}; // tests: wraps the backup being written
    // Tests: runs just before a new file or a backup is given its name.
    std::function<void(const QString &name)> beforeNaming{};
    // Called between the pieces of a long copy (the backup of a big file),
    // so that a window can repaint meanwhile.
    std::function<void()> progress{};
    // Tests: hears which step ended a save over an existing file, and how.
    std::function<void(SaveStep step, const SaveOutcome &outcome)> stepEnded{};
};

// What one save did: one outcome, and what each promises about the file
// and its backup.
struct SaveOutcome {
    enum class Kind {
        // The table is in the file under its name: written, synced and read
        // back. `backupPath` names the backup this save made before writing,
        // if it made one: a true copy of the file as the save found it.
        Saved,
        // The file held the table already: nothing was written and no
        // backup made.
        NothingToChange,
        // Nothing was written to the file. `question` stands in the way;
        // `message` says why (the question without its question, for a
        // caller that cannot ask) and `seen` is the file as it was when
        // asked. A backup this save made before another program's change
        // showed stays (`backupPath`), a true copy of the file as it was
        // before that change, and the message names it.
        Ask,
        // Not saved, and the file is as this save found it: nothing was
        // written, or what was written was put back and read back (where
        // another program had put another file at the name meanwhile, the
        // file the save opened got its bytes back, and the one now at the
        // name was not touched). A backup this save made stays, a true copy
        // of the file. `message` says why.
        NotSaved,
        // Not saved, and the file may hold part of the table: its old bytes
        // could not be put back, or were left out because another program
        // wrote to the file after the table did. `message` says what state
        // it is in and where the old bytes are: the journal, which stays.
        Damaged,
    };
    // Saving again with `seen` as SaveOptions::agreed writes only if
    // nothing changed the file since, and asks again otherwise.
    enum class Question {
        ChangedByOtherProgram, // another program changed the file
        NoBackup,              // no backup can be made: save again without one
        NoJournal,             // no journal can be made: save again without one
        TableMoved,            // the program's table is now at `movedTo`: save again there
    };

    Kind kind = Kind::NotSaved;
    Question question = Question::ChangedByOtherProgram; // with Ask
    QString message;   // for the user, naming the file; empty when saved or nothing changed
    FileSnapshot seen; // with Ask: the file as it was when asked
    // The file as this save left it, where it wrote or found the table: the
    // table, the old bytes put back, or what a failed write left there (as
    // the save left it, not as another program changed it since). Its table
    // bytes are taken at the watched file's table offset when the save wrote
    // one, else at the save's offset. Not valid when nothing was written,
    // the name now leads elsewhere, or the system could not tell.
    FileSnapshot left;
    QString backupPath;  // the backup this save made, if it made one
    qint64 movedTo = -1; // with TableMoved: where the program's table is now
    // News besides the outcome, such as files a save cut off left in the
    // folder that were not removed; empty when there is none.
    QString remark;
    // Parts of `remark` a later attempt of the same save may make untrue: this
    // save's own journal could not be removed, and an earlier journal that
    // changed nothing was removed by this save.
    QString journalLeft;
    QString journalSettled;

    bool tableInFile() const { return kind == Kind::Saved || kind == Kind::NothingToChange; }
    QString questionText() const; // with Ask: `message` and the question
};

// One save, asking nothing: where a question stands in the way, it is the
// outcome.
SaveOutcome saveTable(const QString &path, const QByteArray &table,
                      const SaveOptions &options = {});
