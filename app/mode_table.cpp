#include "mode_table.h"

#include "mode_runs.h"

#include <algorithm>

const QList<OptionDescription> &optionTable()
{
    static const QList<OptionDescription> table{
        {.option = Option::Start,
         .name = QStringLiteral("start"),
         .value = QStringLiteral("N"),
         .help = QStringLiteral("start location of a data FILE (default 0); import:\n"
                                "where the table is in a data TARGET")},
        {.option = Option::Formation,
         .name = QStringLiteral("formation"),
         .value = QStringLiteral("N"),
         .help = QStringLiteral("picture: the formation to draw, 0 to 30 (default 0)")},
        {.option = Option::Scale,
         .name = QStringLiteral("scale"),
         .value = QStringLiteral("FEET"),
         .help = QStringLiteral("picture: FEET feet per 100 pixels in all three views\n"
                                "(default: fitted to the lines)")},
        {.option = Option::Compare,
         .name = QStringLiteral("compare"),
         .value = QStringLiteral("FILE2"),
         .help = QStringLiteral("picture: draw where the lines are in FILE2's table,\n"
                                "faint, wherever they differ")},
        {.option = Option::StartA,
         .name = QStringLiteral("start-a"),
         .value = QStringLiteral("N"),
         .help = QStringLiteral("start location of a data file A (default 0)")},
        {.option = Option::StartB,
         .name = QStringLiteral("start-b"),
         .value = QStringLiteral("N"),
         .help = QStringLiteral("start location of a data file B (default 0)")},
        {.option = Option::StartBase,
         .name = QStringLiteral("start-base"),
         .value = QStringLiteral("N"),
         .help = QStringLiteral("start location of a data file BASE (default 0)")},
        {.option = Option::StartOurs,
         .name = QStringLiteral("start-ours"),
         .value = QStringLiteral("N"),
         .help = QStringLiteral("start location of a data file OURS (default 0)")},
        {.option = Option::StartTheirs,
         .name = QStringLiteral("start-theirs"),
         .value = QStringLiteral("N"),
         .help = QStringLiteral("start location of a data file THEIRS (default 0)")},
        {.option = Option::Format,
         .name = QStringLiteral("format"),
         .value = QStringLiteral("json|csv"),
         .help = QStringLiteral("export: the text's form (default json); import: the\n"
                                "form of TEXT (default: told by its first character);\n"
                                "diff: json prints the differences as JSON")},
        {.option = Option::Units,
         .name = QStringLiteral("units"),
         .value = QStringLiteral("UNITS"),
         .help = QStringLiteral("export: the offsets as feet, stored (in 1/21 foot)\n"
                                "or both (default both); either alone reads back\n"
                                "exactly")},
        {.option = Option::Output,
         .name = QStringLiteral("output"),
         .shortName = QStringLiteral("o"),
         .value = QStringLiteral("OUT"),
         .help = QStringLiteral("export: write the text to OUT, not standard output;\n"
                                "picture: write OUT.png or OUT.svg; merge: save the\n"
                                "merged table into OUT, not OURS (- prints it as JSON)")},
        {.option = Option::Take,
         .name = QStringLiteral("take"),
         .value = QStringLiteral("ours|theirs"),
         .help = QStringLiteral("merge: settle each conflict with that side's value")},
        {.option = Option::Force,
         .name = QStringLiteral("force"),
         .help = QStringLiteral("import: write over a TARGET that is a table text or\n"
                                "another file's .bak; merge: save into another file's\n"
                                ".bak; export: write over an OUT that is a .bak or may\n"
                                "hold a table (never a program)")},
        {.option = Option::NoBackup,
         .name = QStringLiteral("no-backup"),
         .help = QStringLiteral("import, merge: make no .bak of the file saved into (its\n"
                                "journal is still kept while it is written)")},
        {.option = Option::AllowNoBackup,
         .name = QStringLiteral("allow-no-backup"),
         .help = QStringLiteral("import, merge: save even when no .bak or no journal\n"
                                "can be made")},
        {.option = Option::Quiet,
         .name = QStringLiteral("quiet"),
         .shortName = QStringLiteral("q"),
         .help = QStringLiteral("import, merge: print nothing but errors")},
        {.option = Option::Help,
         .name = QStringLiteral("help"),
         .shortName = QStringLiteral("h"),
         .help = QStringLiteral("show this help"),
         .everyModeOf = {Part::Text, Part::Picture},
         .alsoWords = {QStringLiteral("-?"), QStringLiteral("/?")}},
        {.option = Option::Version,
         .name = QStringLiteral("version"),
         .shortName = QStringLiteral("v"),
         .help = QStringLiteral("show the version"),
         .everyModeOf = {Part::Text}},
    };
    return table;
}

