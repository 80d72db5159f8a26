#pragma once

// Before a save into a folder: the temporary files that an earlier save
// there left when it was cut off (killed, or the machine stopped), which
// never got their names. One that is recognisably the program's own, by
// its name and its content, is removed:
// - a journal not yet named: it begins as a journal does, or is empty;
// - a new file not yet named: no longer than a table;
// - a copy for a backup not yet named: its bytes are the first bytes of the
//   file being saved.
// Any other file with such a name stays, and is named in the words this
// gives for the save's message; one a save running now holds is left
// alone. Nothing else in the folder is ever touched.

#include <QString>

// `target`: the file about to be saved. Empty when nothing is left for the
// message; else a sentence that names each file left and why.
QString clearLeftovers(const QString &target);
