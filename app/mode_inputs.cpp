#include "mode_inputs.h"

#include "console.h"
#include "formation_names.h"
#include "message_text.h"
#include "native_file.h"
#include "program_file.h"
#include "table_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

LoadResult loadForCommandLine(const QString &file, const QString &start, StartGiven given,
                              const char *option)
{
    if (given == StartGiven::Yes && isProgramNameForLoad(file)) {
        LoadResult refused;
        refused.error = startNotForProgram(ProgramUse::Load, file, option);
        return refused;
    }
    static constexpr TableTextReading text{beginsAsTableText, wholeTableFromText,
                                           MaxTableTextBytes};
    LoadResult loaded = loadTableOrText(file, start, given, text);
    if (loaded.fitsFromFirstByte)
        loaded.error += QStringLiteral(" Give --%1 0 to read the table from the file's first "
                                       "byte.")
                            .arg(QLatin1String(option));
    return loaded;
}

StartGiven startGiven(const Invocation &invocation, const char *option)
{
    return invocation.startsGiven.contains(QLatin1String(option)) ? StartGiven::Yes
                                                                  : StartGiven::No;
}

namespace
{

// Where the names were looked for; a table in the working folder has one place.
QString noNamesFile(const QString &tableFile, const QString &inWorkingFolder)
{
    const QString beside = namesFileBeside(tableFile);
    const QString fileName = shownPath(QFileInfo(tableFile).fileName());
    const QString places =
        QFileInfo(tableFile).absoluteDir() == QFileInfo(inWorkingFolder).absoluteDir()
            ? QStringLiteral("beside %1 or in the working folder (%2)")
                  .arg(fileName, shownPath(inWorkingFolder))
            : QStringLiteral("beside %1 (%2) or in the working folder (%3)")
                  .arg(fileName, shownPath(beside), shownPath(inWorkingFolder));
    return QStringLiteral("No readorder.txt %1: the formations are written without names.")
        .arg(places);
}

} // namespace

QStringList formationNamesFor(const QString &tableFile, MissingNames missing)
{
    const QString inWorkingFolder =
        QDir(QDir::currentPath()).filePath(QStringLiteral("readorder.txt"));
    const FormationNames names = readFormationNames(namesFileFor(tableFile, QDir::currentPath()));
    if (names.status != FormationNames::Status::Missing && !names.problem.isEmpty())
        tell(names.problem);
    else if (names.status == FormationNames::Status::Missing && missing == MissingNames::Said)
        tell(noNamesFile(tableFile, inWorkingFolder));
    return names.names;
}

bool holdsTableText(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file, QIODevice::ReadOnly).ok)
        return false; // nothing there yet, or the mode says why it cannot read it
    QByteArray head(4096, '\0');
    const qint64 got = readUpTo(file, head.data(), head.size());
    return got > 0 && beginsAsTableText(QByteArrayView(head.constData(), got));
}
