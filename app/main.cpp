// The program: runs the text modes itself, with QtCore alone, and loads the
// library with the window only to start the window or draw. The console
// program of the Windows build (KGF_CONSOLE_PROGRAM) starts the window
// program for the window, so that a console is not held while it is open.
#include "command_line.h"
#include "console.h"
#include "display_check.h"
#include "gui_entry.h"
#include "start_system.h"
#include "text_modes.h"

#include <QCoreApplication>

namespace
{

// As the text modes say a failure: one line, with control characters
// written out.
int failToStart(const QString &message)
{
    connectStandardStreams();
    return fail(message);
}

int runGui(const char *entryName, int argc, char **argv)
{
    QString error;
    const GuiEntry entry = loadGuiEntry(entryName, &error);
    if (entry == nullptr)
        return failToStart(
            QStringLiteral("The window's library could not be loaded: %1").arg(error));
    return entry(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    ignoreBrokenPipeSignal();
    const QStringList words = programArguments(argc, argv);
    switch (partFor(words)) {
    case Part::Text: {
        // No window, so no display is needed.
        connectStandardStreams();
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(KGF_VERSION));
        return runTextMode(parseModeInvocation(Part::Text, QCoreApplication::arguments()));
    }
    case Part::Picture:
        return runGui(PictureEntry, argc, argv);
    case Part::Window:
        break;
    }
    // A wrong command line says so, whether or not there is a display.
    if (const Invocation window = parseWindowInvocation(words); !window.usageError.isEmpty()) {
        connectStandardStreams();
        return reportUsageError(window.usageError);
    }
#ifdef KGF_CONSOLE_PROGRAM
    QString error;
    return startWindowProgram(&error) ? 0 : failToStart(error);
#else
    if (const QString missing = missingDisplay(words); !missing.isEmpty())
        return failToStart(missing);
    return runGui(WindowEntry, argc, argv);
#endif
}
