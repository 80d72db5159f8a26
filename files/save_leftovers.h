#pragma once

// After a save into a folder: the temporary files that an earlier save
// there left when it was cut off (killed, or the machine stopped), which
// never got their names. One that is recognisably the program's own, by
// its name and its content, is removed:
// - a journal not yet named: it begins with a journal's first line, or is
//   empty (the file was not written yet);
// - a new file not yet named: shorter than a table (a whole one may be the
//   only copy of that save's table: it stays, and is named);
// - a copy for a backup not yet named: its bytes are the first bytes of the
//   file being saved.
// Any other file with such a name stays, and is named in the words this
// gives for the save's message; one a save running now holds is left
// alone. Nothing else in the folder is ever touched.

#include "native_file.h"

#include <QString>
#include <QStringList>
#include <vector>

// What an earlier save left beside `target`, judged before a save changes
// `target` (a copy for a backup is known by the target's bytes).
struct Leftovers {
    struct Own {
        QString path;
        FileIdentity identity; // as judged: one that took the name since is left
        qint64 size = 0;
    };
    std::vector<Own> ours; // to be removed
    QStringList others;    // to be named: each with why it stays
};
Leftovers findLeftovers(const QString &target);

// After a save that did its work: removes the files of `found` that are
// ours and still as judged. Empty when nothing is left for the message;
// else a sentence that names each file left and why.
QString removeLeftovers(const Leftovers &found);

// Both at once, for a folder whose target is not about to change.
QString clearLeftovers(const QString &target);
