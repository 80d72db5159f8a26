#include "table_place.h"

#include "formation_table.h"
#include "message_text.h"
#include "native_file.h"
#include "program_file.h"
#include "save_journal.h"
#include "save_recovery.h"
#include "table_loader.h"

#include <QFileInfo>
#include <limits>

namespace
{

Placement refusal(const QString &text)
{
    Placement placement;
    placement.refusal = text;
    return placement;
}

Placement at(const TablePlace &place)
{
    Placement placement;
    placement.places = {place};
    return placement;
}

// What a table without the program's signature loses there.
QString signatureLost()
{
    return QStringLiteral("But its first five bytes (formation 0, line 1) are no longer the "
                          "signature 00 25 03 00 AA that the table is found by: once written, "
                          "the table cannot be found in the program again.");
}

bool hasSignature(const QByteArray &table)
{
    return table.startsWith(tableSignature());
}

// Back into the file the table was loaded from, at the byte it came from.
Placement backWhereLoaded(const PlaceRequest &request, bool program)
{
    const FileSnapshot &loaded = request.origin.loaded;
    const QString at = grouped(loaded.tableOffset);
    const QString shown = shownPath(request.target);
    Placement placement;
    TablePlace back;
    back.offset = loaded.tableOffset;
    // Where it was last loaded from, or saved to since (a program's table
    // may have moved to another byte then).
    const QString came = request.origin.savedThereSince ? QStringLiteral("last saved to")
                                                        : QStringLiteral("loaded from");
    back.choice = QStringLiteral("Write it back at byte %1, where it was %2").arg(at, came);
    if (request.origin.fromProgram) {
        back.intoProgramTable = true;
        placement.question = QStringLiteral("The table was %1 byte %2 of the program %3. "
                                            "Written back there, only those 1,488 bytes of the "
                                            "program change.")
                                 .arg(came, at, shown);
        if (!request.table.isEmpty() && !hasSignature(request.table)) {
            placement.question += u' ' + signatureLost();
            placement.preferred = -1;
        }
        placement.places = {back};
        return placement;
    }
    placement.question = QStringLiteral("The table was %1 byte %2 of %3. Written back there, "
                                        "only those 1,488 bytes change. Written at the first "
                                        "byte, it replaces the file's first 1,488 bytes instead, "
                                        "where a load from byte %2 does not find it.")
                             .arg(came, at, shown);
    TablePlace first;
    first.choice = QStringLiteral("Write it at the first byte");
    // Read as data at a typed start location, a program is still a program.
    if (program)
        first.confirmation = {
            QStringLiteral("%1 begins as a program does (\"MZ\"). Written at its first byte, the "
                           "table goes over the program's first 1,488 bytes, and the program "
                           "will no longer run. Overwrite it anyway?")
                .arg(shown),
            QStringLiteral("Overwrite")};
    placement.places = {back, first};
    return placement;
}

// Into a program, where its own table is; the window may also write over
// its first bytes, after a question.
Placement intoProgram(const PlaceRequest &request)
{
    const bool window = request.caller == PlaceFor::Window;
    const QString shown = shownPath(request.target);
    if (!window && request.start)
        return refusal(QStringLiteral("Nothing was written: ") +
                       startNotForProgram(ProgramUse::Save, request.target, request.startOption));
    const LoadResult found = loadFromExecutable(request.target);
    if (found.unfinishedSave)
        return refusal(found.error);
    if (!found.ok) {
        if (!window)
            return refusal(found.error + QStringLiteral(" Nothing was written: a table is written "
                                                        "into a program only where the program "
                                                        "keeps its own."));
        TablePlace over;
        over.choice = QStringLiteral("Overwrite");
        Placement placement = at(over);
        placement.question = QStringLiteral("%1 is a program. Saving writes the formation table "
                                            "over its first 1,488 bytes, not over the table "
                                            "inside it, and the program will no longer run. "
                                            "Overwrite it anyway?")
                                 .arg(shown);
        placement.preferred = -1;
        return placement;
    }
    TablePlace into;
    into.offset = found.startLocation;
    into.intoProgramTable = true;
    into.choice = QStringLiteral("Write it into its table at byte %1").arg(grouped(into.offset));
    into.found = found.source;
    if (!window) {
        if (const QString unfit = request.table.isEmpty()
                                      ? QString()
                                      : tableFitsPlace(into, request.table, request.target);
            !unfit.isEmpty())
            return refusal(unfit);
        return at(into);
    }
    TablePlace over;
    over.choice = QStringLiteral("Overwrite");
    Placement placement;
    placement.places = {into, over};
    placement.preferred = -1;
    placement.question =
        QStringLiteral("%1 is a program, with its formation table at byte %2: written there, "
                       "only those 1,488 bytes of the program change. Overwrite writes the table "
                       "over the program's first 1,488 bytes instead, and the program will no "
                       "longer run.")
            .arg(shown, grouped(into.offset));
    if (!request.table.isEmpty() && !hasSignature(request.table))
        placement.question += u' ' + signatureLost();
    return placement;
}

// At --start of a data file, which must hold a table there.
Placement atStart(const PlaceRequest &request, PathKind kind)
{
    const QString shown = shownPath(request.target);
    const qint64 start = *request.start;
    if (start < 0 || start > std::numeric_limits<qint32>::max())
        return refusal(QStringLiteral("Nothing was written to %1: --start is a byte offset from 0 "
                                      "to %2.")
                           .arg(shown, grouped(std::numeric_limits<qint32>::max())));
    if (kind == PathKind::Missing)
        return refusal(QStringLiteral("Nothing was written: %1 does not exist, and --start names "
                                      "a place in a file that holds a table.")
                           .arg(shown));
    const qint64 needed = start + FormationTable::ByteCount;
    if (const qint64 size = QFileInfo(request.target).size();
        kind == PathKind::Regular && size < needed)
        return refusal(QStringLiteral("Nothing was written: %1 holds %2 bytes, fewer than the %3 "
                                      "that a table at byte %4 needs.")
                           .arg(shown, grouped(size), grouped(needed), grouped(start)));
    const LoadResult found = loadFromDataFile(request.target, qint32(start));
    if (!found.ok)
        return refusal(found.error);
    TablePlace place;
    place.offset = start;
    place.found = found.source;
    return at(place);
}

bool changedNothing(const QString &target)
{
    if (journalState(target) != JournalState::Unfinished)
        return false;
    const UnfinishedSave unfinished = findUnfinishedSave(target);
    return unfinished.canPutBack && unfinished.match == JournalMatch::Old;
}

} // namespace

