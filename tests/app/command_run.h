#pragma once

// The built program run as a user runs it from a shell: in a folder of its
// own, with no display in its environment.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class QProcess;

struct CommandRun {
    int status = -1; // -1: it did not end by itself within a minute
    QByteArray out;
    QByteArray err; // lines ended with LF, as a Windows console program's CR LF are
};

// Runs `program`, a path relative to the test's own folder, with
// `arguments` in `folder`, feeding it `input` and then the end of its
// standard input. `setUp` may change the process before it starts (such as
// its channels); `whileRunning` runs once it has started.
CommandRun runCommand(const QString &program, const QString &folder, const QStringList &arguments,
                      const QByteArray &input = {},
                      const std::function<void(QProcess &)> &setUp = {},
                      const std::function<void()> &whileRunning = {});
