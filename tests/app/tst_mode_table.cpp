// What the table of modes promises, checked against the parser and the help
// made from it: a mode takes the options its usage line shows, and no
// other; every mode and option is in the help.
#include "command_line.h"
#include "help_text.h"
#include "mode_table.h"

#include <QTest>
#include <functional>

namespace
{

// A value each option takes, and where the parser is to put it.
struct Given {
    QString value; // empty for a flag
    std::function<bool(const Invocation &)> landed;
};

Given givenFor(Option option)
{
    switch (option) {
    case Option::Start:
        return {QStringLiteral("7"), [](const Invocation &i) {
                    return i.start == QLatin1String("7") && i.startsGiven == QStringList{"start"};
                }};
    case Option::StartA:
        return {QStringLiteral("8"), [](const Invocation &i) {
                    return i.startA == QLatin1String("8") &&
                           i.startsGiven == QStringList{"start-a"};
                }};
    case Option::StartB:
        return {QStringLiteral("9"), [](const Invocation &i) {
                    return i.startB == QLatin1String("9") &&
                           i.startsGiven == QStringList{"start-b"};
                }};
    case Option::StartBase:
        return {QStringLiteral("5"), [](const Invocation &i) {
                    return i.startBase == QLatin1String("5") &&
                           i.startsGiven == QStringList{"start-base"};
                }};
    case Option::StartOurs:
        return {QStringLiteral("6"), [](const Invocation &i) {
                    return i.startOurs == QLatin1String("6") &&
                           i.startsGiven == QStringList{"start-ours"};
                }};
    case Option::StartTheirs:
        return {QStringLiteral("3"), [](const Invocation &i) {
                    return i.startTheirs == QLatin1String("3") &&
                           i.startsGiven == QStringList{"start-theirs"};
                }};
    case Option::Take:
        return {QStringLiteral("theirs"),
                [](const Invocation &i) { return i.take == MergeTake::Theirs; }};
    case Option::Formation:
        return {QStringLiteral("4"), [](const Invocation &i) { return i.formation == 4; }};
    case Option::Scale:
        return {QStringLiteral("12.5"), [](const Invocation &i) { return i.scaleFeet == 12.5; }};
    case Option::Compare:
        return {QStringLiteral("old.dat"),
                [](const Invocation &i) { return i.compare == QLatin1String("old.dat"); }};
    case Option::Format:
        return {QStringLiteral("csv"),
                [](const Invocation &i) { return i.format == TextFormat::Csv && i.formatGiven; }};
    case Option::Units:
        return {QStringLiteral("stored"),
                [](const Invocation &i) { return i.units == OffsetUnits::Stored; }};
    case Option::Output:
        return {QStringLiteral("out.png"),
                [](const Invocation &i) { return i.output == QLatin1String("out.png"); }};
    case Option::Force:
        return {{}, [](const Invocation &i) { return i.force; }};
    case Option::NoBackup:
        return {{}, [](const Invocation &i) { return i.noBackup && !i.allowNoBackup; }};
    case Option::AllowNoBackup:
        return {{}, [](const Invocation &i) { return i.allowNoBackup && !i.noBackup; }};
    case Option::Quiet:
        return {{}, [](const Invocation &i) { return i.quiet; }};
    case Option::Help:
        return {{}, [](const Invocation &i) { return i.help; }};
    case Option::Version:
        return {{}, [](const Invocation &i) { return i.version; }};
    }
    return {};
}

// Whether the usage line shows the option, by either of its names.
bool usageShows(const ModeDescription &mode, const OptionDescription &option)
{
    const QString end = option.value.isEmpty() ? QStringLiteral("]") : QStringLiteral(" ");
    return mode.usage.contains(QStringLiteral("[--") + option.name + end) ||
           (!option.shortName.isEmpty() &&
            mode.usage.contains(QStringLiteral("[-") + option.shortName + end));
}

} // namespace

class ModeTableTest : public QObject
{
    Q_OBJECT
private slots:
    void optionsOfModes_data();
    void optionsOfModes();
    void fileCounts_data();
    void fileCounts();
    void help_data();
    void help();
    void usageLines();
    void firstWrongOneTold_data();
    void firstWrongOneTold();
    void pictureAfterOptionValues_data();
    void pictureAfterOptionValues();
};

