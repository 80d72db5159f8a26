#pragma once

#include <QString>
#include <memory>

class BiForm;
class Prompter;

// Starts the window as the program does: shown, and with a FILE from the
// command line loaded as Load would load it, once the window is up, so a
// long search shows its progress and a failure its message in the window.
// The prompter is the window's (null: message boxes).
std::unique_ptr<BiForm> startWindow(const QString &file, Prompter *prompter = nullptr);
