#include "command_line.h"

#include "formation_table.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

namespace
{

Invocation usageError(const QString &error)
{
    Invocation invocation;
    invocation.usageError = error;
    return invocation;
}

bool isModeWord(const QString &word, Part part)
{
    const ModeDescription *mode = modeNamed(word);
    return mode != nullptr && mode->part == part;
}

// The words that ask for `option` wherever they stand.
QStringList anywhereWords(Option option)
{
    const OptionDescription &row = describe(option);
    QStringList words{QStringLiteral("--") + row.name};
    if (!row.shortName.isEmpty())
        words << QStringLiteral("-") + row.shortName;
    return words + row.alsoWords;
}

// The options a command line of `part` may hold, in the table's order.
QList<Option> optionsOf(Part part)
{
    QList<Option> options;
    for (const OptionDescription &option : optionTable())
        if (option.everyModeOf.contains(part) ||
            std::any_of(modeTable().begin(), modeTable().end(), [&](const ModeDescription &mode) {
                return mode.part == part && mode.options.contains(option.option);
            }))
            options << option.option;
    return options;
}

// Of the options given to a mode that does not take them, the one told is
// the first found in this order; options not named here come after, in
// the table's order.
QList<Option> refusalOrder()
{
    static const Option first[] = {Option::Start,  Option::Output,   Option::Format,
                                   Option::Force,  Option::NoBackup, Option::Quiet,
                                   Option::StartA, Option::StartB};
    QList<Option> order(std::begin(first), std::end(first));
    for (const OptionDescription &option : optionTable())
        if (!order.contains(option.option))
            order << option.option;
    return order;
}

// "export, import, diff or recover"
QString modeList(Part part)
{
    QStringList words;
    for (const ModeDescription &mode : modeTable())
        if (mode.part == part && !mode.word.isEmpty())
            words << mode.word;
    const QString last = words.takeLast();
    return words.isEmpty() ? last
                           : words.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// "one file, FILE", "TEXT and TARGET"
QString filesWanted(const ModeDescription &mode)
{
    if (mode.files.size() == 1)
        return QStringLiteral("one file, ") + mode.files.first();
    return mode.files.mid(0, mode.files.size() - 1).join(QStringLiteral(", ")) +
           QStringLiteral(" and ") + mode.files.last();
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
    return !word.startsWith(u'-') && modeNamed(word) == nullptr && !QFileInfo::exists(word) &&
           !looksLikePath(word);
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
    for (const ModeDescription &row : modeTable()) {
        const QString &mode = row.word;
        if (mode.isEmpty())
            continue;
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

// A picture mode's word is the first word that is no option or option value.
bool wantsPictureMode(const QStringList &arguments)
{
    QStringList withValue;
    for (const OptionDescription &option : optionTable()) {
        if (option.value.isEmpty())
            continue;
        withValue << QStringLiteral("--") + option.name << QStringLiteral("-") + option.name;
        if (!option.shortName.isEmpty())
            withValue << QStringLiteral("-") + option.shortName;
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &word = arguments[i];
        if (word == QLatin1String("--"))
            return isModeWord(arguments.value(i + 1), Part::Picture);
        if (withValue.contains(word)) {
            ++i;
            continue;
        }
        if (word.startsWith(u'-') && word.size() > 1)
            continue;
        return isModeWord(word, Part::Picture);
    }
    return false;
}

// The picture's --scale, in feet per 100 pixels: from a view of a few
// inches to one that holds every stored value in a few pixels.
constexpr double LeastScaleFeet = 0.001;
constexpr double MostScaleFeet = 1e9;

// Takes the value of `option` into `invocation`; says what is wrong with it.
QString readValue(Option option, const QString &value, Invocation &invocation)
{
    const QString &name = describe(option).name;
    switch (option) {
    case Option::Start:
    case Option::StartA:
    case Option::StartB:
    case Option::StartBase:
    case Option::StartOurs:
    case Option::StartTheirs: {
        if (!startArgument(value))
            return notAStartArgument(name, value);
        QString Invocation::*const field = option == Option::Start       ? &Invocation::start
                                           : option == Option::StartA    ? &Invocation::startA
                                           : option == Option::StartB    ? &Invocation::startB
                                           : option == Option::StartBase ? &Invocation::startBase
                                           : option == Option::StartOurs ? &Invocation::startOurs
                                                                         : &Invocation::startTheirs;
        invocation.*field = value;
        invocation.startsGiven << name;
        return {};
    }
    case Option::Formation:
        if (const std::optional<qint64> formation =
                wholeArgument(value, 0, FormationTable::FormationCount - 1)) {
            invocation.formation = int(*formation);
            return {};
        }
        return QStringLiteral("--formation is a formation from 0 to 30, not \"%1\".").arg(value);
    case Option::Scale: {
        // Digits with a point, as the picture's own scale texts write them.
        bool ok = false;
        const double feet = QLocale::c().toDouble(value, &ok);
        if (ok && std::isfinite(feet) && feet >= LeastScaleFeet && feet <= MostScaleFeet) {
            invocation.scaleFeet = feet;
            return {};
        }
        return QStringLiteral("--scale is feet per 100 pixels, a number from 0.001 to "
                              "1000000000, not \"%1\".")
            .arg(value);
    }
    case Option::Compare:
        if (value.isEmpty())
            return QStringLiteral("--compare needs a file name.");
        invocation.compare = value;
        return {};
    case Option::Format:
        if (value != QLatin1String("json") && value != QLatin1String("csv"))
            return QStringLiteral("--format is json or csv, not \"%1\".").arg(value);
        invocation.format = value == QLatin1String("csv") ? TextFormat::Csv : TextFormat::Json;
        invocation.formatGiven = true;
        return {};
    case Option::Units:
        if (value == QLatin1String("feet"))
            invocation.units = OffsetUnits::Feet;
        else if (value == QLatin1String("stored"))
            invocation.units = OffsetUnits::Stored;
        else if (value == QLatin1String("both"))
            invocation.units = OffsetUnits::Both;
        else
            return QStringLiteral("--units is feet, stored or both, not \"%1\".").arg(value);
        return {};
    case Option::Output:
        if (value.isEmpty())
            return QStringLiteral("--output needs a file name.");
        invocation.output = value;
        return {};
    case Option::Force:
        invocation.force = true;
        return {};
    case Option::Take:
        if (value != QLatin1String("ours") && value != QLatin1String("theirs"))
            return QStringLiteral("--take is ours or theirs, not \"%1\".").arg(value);
        invocation.take = value == QLatin1String("ours") ? MergeTake::Ours : MergeTake::Theirs;
        return {};
    case Option::NoBackup:
        invocation.noBackup = true;
        return {};
    case Option::AllowNoBackup:
        invocation.allowNoBackup = true;
        return {};
    case Option::Quiet:
        invocation.quiet = true;
        return {};
    case Option::Help:
    case Option::Version:
        break;
    }
    return {};
}

} // namespace

Part partFor(const QStringList &arguments)
{
    if (wantsPictureMode(arguments))
        return Part::Picture;
    const QStringList words = arguments.mid(1);
    const QStringList anywhere = anywhereWords(Option::Help) + anywhereWords(Option::Version);
    if (std::any_of(words.begin(), words.end(), [&](const QString &word) {
            return isModeWord(word, Part::Text) || anywhere.contains(word);
        }))
        return Part::Text;
    return !words.isEmpty() && isMistypedMode(words.first()) ? Part::Text : Part::Window;
}

Invocation parseModeInvocation(Part part, const QStringList &arguments)
{
    Invocation invocation;
    // The text modes answer a help word wherever it stands, however wrong
    // the rest; the picture command once its command line reads.
    const QStringList helpWords = anywhereWords(Option::Help);
    const QStringList words = arguments.mid(1);
    if (part == Part::Text && std::any_of(words.begin(), words.end(), [&](const QString &word) {
            return helpWords.contains(word);
        })) {
        invocation.help = true;
        return invocation;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QList<Option> accepted = optionsOf(part);
    for (const Option option : accepted) {
        const OptionDescription &row = describe(option);
        QStringList names{row.name};
        if (!row.shortName.isEmpty())
            names.prepend(row.shortName);
        parser.addOption(QCommandLineOption(names, QString(), row.value));
    }
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (accepted.contains(Option::Version) && parser.isSet(describe(Option::Version).name)) {
        invocation.version = true;
        return invocation;
    }
    if (part == Part::Picture && parser.isSet(describe(Option::Help).name)) {
        invocation.help = true;
        return invocation;
    }

    if (arguments.size() > 1 && isMistypedMode(arguments.at(1)))
        return mistypedMode(arguments.at(1));
    const QStringList positional = parser.positionalArguments();
    const ModeDescription *mode = positional.isEmpty() ? nullptr : modeNamed(positional.first());
    if (mode == nullptr || mode->part != part)
        return usageError(
            QStringLiteral("The mode (%1) must come before the files.").arg(modeList(part)));
    invocation.mode = mode;
    invocation.files = positional.mid(1);

    for (const Option option : refusalOrder())
        if (accepted.contains(option) && !takes(*mode, option) &&
            parser.isSet(describe(option).name))
            return usageError(QStringLiteral("--%1 is not an option of %2.")
                                  .arg(describe(option).name, mode->word));
    if (invocation.files.size() != mode->files.size())
        return usageError(
            QStringLiteral("%1 takes %2; %3 given.")
                .arg(mode->word, filesWanted(*mode), QString::number(invocation.files.size())));
    for (const Option option : mode->options)
        if (parser.isSet(describe(option).name))
            if (const QString error =
                    readValue(option, parser.value(describe(option).name), invocation);
                !error.isEmpty())
                return usageError(error);
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