void ModeTableTest::optionsOfModes_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<Option>("option");
    QTest::addColumn<QString>("spelled");
    QTest::addColumn<QString>("refusal"); // empty: taken
    for (const ModeDescription &mode : modeTable()) {
        if (mode.word.isEmpty())
            continue; // the window takes Qt's options only
        for (const OptionDescription &option : optionTable()) {
            // Shown by the usage line, or taken by every mode: --help
            // everywhere, --version by the modes the program runs itself.
            const bool taken = usageShows(mode, option) || option.option == Option::Help ||
                               (option.option == Option::Version && mode.part == Part::Text);
            // Refused by name when another mode run by the same part takes it.
            const bool ofThisPart =
                std::any_of(modeTable().begin(), modeTable().end(), [&](const ModeDescription &m) {
                    return m.part == mode.part && usageShows(m, option);
                });
            // Long names with one dash too, as Qt reads them; not -help and
            // -version, which the help words and the version words are not.
            QStringList spellings{QStringLiteral("--") + option.name};
            if (option.option != Option::Help && option.option != Option::Version)
                spellings << QStringLiteral("-") + option.name;
            if (!option.shortName.isEmpty())
                spellings << QStringLiteral("-") + option.shortName;
            for (const QString &spelled : spellings) {
                const QString refusal =
                    taken ? QString()
                    : ofThisPart
                        ? QStringLiteral("--%1 is not an option of %2.").arg(option.name, mode.word)
                        : QStringLiteral("Unknown option '%1'.")
                              .arg(spelled.mid(spelled.startsWith(QLatin1String("--")) ? 2 : 1));
                QTest::addRow("%s %s", qPrintable(mode.word), qPrintable(spelled))
                    << mode.word << option.option << spelled << refusal;
            }
        }
    }
}

void ModeTableTest::optionsOfModes()
{
    QFETCH(QString, word);
    QFETCH(Option, option);
    QFETCH(QString, spelled);
    QFETCH(QString, refusal);
    const ModeDescription *mode = modeNamed(word);
    QVERIFY(mode != nullptr);
    const Given given = givenFor(option);
    QStringList arguments{QStringLiteral("kgf-formation-editor"), word, spelled};
    if (!given.value.isEmpty())
        arguments << given.value;
    for (qsizetype i = 0; i < mode->files.size(); ++i)
        arguments << QStringLiteral("file%1").arg(i);
    const Part part = partFor(arguments);
    QCOMPARE(part, mode->part);
    const Invocation invocation = parseModeInvocation(part, arguments);
    QCOMPARE(invocation.usageError, refusal);
    if (!refusal.isEmpty())
        return;
    QVERIFY(given.landed(invocation));
    if (option != Option::Help && option != Option::Version) {
        QCOMPARE(invocation.mode, mode);
        QCOMPARE(invocation.files.size(), mode->files.size());
    }
}

void ModeTableTest::fileCounts_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("count");
    for (const ModeDescription &mode : modeTable()) {
        if (mode.word.isEmpty())
            continue;
        for (const qsizetype count : {mode.files.size() - 1, mode.files.size() + 1})
            QTest::addRow("%s, %d files", qPrintable(mode.word), int(count))
                << mode.word << int(count);
    }
}

// The files of a mode are the words after its options in its usage line.
void ModeTableTest::fileCounts()
{
    QFETCH(QString, word);
    QFETCH(int, count);
    const ModeDescription *mode = modeNamed(word);
    QVERIFY(mode != nullptr);
    QVERIFY(mode->usage.endsWith(u' ' + mode->files.join(u' ')));
    QStringList arguments{QStringLiteral("kgf-formation-editor"), word};
    for (int i = 0; i < count; ++i)
        arguments << QStringLiteral("file%1").arg(i);
    const QStringList files = mode->files;
    const QString wanted = files.size() == 1 ? QStringLiteral("one file, ") + files.first()
                                             : files.mid(0, files.size() - 1).join(u", ") +
                                                   QStringLiteral(" and ") + files.last();
    QCOMPARE(parseModeInvocation(mode->part, arguments).usageError,
             QStringLiteral("%1 takes %2; %3 given.").arg(word, wanted).arg(count));
}

