// Load, save and the unsaved-changes question.
#include "biform.h"

#include "controls.h"
#include "message_text.h"
#include "native_file.h"
#include "program_file.h"
#include "save_asking.h"
#include "table_loader.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace
{
const QString LoadFilter =
    QStringLiteral("Formation data files|*rmation.dat|KGF exe|kgf.exe|All files|*");
}

void BiForm::load()
{
    if (!m_readyFlag)
        return;
    if (!settlePanel() || !settleUnsavedChanges(QStringLiteral("loading another table")))
        return;

    m_dialog.setFilter(LoadFilter);
    m_dialog.setFileName(QString());
    m_dialog.ShowOpen();
    if (m_dialog.FileName().isEmpty()) {
        m_fileName.clear(); // a cancelled dialog leaves no file name
        return;
    }
    loadFrom(m_dialog.FileName());
}

void BiForm::loadFile(const QString &path)
{
    runAlone([this, &path] { loadFrom(path); });
}

void BiForm::loadFrom(const QString &path)
{
    if (!m_readyFlag)
        return;
    const QString previousFileName = m_fileName;
    m_fileName = path;

    // A load that fails changes nothing, so remember what it may touch.
    const QString previousLabel1 = m_label1->text();
    const QString previousText2 = m_text2->text();
    m_label1->setCaption(shownPath(m_fileName));
    m_label1->repaint();

    // The start location is given when the user typed into its box since
    // the last load; only then is a file that begins as a program read at it.
    const bool typed = m_text2->isModified();
    const LoadResult result =
        loadTable(m_fileName, m_text2->text(), typed ? StartGiven::Yes : StartGiven::No,
                  [this](qint64 position) {
                      m_text2->setText(QString::number(position));
                      m_text2->repaint();
                      // Let the window repaint while a long search runs; the user's
                      // clicks and keys wait until it is over.
                      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                  });

    if (!result.ok) {
        m_fileName = previousFileName;
        m_label1->setCaption(previousLabel1);
        m_text2->setText(previousText2);
        m_text2->setModified(typed);
        prompter().tell(this, result.fitsFromFirstByte
                                  ? result.error + QStringLiteral(" Set the start location to 0 "
                                                                  "to read the table from the "
                                                                  "file's first byte.")
                                  : result.error);
        return;
    }
    if (result.foundBySignature) {
        m_text2->setText(QString::number(result.startLocation));
        m_text2->repaint();
    }
    m_text2->setModified(false);
    m_startLocation = result.startLocation;
    m_table.setBytes(result.table);
    m_currentByte = static_cast<quint8>(result.table.back());
    m_loadedPath = m_fileName;
    m_loadedFromProgram = result.foundBySignature;
    m_savePath = m_fileName;
    m_label1->setAccessibleDescription(QStringLiteral("Loaded file"));
    m_dialog.setFolder(QFileInfo(m_fileName).absolutePath());
    m_filesOnDisk = {result.source, {}};
    startHistory();
    takeNamesFor(m_fileName);
    // The chosen formation now shows the new table's lines, never the old one's.
    if (m_shownFormation >= 0)
        showFormation(m_shownFormation);
}

bool BiForm::save()
{
    if (!settlePanel())
        return false;
    m_dialog.setFileName(QString());
    m_dialog.ShowSave();
    const QString target = m_dialog.FileName();
    return !target.isEmpty() && saveTo(target);
}

bool BiForm::saveBack()
{
    if (m_savePath.isEmpty())
        return save();
    return settlePanel() && saveTo(m_savePath);
}

