#pragma once

#include <QString>
#include <QStringList>

// Whether the window has a display to open on, told before Qt is asked:
// Qt would end the program with an abort where it finds none. On Linux
// and the other X11 and Wayland systems the window counts as having one
// when QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY or WAYLAND_SOCKET is set
// and not empty, or the command line names a platform (-platform NAME);
// Windows and macOS always have one. Empty when there is a display, else
// the one line that says there is none.
QString missingDisplay(const QStringList &arguments);