void ModeTableTest::help_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("inUsage"); // else in the help's list of modes or options
    for (const ModeDescription &mode : modeTable()) {
        const QString word = mode.word.isEmpty() ? QStringLiteral("(no mode)") : mode.word;
        QTest::addRow("usage of %s", qPrintable(word))
            << QStringLiteral("kgf-formation-editor ") + mode.usage.section(u' ', 0, 0) << true;
        QTest::addRow("help of %s", qPrintable(word))
            << QStringLiteral("\n  %1 %2")
                   .arg(word.leftJustified(10), mode.help.section(u'\n', 0, 0))
            << false;
    }
    for (const OptionDescription &option : optionTable()) {
        const QString names = option.shortName.isEmpty()
                                  ? QStringLiteral("--") + option.name
                                  : QStringLiteral("-%1, --%2").arg(option.shortName, option.name);
        QTest::addRow("option %s", qPrintable(option.name))
            << QStringLiteral("\n  %1").arg(names) << false;
    }
}

void ModeTableTest::help()
{
    QFETCH(QString, shown);
    QFETCH(bool, inUsage);
    const QString usage = usageText();
    const QString help = helpText();
    QVERIFY(help.startsWith(usage));
    if (inUsage) {
        QVERIFY2(usage.contains(shown), qPrintable(shown));
        return;
    }
    QVERIFY2(help.mid(usage.size()).contains(shown), qPrintable(shown));
}

// Usage lines fit 80 columns, a long one going on under its first option.
void ModeTableTest::usageLines()
{
    const QStringList lines = usageText().split(u'\n');
    QCOMPARE(lines.constLast(), QString());
    qsizetype optionsColumn = -1;
    for (const QString &line : lines.mid(0, lines.size() - 1)) {
        QVERIFY2(line.size() <= 80, qPrintable(line));
        if (line.startsWith(QLatin1String("Usage: ")) ||
            line.startsWith(QLatin1String("       k"))) {
            optionsColumn = line.indexOf(u'[');
            continue;
        }
        QVERIFY2(optionsColumn > 0, qPrintable(line));
        QCOMPARE(line.size() - line.trimmed().size(), optionsColumn);
    }
}

void ModeTableTest::firstWrongOneTold_data()
{
    QTest::addColumn<QString>("line"); // after the program's name
    QTest::addColumn<QString>("told");
    QTest::newRow("format before start") << "export --start x --format xml f"
                                         << "--format is json or csv, not \"xml\".";
    QTest::newRow("output before start") << "export --start x --output= f"
                                         << "--output needs a file name.";
    QTest::newRow("start before force") << "diff --force --start 1 a b"
                                        << "--start is not an option of diff.";
    QTest::newRow("no-backup before quiet") << "recover --quiet --no-backup f"
                                            << "--no-backup is not an option of recover.";
    QTest::newRow("start-a before start-b")
        << "diff --start-b y --start-a x a b"
        << notAStartArgument(QStringLiteral("start-a"), QStringLiteral("x"));
    QTest::newRow("no mode first") << "--force f export"
                                   << "The mode (export, import, diff, merge or recover) must come "
                                      "before the files.";
}

// Of several things wrong, the one told is the first in a fixed order,
// not the order they were typed in.
void ModeTableTest::firstWrongOneTold()
{
    QFETCH(QString, line);
    QFETCH(QString, told);
    const QStringList arguments =
        QStringList{QStringLiteral("kgf-formation-editor")} + line.split(u' ');
    QCOMPARE(partFor(arguments), Part::Text);
    QCOMPARE(parseModeInvocation(Part::Text, arguments).usageError, told);
}

void ModeTableTest::pictureAfterOptionValues_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("-start") << "-start 5 picture f";
    QTest::newRow("-formation") << "-formation 2 picture f";
    QTest::newRow("-output") << "-output picture picture f";
    QTest::newRow("-o") << "-o x.png picture f";
}

// An option's value is no mode word, with the option's name after one
// dash as Qt reads it too.
void ModeTableTest::pictureAfterOptionValues()
{
    QFETCH(QString, line);
    QCOMPARE(partFor(QStringList{QStringLiteral("kgf-formation-editor")} + line.split(u' ')),
             Part::Picture);
}

QTEST_APPLESS_MAIN(ModeTableTest)
#include "tst_mode_table.moc"
