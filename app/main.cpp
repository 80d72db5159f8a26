#include "biform.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // One style everywhere, so the fixed layout measures the same on every system.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kgf-formation-editor.png")));
    BiForm window;
    window.show();
    return app.exec();
}
