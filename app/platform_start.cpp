#include "platform_start.h"

#include "console.h"

#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace
{

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler qtHandler = nullptr;
QList<HeldMessage> held;

// Why the platform could not be started: the platform's own warning
// ("could not connect to display :97") says it best, then Qt's about its
// plugins, then the first line of the fatal message.
QString whyNotStarted(const QString &fatal)
{
    QString why;
    for (const HeldMessage &message : held)
        if (message.category.startsWith("qt.qpa") && why.isEmpty())
            why = message.text;
    for (const HeldMessage &message : held)
        if (message.category.startsWith("qt.qpa") && message.category != "qt.qpa.plugin")
            return message.text;
    return why.isEmpty() ? fatal.section(u'\n', 0, 0) : why;
}

void holdOrEnd(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        held.append({type, QByteArray(context.category), text});
        return;
    }
    QString why = whyNotStarted(text).trimmed();
    while (why.endsWith(u'.'))
        why.chop(1);
    connectStandardStreams();
    tell(QStringLiteral("The window could not be opened: %1. The modes export, import, diff and "
                        "picture need no display.")
             .arg(why));
    std::fflush(nullptr);
    // Qt is half made: no destructors of its objects may run now.
    std::_Exit(1);
}

} // namespace

void holdQtMessagesWhileStarting()
{
    qtHandler = qInstallMessageHandler(holdOrEnd);
}

void releaseQtMessages()
{
    qInstallMessageHandler(qtHandler);
    for (const HeldMessage &message : std::as_const(held))
        qt_message_output(message.type,
                          QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
                          message.text);
    held.clear();
}
