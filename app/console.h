#pragma once

// Makes standard input, output and error usable for the text modes: on
// Windows the program is built for the window subsystem, so started from a
// console it has no standard streams until it attaches to that console
// (streams that are already redirected, to a file, a pipe or another
// program, are kept). Text goes through in binary, as written, on every
// system. Nothing to do on POSIX systems.
void connectStandardStreams();
