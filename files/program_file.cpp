#include "program_file.h"

#include "native_file.h"
#include "table_saver.h"

#include <QFile>

bool beginsAsProgram(QByteArrayView head)
{
    return head.startsWith("MZ");
}

bool isProgramFile(const QString &path)
{
    QString ignored;
    return readsAsProgram(path, &ignored).value_or(isProgramPath(path));
}

std::optional<bool> readsAsProgram(const QString &path, QString *reason)
{
    if (isProgramPath(path))
        return true;
    if (const PathKind kind = pathKind(path);
        kind != PathKind::Regular && kind != PathKind::Unknown)
        return false; // nothing there, or nothing a program is kept in
    QFile file(path);
    if (const OpenResult opened = openRegularFile(file, QIODevice::ReadOnly); !opened.ok) {
        *reason = opened.reason;
        return std::nullopt;
    }
    char head[2];
    const qint64 got = readUpTo(file, head, sizeof head);
    if (got < 0) {
        *reason = plainReason(file.errorString(), "the system reported a read error");
        return std::nullopt;
    }
    return beginsAsProgram(QByteArrayView(head, got));
}
