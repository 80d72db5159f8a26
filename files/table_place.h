#pragma once

// Where a table goes in a file: the one place that decides it, for every
// save of the window (Save, Ctrl+S, save-as), for import and for every
// mode that writes a table into a file. The save itself checks again at
// the moment it writes (table_saver.h): a program's table must still
// start with its signature where it was found.
//
// The rules:
// - The file the table was loaded from, at a start location beyond 0: back
//   there; a data file may also take it at its first byte.
// - A program (a name ending in .exe, or a file that begins with MZ) takes
//   a table into its own table, found by its signature, where only those
//   1,488 bytes change. Its first bytes are written over only after a
//   question, whatever way the table was loaded, and never by import.
// - A table without the signature goes into a program's table only after a
//   warning (the window) or not at all (import): it could not be found there
//   again.
// - Any other file takes the table at its first byte, or for import at
//   --start, where the file holds a table.
// - A file whose name is another file's NAME.bak, the copy kept of it, is
//   written only after a question (the window) or with --force (import).

#include "file_snapshot.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Where the table in hand came from.
struct TableOrigin {
    FileSnapshot loaded;      // the file it was loaded from, as the load saw it; not valid: none
    bool fromProgram = false; // found there by the program's signature
    // Saved into that file since, which `loaded` then shows as that save left it.
    bool savedThereSince = false;
};

// Who asks for a place: the window asks the user where there is a choice,
// import and the other modes take the rule's place or are refused.
enum class PlaceFor { Window, CommandLine };

struct PlaceRequest {
    QString target;
    // What is to be written; empty where it is made from what the place
    // holds (import), to be checked with tableFitsPlace once it is made.
    QByteArray table;
    TableOrigin origin;
    PlaceFor caller = PlaceFor::Window;
    std::optional<qint64> start; // the command line's --start: where a data file holds its table
    bool force = false;          // the command line's --force: a backup may be written over
    const char *startOption = "start"; // the option `start` came from, for messages
};

// A question the user answers before a place is taken: `accept` goes on,
// Cancel stops.
struct Confirmation {
    QString text;
    QString accept;
};

// A place a table may go.
struct TablePlace {
    qint64 offset = 0;
    bool intoProgramTable = false; // the program's own table, where its signature must stay
    QString choice;                // the words of the button that takes it, among others
    std::optional<Confirmation> confirmation; // asked once this place is chosen
    // What the file holds there as the placement read it (for the command
    // line, the table a text is applied onto); not valid for a file that
    // does not exist yet or holds less than a table.
    FileSnapshot found;
};

struct Placement {
    QString refusal;            // not empty: the table goes nowhere in the target
    QList<Confirmation> before; // asked first, in order, each to be accepted
    // Where there is a choice to make (the window only): what it is about.
    // One place with a question is a plain yes or no.
    QString question;
    QList<TablePlace> places; // one, or those to choose from
    int preferred = 0;        // the place Enter takes; -1: Cancel
};

Placement placeTable(const PlaceRequest &request);

// For the command line: why `table` may not go to `place` in `target`,
// empty when it may (a program's table must keep its signature).
QString tableFitsPlace(const TablePlace &place, const QByteArray &table, const QString &target);

// The file `path` is the copy kept of, when its name is another file's
// NAME.bak; empty otherwise.
QString originalOfBackup(const QString &path);
