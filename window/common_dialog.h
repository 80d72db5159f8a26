#pragma once

#include <QString>
#include <functional>

class QWidget;

// The window's one file dialog. Its initial directory, filter and file name
// keep their values between uses. The filter is written as description and
// pattern pairs separated by "|". After a dialog an empty FileName means the
// user cancelled.
class CommonDialog
{
public:
    enum class Mode { Open, Save };
    struct Request {
        Mode mode;
        QString directory; // where the dialog opens
        QString filter;    // in the dialog toolkit's own form
    };
    // Asks the user for a path; returns "" on cancel. Tests replace it.
    using Asker = std::function<QString(const Request &)>;

    explicit CommonDialog(QWidget *parent = nullptr);

    QString InitDir() const { return m_initDir; }
    void setInitDir(const QString &dir) { m_initDir = dir; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }

    // The folder the next dialog opens in, as if the user had last picked
    // a file there: the folder of the file the window last loaded or saved.
    void setFolder(const QString &dir) { m_lastDir = dir; }
    QString folder() const { return m_lastDir; }

    void ShowOpen() { show(Mode::Open); }
    void ShowSave() { show(Mode::Save); }

    void setAsker(Asker asker) { m_asker = std::move(asker); }

    // "Name|*.pat|Other|x.y" -> "Name (*.pat);;Other (x.y)"
    static QString toQtFilter(const QString &filter);

private:
    void show(Mode mode);

    QWidget *m_parent;
    QString m_initDir;
    QString m_filter;
    QString m_fileName;
    QString m_lastDir; // where the user last picked a file, or the window's file is
    Asker m_asker;
};
