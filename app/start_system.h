#pragma once

#include "gui_entry.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The system calls of the program's start.

// The command line, the program first, before any application object
// exists: on Windows from the system's wide command line (as Qt reads it),
// so that every file name arrives whole.
QStringList programArguments(int argc, char **argv);

// A write to a pipe or FIFO whose reader has gone then fails with an error
// that the program reports, where POSIX systems would end the program with
// the signal SIGPIPE, unseen and with the window's unsaved edits lost. For
// the whole process, so also for the window's library. Windows sends no
// such signal: nothing to do there.
void ignoreBrokenPipeSignal();

// The entry point `name` of the library with the window, loaded on first
// use from its place relative to the program's own folder: beside it on
// Windows, ../lib/kgf-formation-editor/ on Linux (in the build as once
// installed). Null, with `error` set, when it cannot be loaded.
GuiEntry loadGuiEntry(const char *name, QString *error);

#ifdef Q_OS_WIN
// The console program kgf-formation-editor.com: starts the window program
// kgf-formation-editor.exe beside it with the same command line and its own
// standard handles, and does not wait for it. False, with `error` set, when
// it could not be started.
bool startWindowProgram(QString *error);
#endif
