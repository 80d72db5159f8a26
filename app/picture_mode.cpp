#include "picture_mode.h"

#include "command_line.h"
#include "console.h"
#include "formation_table.h"
#include "help_text.h"
#include "message_text.h"
#include "mode_inputs.h"
#include "output_file.h"
#include "picture_export.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace
{

// Whether standard output is a terminal, where PNG bytes would only garble it.
bool standardOutputIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

// Where the picture goes and in which form: the command line reads, but
// OUT's name must say PNG or SVG, and PNG bytes would only garble a terminal.
struct PictureOutput {
    QString usageError;
    PictureFormat format = PictureFormat::Png;
};

PictureOutput pictureOutput(const QString &output)
{
    PictureOutput picture;
    if (output.isEmpty() || output == QLatin1String("-")) {
        if (standardOutputIsTerminal())
            picture.usageError = QStringLiteral("picture writes a PNG image: give --output "
                                                "OUT.png or OUT.svg, or send standard output "
                                                "to a file or a program.");
    } else if (const std::optional<PictureFormat> format = pictureFormatFor(output)) {
        picture.format = *format;
    } else {
        picture.usageError = QStringLiteral("--output names a .png or .svg file, not \"%1\".")
                                 .arg(shownPath(output));
    }
    return picture;
}

int draw(const Invocation &invocation, PictureFormat format)
{
    const QString &file = invocation.files[0];
    const QString &output = invocation.output;
    if (!output.isEmpty() && output != QLatin1String("-")) {
        // The picture never takes the place of the table it shows, or of a program.
        const QString refusal =
            unfitOutput(output, {file, invocation.compare},
                        {QStringLiteral("%1 is a program"),
                         QStringLiteral("%1 is the file the picture is drawn from")});
        if (!refusal.isEmpty())
            return fail(QStringLiteral("Nothing was written: %1.").arg(refusal));
    }
    if (format == PictureFormat::Svg && !canWriteSvg())
        return fail(QStringLiteral("Nothing was written: this build of the program writes PNG "
                                   "only; it was made without Qt SVG."));
    const LoadResult loaded =
        loadForCommandLine(file, invocation.start, startGiven(invocation, "start"), "start");
    if (!loaded.ok)
        return fail(loaded.error);
    PictureContent content = storedPicture(loaded.table, invocation.formation,
                                           formationNamesFor(file).value(invocation.formation));
    if (!invocation.compare.isEmpty()) {
        // Read as FILE is, but from its own start: --start is FILE's.
        const LoadResult compared =
            loadForCommandLine(invocation.compare, QStringLiteral("0"), StartGiven::No, "start");
        if (!compared.ok)
            return fail(compared.error);
        setGhosts(content, compared.table.mid(invocation.formation * FormationTable::FormationBytes,
                                              FormationTable::FormationBytes));
    }
    PictureFit fit;
    if (invocation.scaleFeet > 0)
        fit.pixelsPerFoot = 100 / invocation.scaleFeet;
    const QByteArray bytes = pictureBytes(content, DefaultPictureSize, format, fit);
    if (bytes.isEmpty())
        return fail(
            QStringLiteral("Could not draw the picture: Qt made no %1 of it.")
                .arg(format == PictureFormat::Svg ? QStringLiteral("SVG") : QStringLiteral("PNG")));
    return writeOutput(output, bytes) ? 0 : FailedStatus;
}

} // namespace

int runPictureMode(int &argc, char **argv)
{
    connectStandardStreams();
    // Standard error carries one line about a failure; the platform's own
    // notes (such as a missing runtime folder) would only bury it.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // No window: the offscreen platform needs no display.
    QByteArray platform = "offscreen";
#ifdef Q_OS_WIN
    // Offscreen on Windows reads its fonts from a folder: the system's. Where
    // that holds none (Wine keeps its fonts elsewhere), the Windows platform
    // asks the system for them; it too draws without showing a window.
    if (!qEnvironmentVariableIsSet("QT_QPA_FONTDIR")) {
        const QString fonts = qEnvironmentVariable("SystemRoot", QStringLiteral("C:\\Windows")) +
                              QStringLiteral("\\Fonts");
        const QStringList faces{QStringLiteral("*.ttf"), QStringLiteral("*.ttc"),
                                QStringLiteral("*.otf")};
        if (QDir(fonts).entryList(faces, QDir::Files).isEmpty())
            platform = "windows:fontengine=freetype";
        else
            qputenv("QT_QPA_FONTDIR", fonts.toLocal8Bit());
    }
#endif
    qputenv("QT_QPA_PLATFORM", platform);
    QGuiApplication app(argc, argv);
    const Invocation invocation = parseModeInvocation(Part::Picture, QCoreApplication::arguments());
    if (!invocation.usageError.isEmpty())
        return reportUsageError(invocation.usageError);
    if (invocation.help)
        return writeStandardOutput(helpText().toUtf8()) ? 0 : FailedStatus;
    const PictureOutput picture = pictureOutput(invocation.output);
    if (!picture.usageError.isEmpty())
        return reportUsageError(picture.usageError);
    return draw(invocation, picture.format);
}
