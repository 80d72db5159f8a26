#include "biform.h"

#include "controls.h"
#include "formation_names.h"
#include "twips.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUndoStack>

BiForm::BiForm(Prompter *prompter, QWidget *parent)
    : QWidget(parent), m_prompter(prompter), m_dialog(this)
{
    if (!m_prompter) {
        m_ownPrompter = std::make_unique<MessageBoxPrompter>();
        m_prompter = m_ownPrompter.get();
    }
    createControls();
    connect(m_command1, &QPushButton::clicked, this, &BiForm::load);
    connect(m_command2, &QPushButton::clicked, this, [this] { editThisOne(); });
    connect(m_command3, &QPushButton::clicked, this, &BiForm::save);
    startUp();
    applyTabOrder();
    setUpKeyboard();
    setUpTypeBoxes();
    setUpHistory();
    m_command1->setFocus();
}

BiForm::~BiForm()
{
    // The history outlives the controls (it is a child object, deleted
    // after them); its last signals must not reach them.
    m_history->disconnect(this);
}

void BiForm::startUp()
{
    m_dialog.setInitDir(QDir::currentPath());
    m_readyFlag = false;
    m_table.prepare();
    m_startLocation = 0;
    m_text2->setText(QString::number(m_startLocation));
    for (QLineEdit *box : std::as_const(m_text3))
        box->setText(QString());
    createSelectorButtons();
    readNames();
    m_readyFlag = true;
}

void BiForm::createSelectorButtons()
{
    // Positions are worked out in twips and converted once, so that the
    // grid does not drift by a rounded pixel per step.
    QRadioButton *first = m_option2[0];
    const QPoint origin(SelectorLeftTwips, SelectorTopTwips);
    for (int n = 1; n <= FormationTable::FormationCount - 1; ++n) {
        auto *button = new QRadioButton(first->parentWidget());
        button->setObjectName(QStringLiteral("Option2(%1)").arg(n));
        button->resize(first->size());
        button->setFont(first->font());
        button->setPalette(first->palette());
        button->setAutoFillBackground(first->autoFillBackground());
        m_option2.append(button);
        m_selectorGroup->addButton(button);
        // Choosing it raises the selection event, which does nothing until
        // start-up is done.
        button->setChecked(true);
        selectFormation(n);
        button->move(twipsToPixels(origin.x() + (n % 5) * 1000),
                     twipsToPixels(origin.y() + (n / 5) * 400));
        button->raise();
        button->show();
        button->setText(QStringLiteral(" %1").arg(n));
        button->setAccessibleName(QString::number(n));
        checkOnly({button}, -1);
        addToTabOrder(22, n, button);
    }
    // A selector turned on in any way (a click, a key, a screen reader's
    // action, setChecked) chooses its formation; the window turns on only
    // the selector of the formation it already shows, which asks nothing.
    connect(m_selectorGroup, &QButtonGroup::buttonToggled, this,
            [this](QAbstractButton *button, bool on) {
                const int n = int(m_option2.indexOf(static_cast<QRadioButton *>(button)));
                if (on && n != m_shownFormation)
                    selectFormation(n);
            });
    for (int n = 0; n < m_option2.size(); ++n) {
        // A click on the chosen selector shows its formation anew.
        connect(m_option2[n], &QRadioButton::clicked, this, [this, n] {
            if (n == m_shownFormation)
                selectFormation(n);
        });
        m_option2[n]->setMouseTracking(true);
        m_option2[n]->installEventFilter(this);
    }
    m_frame1->setMouseTracking(true);
    m_frame1->installEventFilter(this);
}

void BiForm::readNames()
{
    const FormationNames names =
        readFormationNames(QDir::current().filePath(QStringLiteral("readorder.txt")));
    m_formationNames = names.names;
    m_startupProblem = names.problem;
    for (int n = 0; n < m_option2.size(); ++n)
        m_option2[n]->setAccessibleDescription(m_formationNames[n]);
}

void BiForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Tell about a names problem once the window is up, without holding it back.
    if (!m_startupProblem.isEmpty())
        QTimer::singleShot(0, this, [this] { prompter().tell(this, m_startupProblem); });
}
