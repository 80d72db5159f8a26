#include "mode_inputs.h"

#include "console.h"
#include "formation_names.h"
#include "native_file.h"
#include "program_file.h"
#include "table_text.h"

#include <QDir>
#include <QFile>

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

QStringList formationNamesFor(const QString &tableFile)
{
    const FormationNames names = readFormationNames(namesFileFor(tableFile, QDir::currentPath()));
    if (names.status != FormationNames::Status::Missing && !names.problem.isEmpty())
        tell(names.problem);
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
