#pragma once

#include "formation_scaling.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Scale and move formation N": a factor and a shift in feet for X, Y and
// Z, and the lines they apply to. It only reads the boxes; the window
// draws what they ask and writes it on "Apply".
class ScaleDialog : public QDialog
{
    Q_OBJECT
public:
    ScaleDialog(int formation, const QString &name, QWidget *parent);

    // What the boxes ask; nothing while one holds no number the move takes.
    std::optional<ScaleMove> move() const;

signals:
    // A box or a line's check changed.
    void moveChanged();

private:
    std::optional<ScaleMove> read(QString *problem) const;
    void update();

    QLineEdit *m_factors[3] = {};
    QLineEdit *m_shifts[3] = {};
    QCheckBox *m_lines[3] = {};
    QLabel *m_problem = nullptr;
    QPushButton *m_apply = nullptr;
};
