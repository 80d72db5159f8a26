#pragma once

// Words for what differs between two versions of a table, as messages and
// questions give them.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The formations (0 to 30) whose bytes differ between `a` and `b`; where
// one is cut short by the end of its file, it differs wherever it lacks bytes.
QList<int> differingFormations(const QByteArray &a, const QByteArray &b);

// "formation 3 (Vic)", "formations 3 (Vic), 7 and 12", with a name where
// there is one (control characters written out), the first five at most:
// "formations 0, 1, 2, 3, 4 and 26 more".
QString formationList(const QList<int> &formations, const QStringList &names);
