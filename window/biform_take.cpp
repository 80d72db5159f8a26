// "Take formations from another file": another table beside this one,
// formation by formation, and the chosen ones taken in as one step.
#include "biform.h"

#include "table_loader.h"
#include "table_text.h"
#include "take_dialog.h"
#include "take_formations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

namespace
{
const QString TakeFilter = QStringLiteral("Formation data files|*rmation.dat|KGF exe|kgf.exe|"
                                          "Table texts|*.json *.csv|All files|*");
} // namespace

void BiForm::takeFromFile()
{
    if (isBusy() || !m_readyFlag)
        return;
    // Busy throughout: the dialogs and the load leave the table as it is.
    const BusyGuard busy(m_busy);
    if (!settlePanel())
        return;

    // Load's and Save's dialog keeps its filter and folder: it still opens
    // where the window's table is.
    const CommonDialog kept = m_dialog;
    m_dialog.setFilter(TakeFilter);
    m_dialog.setFileName(QString());
    if (!m_takeFolder.isEmpty())
        m_dialog.setFolder(m_takeFolder);
    m_dialog.ShowOpen();
    const QString path = m_dialog.FileName();
    m_dialog = kept;
    if (path.isEmpty())
        return;
    m_takeFolder = QFileInfo(path).absolutePath();

    // The window repaints while a big program is searched; clicks and keys
    // wait, and the load touches none of the window's table.
    static constexpr TableTextReading text{beginsAsTableText, wholeTableFromText,
                                           MaxTableTextBytes};
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const LoadResult loaded =
        loadTableOrText(path, QStringLiteral("0"), StartGiven::No, text, [](qint64) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    QGuiApplication::restoreOverrideCursor();
    if (!loaded.ok) {
        prompter().tell(this, loaded.error + QStringLiteral(" Nothing was taken."));
        return;
    }

    const QByteArray current = m_document.table().toBytes();
    const QString fileName = QFileInfo(path).fileName();
    TakeDialog dialog(fileName, takeRows(current, loaded.table, m_formationNames), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<int> taken = dialog.checkedFormations();
    if (taken.isEmpty())
        return;
    m_document.changeFormations(tableTaking(current, loaded.table, taken),
                                takeStepName(int(taken.size()), fileName));
}
