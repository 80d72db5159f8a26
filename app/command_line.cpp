#include "command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <vector>

namespace
{

const QStringList ModeWords{QStringLiteral("export"), QStringLiteral("import"),
                            QStringLiteral("diff"), QStringLiteral("recover")};
// Modes that draw, and so run in the part of the program with QtGui.
const QStringList PictureWords{QStringLiteral("picture")};
const QStringList HelpWords{QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("-?"),
                            QStringLiteral("/?")};
const QStringList VersionWords{QStringLiteral("-v"), QStringLiteral("--version")};

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};
    QCommandLineOption start{QStringLiteral("start"), QString(), QStringLiteral("N")};
    QCommandLineOption startA{QStringLiteral("start-a"), QString(), QStringLiteral("N")};
    QCommandLineOption startB{QStringLiteral("start-b"), QString(), QStringLiteral("N")};
    QCommandLineOption format{QStringLiteral("format"), QString(), QStringLiteral("FORMAT")};
    QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("OUT")};
    QCommandLineOption force{QStringLiteral("force")};
    QCommandLineOption noBackup{QStringLiteral("no-backup")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")}};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOptions(
            {help, version, start, startA, startB, format, output, force, noBackup, quiet});
    }
};

Invocation usageError(const QString &error)
{
    Invocation invocation;
    invocation.usageError = error;
    return invocation;
}

// Whether a word is clearly meant as a path: it holds a path separator, or
// a dot between two other characters, as a name with an extension does.
bool looksLikePath(const QString &word)
{
    const qsizetype dot = word.indexOf(u'.', 1);
    return word.contains(u'/') || word.contains(u'\\') || (dot > 0 && dot < word.size() - 1);
}

// A first argument that can only be a mistyped mode: no option, no mode,
// no file of that name, and nothing like a path (a file that has gone is
// for the window to say).
bool isMistypedMode(const QString &word)
{
    return !word.startsWith(u'-') && !ModeWords.contains(word) && !PictureWords.contains(word) &&
           !QFileInfo::exists(word) && !looksLikePath(word);
}

// The options Qt's window classes take out of the command line themselves
// (QGuiApplication, QApplication and the X11 platform), with "-" or "--".
// The window's command line is checked before Qt is loaded, so these pass.
const QStringList QtFlags =
    QStringLiteral("reverse testability widgetcount nograb dograb qdevel qdebug").split(u' ');
const QStringList QtWithValue =
    QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry geometry "
                   "qwindowtitle title qwindowicon icon session display name visual")
        .split(u' ');
// Their value is the next word, or joined: -style=fusion.
const QStringList QtWithJoinableValue =
    QStringLiteral("style stylesheet qmljsdebugger").split(u' ');

// The command line without Qt's own window options.
QStringList withoutQtWindowOptions(const QStringList &arguments)
{
    QStringList kept = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &word = arguments[i];
        const QString name = word.startsWith(QLatin1String("--")) ? word.mid(2)
                             : word.startsWith(u'-')              ? word.mid(1)
                                                                  : QString();
        if (QtWithValue.contains(name) || QtWithJoinableValue.contains(name))
            ++i; // and its value
        else if (!QtFlags.contains(name) && !QtWithJoinableValue.contains(name.section(u'=', 0, 0)))
            kept << word;
    }
    return kept;
}

