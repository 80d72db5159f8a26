#include "import_target.h"

#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"
#include "save_asking.h"
#include "table_loader.h"

#include <QFileInfo>

TargetTable importBase(const QString &target, const TableText &text)
{
    TargetTable result;
    const PathKind kind = pathKind(target);
    const bool holdsTable =
        kind != PathKind::Missing &&
        !(kind == PathKind::Regular && QFileInfo(target).size() < FormationTable::ByteCount);
    if (holdsTable) {
        const LoadResult loaded = loadFromDataFile(target, 0);
        result.ok = loaded.ok;
        result.table = loaded.table;
        result.error = loaded.error;
        result.source = loaded.source;
        return result;
    }
    if (!coversWholeTable(text)) {
        result.error =
            QStringLiteral("%1 %2, so the text must give all 31 formations; it gives %3.")
                .arg(shownPath(target),
                     kind == PathKind::Missing ? QStringLiteral("does not exist yet")
                                               : QStringLiteral("holds less than a whole table"),
                     QString::number(text.formations.size()));
        return result;
    }
    result.ok = true;
    result.table = QByteArray(FormationTable::ByteCount, '\0');
    return result;
}

QString saveImported(const QString &target, const QByteArray &table, const TargetTable &base,
                     bool withoutBackup)
{
    WatchedFiles watched{base.source, {}};
    SaveOptions options;
    options.withoutBackup = withoutBackup;
    // Import asks nothing: a question is the reason it stops.
    const SaveOutcome outcome =
        saveAsking(target, table, watched, options, [](const SaveOutcome &) { return false; });
    switch (outcome.kind) {
    case SaveOutcome::Kind::Saved:
    case SaveOutcome::Kind::NothingToChange:
        return {};
    case SaveOutcome::Kind::Ask:
        return outcome.message +
               (outcome.question == SaveOutcome::Question::NoBackup
                    ? QStringLiteral(
                          " Nothing was written. Give --no-backup to import without one.")
                    : QStringLiteral(" Nothing was written."));
    case SaveOutcome::Kind::NotSaved:
    case SaveOutcome::Kind::Damaged:
        return outcome.message;
    }
    Q_UNREACHABLE();
}
