#include "common_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

CommonDialog::CommonDialog(QWidget *parent) : m_parent(parent)
{
    m_asker = [this](const Request &request) {
        if (request.mode == Mode::Open)
            return QFileDialog::getOpenFileName(m_parent, QString(), request.directory,
                                                request.filter);
        return QFileDialog::getSaveFileName(m_parent, QString(), request.directory, request.filter);
    };
}

QString CommonDialog::toQtFilter(const QString &filter)
{
    const QStringList items = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2)
        entries.append(QStringLiteral("%1 (%2)").arg(items[i], items[i + 1]));
    return entries.join(QStringLiteral(";;"));
}

void CommonDialog::show(Mode mode)
{
    // Like the system's own dialog, open where the user last picked a file,
    // and in the initial directory before that.
    const QString directory = m_lastDir.isEmpty() ? m_initDir : m_lastDir;
    const QString chosen = m_asker(Request{mode, directory, toQtFilter(m_filter)});
    if (chosen.isEmpty())
        return; // cancel leaves FileName as the caller set it
    m_fileName = chosen;
    m_lastDir = QFileInfo(chosen).absolutePath();
}
