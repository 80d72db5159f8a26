#include "biform.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    // Text through FreeType, as on Linux: the form's captions are measured to
    // the pixel, and the Windows (GDI) renderer under Wine drops glyphs of
    // small text, such as the "I" of "Inverted V".
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#endif
    QApplication app(argc, argv);
    // One style everywhere, so the fixed layout measures the same on every system.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kgf-formation-editor.png")));
    BiForm window;
    window.show();
    return app.exec();
}