std::optional<qint64> BiForm::placeInFile(const QString &target)
{
    QString reason;
    const FileIdentity identity = pathIdentity(target, &reason);
    const FileSnapshot &loaded = m_filesOnDisk.loaded;
    const bool regular = pathKind(target) == PathKind::Regular;
    const bool program = regular && isProgramFile(target);

    // The file the table came from, under any name, where it was not at the
    // first byte: written there, or at the first byte over what is before it.
    if (loaded.valid && loaded.tableOffset > 0 && describes(loaded, target, identity)) {
        const QString at = grouped(loaded.tableOffset);
        QStringList choices = {
            QStringLiteral("Write it back at byte %1, where it was loaded from").arg(at)};
        QString text;
        int preferred = 0;
        // As it was loaded: a data file read at a typed start location may
        // begin with MZ like a program.
        if (m_loadedFromProgram) {
            text = QStringLiteral("The table was loaded from byte %1 of the program %2. Written "
                                  "back there, only those 1,488 bytes of the program change.")
                       .arg(at, shownPath(target));
            // The program's table is found by its first five bytes.
            if (!m_table.toBytes().startsWith(tableSignature())) {
                text += QStringLiteral(" But its first five bytes (formation 0, line 1) are no "
                                       "longer the signature 00 25 03 00 AA that the table is "
                                       "found by: once written, the table cannot be found in "
                                       "the program again.");
                preferred = -1;
            }
        } else {
            text = QStringLiteral("The table was loaded from byte %1 of %2. Written back there, "
                                  "only those 1,488 bytes change. Written at the first byte, it "
                                  "replaces the file's first 1,488 bytes instead, where a load "
                                  "from byte %1 does not find it.")
                       .arg(at, shownPath(target));
            choices << QStringLiteral("Write it at the first byte");
        }
        switch (prompter().choose(this, text, choices, preferred)) {
        case 0:
            return loaded.tableOffset;
        case 1:
            return 0;
        default:
            return std::nullopt;
        }
    }

    // Only a program that is there is harmed; a new name ending in .exe
    // becomes a formation data file like any other.
    if (program &&
        !prompter().confirm(this,
                            QStringLiteral("%1 is a program. Saving writes the formation table "
                                           "over its first 1,488 bytes, not over the table "
                                           "inside it, and the program will no longer run. "
                                           "Overwrite it anyway?")
                                .arg(shownPath(target)),
                            QStringLiteral("Overwrite")))
        return std::nullopt;
    // Zeros from start-up would blank a file that holds a table.
    if (regular && m_loadedPath.isEmpty() &&
        m_table.toBytes() == QByteArray(FormationTable::ByteCount, '\0') &&
        !prompter().confirm(this,
                            QStringLiteral("Nothing has been loaded; the table is all zeros. "
                                           "Write zeros over %1?")
                                .arg(shownPath(target)),
                            QStringLiteral("Write zeros")))
        return std::nullopt;
    return 0;
}

bool BiForm::saveTo(const QString &target)
{
    const std::optional<qint64> offset = placeInFile(target);
    if (!offset)
        return false;

    // The save asks before writing over another program's changes to a
    // watched file and before writing without a backup; nothing is written
    // until the user says Save.
    SaveOptions options;
    options.offset = *offset;
    options.wrap = m_saveFileWrapper;
    // The backup of a big file takes a while: the window repaints meanwhile.
    options.progress = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    Q_ASSERT(isBusy()); // raised by each way a save starts, for its whole run
    const QByteArray written = m_table.toBytes();
    const SaveOutcome outcome =
        saveAsking(target, written, m_filesOnDisk, options, [this](const SaveOutcome &asked) {
            return prompter().confirm(this, asked.questionText(), QStringLiteral("Save"));
        });
    switch (outcome.kind) {
    case SaveOutcome::Kind::Saved:
    case SaveOutcome::Kind::NothingToChange:
        break;
    case SaveOutcome::Kind::Ask: // cancelled: nothing was written
        return false;
    case SaveOutcome::Kind::NotSaved:
    case SaveOutcome::Kind::Damaged:
        prompter().tell(this, outcome.message);
        return false;
    }

    markSaved(written);
    m_savePath = target;
    refreshPicture(); // whose saves never go over this file
    m_label1->setCaption(shownPath(target));
    m_label1->setAccessibleDescription(QStringLiteral("Saved file"));
    m_dialog.setFolder(QFileInfo(target).absolutePath());
    // Told by the save that makes the backup: one that is there is never
    // replaced, so this is once for each file, until its backup is removed.
    if (!outcome.backupPath.isEmpty()) {
        const QString news = QStringLiteral("%1 was saved. A copy of the file as it was before "
                                            "is kept as %2.")
                                 .arg(shownPath(target), shownPath(outcome.backupPath));
        if (m_closing)
            prompter().informBeforeClosing(this, news);
        else
            prompter().inform(this, news);
    }
    return true;
}

bool BiForm::settleUnsavedChanges(const QString &action)
{
    if (!hasUnsavedChanges())
        return true;
    // Named by the file Save writes to.
    const QString table =
        m_savePath.isEmpty() ? QStringLiteral("The table")
        : m_savePath == m_loadedPath
            ? QStringLiteral("The table loaded from %1").arg(shownPath(m_savePath))
            : QStringLiteral("The table last saved to %1").arg(shownPath(m_savePath));
    switch (prompter().askToSave(
        this, QStringLiteral("%1 has changes that are not saved. Save them before %2?")
                  .arg(table, action))) {
    case Prompter::Choice::Go:
        return saveBack();
    case Prompter::Choice::Discard:
        return true;
    case Prompter::Choice::Cancel:
        break;
    }
    return false;
}

void BiForm::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    bool close = false;
    runAlone([this, &close] {
        close = settlePanel() && settleUnsavedChanges(QStringLiteral("closing"));
    });
    m_closing = false;
    if (close)
        event->accept();
    else
        event->ignore();
}
