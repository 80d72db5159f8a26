#pragma once

#include "mode_table.h"
#include "table_merge.h"
#include "table_text.h"

#include <QString>
#include <QStringList>
#include <optional>

// The program's command line, read by the table of modes (mode_table.h).
// Without a mode it starts the window, with a file to load.

struct Invocation {
    const ModeDescription *mode = nullptr; // null: the window
    bool help = false;                     // print the help, and nothing else
    bool version = false;                  // print the version, and nothing else
    QString usageError; // set when the command line is wrong: print it with the usage, exit 2
    QStringList files;  // the files after the mode, in order
    TextFormat format = TextFormat::Json;
    bool formatGiven = false;
    OffsetUnits units = OffsetUnits::Both; // export: the offset fields written
    QString output;                        // export, picture: empty for standard output
    QString start = QStringLiteral("0");   // the start locations as given, whole numbers from 0
    QString startA = QStringLiteral("0");
    QString startB = QStringLiteral("0");
    QString startBase = QStringLiteral("0");
    QString startOurs = QStringLiteral("0");
    QString startTheirs = QStringLiteral("0");
    QStringList startsGiven; // given at all, even as 0: "start", "start-a", ...
    int formation = 0;       // picture
    double scaleFeet = 0;    // picture: feet per 100 pixels; 0: fitted to the lines
    QString compare;         // picture: the file whose lines are drawn as ghosts
    bool force = false;      // import: write over a TARGET that is a table text or a backup;
                             // export: write over an OUT that holds a table or is a backup
    bool noBackup = false;   // import, merge: make no backup of the file saved into
    // import, merge: save even when no backup, or no journal, can be made
    bool allowNoBackup = false;
    bool quiet = false;                  // import, merge: print nothing but errors
    MergeTake take = MergeTake::Neither; // merge: the side that settles a conflict
};

// The part of the program that runs a command line (the program first),
// told before any application object exists. Picture: a word of a mode of
// that part is the first word that is no option or option value (it draws
// with QtGui). Text: a word of a text mode, a help or version word
// anywhere, or a first argument that is neither an option, a mode nor an
// existing file (a mistyped mode, which the text part reports). Window:
// anything else. A mode word wins over a file of that name.
Part partFor(const QStringList &arguments);

// The command line of a mode of `part` (Text or Picture), by the options
// and files its row in the table gives.
Invocation parseModeInvocation(Part part, const QStringList &arguments);
// The command line of the window, once Qt has taken out its own options
// (-platform, -style, ...).
Invocation parseWindowInvocation(const QStringList &arguments);

// A whole number from `low` to `high` as an option takes it: digits 0 to 9
// only, so no sign, blank, exponent or fraction; nothing otherwise.
std::optional<qint64> wholeArgument(const QString &text, qint64 low, qint64 high);

// A start location as an option (--start, --start-a, --start-b) takes it:
// a whole number from 0 to 2147483647.
std::optional<qint64> startArgument(const QString &text);
// What a command line is told that gives `text` to --`option`, which takes
// a start location.
QString notAStartArgument(const QString &option, const QString &text);
