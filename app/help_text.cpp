#include "help_text.h"

#include "mode_table.h"

#include <QStringList>

namespace
{

constexpr qsizetype UsageWidth = 80;

// The groups of a usage line: an option in brackets, or a file's name.
QStringList usageGroups(const QString &usage)
{
    QStringList groups;
    qsizetype depth = 0;
    QString group;
    for (const QChar c : usage) {
        if (c == u' ' && depth == 0) {
            groups << group;
            group.clear();
            continue;
        }
        depth += c == u'[' ? 1 : c == u']' ? -1 : 0;
        group += c;
    }
    return groups << group;
}

// A usage line wrapped before a group that would pass the width, the
// groups that follow lined up under the second.
QString usageLine(const QString &lead, const QString &usage)
{
    const QStringList groups = usageGroups(usage);
    QString text = lead + u' ' + groups.first();
    const qsizetype indent = text.size();
    qsizetype width = text.size();
    for (const QString &group : groups.mid(1)) {
        if (width + 1 + group.size() > UsageWidth) {
            text += u'\n' + QString(indent, u' ');
            width = indent;
        }
        text += u' ' + group;
        width += 1 + group.size();
    }
    return text + u'\n';
}

// Names in a column of `width`, their text beside them, its later lines
// under its first.
QString helpEntry(const QString &names, qsizetype width, const QString &text)
{
    const QString indent(2 + width + 1, u' ');
    return QStringLiteral("  ") + names.leftJustified(width) + u' ' +
           text.split(u'\n').join(u'\n' + indent) + u'\n';
}

QString optionNames(const OptionDescription &option)
{
    QString names = QStringLiteral("--") + option.name;
    if (!option.shortName.isEmpty())
        names = QStringLiteral("-%1, %2").arg(option.shortName, names);
    return option.value.isEmpty() ? names : names + u' ' + option.value;
}

} // namespace

QString usageText()
{
    QString text;
    for (const ModeDescription &mode : modeTable())
        text += usageLine(text.isEmpty() ? QStringLiteral("Usage: kgf-formation-editor")
                                         : QStringLiteral("       kgf-formation-editor"),
                          mode.usage);
    return text;
}

QString helpText()
{
    QString text = usageText() + QStringLiteral("\nEditor for the formation table of the flight "
                                                "simulator KGF.\n\n");
    for (const ModeDescription &mode : modeTable())
        text +=
            helpEntry(mode.word.isEmpty() ? QStringLiteral("(no mode)") : mode.word, 10, mode.help);
    text += QStringLiteral(R"(
Programs (the table is found by its signature, 00 25 03 00 AA, from byte
1,350,000 on):
  reading    FILE of export, diff, merge, picture and the window is
             searched when its name ends in F.EXE, as KGF.EXE does (--start
             is refused for it), or when it begins with MZ and no --start
             (diff: --start-a, --start-b; merge: --start-base, ...) is given.
  writing    A TARGET of import, and what merge saves into, is written at
             the signature when its name ends in .exe or it begins with MZ
             (--start is refused for it). An OUT of export or picture is
             never such a file, nor a file marked executable that is a
             script or a binary (on Windows, by the end of its name).

Options:
)");
    for (const OptionDescription &option : optionTable())
        text += helpEntry(optionNames(option), 20, option.help);
    return text + QStringLiteral(R"(
Exit status: 0 done, 1 failed (one line on standard error says why), 2 the
command line is wrong; diff as above.
)");
}
