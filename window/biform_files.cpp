// Load, save and the unsaved-changes question.
#include "biform.h"

#include "change_words.h"
#include "controls.h"
#include "formation_names.h"
#include "message_text.h"
#include "native_file.h"
#include "save_asking.h"
#include "save_journal.h"
#include "save_recovery.h"
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

// The button that answers a save's question yes.
QString saveAnswerButton(const SaveOutcome &asked)
{
    switch (asked.question) {
    case SaveOutcome::Question::ChangedByOtherProgram:
    case SaveOutcome::Question::NoBackup:
    case SaveOutcome::Question::NoJournal:
        break;
    case SaveOutcome::Question::TableMoved:
        return QStringLiteral("Write it at byte %1").arg(grouped(asked.movedTo));
    }
    return QStringLiteral("Save");
}

// Which formations a file whose save did not finish holds otherwise than
// before that save, in a sentence.
QString differingSentence(const QList<int> &differing, const QStringList &names)
{
    const QString between = QStringLiteral("between the table it holds now and the one it had "
                                           "before.");
    if (differing.isEmpty())
        return QStringLiteral("No formation differs ") + between;
    QString list = formationList(differing, names);
    list[0] = list[0].toUpper();
    return QStringLiteral("%1 %2 %3")
        .arg(list, differing.size() == 1 ? QStringLiteral("differs") : QStringLiteral("differ"),
             between);
}
} // namespace

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

bool BiForm::settleUnfinishedSave(const QString &path)
{
    const UnfinishedSave unfinished = findUnfinishedSave(path);
    if (!unfinished.found)
        return true;
    if (unfinished.running) { // its journal is no leftover: nothing to settle yet
        prompter().tell(this, unfinished.problem);
        return false;
    }
    const std::optional<Recovery> settled =
        unfinished.canPutBack ? putBackOrKeep(path, unfinished) : keepOnly(path, unfinished);
    if (!settled)
        return false;
    switch (settled->kind) {
    case Recovery::Kind::NothingToRecover:
    case Recovery::Kind::PutBack:
    case Recovery::Kind::Kept:
        // Put back, but with its journal still beside it the load would
        // refuse it as unfinished: what was done and what stays says more.
        if (!settled->journalLeft && !hasJournal(path))
            return true;
        break;
    case Recovery::Kind::Refused:
    case Recovery::Kind::Failed:
        break;
    }
    prompter().tell(this, settled->message);
    return false;
}

std::optional<Recovery> BiForm::putBackOrKeep(const QString &path, const UnfinishedSave &unfinished)
{
    // Named as the file's own table names them, wherever the window's came from.
    const QStringList names = readFormationNames(namesFileFor(path, m_workingFolder)).names;
    const QString question =
        QStringLiteral("A save of %1 did not finish. Put back the table it "
                       "had before that save? %2")
            .arg(shownPath(path), differingSentence(unfinished.differing, names));
    switch (prompter().choose(
        this, question, {QStringLiteral("Put it back"), QStringLiteral("Keep it as it is")}, 0)) {
    case 0:
        return recoverSave(path);
    case 1:
        return keepAfterUnfinishedSave(path);
    default:
        return std::nullopt;
    }
}

std::optional<Recovery> BiForm::keepOnly(const QString &path, const UnfinishedSave &unfinished)
{
    // Keeping is all that is left, and it drops the journal: Enter cancels.
    const QString question =
        QStringLiteral("A save of %1 did not finish, and the table it had "
                       "before cannot be put back: %2 Keep it as it is? "
                       "That removes %3.")
            .arg(shownPath(path), unfinished.problem, shownPath(unfinished.journalPath));
    if (!prompter().confirm(this, question, QStringLiteral("Keep it as it is")))
        return std::nullopt;
    return keepAfterUnfinishedSave(path);
}

void BiForm::loadFrom(const QString &path)
{
    if (!m_readyFlag || !settleUnfinishedSave(path))
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
        m_document.load(m_fileName, m_text2->text(), typed ? StartGiven::Yes : StartGiven::No,
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
        // The box may still hold the offset the search found in the program
        // loaded before, which the user never typed.
        const QString found =
            !typed && m_document.loadedFromProgram()
                ? QStringLiteral(" The start location is where the table was found in %1.")
                      .arg(shownPath(m_document.loadedPath()))
                : QString();
        prompter().tell(this, result.fitsFromFirstByte
                                  ? result.error + found +
                                        QStringLiteral(" Set the start location to 0 to read the "
                                                       "table from the file's first byte.")
                                  : result.error);
        return;
    }
    if (result.foundBySignature) {
        m_text2->setText(QString::number(result.startLocation));
        m_text2->repaint();
    }
    m_text2->setModified(false);
    m_label1->setAccessibleDescription(QStringLiteral("Loaded file"));
    m_dialog.setFolder(QFileInfo(m_fileName).absolutePath());
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
    const QString savePath = m_document.savePath();
    if (savePath.isEmpty())
        return save();
    return settlePanel() && saveTo(savePath);
}

