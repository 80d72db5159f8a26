#include "program_file.h"

#include "message_text.h"
#include "native_file.h"

#include <QFile>
#include <QFileInfo>

bool beginsAsProgram(QByteArrayView head)
{
    return head.startsWith("MZ");
}

bool isProgramNameForLoad(const QString &path)
{
    return path.right(5).toUpper() == QStringLiteral("F.EXE");
}

bool isProgramNameForSave(const QString &path)
{
    // Windows drops dots and blanks at the end of a name: "kgf.exe. " opens kgf.exe.
    QStringView name(path);
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    return name.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive);
}

bool isProgramForSave(const QString &path)
{
    QString ignored;
    return readsAsProgram(path, &ignored).value_or(isProgramNameForSave(path));
}

std::optional<bool> readsAsProgram(const QString &path, QString *reason)
{
    if (isProgramNameForSave(path))
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

bool isProgramForOutput(const QString &path)
{
    if (isProgramForSave(path))
        return true;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
#ifdef Q_OS_WIN
    return true; // marked by its name's ending: .bat, .cmd, .com
#else
    // Disks of Windows mounted on Linux mark every file executable: a
    // program also begins as one, a script or an ELF binary.
    QFile file(path);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
    return head.startsWith("#!") || head == "\x7f"
                                            "ELF";
#endif
}

QString startNotForProgram(ProgramUse use, const QString &path, const char *option)
{
    const QString program = use == ProgramUse::Load
                                ? QStringLiteral("%1 is the game executable, whose table is found "
                                                 "by its signature")
                                : QStringLiteral("%1 is a program, where the table goes at its "
                                                 "signature");
    return program.arg(shownPath(path)) +
           QStringLiteral("; --%1 is for a formation data file.").arg(QLatin1String(option));
}
