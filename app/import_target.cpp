#include "import_target.h"

#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"
#include "program_file.h"
#include "save_asking.h"
#include "table_diff.h"
#include "table_loader.h"

#include <QFileInfo>

namespace
{

TargetTable refused(const QString &error)
{
    TargetTable base;
    base.error = error;
    return base;
}

TargetTable loaded(const LoadResult &load, bool inProgram)
{
    TargetTable base;
    base.ok = load.ok;
    base.error = load.error;
    base.table = load.table;
    base.offset = load.startLocation;
    base.inProgram = inProgram;
    base.holds = TargetTable::Holds::Table;
    base.source = load.source;
    return base;
}

// A program's table is where its signature is; nothing goes over the
// program's first bytes, which would keep it from running.
TargetTable programBase(const QString &target, std::optional<qint32> start)
{
    if (start)
        return refused(QStringLiteral("Nothing was written: %1 is a program, where import writes "
                                      "the table at its signature; --start is for a formation "
                                      "data file.")
                           .arg(shownPath(target)));
    TargetTable base = loaded(loadFromExecutable(target), true);
    if (!base.ok)
        base.error += QStringLiteral(" Nothing was written: import writes a table into a program "
                                     "only where the program keeps its own.");
    return base;
}

// --start says where the table is in a file that holds one; a save never
// makes a file longer to reach it.
TargetTable startBase(const QString &target, qint32 start)
{
    const PathKind kind = pathKind(target);
    if (kind == PathKind::Missing)
        return refused(QStringLiteral("Nothing was written: %1 does not exist, and --start names "
                                      "a place in a file that holds a table.")
                           .arg(shownPath(target)));
    const qint64 needed = qint64(start) + FormationTable::ByteCount;
    if (const qint64 size = QFileInfo(target).size(); kind == PathKind::Regular && size < needed)
        return refused(QStringLiteral("Nothing was written: %1 holds %2 bytes, fewer than the %3 "
                                      "that a table at byte %4 needs.")
                           .arg(shownPath(target), grouped(size), grouped(needed), grouped(start)));
    return loaded(loadFromDataFile(target, start), false);
}

QString withoutFullStop(const QString &sentence)
{
    return sentence.endsWith(u'.') ? sentence.chopped(1) : sentence;
}

} // namespace

TargetTable importBase(const QString &target, std::optional<qint32> start)
{
    if (isProgramFile(target))
        return programBase(target, start);
    if (start)
        return startBase(target, *start);
    const PathKind kind = pathKind(target);
    if (kind == PathKind::Missing ||
        (kind == PathKind::Regular && QFileInfo(target).size() < FormationTable::ByteCount)) {
        TargetTable base;
        base.ok = true;
        base.table = QByteArray(FormationTable::ByteCount, '\0');
        base.holds =
            kind == PathKind::Missing ? TargetTable::Holds::Nothing : TargetTable::Holds::Less;
        return base;
    }
    return loaded(loadFromDataFile(target, 0), false);
}

QString textFitsTarget(const QString &target, const TargetTable &base, const TableText &text)
{
    if (base.holds == TargetTable::Holds::Table || coversWholeTable(text))
        return {};
    return QStringLiteral("%1 %2, so the text must give all 31 formations; it gives %3.")
        .arg(shownPath(target),
             base.holds == TargetTable::Holds::Nothing
                 ? QStringLiteral("does not exist yet")
                 : QStringLiteral("holds less than a whole table"),
             QString::number(text.formations.size()));
}

ImportSaved saveImported(const QString &target, const QByteArray &table, const TargetTable &base,
                         bool withoutBackup)
{
    ImportSaved saved;
    // A program's table is found by its first five bytes: changed, it could
    // not be found again, and a later search could take other bytes for it.
    if (base.inProgram && !table.startsWith(tableSignature())) {
        saved.error = QStringLiteral("Nothing was written: the text changes the first five bytes "
                                     "of the table (formation 0, line 1: byte0, type and "
                                     "modifiers, count, byte3 and the lowest byte of the X "
                                     "offset), which in %1 are the signature 00 25 03 00 AA it "
                                     "is found by; changed, the table could not be found there "
                                     "again.")
                          .arg(shownPath(target));
        return saved;
    }
    WatchedFiles watched{base.source, {}};
    SaveOptions options;
    options.offset = base.offset;
    // Import asks nothing: a question is the reason it stops, but for the
    // backup that cannot be made when --no-backup was given.
    const SaveOutcome outcome =
        saveAsking(target, table, watched, options, [&](const SaveOutcome &asked) {
            if (asked.question != SaveOutcome::Question::NoBackup || !withoutBackup)
                return false;
            saved.noBackup = asked.message;
            return true;
        });
    switch (outcome.kind) {
    case SaveOutcome::Kind::Saved:
        saved.kind = ImportSaved::Kind::Saved;
        saved.backupPath = outcome.backupPath;
        return saved;
    case SaveOutcome::Kind::NothingToChange:
        saved.kind = ImportSaved::Kind::Unchanged;
        return saved;
    case SaveOutcome::Kind::Ask:
        saved.error =
            outcome.message +
            (outcome.question == SaveOutcome::Question::NoBackup
                 ? QStringLiteral(" Nothing was written. Give --no-backup to import without one.")
                 : QStringLiteral(" Nothing was written."));
        return saved;
    case SaveOutcome::Kind::NotSaved:
    case SaveOutcome::Kind::Damaged:
        saved.error = outcome.message;
        return saved;
    }
    Q_UNREACHABLE();
}

QString importReport(const QString &target, const TargetTable &base, const QByteArray &table,
                     const ImportSaved &saved, const QStringList &names)
{
    Q_ASSERT(saved.kind != ImportSaved::Kind::Failed);
    const QString shown = shownPath(target);
    if (saved.kind == ImportSaved::Kind::Unchanged)
        return QStringLiteral("%1 is unchanged: it holds these formations already, so nothing "
                              "was written and no backup made.\n")
            .arg(shown);
    if (base.holds == TargetTable::Holds::Nothing)
        return QStringLiteral("%1 was made, with all 31 formations of the text. No backup was "
                              "made: there was no file before.\n")
            .arg(shown);

    QString report;
    if (base.holds == TargetTable::Holds::Table)
        report = diffText(diffTables(base.table, table), names);
    report += shown + QStringLiteral(" was saved");
    if (base.inProgram)
        report += QStringLiteral(" at byte %1, where the program keeps its table")
                      .arg(grouped(base.offset));
    else if (base.offset > 0)
        report += QStringLiteral(" at byte %1").arg(grouped(base.offset));
    else if (base.holds == TargetTable::Holds::Less)
        report += QStringLiteral(" with all 31 formations of the text; it held less than a whole "
                                 "table");
    if (!saved.backupPath.isEmpty())
        report += QStringLiteral(". A copy of it as it was before is kept as %1.\n")
                      .arg(shownPath(saved.backupPath));
    else if (!saved.noBackup.isEmpty())
        report += QStringLiteral(". %1; --no-backup said to import without one.\n")
                      .arg(withoutFullStop(saved.noBackup));
    else // a NAME.bak of its own was there, and a save never replaces one
        report += QStringLiteral(". No backup was made: %1 is there already and was left as it "
                                 "is.\n")
                      .arg(shownPath(target + QStringLiteral(".bak")));
    return report;
}
