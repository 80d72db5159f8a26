#pragma once

#include "busy_guard.h"
#include "common_dialog.h"
#include "control_making.h"
#include "form_document.h"
#include "formation_table.h"
#include "line_editing.h"
#include "prompter.h"
#include "save_recovery.h"
#include "type_ahead.h"

#include <QElapsedTimer>
#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class AutoSizeLabel;
class LinePanel;
class SelectorGrid;
class PictureWindow;
struct PictureContent;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The editor's one window: the editing panel, the hidden formation table and
// the handlers of the buttons.
class BiForm : public QWidget
{
    Q_OBJECT
public:
    // The prompter answers the window's questions; null means message boxes.
    explicit BiForm(Prompter *prompter = nullptr, QWidget *parent = nullptr);
    ~BiForm() override;

    const FormationTable &GF1() const { return m_document.table(); }
    CommonDialog &CD1() { return m_dialog; }

    bool readyFlag() const { return m_readyFlag; }
    qint32 startLocation() const { return m_document.startLocation(); }
    QString fileName() const { return m_fileName; }
    quint8 currentByte() const { return m_document.currentByte(); }
    const QStringList &formationNames() const { return m_formationNames; }
    // The names file the names were last taken from, found or not.
    QString namesFile() const { return m_namesPath; }
    // What was wrong with the names file at start-up; empty when nothing was.
    QString startupProblem() const { return m_startupProblem; }
    // Whether the table's bytes differ from those it was last loaded with
    // or saved as, however the history went there.
    bool hasUnsavedChanges() const { return m_document.hasUnsavedChanges(); }
    // Loads `path` as if it had been chosen in Load's dialog: the game
    // executable by its signature, any other file at the start location.
    // The unsaved-changes question comes before the dialog, not here.
    // Nothing happens while the window is busy.
    void loadFile(const QString &path);
    // Loads `path` with loadFile once the window is first shown, before a
    // problem with the working folder's names is told: the names beside
    // the file may take their place.
    void loadWhenShown(const QString &path) { m_startFile = path; }
    // Tests wrap the files a save writes, to make it fail part-way.
    void setSaveFileWrapper(FileWrapper wrap) { m_document.setSaveFileWrapper(std::move(wrap)); }

    // What the context menu and the keys do with the table's history and
    // its formations; each change is one step, and each shows its formation.
    // Like every handler, they do nothing while the window is busy.
    void undo();
    void redo();
    void copyFormation(int formation);
    void pasteOverFormation(int formation); // from the clipboard's text
    void revertFormation(int formation);    // to the table as last loaded or saved
    // Asks for another file and lists how its formations differ from the
    // table's; those the user checks come in as one step.
    void takeFromFile();
    // Opens "Scale and move" for `formation`, shown first.
    void scaleAndMoveFormation(int formation);
    // The picture of the shown formation in its own window, opened or raised.
    void showPicture();
    PictureWindow *pictureWindow() const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // Building the controls.
    void createControls();
    void createWorkingLabels(QWidget *frame1);
    void showOffsetWorking(qint32 stored);
    void addToTabOrder(int tabIndex, int subIndex, QWidget *widget);
    TabStop tabStop(); // addToTabOrder for the parts that make controls
    void applyTabOrder();

    // Start-up, run once before the window is shown.
    void startUp();
    void createSelectorButtons();
    // Takes the names that go with a table from `tableFile` (none: the
    // working folder's). What is wrong with them is told once for each
    // names file taken in turn, once the window is up.
    void takeNamesFor(const QString &tableFile);
    void tellNamesProblem();

    // While a load, a save or a question is open, the window is busy: a
    // screen reader can still act behind a modal box, so every handler
    // then does nothing. runAlone runs `handler` with the guard raised, or
    // nothing at all where it is raised already.
    bool isBusy() const { return m_busy.isRaised(); }
    void runAlone(const std::function<void()> &handler);
    // A control's or a key's handler: `member` run alone.
    template <typename Member> std::function<void()> alone(Member member)
    {
        return [this, member] { runAlone([this, member] { (this->*member)(); }); };
    }

    // Handlers, each run alone by its control or key.
    void load();
    void loadFrom(const QString &path); // loadFile's work, with the guard raised
    // Before `path` is loaded: where a save of it did not finish, puts back
    // what it held or keeps it, as the user says. True to go on loading.
    bool settleUnfinishedSave(const QString &path);
    // The two ways to settle it, each asked: what was done, nothing for Cancel.
    std::optional<Recovery> putBackOrKeep(const QString &path, const UnfinishedSave &unfinished);
    std::optional<Recovery> keepOnly(const QString &path, const UnfinishedSave &unfinished);
    // "Save Formation file" and Ctrl+Shift+S: asks for the file, in the
    // folder of the table's file. True when the table is in the file.
    bool save();
    // Ctrl+S: back to the file the table was last loaded from or saved to,
    // or as save() when there is none.
    bool saveBack();
    // The save proper, with every question; true when the table is in `target`.
    bool saveTo(const QString &target);
    // Where in `target` the table goes, as placeTable decides and the user
    // chooses, after every question it raises and the one a table of zeros
    // raises. Nothing when refused or cancelled.
    std::optional<TablePlace> placeInFile(const QString &target);
    // The place the user takes among those `placement` offers; nothing for Cancel.
    std::optional<TablePlace> choosePlace(const Placement &placement);
    // After a save that left the table in `target`, which the document
    // now takes for the reference.
    void tookSave(const QString &target, const QString &backupPath);
    // News after a save, such as where a backup is kept: while the window
    // closes, it waits to be read.
    void informAfterSave(const QString &news);
    // The title's unsaved-changes mark, shown while the table is not clean.
    void showUnsavedMark(bool clean);
    void selectFormation(int formation);
    bool editThisOne(); // true when the panel was written into the table
    // The name under the mouse.
    void showHoveredName(const QString &caption);

