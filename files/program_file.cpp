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
    if (isProgramPath(path))
        return true;
    QFile file(path);
    if (!openRegularFile(file, QIODevice::ReadOnly).ok)
        return false;
    char head[2];
    return readUpTo(file, head, sizeof head) == qint64(sizeof head) &&
           beginsAsProgram(QByteArrayView(head, sizeof head));
}
