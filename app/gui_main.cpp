// The entry points of the library with the window and the picture command;
// see gui_entry.h.
#include "biform.h"
#include "command_line.h"
#include "console.h"
#include "gui_entry.h"
#include "picture_mode.h"
#include "platform_start.h"
#include "start_system.h"
#include "window_start.h"

#include <QApplication>
#include <QIcon>
#include <type_traits>

extern "C" Q_DECL_EXPORT int kgfWindowMain(int argc, char **argv)
{
#ifdef Q_OS_WIN
    // Text through FreeType, as on Linux: the form's captions are measured to
    // the pixel, and the Windows (GDI) renderer under Wine drops glyphs of
    // small text, such as the "I" of "Inverted V".
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#endif
    ignoreBrokenPipeSignal(); // a picture saved into a pipe must not end the window
    holdQtMessagesWhileStarting();
    QApplication app(argc, argv);
    releaseQtMessages();
    const Invocation invocation = parseWindowInvocation(QCoreApplication::arguments());
    if (!invocation.usageError.isEmpty()) {
        connectStandardStreams();
        return reportUsageError(invocation.usageError);
    }
    // One style everywhere, so the fixed layout measures the same on every system.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kgf-formation-editor.png")));
    const auto window = startWindow(invocation.files.value(0));
    return app.exec();
}
static_assert(std::is_same_v<decltype(&kgfWindowMain), GuiEntry>);

// The picture command makes its own application object.
extern "C" Q_DECL_EXPORT int kgfPictureMain(int argc, char **argv)
{
    ignoreBrokenPipeSignal();
    return runPictureMode(argc, argv);
}
static_assert(std::is_same_v<decltype(&kgfPictureMain), GuiEntry>);