// Edits (insertions, deletions, changes, swaps of neighbours) from one word to the other.
qsizetype editDistance(const QString &a, const QString &b)
{
    std::vector<std::vector<qsizetype>> d(a.size() + 1, std::vector<qsizetype>(b.size() + 1));
    for (qsizetype i = 0; i <= a.size(); ++i)
        for (qsizetype j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The mode a mistyped word was most likely meant to be: at most two edits
// away, or its start; empty when none is that close.
QString nearestMode(const QString &word)
{
    const QString typed = word.toLower();
    QString nearest;
    qsizetype best = 3;
    for (const QString &mode : ModeWords + PictureWords) {
        const qsizetype distance =
            typed.size() >= 2 && mode.startsWith(typed) ? 1 : editDistance(typed, mode);
        if (distance < best) {
            best = distance;
            nearest = mode;
        }
    }
    return nearest;
}

Invocation mistypedMode(const QString &word)
{
    const QString nearest = nearestMode(word);
    return usageError(QStringLiteral("\"%1\" is neither a mode nor an existing file%2")
                          .arg(word, nearest.isEmpty()
                                         ? QStringLiteral(".")
                                         : QStringLiteral("; did you mean %1?").arg(nearest)));
}

// "picture" is the first word that is no option or option value.
bool wantsPictureMode(const QStringList &arguments)
{
    static const QStringList withValue{
        QStringLiteral("--start"),    QStringLiteral("-start"),   QStringLiteral("--formation"),
        QStringLiteral("-formation"), QStringLiteral("-o"),       QStringLiteral("--output"),
        QStringLiteral("-output"),    QStringLiteral("--format"), QStringLiteral("-format"),
        QStringLiteral("--start-a"),  QStringLiteral("--start-b")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &word = arguments[i];
        if (word == QLatin1String("--"))
            return arguments.value(i + 1) == QLatin1String("picture");
        if (withValue.contains(word)) {
            ++i;
            continue;
        }
        if (word.startsWith(u'-') && word.size() > 1)
            continue;
        return word == QLatin1String("picture");
    }
    return false;
}

} // namespace

Part partFor(const QStringList &arguments)
{
    if (wantsPictureMode(arguments))
        return Part::Picture;
    const QStringList words = arguments.mid(1);
    if (std::any_of(words.begin(), words.end(), [](const QString &word) {
            return ModeWords.contains(word) || HelpWords.contains(word) ||
                   VersionWords.contains(word);
        }))
        return Part::Text;
    return !words.isEmpty() && isMistypedMode(words.first()) ? Part::Text : Part::Window;
}

Invocation parseTextInvocation(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const Options options;
    options.addTo(parser);
    const QStringList helpAsked = arguments.mid(1);
    if (std::any_of(helpAsked.begin(), helpAsked.end(),
                    [](const QString &word) { return HelpWords.contains(word); })) {
        Invocation invocation;
        invocation.mode = Mode::Help;
        return invocation;
    }
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(options.version)) {
        Invocation invocation;
        invocation.mode = Mode::Version;
        return invocation;
    }

    const QStringList positional = parser.positionalArguments();
    if (arguments.size() > 1 && isMistypedMode(arguments.at(1)))
        return mistypedMode(arguments.at(1));
    if (positional.isEmpty() || !ModeWords.contains(positional.first()))
        return usageError(QStringLiteral("The mode (export, import, diff or recover) must come "
                                         "before the files."));
    Invocation invocation;
    const QString mode = positional.first();
    invocation.files = positional.mid(1);
    invocation.mode = mode == QLatin1String("export")   ? Mode::Export
                      : mode == QLatin1String("import") ? Mode::Import
                      : mode == QLatin1String("diff")   ? Mode::Diff
                                                        : Mode::Recover;

    // Which options each mode takes, and how many files.
    const struct {
        const QCommandLineOption &option;
        Mode mode;
        Mode alsoFor;
    } owners[] = {{options.start, Mode::Export, Mode::Import},
                  {options.output, Mode::Export, Mode::Export},
                  {options.format, Mode::Export, Mode::Import},
                  {options.force, Mode::Import, Mode::Export},
                  {options.noBackup, Mode::Import, Mode::Import},
                  {options.quiet, Mode::Import, Mode::Import},
                  {options.startA, Mode::Diff, Mode::Diff},
                  {options.startB, Mode::Diff, Mode::Diff}};
    for (const auto &owner : owners)
        if (parser.isSet(owner.option) && invocation.mode != owner.mode &&
            invocation.mode != owner.alsoFor)
            return usageError(QStringLiteral("--%1 is not an option of %2.")
                                  .arg(owner.option.names().constLast(), mode));
    const bool oneFile = invocation.mode == Mode::Export || invocation.mode == Mode::Recover;
    if (invocation.files.size() != (oneFile ? 1 : 2)) {
        const QString wanted = oneFile                           ? QStringLiteral("one file, FILE")
                               : invocation.mode == Mode::Import ? QStringLiteral("TEXT and TARGET")
                                                                 : QStringLiteral("A and B");
        return usageError(QStringLiteral("%1 takes %2; %3 given.")
                              .arg(mode, wanted, QString::number(invocation.files.size())));
    }

    if (parser.isSet(options.format)) {
        const QString format = parser.value(options.format);
        if (format != QLatin1String("json") && format != QLatin1String("csv"))
            return usageError(QStringLiteral("--format is json or csv, not \"%1\".").arg(format));
        invocation.format = format == QLatin1String("csv") ? TextFormat::Csv : TextFormat::Json;
        invocation.formatGiven = true;
    }
    invocation.output = parser.value(options.output);
    if (parser.isSet(options.output) && invocation.output.isEmpty())
        return usageError(QStringLiteral("--output needs a file name."));
    invocation.force = parser.isSet(options.force);
    invocation.noBackup = parser.isSet(options.noBackup);
    invocation.quiet = parser.isSet(options.quiet);
    const struct {
        const QCommandLineOption &option;
        QString &target;
    } starts[] = {{options.start, invocation.start},
                  {options.startA, invocation.startA},
                  {options.startB, invocation.startB}};
    for (const auto &start : starts) {
        const bool given = parser.isSet(start.option);
        if (given)
            invocation.startsGiven << start.option.names().constFirst();
        start.target = given ? parser.value(start.option) : QStringLiteral("0");
        if (!startArgument(start.target))
            return usageError(notAStartArgument(start.option.names().constFirst(), start.target));
    }
    return invocation;
}

