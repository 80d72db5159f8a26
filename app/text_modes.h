#pragma once

#include "command_line.h"

// Runs a command line of the text part: a usage error, --help, --version,
// or the mode its row names (export, import, diff, recover), printing to
// standard output and error; gives the exit status. Needs a
// QCoreApplication.
int runTextMode(const Invocation &invocation);