std::optional<TablePlace> BiForm::placeInFile(const QString &target)
{
    const Placement placement = m_document.placement(target);
    if (!placement.refusal.isEmpty()) {
        prompter().tell(this, placement.refusal);
        return std::nullopt;
    }
    for (const Confirmation &before : placement.before)
        if (!prompter().confirm(this, before.text, before.accept))
            return std::nullopt;
    std::optional<TablePlace> place = choosePlace(placement);
    if (!place || (place->confirmation && !prompter().confirm(this, place->confirmation->text,
                                                              place->confirmation->accept)))
        return std::nullopt;
    // Zeros from start-up would blank a file that holds a table.
    if (m_document.wouldWriteZerosOver(target) &&
        !prompter().confirm(this,
                            QStringLiteral("Nothing has been loaded; the table is all zeros. "
                                           "Write zeros over %1?")
                                .arg(shownPath(target)),
                            QStringLiteral("Write zeros")))
        return std::nullopt;
    return place;
}

std::optional<TablePlace> BiForm::choosePlace(const Placement &placement)
{
    const QList<TablePlace> &places = placement.places;
    if (places.isEmpty())
        return std::nullopt;
    if (placement.question.isEmpty())
        return places.first();
    // One place that Enter must not take is a plain yes or no.
    if (places.size() == 1 && placement.preferred < 0) {
        if (!prompter().confirm(this, placement.question, places.first().choice))
            return std::nullopt;
        return places.first();
    }
    QStringList choices;
    for (const TablePlace &place : places)
        choices << place.choice;
    const int chosen = prompter().choose(this, placement.question, choices, placement.preferred);
    if (chosen < 0 || chosen >= places.size())
        return std::nullopt;
    return places[chosen];
}

bool BiForm::saveTo(const QString &target)
{
    const std::optional<TablePlace> place = placeInFile(target);
    if (!place)
        return false;

    // The save asks before writing over another program's changes to a
    // watched file, without a backup or a journal, and where a program's
    // table has moved; nothing is written until the user agrees.
    Q_ASSERT(isBusy()); // raised by each way a save starts, for its whole run
    const SaveOutcome outcome = m_document.save(
        target, *place, m_formationNames,
        // The backup of a big file takes a while: the window repaints meanwhile.
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); },
        [this](const SaveOutcome &asked) {
            return prompter().confirm(this, asked.questionText(), saveAnswerButton(asked));
        });
    switch (outcome.kind) {
    case SaveOutcome::Kind::Saved:
    case SaveOutcome::Kind::NothingToChange:
        tookSave(target, outcome.backupPath);
        break;
    case SaveOutcome::Kind::Ask: // cancelled: nothing was written
        break;
    case SaveOutcome::Kind::NotSaved:
    case SaveOutcome::Kind::Damaged:
        prompter().tell(this, outcome.message);
        break;
    }
    // Such as leftovers of an earlier save that stay in the folder.
    if (!outcome.remark.isEmpty())
        informAfterSave(outcome.remark);
    return outcome.tableInFile();
}

void BiForm::tookSave(const QString &target, const QString &backupPath)
{
    refreshPicture(); // whose saves never go over this file
    m_label1->setCaption(shownPath(target));
    m_label1->setAccessibleDescription(QStringLiteral("Saved file"));
    m_dialog.setFolder(QFileInfo(target).absolutePath());
    // Told by the save that makes the backup: one that is there is never
    // replaced, so this is once for each file, until its backup is removed.
    if (!backupPath.isEmpty())
        informAfterSave(QStringLiteral("%1 was saved. A copy of the file as it was before is "
                                       "kept as %2.")
                            .arg(shownPath(target), shownPath(backupPath)));
}

void BiForm::informAfterSave(const QString &news)
{
    if (m_closing)
        prompter().informBeforeClosing(this, news);
    else
        prompter().inform(this, news);
}

bool BiForm::settleUnsavedChanges(const QString &action)
{
    if (!hasUnsavedChanges())
        return true;
    // Named by the file Save writes to.
    const QString savePath = m_document.savePath();
    const QString table =
        savePath.isEmpty() ? QStringLiteral("The table")
        : savePath == m_document.loadedPath()
            ? QStringLiteral("The table loaded from %1").arg(shownPath(savePath))
            : QStringLiteral("The table last saved to %1").arg(shownPath(savePath));
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