Invocation parseWindowInvocation(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(withoutQtWindowOptions(arguments)))
        return usageError(parser.errorText());
    Invocation invocation;
    invocation.files = parser.positionalArguments();
    if (invocation.files.size() > 1)
        return usageError(QStringLiteral("The window opens one file at a time; %1 given.")
                              .arg(invocation.files.size()));
    return invocation;
}

std::optional<qint64> wholeArgument(const QString &text, qint64 low, qint64 high)
{
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok); // not ok: beyond any qint64
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<qint64> startArgument(const QString &text)
{
    return wholeArgument(text, 0, std::numeric_limits<qint32>::max());
}

QString notAStartArgument(const QString &option, const QString &text)
{
    return QStringLiteral("--%1 is a byte offset from 0 to %2, not \"%3\".")
        .arg(option)
        .arg(std::numeric_limits<qint32>::max())
        .arg(text);
}

QString usageText()
{
    return QStringLiteral(
        "Usage: kgf-formation-editor [FILE]\n"
        "       kgf-formation-editor export [--start N] [--format json|csv] [-o OUT]\n"
        "                                   [--force] FILE\n"
        "       kgf-formation-editor import [--start N] [--format json|csv] [--force]\n"
        "                                   [--no-backup] [--quiet] TEXT TARGET\n"
        "       kgf-formation-editor diff [--start-a N] [--start-b N] A B\n"
        "       kgf-formation-editor recover FILE\n"
        "       kgf-formation-editor picture [--start N] [--formation N] [-o OUT] FILE\n");
}

