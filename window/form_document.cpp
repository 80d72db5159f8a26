#include "form_document.h"

#include "formation_change.h"
#include "native_file.h"

#include <memory>

FormDocument::FormDocument(QObject *parent) : QObject(parent), m_history(this)
{
    m_table.prepare();
    m_reference = m_table.toBytes();
    connect(&m_history, &QUndoStack::indexChanged, this, &FormDocument::historyChanged);
}

LoadResult FormDocument::load(const QString &path, const QString &startText, StartGiven given,
                              const SearchProgress &progress)
{
    const LoadResult result = loadTable(path, startText, given, progress);
    if (!result.ok)
        return result;
    m_startLocation = result.startLocation;
    m_table.setBytes(result.table);
    m_currentByte = static_cast<quint8>(result.table.back());
    m_loadedPath = path;
    m_loadedFromProgram = result.foundBySignature;
    m_savePath = path;
    m_filesOnDisk = {result.source, {}};
    // A new table starts a history of its own, compared with itself.
    m_history.clear();
    m_reference = m_table.toBytes();
    m_referenceSaved = false;
    emit referenceChanged();
    return result;
}

bool FormDocument::differsFromReference(int formation) const
{
    return m_table.formationBytes(formation) != referenceFormation(formation);
}

QByteArray FormDocument::referenceFormation(int formation) const
{
    return m_reference.mid(formation * FormationTable::FormationBytes,
                           FormationTable::FormationBytes);
}

bool FormDocument::changeFormation(int formation, const QByteArray &after, const QString &what)
{
    const QByteArray before = m_table.formationBytes(formation);
    if (after == before)
        return false;
    m_history.push(new FormationChange(
        formation, before, after, what,
        [this](int changed, const QByteArray &bytes) { putFormation(changed, bytes); }));
    return true;
}

int FormDocument::changeFormations(const QByteArray &after, const QString &what)
{
    Q_ASSERT(after.size() == FormationTable::ByteCount);
    auto step = std::make_unique<FormationsChange>(what);
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation) {
        const QByteArray before = m_table.formationBytes(formation);
        const QByteArray wanted =
            after.mid(formation * FormationTable::FormationBytes, FormationTable::FormationBytes);
        if (wanted != before)
            step->add(formation, before, wanted, [this](int changed, const QByteArray &bytes) {
                putFormation(changed, bytes);
            });
    }
    const int changed = step->count();
    if (changed > 0)
        m_history.push(step.release());
    return changed;
}

void FormDocument::putFormation(int formation, const QByteArray &bytes)
{
    m_table.setFormationBytes(formation, bytes);
    emit formationPut(formation);
}

Placement FormDocument::placement(const QString &target) const
{
    PlaceRequest request;
    request.target = target;
    request.table = m_table.toBytes();
    request.origin = {m_filesOnDisk.loaded, m_loadedFromProgram,
                      m_referenceSaved && m_savePath == m_loadedPath};
    return placeTable(request);
}

bool FormDocument::wouldWriteZerosOver(const QString &target) const
{
    return pathKind(target) == PathKind::Regular && m_loadedPath.isEmpty() &&
           m_table.toBytes() == QByteArray(FormationTable::ByteCount, '\0');
}

SaveOutcome FormDocument::save(const QString &target, const TablePlace &place,
                               const QStringList &names, const std::function<void()> &progress,
                               const SaveAnswer &answer)
{
    SaveOptions options;
    options.offset = place.offset;
    options.intoProgramTable = place.intoProgramTable;
    options.formationNames = names;
    options.wrap = m_saveFileWrapper;
    options.progress = progress;
    const QByteArray written = m_table.toBytes();
    const SaveOutcome outcome = saveAsking(target, written, m_filesOnDisk, options, answer);
    if (outcome.tableInFile()) {
        // The bytes written are the reference, whatever the table became meanwhile.
        m_reference = written;
        m_referenceSaved = true;
        m_savePath = target;
        emit referenceChanged();
    }
    return outcome;
}
