#pragma once

#include "control_making.h"

#include <QList>
#include <QObject>
#include <QString>

class QButtonGroup;
class QRadioButton;

// The formation selectors Option2(0) to Option2(30), five to a row in the
// editing frame, of which at most one is on. The buttons are children of
// the frame itself, where they have always stood.
class SelectorGrid : public QObject
{
    Q_OBJECT
public:
    // Makes Option2(0) in `frame`; the others follow with addRest.
    SelectorGrid(QWidget *frame, const TabStop &tabStop);
    // Makes Option2(1) to Option2(30) in the grid Option2(0) begins, above
    // the frame's other controls, all off.
    void addRest(const TabStop &tabStop);

    const QList<QRadioButton *> &buttons() const { return m_buttons; }
    // The formation of selector `object`; -1 when it is none.
    int formationOf(const QObject *object) const;
    // Turns on selector `formation` alone; -1 turns them all off.
    void turnOn(int formation);
    // A formation that differs from the table it is compared with: its
    // number in bold, its tooltip, and what a screen reader says of it.
    void markChanged(int formation, bool changed, const QString &since, const QString &name);

signals:
    // Selector `formation` was turned on in any way: a click, a key, a
    // screen reader's action, or a program.
    void turnedOn(int formation);
    // Selector `formation` was clicked, whether it was on already or not.
    void clicked(int formation);

private:
    QButtonGroup *m_group;
    QList<QRadioButton *> m_buttons;
};
