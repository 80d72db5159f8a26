#include "take_dialog.h"

#include "message_text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

TakeDialog::TakeDialog(const QString &fileName, const QList<TakeRow> &rows, QWidget *parent)
    : QDialog(parent)
{
    const QString shownName = escapeControls(fileName);
    setObjectName(QStringLiteral("TakeFormationsDialog"));
    setWindowTitle(QStringLiteral("Take formations from %1").arg(shownName));
    setModal(true);

    const int differing = int(
        std::count_if(rows.begin(), rows.end(), [](const TakeRow &row) { return row.differs; }));
    auto *summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("TakeSummary"));
    summary->setWordWrap(true);
    summary->setText(
        differing == 0
            ? QStringLiteral("The tables are the same: no formation of %1 differs from the "
                             "window's table.")
                  .arg(shownName)
            : QStringLiteral("%1 %2 of %3 %4 from the window's table. The checked ones are "
                             "taken into it as one step, which Undo takes back.")
                  .arg(differing)
                  .arg(differing == 1 ? QStringLiteral("formation") : QStringLiteral("formations"),
                       shownName,
                       differing == 1 ? QStringLiteral("differs") : QStringLiteral("differ")));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("TakeList"));
    m_list->setAccessibleName(QStringLiteral("Formations of %1").arg(shownName));
    summary->setBuddy(m_list);
    for (const TakeRow &row : rows) {
        auto *item = new QListWidgetItem(row.text, m_list);
        item->setData(Qt::UserRole, row.formation);
        // Every row is reached by the keys and read out; only those that
        // differ can be taken.
        if (row.differs) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        } else {
            item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        }
    }
    const auto first =
        std::find_if(rows.begin(), rows.end(), [](const TakeRow &row) { return row.differs; });
    m_list->setCurrentRow(first == rows.end() ? 0 : int(first - rows.begin()));

    auto *buttons = new QDialogButtonBox(this);
    m_take = buttons->addButton(QStringLiteral("Take"), QDialogButtonBox::AcceptRole);
    m_take->setObjectName(QStringLiteral("Take"));
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemChanged, this, &TakeDialog::updateTake);
    updateTake();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    // Wide enough for the rows, short of very long names.
    m_list->setMinimumWidth(
        std::min(m_list->sizeHintForColumn(0) + 2 * m_list->frameWidth() + 24, 900));
    m_list->setMinimumHeight(16 * m_list->sizeHintForRow(0) + 2 * m_list->frameWidth());
    m_list->setFocus();
}

QList<int> TakeDialog::checkedFormations() const
{
    QList<int> checked;
    for (int n = 0; n < m_list->count(); ++n) {
        const QListWidgetItem *item = m_list->item(n);
        if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked)
            checked << item->data(Qt::UserRole).toInt();
    }
    std::sort(checked.begin(), checked.end());
    return checked;
}

void TakeDialog::updateTake()
{
    // Nothing checked would take nothing: Enter then cancels.
    const bool any = !checkedFormations().isEmpty();
    m_take->setEnabled(any);
    m_take->setDefault(any);
}
