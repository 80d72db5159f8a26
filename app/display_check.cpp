#include "display_check.h"

#include <QtGlobal>

QString missingDisplay(const QStringList &arguments)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"})
        if (!qEnvironmentVariableIsEmpty(variable))
            return {};
    // Qt reads -platform and --platform alike, and X11's -display names one.
    for (const QString &argument : arguments.mid(1))
        for (const char *option : {"platform", "display"})
            if (argument == QLatin1Char('-') + QLatin1String(option) ||
                argument == QLatin1String("--") + QLatin1String(option))
                return {};
    return QStringLiteral("There is no display to open the window on: DISPLAY, WAYLAND_DISPLAY "
                          "and QT_QPA_PLATFORM are not set. The modes export, import, diff and "
                          "picture need none.");
#else
    Q_UNUSED(arguments);
    return {};
#endif
}
