#include "command_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

CommandRun runCommand(const QString &program, const QString &folder, const QStringList &arguments,
                      const QByteArray &input, const std::function<void(QProcess &)> &setUp,
                      const std::function<void()> &whileRunning)
{
    QProcess process;
    if (setUp)
        setUp(process);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QDir(QCoreApplication::applicationDirPath()).filePath(program), arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (whileRunning)
        whileRunning();
    CommandRun result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = process.exitCode();
    if (process.isReadable()) { // not where both streams go to files
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        // Lines of text, which a Windows console program ends with CR LF.
        result.err.replace("\r\n", "\n");
    }
    return result;
}
