#pragma once

#include <QStringList>

// The picture command: draws one formation of a table as PNG or SVG, with
// no display needed.
//   kgf-formation-editor picture [--start N] [--formation N] [-o OUT] FILE

// Whether the words (the program first) ask for it: "picture" is the first
// word that is no option or option value. Looks at the words only, so it
// runs before any application object exists.
bool wantsPictureMode(const QStringList &arguments);

// Runs the command: makes its own QGuiApplication on the offscreen platform,
// and gives the exit status: 0 done, 1 failed (one line on standard error
// says why), 2 the command line is wrong.
int runPictureMode(int &argc, char **argv);
