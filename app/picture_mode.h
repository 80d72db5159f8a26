#pragma once

#include <QStringList>

// The picture command: draws one formation of a table as PNG or SVG, with
// no display needed. It runs in the window's library, for QtGui; the
// program tells it from its words (partFor in command_line.h), and its
// options are those of its row in the table of modes (mode_table.h).
//   kgf-formation-editor picture [--start N] [--formation N] [-o OUT] FILE

// Runs the command: makes its own QGuiApplication on the offscreen platform,
// and gives the exit status: 0 done, 1 failed (one line on standard error
// says why), 2 the command line is wrong.
int runPictureMode(int &argc, char **argv);
