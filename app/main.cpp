#include "biform.h"
#include "command_line.h"
#include "console.h"
#include "picture_mode.h"
#include "text_modes.h"
#include "window_start.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QStringList words;
    for (int i = 0; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (wantsPictureMode(words))
        return runPictureMode(argc, argv);
    if (wantsTextMode(words)) {
        // No window, so no display is needed.
        connectStandardStreams();
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(KGF_VERSION));
        return runTextMode(parseTextInvocation(QCoreApplication::arguments()));
    }

#ifdef Q_OS_WIN
    // Text through FreeType, as on Linux: the form's captions are measured to
    // the pixel, and the Windows (GDI) renderer under Wine drops glyphs of
    // small text, such as the "I" of "Inverted V".
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#endif
    QApplication app(argc, argv);
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