const QList<ModeDescription> &modeTable()
{
    static const QList<ModeDescription> table{
        {.part = Part::Window,
         .usage = QStringLiteral("[FILE]"),
         .files = {QStringLiteral("FILE")},
         .help = QStringLiteral(R"(Opens the window; with FILE, loads it as Load does. A FILE
named like a mode is taken as that mode: give ./export to
open a file named export. A first word that names no file
and is no path (it holds no / or \ and no name.extension)
is taken for a mistyped mode; a missing path opens the
window, which says why it could not be loaded.)")},
        {.word = QStringLiteral("export"),
         .part = Part::Text,
         .usage = QStringLiteral("export [--start N] [--format json|csv] "
                                 "[--units feet|stored|both] [-o OUT] [--force] FILE"),
         .options = {Option::Format, Option::Units, Option::Output, Option::Start, Option::Force},
         .files = {QStringLiteral("FILE")},
         .help = QStringLiteral(R"(Writes the table of FILE as JSON or CSV text. FILE is a
formation data file, read from start location N (default 0),
or a program, searched for the table's signature (see
Programs below). Formation names come from readorder.txt
beside FILE when there is one, else from the working
directory's; with neither, standard error says where it
looked. OUT is never FILE itself or a program; a .bak,
or a file of 1,488 bytes or more that is no table text (it
may hold a table), only with --force.)"),
         .run = runExport},
        {.word = QStringLiteral("import"),
         .part = Part::Text,
         .usage = QStringLiteral("import [--start N] [--format json|csv] [--force] [--no-backup] "
                                 "[--allow-no-backup] [--quiet] TEXT TARGET"),
         .options = {Option::Format, Option::Start, Option::Force, Option::NoBackup,
                     Option::AllowNoBackup, Option::Quiet},
         .files = {QStringLiteral("TEXT"), QStringLiteral("TARGET")},
         .help = QStringLiteral(R"(Reads a table text (TEXT "-" is standard input), checks all of
it, and saves the formations it holds into TARGET where its
table is: in a program (see Programs below) at the table's
signature, and only there; in a data file at byte N of
--start (the file must hold a table there), else in its
first 1,488 bytes. Every other byte of
TARGET stays. A TARGET that does not exist yet needs all 31
formations. Before it first changes an existing TARGET it
keeps a copy of it as TARGET.bak, and never replaces a .bak
that is there; while it writes, TARGET.kgf-journal beside it
holds what it replaces (see recover); --no-backup makes no
TARGET.bak. Then it prints what it
changed, as diff does, and where the table and the backup
are. Refused: a program without the signature, a TARGET that
standard output or error is redirected to, and unless
--force, a TARGET that is a table text or another file's
.bak.)"),
         .run = runImport},
        {.word = QStringLiteral("diff"),
         .part = Part::Text,
         .usage = QStringLiteral("diff [--start-a N] [--start-b N] [--format json] A B"),
         .options = {Option::StartA, Option::StartB, Option::Format},
         .files = {QStringLiteral("A"), QStringLiteral("B")},
         .help = QStringLiteral(R"(Prints what differs between the tables of A and B, read as
export reads FILE (--start-a and --start-b as its --start),
field by field, with the names from readorder.txt beside A,
else from the working directory's; with --format json, as
JSON for a script (each field with A's and B's value, offsets
in feet and in stored units). Exit status 0: the same,
1: different, 2: trouble (a file could not be read, or the
list could not be written).)"),
         .run = runDiff},
        {.word = QStringLiteral("merge"),
         .part = Part::Text,
         .usage = QStringLiteral("merge [--start-base N] [--start-ours N] [--start-theirs N] "
                                 "[-o OUT] [--take ours|theirs] [--force] [--no-backup] "
                                 "[--allow-no-backup] [--quiet] BASE OURS THEIRS"),
         .options = {Option::StartBase, Option::StartOurs, Option::StartTheirs, Option::Output,
                     Option::Take, Option::Force, Option::NoBackup, Option::AllowNoBackup,
                     Option::Quiet},
         .files = {QStringLiteral("BASE"), QStringLiteral("OURS"), QStringLiteral("THEIRS")},
         .help = QStringLiteral(R"(Merges the changes that OURS and THEIRS made to the table of
BASE, field by field of each line (each read as export reads
FILE): a field changed on one side takes that side's value,
one changed alike on both takes it, and one changed
differently on both is a conflict. With no conflict, or each
settled by --take, it saves the merged table into OURS (or
OUT) as import saves into TARGET, and prints what it changed
there; -o - prints the merged table as JSON instead. With a
conflict it writes nothing and prints each one, with BASE's,
OURS's and THEIRS's values. Exit status 0: merged, 1: a
conflict, nothing written, 2: trouble (a file could not be
read, the table could not be saved, or the command line is
wrong). For git's merge driver: merge --no-backup %O %A %B.)"),
         .run = runMerge},
        {.word = QStringLiteral("recover"),
         .part = Part::Text,
         .usage = QStringLiteral("recover FILE"),
         .files = {QStringLiteral("FILE")},
         .help = QStringLiteral(R"(Puts FILE back as it was before a save of it that did not
finish (the program was killed, or the machine stopped), from
the journal the save left beside it (FILE.kgf-journal), where
FILE holds what that save left: its old bytes, its new ones or
a mix of the two. Every other mode refuses such a FILE until
then. Exit status 0: put back, or nothing to recover; 1:
nothing was changed (FILE holds other bytes since, the journal
does not belong to it, or standard output or error goes into
FILE), or putting back failed part-way and the journal stays,
for recover to be run again.)"),
         .run = runRecover},
        // Draws with QtGui: runs in the window's library (picture_mode.cpp).
        {.word = QStringLiteral("picture"),
         .part = Part::Picture,
         .usage = QStringLiteral("picture [--start N] [--formation N] [--scale FEET] "
                                 "[--compare FILE2] [-o OUT] FILE"),
         .options = {Option::Start, Option::Formation, Option::Scale, Option::Compare,
                     Option::Output},
         .files = {QStringLiteral("FILE")},
         .help = QStringLiteral(R"(Draws formation N (default 0) of the table of FILE in three
views side by side: X-Z, X-Y and Z-Y, each naming its two
axes by the record's field names with their positive
direction. The views have one scale, fitted to the lines,
or FEET feet per 100 pixels with --scale, and a grid with
its lines numbered in feet. With --compare, FILE2 is read
as FILE is (at start location 0, or by its signature) and
where a line of formation N lies elsewhere in it, a faint
marker there has a thin line to where the line is in FILE.
PNG or SVG by the name of OUT; with no OUT, PNG to standard
output when it is not a terminal.)")},
    };
    return table;
}

const OptionDescription &describe(Option option)
{
    const QList<OptionDescription> &table = optionTable();
    return *std::find_if(table.begin(), table.end(),
                         [option](const OptionDescription &row) { return row.option == option; });
}

const ModeDescription *modeNamed(const QString &word)
{
    if (word.isEmpty())
        return nullptr;
    const QList<ModeDescription> &table = modeTable();
    const auto row = std::find_if(table.begin(), table.end(), [&word](const ModeDescription &mode) {
        return mode.word == word;
    });
    return row == table.end() ? nullptr : &*row;
}

bool takes(const ModeDescription &mode, Option option)
{
    return mode.options.contains(option) || describe(option).everyModeOf.contains(mode.part);
}
