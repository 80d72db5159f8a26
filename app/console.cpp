#include "console.h"

#include "help_text.h"
#include "message_text.h"
#include "native_file.h"
#include "output_file.h"

#include <QtGlobal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace
{

bool hasStream(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void connectStandardStreams()
{
    const bool output = hasStream(STD_OUTPUT_HANDLE);
    const bool error = hasStream(STD_ERROR_HANDLE);
    if ((!output || !error) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (!output)
            std::freopen("CONOUT$", "w", stdout);
        if (!error)
            std::freopen("CONOUT$", "w", stderr);
    }
    // A stream with no handle behind it has no descriptor to set.
    for (FILE *stream : {stdin, stdout})
        if (_fileno(stream) >= 0)
            _setmode(_fileno(stream), _O_BINARY);
}

#else

void connectStandardStreams() {}

#endif

void tell(const QString &message)
{
    QString line = message;
    line.replace(u'\n', u' ');
    std::fprintf(stderr, "kgf-formation-editor: %s\n",
                 escapeControls(line).toLocal8Bit().constData());
    std::fflush(stderr);
}

int fail(const QString &message)
{
    tell(message);
    return FailedStatus;
}

int fail(const QString &message, const QString &path)
{
    return fail(message.arg(shownPath(path)));
}

int reportUsageError(const QString &error)
{
    tell(error);
    std::fprintf(stderr, "%sTry kgf-formation-editor --help for more.\n",
                 usageText().toLocal8Bit().constData());
    return UsageStatus;
}

StreamWrite writeToStandardOutput(const QByteArray &bytes)
{
    QString reason;
    const StreamWrite result = writeToStream(stdout, bytes, &reason);
    // A reader that chose to stop (| head) is told nothing.
    if (result == StreamWrite::Failed)
        tell(QStringLiteral("Could not write to standard output: %1.").arg(reason));
    return result;
}

bool writeStandardOutput(const QByteArray &bytes)
{
    return writeToStandardOutput(bytes) == StreamWrite::Written;
}

bool writeOutput(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty() || path == QLatin1String("-"))
        return writeStandardOutput(bytes);
    const QString reason = writeOutputFile(path, bytes, OutputKinds::StreamsToo);
    if (reason.isEmpty())
        return true;
    tell(QStringLiteral("Could not write %1: %2.").arg(shownPath(path), reason));
    return false;
}

const char *streamOnTarget(const QString &target)
{
    const FileIdentity file = regularFileIdentity(target);
    if (!file.valid)
        return nullptr;
    if (streamIdentity(stdout) == file)
        return "standard output";
    if (streamIdentity(stderr) == file)
        return "standard error";
    return nullptr;
}

void tellAvoiding(const QString &target, const QString &message)
{
    const FileIdentity file = regularFileIdentity(target);
    if (streamIdentity(stderr) != file) {
        tell(message);
        return;
    }
    if (streamIdentity(stdout) != file) {
        QString ignored;
        writeToStream(
            stdout,
            QStringLiteral("kgf-formation-editor: %1\n").arg(escapeControls(message)).toUtf8(),
            &ignored);
    }
}
