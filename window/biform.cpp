#include "biform.h"

#include "controls.h"
#include "formation_names.h"
#include "line_panel.h"
#include "message_text.h"
#include "selector_grid.h"
#include "twips.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

BiForm::BiForm(Prompter *prompter, QWidget *parent)
    : QWidget(parent), m_ownPrompter(prompter ? nullptr : std::make_unique<MessageBoxPrompter>()),
      m_prompter(prompter ? *prompter : *m_ownPrompter, m_busy), m_document(this), m_dialog(this)
{
    createControls();
    connect(m_command1, &QPushButton::clicked, this, alone(&BiForm::load));
    connect(m_command2, &QPushButton::clicked, this, alone(&BiForm::editThisOne));
    connect(m_command3, &QPushButton::clicked, this, alone(&BiForm::save));
    startUp();
    applyTabOrder();
    setUpKeyboard();
    m_panel->keepInStep();
    setUpHistory();
    m_command1->setFocus();
}

BiForm::~BiForm()
{
    // The document's last signals must not reach the controls.
    m_document.disconnect(this);
}

void BiForm::startUp()
{
    m_workingFolder = QDir::currentPath();
    m_dialog.setInitDir(m_workingFolder);
    m_readyFlag = false;
    m_text2->setText(QString::number(m_document.startLocation()));
    for (QLineEdit *box : m_panel->boxes())
        box->setText(QString());
    createSelectorButtons();
    takeNamesFor(QString());
    m_startupProblem = m_namesProblem;
    m_readyFlag = true;
}

void BiForm::createSelectorButtons()
{
    m_selectors->addRest(tabStop());
    // A selector turned on in any way (a click, a key, a screen reader's
    // action, setChecked) chooses its formation; the window turns on only
    // the selector of the formation it already shows, which asks nothing.
    // While the window is busy the chosen one is turned on again.
    connect(m_selectors, &SelectorGrid::turnedOn, this, [this](int n) {
        if (n == m_shownFormation)
            return;
        if (isBusy())
            m_selectors->turnOn(m_shownFormation);
        else
            selectFormation(n);
    });
    // A click on the chosen selector shows its formation anew.
    connect(m_selectors, &SelectorGrid::clicked, this, [this](int n) {
        if (n == m_shownFormation && !isBusy())
            selectFormation(n);
    });
    for (QRadioButton *button : m_selectors->buttons()) {
        button->setMouseTracking(true);
        button->installEventFilter(this);
    }
    m_frame1->setMouseTracking(true);
    m_frame1->installEventFilter(this);
}

void BiForm::takeNamesFor(const QString &tableFile)
{
    const QString path = namesFileFor(tableFile, m_workingFolder);
    const FormationNames names = readFormationNames(path);
    if (path != m_namesPath)
        m_namesProblemTold = false;
    m_namesPath = path;
    m_formationNames = names.names;
    m_namesProblem = names.problem;
    if (m_undoAction) // from start-up on, where the selectors' descriptions carry the names
        updateChangedMarks();
    const QString shown = shownPath(path);
    switch (names.status) {
    case FormationNames::Status::Missing:
        m_label10->setToolTip(QStringLiteral("No formation names: %1 was not found").arg(shown));
        break;
    case FormationNames::Status::Unreadable:
        m_label10->setToolTip(
            QStringLiteral("No formation names: %1 could not be read").arg(shown));
        break;
    case FormationNames::Status::Complete:
    case FormationNames::Status::Short:
        m_label10->setToolTip(QStringLiteral("Formation names from %1").arg(shown));
        break;
    }
    if (m_shownOnce)
        tellNamesProblem();
}

void BiForm::tellNamesProblem()
{
    // Once for each names file taken in turn, and only once the window is up.
    if (m_namesProblemTold || m_namesProblem.isEmpty())
        return;
    m_namesProblemTold = true;
    prompter().tell(this, m_namesProblem);
}

void BiForm::runAlone(const std::function<void()> &handler)
{
    if (isBusy())
        return;
    const BusyGuard busy(m_busy);
    handler();
}

void BiForm::showUnsavedMark(bool clean)
{
    // The caption carries the mark's place only while the mark shows, so
    // that it is the form's own caption whenever the table is clean.
    QString caption = windowTitle();
    caption.remove(QStringLiteral("[*]"));
    if (clean) {
        setWindowModified(false);
        setWindowTitle(caption);
    } else {
        setWindowTitle(caption + QStringLiteral("[*]"));
        setWindowModified(true);
    }
}

void BiForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Load the file the window was started with, and tell about a names
    // problem, once the window is up, without holding it back. The names
    // beside a file loaded now take the place of the working folder's.
    QTimer::singleShot(0, this, [this] {
        if (!m_startFile.isEmpty())
            loadFile(std::exchange(m_startFile, QString()));
        tellNamesProblem();
    });
}
