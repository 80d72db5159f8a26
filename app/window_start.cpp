#include "window_start.h"

#include "biform.h"

#include <QFileInfo>

std::unique_ptr<BiForm> startWindow(const QString &file, Prompter *prompter)
{
    auto window = std::make_unique<BiForm>(prompter);
    // The full path, as the file dialog gives it.
    if (!file.isEmpty())
        window->loadWhenShown(QFileInfo(file).absoluteFilePath());
    window->show();
    return window;
}
