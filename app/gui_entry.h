#pragma once

// What needs QtGui and QtWidgets (the window, and drawing) lives in a
// library of its own, which the program loads only when it gets there, so
// that the text modes start as fast as any QtCore program. These are the
// names of its entry points; each takes main's arguments and gives the exit
// status.

using GuiEntry = int (*)(int argc, char **argv);

inline constexpr char WindowEntry[] = "kgfWindowMain";
inline constexpr char PictureEntry[] = "kgfPictureMain";
