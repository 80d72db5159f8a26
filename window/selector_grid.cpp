#include "selector_grid.h"

#include "controls.h"
#include "formation_table.h"
#include "twips.h"

#include <QButtonGroup>
#include <QRadioButton>

SelectorGrid::SelectorGrid(QWidget *frame, const TabStop &tabStop)
    : QObject(frame), m_group(new QButtonGroup(this))
{
    auto *first = makeControl<QRadioButton>(
        frame, indexed("Option2", 0), twipsRect(SelectorLeftTwips, SelectorTopTwips, 555, 345));
    first->setText(QStringLiteral("0"));
    first->setAccessibleName(QStringLiteral("0"));
    // A button fills its background with the Button colour.
    first->setAutoFillBackground(true);
    QPalette white = first->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    first->setPalette(white);
    m_buttons.append(first);
    // Qt's automatic exclusivity would reach into the calculator frames
    // nested in the same frame, so the selectors are a button group.
    m_group->addButton(first);
    tabStop(22, 0, first);
}

void SelectorGrid::addRest(const TabStop &tabStop)
{
    // Positions are worked out in twips and converted once, so that the
    // grid does not drift by a rounded pixel per step.
    QRadioButton *first = m_buttons[0];
    const QPoint origin(SelectorLeftTwips, SelectorTopTwips);
    for (int n = 1; n <= FormationTable::FormationCount - 1; ++n) {
        auto *button = new QRadioButton(first->parentWidget());
        button->setObjectName(indexed("Option2", n));
        button->resize(first->size());
        button->setFont(first->font());
        button->setPalette(first->palette());
        button->setAutoFillBackground(first->autoFillBackground());
        m_buttons.append(button);
        m_group->addButton(button);
        button->setChecked(true);
        button->move(twipsToPixels(origin.x() + (n % 5) * 1000),
                     twipsToPixels(origin.y() + (n / 5) * 400));
        button->raise();
        button->show();
        button->setText(QStringLiteral(" %1").arg(n));
        button->setAccessibleName(QString::number(n));
        checkOnly({button}, -1);
        tabStop(22, n, button);
    }
    connect(m_group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *button, bool on) {
        if (on)
            emit turnedOn(formationOf(button));
    });
    for (int n = 0; n < m_buttons.size(); ++n)
        connect(m_buttons[n], &QRadioButton::clicked, this, [this, n] { emit clicked(n); });
}

int SelectorGrid::formationOf(const QObject *object) const
{
    for (int n = 0; n < m_buttons.size(); ++n)
        if (m_buttons[n] == object)
            return n;
    return -1;
}

void SelectorGrid::turnOn(int formation)
{
    checkOnly(m_buttons, formation);
}

void SelectorGrid::markChanged(int formation, bool changed, const QString &since,
                               const QString &name)
{
    QRadioButton *button = m_buttons[formation];
    // Seen at a glance: the number in bold, in the selector's own place.
    QFont font = button->font();
    font.setBold(changed);
    button->setFont(font);
    button->setToolTip(changed ? QStringLiteral("Changed since %1").arg(since) : QString());
    button->setAccessibleDescription(
        changed ? QStringLiteral("%1, changed since %2").arg(name, since) : name);
}
