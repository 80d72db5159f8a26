#include "import_target.h"

#include "formation_table.h"
#include "native_file.h"
#include "table_loader.h"
#include "table_saver.h"

#include <QDir>
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
                .arg(QDir::toNativeSeparators(target),
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
    const WatchedFiles watched{base.source, {}};
    SaveOptions options;
    options.watched = &watched;
    options.withoutBackup = withoutBackup;
    const SaveResult saved = saveTable(target, table, options);
    switch (saved.question) {
    case SaveResult::Question::None:
        return saved.ok ? QString() : saved.error;
    case SaveResult::Question::ChangedByOtherProgram:
        return saved.error + QStringLiteral(" Nothing was written.");
    case SaveResult::Question::NoBackup:
        return saved.error +
               QStringLiteral(" Nothing was written. Give --no-backup to import without one.");
    }
    Q_UNREACHABLE();
}