QString tableFitsPlace(const TablePlace &place, const QByteArray &table, const QString &target)
{
    // The table is found by its first five bytes: changed, it could not be
    // found again, and a later search could take other bytes for it.
    if (!place.intoProgramTable || hasSignature(table))
        return {};
    return QStringLiteral("Nothing was written: the text changes the first five bytes of the "
                          "table (formation 0, line 1: byte0, type and modifiers, count, byte3 "
                          "and the lowest byte of the X offset), which in %1 are the signature "
                          "00 25 03 00 AA it is found by; changed, the table could not be found "
                          "there again.")
        .arg(shownPath(target));
}

QString originalOfBackup(const QString &path)
{
    // Windows drops dots and blanks at the end of a name: "x.bak." is x.bak.
    QString name = path;
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    if (!name.endsWith(QLatin1String(".bak"), Qt::CaseInsensitive))
        return {};
    const QString original = name.chopped(4);
    if (QFileInfo(original).fileName().isEmpty() || pathKind(original) != PathKind::Regular)
        return {};
    QString reason;
    const FileIdentity one = pathIdentity(original, &reason);
    return one.valid && one == pathIdentity(path, &reason) ? QString() : original;
}

Placement placeTable(const PlaceRequest &request)
{
    const bool window = request.caller == PlaceFor::Window;
    const QString shown = shownPath(request.target);
    const PathKind kind = pathKind(request.target);
    const bool exists = kind == PathKind::Regular;
    // A journal of a save that changed nothing the save itself settles.
    if (hasJournal(request.target) && !changedNothing(request.target))
        return refusal(QStringLiteral("The table was not saved to %1: %2.")
                           .arg(shown, unfinishedSaveReason(request.target)));
    // The one copy of what a file held before a save that did not finish.
    if (exists && isJournalFile(request.target))
        return refusal(QStringLiteral("The table was not saved to %1: it is the journal of a "
                                      "save that did not finish, which holds what that file "
                                      "had before; nothing is written over it.")
                           .arg(shown));

    QList<Confirmation> before;
    if (const QString original = exists ? originalOfBackup(request.target) : QString();
        !original.isEmpty()) {
        const QString copy =
            QStringLiteral("%1 is the copy kept of %2 before it was first changed, and saving "
                           "to it writes over that copy.")
                .arg(shown, shownPath(QFileInfo(original).fileName()));
        if (!window && !request.force)
            return refusal(QStringLiteral("Nothing was written: %1 Give --force to write it "
                                          "anyway.")
                               .arg(copy));
        if (window)
            before << Confirmation{copy + QStringLiteral(" Save to it anyway?"),
                                   QStringLiteral("Save over the copy")};
    }

    Placement placement;
    QString reason;
    const FileSnapshot &loaded = request.origin.loaded;
    // A new name ending in .exe is a data file like any other for the window;
    // the command line writes into programs only where they keep their table.
    bool program = false;
    if (exists || !window) {
        QString why;
        const std::optional<bool> looks = readsAsProgram(request.target, &why);
        if (!looks)
            return refusal(window ? QStringLiteral("The table was not saved to %1: it could not be "
                                                   "read to tell whether it is a program (%2).")
                                        .arg(shown, why)
                                  : QStringLiteral("Nothing was written: %1 could not be read to "
                                                   "tell whether it is a program (%2).")
                                        .arg(shown, why));
        program = *looks;
    }
    if (window && exists && loaded.valid && loaded.tableOffset > 0 &&
        describes(loaded, request.target, pathIdentity(request.target, &reason)))
        placement = backWhereLoaded(request, program);
    else if (program)
        placement = intoProgram(request);
    else if (!window && request.start)
        placement = atStart(request, kind);
    else {
        TablePlace first;
        if (!window && exists && QFileInfo(request.target).size() >= FormationTable::ByteCount) {
            const LoadResult found = loadFromDataFile(request.target, 0);
            if (!found.ok)
                return refusal(found.error);
            first.found = found.source;
        }
        placement = at(first);
    }
    if (placement.refusal.isEmpty())
        placement.before = before;
    return placement;
}
