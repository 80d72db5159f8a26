#pragma once

// A save's journal: what is needed to put a file back as it was before a
// save that writes the table into it in place. The save writes it beside
// the file (NAME.kgf-journal), complete and synced, before the file's
// first byte changes, and removes it once the file is written and synced:
// a journal that exists means a save did not finish, and the file may hold
// the old bytes, the new ones or a mix of the two.

#include "native_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

struct SaveJournal {
    FileIdentity identity; // the file the save wrote into
    qint64 size = 0;       // its length before the save
    qint64 modifiedNs = 0; // its modification time before the save
    qint64 offset = 0;     // where the table goes
    QByteArray oldBytes;   // what the table replaces (fewer where the file ended first)
    QByteArray newBytes;   // the table
};

// The journal of a save into `path`: beside the file itself (symbolic links
// followed), under its name with ".kgf-journal" added, or where that name
// would be too long for the file system, ".kgf-journal-" and 16 hexadecimal
// digits made from its name.
QString journalPath(const QString &path);
// What has the journal's name beside `path`. A save holds its journal
// while it runs (holdWhileOpen), so one that no save holds is of a save
// that did not finish. A folder that cannot be looked into tells nothing,
// and the file in it cannot be opened either.
enum class JournalState {
    None,        // nothing there
    Unfinished,  // a journal no save holds: a save did not finish
    SaveRunning, // a journal a save holds now, in this program or another copy of it
    NotAJournal, // something there that no save made: a folder, a pipe, a dangling link
};
JournalState journalState(const QString &path);
// Whether anything has the journal's name: a save must not go on then.
bool hasJournal(const QString &path);

// A journal is a few kilobytes at most; anything longer is none.
constexpr qint64 MaxJournalBytes = 16 * 1024;

// The journal as bytes: a line that says what it is, the fields, and
// SHA-256 checksums of the old bytes, of the new ones and of all before.
QByteArray encodeJournal(const SaveJournal &journal);
// Whether `head` begins as a journal does: with its first line, or with
// a part of it where `head` is that short.
bool beginsAsJournal(QByteArrayView head);
// Whether `head` begins with a journal's whole first line.
bool beginsAsWholeJournalLine(QByteArrayView head);
// Whether the regular file `path` is a journal, by its first line.
bool isJournalFile(const QString &path);
// The journal in `bytes`; nothing, with why in words for the user, when
// they are not a whole journal whose checksums hold.
std::optional<SaveJournal> decodeJournal(QByteArrayView bytes, QString *why);

// How the bytes a file holds where a journal's save wrote compare with it.
enum class JournalMatch {
    Old,       // the bytes and length before the save
    New,       // the table, all of it
    Mixed,     // each byte old or new: a write cut off part-way
    Elsewhere, // anything else: another program changed the file since
};
// `now` is the file's bytes from the journal's offset on, as many as the
// table covers, and `size` its length now.
JournalMatch matchJournal(const SaveJournal &journal, QByteArrayView now, qint64 size);
