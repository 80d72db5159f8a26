#pragma once

#include "table_text.h"

#include <QString>
#include <QStringList>
#include <optional>

// The program's command line. Without a mode it starts the window, with a
// file to load; the modes export, import, diff and recover, --help and --version
// only print or write text and need no display.

enum class Mode { Window, Export, Import, Diff, Recover, Help, Version };

struct Invocation {
    Mode mode = Mode::Window;
    QString usageError; // set when the command line is wrong: print it with the usage, exit 2
    QStringList files;  // the files after the mode, in order
    TextFormat format = TextFormat::Json;
    bool formatGiven = false;
    QString output; // export: empty for standard output
    QString start;  // the start locations as given, whole numbers from 0
    QString startA;
    QString startB;
    QStringList startsGiven; // given at all, even as 0: "start", "start-a", "start-b"
    bool force = false;      // import: write over a TARGET that is a table text or a backup;
                             // export: write over an OUT that holds a table or is a backup
    bool noBackup = false;   // import: save even when no backup of TARGET can be made
    bool quiet = false;      // import: print nothing but errors
};

// The part of the program that runs a command line (the program first),
// told before any application object exists. Picture: "picture" is the
// first word that is no option or option value (it draws with QtGui).
// Text: a text mode word, --help or --version anywhere, or a first
// argument that is neither an option, a mode nor an existing file (a
// mistyped mode, which the text part reports). Window: anything else. A
// mode word wins over a file of that name.
enum class Part { Text, Window, Picture };
Part partFor(const QStringList &arguments);

// The command line of a text mode, or of the window once Qt has taken out
// its own options (-platform, -style, ...).
Invocation parseTextInvocation(const QStringList &arguments);
Invocation parseWindowInvocation(const QStringList &arguments);

QString helpText();
QString usageText(); // the short form printed after a usage error

// A whole number from `low` to `high` as an option takes it: digits 0 to 9
// only, so no sign, blank, exponent or fraction; nothing otherwise.
std::optional<qint64> wholeArgument(const QString &text, qint64 low, qint64 high);

// A start location as an option (--start, --start-a, --start-b) takes it:
// a whole number from 0 to 2147483647.
std::optional<qint64> startArgument(const QString &text);
// What a command line is told that gives `text` to --`option`, which takes
// a start location.
QString notAStartArgument(const QString &option, const QString &text);