QString helpText()
{
    return usageText() + QStringLiteral(R"(
Editor for the formation table of the flight simulator KGF.

  (no mode)  Opens the window; with FILE, loads it as Load does. A FILE
             named like a mode is taken as that mode: give ./export to
             open a file named export. A first word that names no file
             and is no path (it holds no / or \ and no name.extension)
             is taken for a mistyped mode; a missing path opens the
             window, which says why it could not be loaded.
  export     Writes the table of FILE as JSON or CSV text. FILE is a
             formation data file, read from start location N (default 0),
             or a program, searched for the table's signature (see
             Programs below). Formation names come from readorder.txt
             beside FILE when there is one, else from the working
             directory's. OUT is never FILE itself or a program; a .bak,
             or a file of 1,488 bytes or more that is no table text (it
             may hold a table), only with --force.
  import     Reads a table text (TEXT "-" is standard input), checks all of
             it, and saves the formations it holds into TARGET where its
             table is: in a program (see Programs below) at the table's
             signature, and only there; in a data file at byte N of
             --start (the file must hold a table there), else in its
             first 1,488 bytes. Every other byte of
             TARGET stays. A TARGET that does not exist yet needs all 31
             formations. Before it first changes an existing TARGET it
             keeps a copy of it as TARGET.bak, and never replaces a .bak
             that is there; while it writes, TARGET.kgf-journal beside it
             holds what it replaces (see recover). Then it prints what it
             changed, as diff does, and where the table and the backup
             are. Refused: a program without the signature, a TARGET that
             standard output or error is redirected to, and unless
             --force, a TARGET that is a table text or another file's
             .bak.
  diff       Prints what differs between the tables of A and B, read as
             export reads FILE (--start-a and --start-b as its --start),
             field by field, with the names from readorder.txt beside A,
             else from the working directory's. Exit status 0: the same,
             1: different, 2: trouble (a file could not be read, or the
             list could not be written).
  recover    Puts FILE back as it was before a save of it that did not
             finish (the program was killed, or the machine stopped), from
             the journal the save left beside it (FILE.kgf-journal), where
             FILE holds what that save left: its old bytes, its new ones or
             a mix of the two. Every other mode refuses such a FILE until
             then. Exit status 0: put back, or nothing to recover; 1:
             nothing was changed (FILE holds other bytes since, the journal
             does not belong to it, or standard output or error goes into
             FILE), or putting back failed part-way and the journal stays,
             for recover to be run again.
  picture    Draws formation N (default 0) of the table of FILE from above,
             the side and the front, as PNG or SVG by the name of OUT; with
             no OUT, PNG to standard output when it is not a terminal.

Programs (the table is found by its signature, 00 25 03 00 AA, from byte
1,350,000 on):
  reading    FILE of export, diff, picture and the window is searched when
             its name ends in F.EXE, as KGF.EXE does (--start is refused
             for it), or when it begins with MZ and no --start (diff:
             --start-a, --start-b) is given.
  writing    A TARGET of import is written at the signature when its name
             ends in .exe or it begins with MZ (--start is refused for it).
             An OUT is never such a file, nor a file marked executable that
             is a script or a binary (on Windows, by the end of its name).

Options:
  --start N            start location of a data FILE (default 0); import:
                       where the table is in a data TARGET
  --formation N        picture: the formation to draw, 0 to 30 (default 0)
  --start-a N          start location of a data file A (default 0)
  --start-b N          start location of a data file B (default 0)
  --format json|csv    export: the text's form (default json); import: the
                       form of TEXT (default: told by its first character)
  -o, --output OUT     export: write the text to OUT, not standard output;
                       picture: write OUT.png or OUT.svg
  --force              import: write over a TARGET that is a table text or
                       another file's .bak; export: write over an OUT that
                       is a .bak or may hold a table (never a program)
  --no-backup          import: save even when no TARGET.bak or no journal
                       can be made
  -q, --quiet          import: print nothing but errors
  -h, --help           show this help
  -v, --version        show the version

Exit status: 0 done, 1 failed (one line on standard error says why), 2 the
command line is wrong; diff as above.
)");
}
