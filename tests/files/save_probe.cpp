// Saves a table of one repeated byte to a path, as whatever user runs it.
// Tests start it as another user to see what that user's save does.
//   save_probe PATH BYTE [without-backup] -> exit 0 when saved; otherwise the message, exit 1
// (without-backup: without a backup or a journal, as after both questions)
#include "table_saver.h"

#include <QByteArray>
#include <QString>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: save_probe PATH BYTE [without-backup]\n");
        return 2;
    }
    const QByteArray table(1488, static_cast<char>(QByteArray(argv[2]).toInt()));
    const SaveOutcome result = saveTable(
        QString::fromLocal8Bit(argv[1]), table,
        {.withoutBackup = argc == 4 && *argv[3], .withoutJournal = argc == 4 && *argv[3]});
    if (!result.tableInFile())
        std::fprintf(stdout, "%s\n", result.message.toLocal8Bit().constData());
    return result.tableInFile() ? 0 : 1;
}
