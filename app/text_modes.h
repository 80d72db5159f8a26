#pragma once

#include "command_line.h"

// Runs export, import or diff, --help or --version, printing to standard
// output and error; gives the exit status. Needs a QCoreApplication.
int runTextMode(const Invocation &invocation);

// Prints a usage error and the usage; gives the exit status 2.
int reportUsageError(const QString &error);

// One line on standard error, after the program's name, with no control
// character of a name or an argument left to act on the terminal.
void tell(const QString &message);
