#include "window_start.h"

#include "biform.h"

#include <QFileInfo>
#include <QTimer>

std::unique_ptr<BiForm> startWindow(const QString &file, Prompter *prompter)
{
    auto window = std::make_unique<BiForm>(prompter);
    window->show();
    if (!file.isEmpty()) {
        // The full path, as the file dialog gives it.
        const QString path = QFileInfo(file).absoluteFilePath();
        BiForm *shown = window.get();
        QTimer::singleShot(0, shown, [shown, path] { shown->loadFile(path); });
    }
    return window;
}
