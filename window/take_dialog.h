#pragma once

#include "take_formations.h"

#include <QDialog>
#include <QList>

class QListWidget;
class QPushButton;

// Lists the formations of another file beside the window's table, each that
// differs with a check box, checked at first; "Take" takes the checked ones.
// Opened and cancelled, it shows how the two tables differ.
class TakeDialog : public QDialog
{
    Q_OBJECT
public:
    TakeDialog(const QString &fileName, const QList<TakeRow> &rows, QWidget *parent);

    QList<int> checkedFormations() const; // in rising order

private:
    void updateTake();

    QListWidget *m_list = nullptr;
    QPushButton *m_take = nullptr;
};