    // The panel: showing a formation, reading it back.
    void showFormation(int formation);
    // Shows `formation` and turns its selector on: the panel and the
    // selectors always agree on the chosen formation.
    void chooseFormation(int formation);
    QLineEdit *lineBox(int line, int field) const;
    struct Refusal {
        QLineEdit *box = nullptr; // the box at fault
        QString message;
    };
    // The panel's three lines as they would be stored into `formation`;
    // false (and why, when asked) when a box holds no valid value.
    bool encodePanel(int formation, FormationLine (&lines)[FormationTable::LinesPerFormation],
                     Refusal *refusal) const;
    // Whether the panel holds edits not written into the formation it shows.
    bool panelDiffers() const;
    // Before the panel is shown anew or the table leaves: writes or drops
    // edits the user has not written, as the user says. True to go on.
    bool settlePanel();
    // Before unsaved changes are dropped: true to go on (saved or discarded).
    bool settleUnsavedChanges(const QString &action);

    // The table's history, reverting, and the context menu.
    void setUpHistory();
    void historyChanged();
    // Before an undo or redo shows its formation: true when the panel holds
    // no unwritten edits or the user drops them for `verb` ("Undo", "Redo")
    // of the step named `step`.
    bool dropPanelEditsFor(const QString &verb, const QString &step);
    void updateChangedMarks(); // the selectors' and the title's
    void showHistoryMenu(int formation, const QPoint &globalPos);
    bool handleContextMenu(QObject *watched, QEvent *event);
    int formationAtFocus() const; // what the frame's keys act on; -1: none

    // The keyboard.
    void setUpKeyboard();
    void addShortcut(const QList<QKeySequence> &keys, const std::function<void()> &handler);
    bool handleKeyboard(QObject *watched, QEvent *event);
    // Letters typed on a selector choose the formation whose name begins so.
    bool typeAheadOn(int selector, const QKeyEvent &key);

    // The picture: what the panel would store, drawn live; a marker moved
    // there becomes typed offsets here.
    void refreshPicture();
    PictureContent panelPicture() const;
    void movePanelOffset(int line, int axis, qint32 stored);

    Prompter &prompter() { return m_prompter; }

    std::unique_ptr<Prompter> m_ownPrompter; // message boxes, where no prompter was given
    BusyCount m_busy;                        // a load, a save or a question is open
    GuardedPrompter m_prompter;              // asks each question with m_busy raised

    // Form-level state.
    bool m_readyFlag = false;
    QString m_fileName;
    QStringList m_formationNames;
    QString m_startupProblem;
    bool m_shownOnce = false;
    bool m_closing = false;    // the window is closing: news must wait to be read
    int m_shownFormation = -1; // the chosen formation, whose lines the panel shows; -1: none

    // Where the table and its names come from and go.
    QString m_startFile;     // loaded once the window is first shown
    QString m_workingFolder; // at start-up: the place of the names file
    QString m_namesPath;     // where the names were last taken from
    QString m_namesProblem;  // what is wrong with that file; empty when nothing
    bool m_namesProblemTold = false;

    FormDocument m_document; // the hidden grid, its history and its files
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
    QAction *m_pictureAction = nullptr;
    QPointer<PictureWindow> m_picture;
    // While "Scale and move" is open: the shown formation's lines as it
    // would write them, drawn in place of the panel's.
    std::optional<std::array<FormationLine, 3>> m_scalePreview;
    CommonDialog m_dialog;
    TypeAhead m_typeAhead;
    QElapsedTimer m_typeAheadClock;
    QString m_takeFolder; // where "Take formations" last found a file

    // Controls.
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    AutoSizeLabel *m_label1 = nullptr;
    AutoSizeLabel *m_label4 = nullptr;
    AutoSizeLabel *m_label12 = nullptr;
    QLabel *m_label10 = nullptr; // "The mouse is over": its tooltip names the names file
    QLineEdit *m_text2 = nullptr;
    // Working values of "Edit this one": the last offset it wrote, in hex
    // and byte by byte. Never shown.
    QLabel *m_label8 = nullptr;
    QList<QLabel *> m_label9; // 0..3
    QGroupBox *m_frame1 = nullptr;
    LinePanel *m_panel = nullptr;        // the three lines' boxes and calculator frames
    SelectorGrid *m_selectors = nullptr; // Option2(0..30)

    QList<std::pair<std::pair<int, int>, QWidget *>> m_tabOrder;
};
