#pragma once

#include "file_snapshot.h"
#include "formation_table.h"
#include "save_asking.h"
#include "table_loader.h"
#include "table_place.h"
#include "table_saver.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUndoStack>

// The table the window edits, with its history, the table it is compared
// with (as last loaded or saved), and the files it came from and went to.
// It asks nothing: load and save return what happened, and the window
// puts the questions and calls again.
class FormDocument : public QObject
{
    Q_OBJECT
public:
    explicit FormDocument(QObject *parent = nullptr);

    const FormationTable &table() const { return m_table; }
    QUndoStack &history() { return m_history; }
    const QUndoStack &history() const { return m_history; }

    qint32 startLocation() const { return m_startLocation; }
    // The last load found its table in a program, by the signature.
    bool loadedFromProgram() const { return m_loadedFromProgram; }
    quint8 currentByte() const { return m_currentByte; }
    QString loadedPath() const { return m_loadedPath; } // empty before any load
    // The file the table was last loaded from or saved to: Ctrl+S saves there.
    QString savePath() const { return m_savePath; }
    bool referenceIsSave() const { return m_referenceSaved; }

    // Loads `path` as the window's Load does; a load that fails changes nothing.
    LoadResult load(const QString &path, const QString &startText, StartGiven given,
                    const SearchProgress &progress = {});

    // Whether the table's bytes differ from the reference, however the
    // history went there.
    bool hasUnsavedChanges() const { return m_table.toBytes() != m_reference; }
    bool differsFromReference(int formation) const;
    QByteArray referenceFormation(int formation) const;

    // One step that gives `formation` the bytes `after`; false (and no
    // step) when they are the bytes it has.
    bool changeFormation(int formation, const QByteArray &after, const QString &what);
    // One step that gives the table the bytes `after` (a whole table), for
    // every formation that differs; the number of formations it changed
    // (none: no step).
    int changeFormations(const QByteArray &after, const QString &what);

    // Where a save into `target` may put the table, as placeTable decides
    // for this table and the file it came from.
    Placement placement(const QString &target) const;
    // A save before any load would write start-up's zeros over a file.
    bool wouldWriteZerosOver(const QString &target) const;
    // Tests wrap the files a save writes, to make it fail part-way.
    void setSaveFileWrapper(FileWrapper wrap) { m_saveFileWrapper = std::move(wrap); }
    // Saves the table at `place` in `target`; `answer` hears each question
    // the save raises. A save that leaves the table in the file makes it
    // the reference, and Ctrl+S goes there.
    SaveOutcome save(const QString &target, const TablePlace &place, const QStringList &names,
                     const std::function<void()> &progress, const SaveAnswer &answer);

signals:
    // An undo, a redo or a new step put `bytes` into `formation`.
    void formationPut(int formation);
    // The reference or the whole table was replaced (a load or a save).
    void referenceChanged();
    // The history moved, was added to, or was cleared.
    void historyChanged();

private:
    void putFormation(int formation, const QByteArray &bytes);

    FormationTable m_table;
    QUndoStack m_history;          // a child, found among the window's objects
    QByteArray m_reference;        // the table as last loaded or saved
    bool m_referenceSaved = false; // the reference is the last save, not the load
    qint32 m_startLocation = 0;
    quint8 m_currentByte = 0;
    QString m_loadedPath;
    QString m_savePath;
    bool m_loadedFromProgram = false; // the last load found the table in a program
    WatchedFiles m_filesOnDisk;       // the loaded file and the one last saved to, as last seen
    FileWrapper m_saveFileWrapper;
};
