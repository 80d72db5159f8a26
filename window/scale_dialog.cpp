#include "scale_dialog.h"

#include "message_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ScaleDialog::ScaleDialog(int formation, const QString &name, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ScaleDialog"));
    setWindowTitle(name.isEmpty() ? QStringLiteral("Scale and move formation %1").arg(formation)
                                  : QStringLiteral("Scale and move formation %1: %2")
                                        .arg(formation)
                                        .arg(escapeControls(name)));
    setModal(true);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Factor"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Shift (feet)"), this), 0, 2);
    for (int axis = 0; axis < 3; ++axis) {
        const QString axisName(QLatin1Char("XYZ"[axis]));
        auto *label = new QLabel(axisName, this);
        grid->addWidget(label, axis + 1, 0);
        const struct {
            QLineEdit **box;
            const char *what;  // its accessible name after the axis: "X factor"
            const char *named; // its object name after the axis: "XFactor"
            const char *start;
            int column;
        } boxes[] = {{&m_factors[axis], "factor", "Factor", "1", 1},
                     {&m_shifts[axis], "shift", "Shift", "0", 2}};
        for (const auto &made : boxes) {
            auto *box = new QLineEdit(QLatin1String(made.start), this);
            box->setObjectName(axisName + QLatin1String(made.named));
            box->setAccessibleName(QStringLiteral("%1 %2").arg(axisName, QLatin1String(made.what)));
            connect(box, &QLineEdit::textChanged, this, &ScaleDialog::update);
            grid->addWidget(box, axis + 1, made.column);
            *made.box = box;
        }
        label->setBuddy(m_factors[axis]);
    }

    auto *lines = new QHBoxLayout;
    lines->addWidget(new QLabel(QStringLiteral("Apply to:"), this));
    for (int line = 0; line < 3; ++line) {
        m_lines[line] = new QCheckBox(QStringLiteral("Line %1").arg(line + 1), this);
        m_lines[line]->setObjectName(QStringLiteral("ScaleLine%1").arg(line + 1));
        m_lines[line]->setChecked(true);
        connect(m_lines[line], &QCheckBox::toggled, this, &ScaleDialog::update);
        lines->addWidget(m_lines[line]);
    }
    lines->addStretch();

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("ScaleProblem"));
    m_problem->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    m_apply = buttons->addButton(QStringLiteral("Apply"), QDialogButtonBox::AcceptRole);
    m_apply->setObjectName(QStringLiteral("Apply"));
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Each offset becomes offset x factor + shift, to "
                                                "the nearest 1/21 foot."),
                                 this));
    layout->addLayout(grid);
    layout->addLayout(lines);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    m_factors[0]->setFocus();
    m_factors[0]->selectAll();
    update();
}

std::optional<ScaleMove> ScaleDialog::move() const
{
    QString problem;
    return read(&problem);
}

std::optional<ScaleMove> ScaleDialog::read(QString *problem) const
{
    return readScaleMove(
        {m_factors[0]->text(), m_factors[1]->text(), m_factors[2]->text()},
        {m_shifts[0]->text(), m_shifts[1]->text(), m_shifts[2]->text()},
        {m_lines[0]->isChecked(), m_lines[1]->isChecked(), m_lines[2]->isChecked()}, problem);
}

void ScaleDialog::update()
{
    QString problem;
    const bool readable = read(&problem).has_value();
    m_problem->setText(problem);
    m_problem->setVisible(!readable);
    m_apply->setEnabled(readable);
    emit moveChanged();
}
