#pragma once

// Putting back a file whose save did not finish, from the journal the
// save left beside it (save_journal.h).

#include "save_journal.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What a journal beside a file says, and whether it can be put back.
struct UnfinishedSave {
    bool found = false;   // a journal is beside the file
    bool running = false; // its save is running now: nothing is to be done yet
    QString journalPath;  // where it is
    bool canPutBack = false;
    QString problem; // why not, in words for the user, when it cannot be put back
    JournalMatch match = JournalMatch::Elsewhere;
    QList<int> differing; // the formations the file holds otherwise than before the save
};

// Looks at the journal beside `path`, if there is one, and at the file.
UnfinishedSave findUnfinishedSave(const QString &path);

// A load refuses a file whose save did not finish: the line it says then,
// naming the command that settles it.
QString unfinishedSaveRefusal(const QString &path);
// Why a save into such a file writes nothing, for a message after "The
// table was not saved to NAME: ".
QString unfinishedSaveReason(const QString &path);

struct Recovery {
    enum class Kind {
        NothingToRecover, // no journal beside the file
        PutBack,          // the old bytes are back, synced, and the journal is gone
        Kept,             // the file is as it is, and the journal is gone
        Refused,          // nothing was changed: `message` says why
        Failed,           // reading or putting back failed; the journal stays
    };
    Kind kind = Kind::Refused;
    QString message; // for the user, naming the file
    // With PutBack: the journal could not be removed, though no longer needed.
    bool journalLeft = false;
};

// Puts back the bytes the journal beside `path` holds, where the file is
// the one the journal's save wrote into and holds its old bytes, its new
// ones or a mix of the two (a write cut off part-way); syncs, puts back its
// old length, and removes the journal. The modification time is left as the
// put-back leaves it: another program may have changed the file outside the
// table since, and an old time would hide that. Anything
// else is refused and changes nothing. A recovery cut off is made whole by
// running it again.
Recovery recoverSave(const QString &path);

// Where the journal beside `path` is of a save that did not finish but
// changed nothing (the file holds its old bytes and length exactly), removes
// it, as recover would: true then, with words for a message in `note`.
bool settleUntouched(const QString &path, QString *note);

// Removes the journal beside `path` and leaves the file as it is: the
// user's choice to keep what the save that did not finish left.
Recovery keepAfterUnfinishedSave(const QString &path);
