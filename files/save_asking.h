#pragma once

#include "file_snapshot.h"
#include "table_saver.h"

#include <QByteArray>
#include <QString>
#include <functional>

// The answer to a question a save asks (an outcome of kind Ask): true to
// save anyway.
using SaveAnswer = std::function<bool(const SaveOutcome &asked)>;

// The whole save of the window and of import: saves `table` to `path`, and
// while a question stands in the way and `answer` says yes, saves again
// over the file as it was when asked, and only so (a change made while the
// question was open is asked about in turn), or without a backup, or where a program's table
// has moved to. The outcome is the last save's:
// Ask when a question was declined. `watched` then follows what the save left: the file saved to is
// watched from now on, and a watched file a failed save wrote is what that save left there.
SaveOutcome saveAsking(const QString &path, const QByteArray &table, WatchedFiles &watched,
                       SaveOptions options, const SaveAnswer &answer);
