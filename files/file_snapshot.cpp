#include "file_snapshot.h"

#include <QFileInfo>

namespace
{

bool sameName(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(), cs) == 0;
}

bool sameFile(const FileSnapshot &a, const FileSnapshot &b)
{
    return a.valid && b.valid && describes(a, b.path, b.identity);
}

} // namespace

bool describes(const FileSnapshot &snapshot, const QString &path, const FileIdentity &identity)
{
    return snapshot.valid &&
           ((identity.valid && snapshot.identity == identity) || sameName(snapshot.path, path));
}

void watchSaved(WatchedFiles &watched, const FileSnapshot &left)
{
    if (!left.valid)
        return;
    if (sameFile(watched.loaded, left))
        watched.loaded = left;
    else
        watched.saved = left;
}

void refreshWatched(WatchedFiles &watched, const FileSnapshot &left)
{
    if (sameFile(watched.loaded, left))
        watched.loaded = left;
    else if (sameFile(watched.saved, left))
        watched.saved = left;
}
