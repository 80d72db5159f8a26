#include "picture_mode.h"

#include "command_line.h"
#include "console.h"
#include "formation_table.h"
#include "message_text.h"
#include "output_file.h"
#include "picture_export.h"
#include "table_loader.h"
#include "text_modes.h"

#include <QCommandLineParser>
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

constexpr int Failed = 1;

// Whether standard output is a terminal, where PNG bytes would only garble it.
bool standardOutputIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

struct PictureOptions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption start{QStringLiteral("start"), QString(), QStringLiteral("N")};
    QCommandLineOption formation{QStringLiteral("formation"), QString(), QStringLiteral("N")};
    QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("OUT")};
};

struct PictureRequest {
    QString usageError;
    bool help = false;
    QString file;
    QString start = QStringLiteral("0");
    StartGiven startGiven = StartGiven::No; // even --start 0 reads a file that begins with MZ there
    int formation = 0;
    QString output; // "-" or empty: standard output, as PNG
    PictureFormat format = PictureFormat::Png;
};

PictureRequest parse(const QStringList &arguments)
{
    PictureRequest request;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const PictureOptions options;
    parser.addOptions({options.help, options.start, options.formation, options.output});
    if (!parser.parse(arguments)) {
        request.usageError = parser.errorText();
        return request;
    }
    if (parser.isSet(options.help)) {
        request.help = true;
        return request;
    }
    const QStringList files = parser.positionalArguments().mid(1); // after "picture"
    if (files.size() != 1) {
        request.usageError =
            QStringLiteral("picture takes one file, FILE; %1 given.").arg(files.size());
        return request;
    }
    request.file = files[0];
    if (parser.isSet(options.start)) {
        request.start = parser.value(options.start);
        request.startGiven = StartGiven::Yes;
        if (!startArgument(request.start)) {
            request.usageError = notAStartArgument(QStringLiteral("start"), request.start);
            return request;
        }
    }
    if (parser.isSet(options.formation)) {
        const std::optional<qint64> formation =
            wholeArgument(parser.value(options.formation), 0, FormationTable::FormationCount - 1);
        if (!formation) {
            request.usageError = QStringLiteral("--formation is a formation from 0 to 30, not "
                                                "\"%1\".")
                                     .arg(parser.value(options.formation));
            return request;
        }
        request.formation = int(*formation);
    }
    request.output = parser.value(options.output);
    if (parser.isSet(options.output) && request.output.isEmpty()) {
        request.usageError = QStringLiteral("--output needs a file name.");
    } else if (request.output.isEmpty() || request.output == QLatin1String("-")) {
        if (standardOutputIsTerminal())
            request.usageError = QStringLiteral("picture writes a PNG image: give --output "
                                                "OUT.png or OUT.svg, or send standard output "
                                                "to a file or a program.");
    } else if (const std::optional<PictureFormat> format = pictureFormatFor(request.output)) {
        request.format = *format;
    } else {
        request.usageError = QStringLiteral("--output names a .png or .svg file, not \"%1\".")
                                 .arg(shownPath(request.output));
    }
    return request;
}

int draw(const PictureRequest &request)
{
    const bool toFile = !request.output.isEmpty() && request.output != QLatin1String("-");
    if (toFile) {
        // The picture never takes the place of the table it shows, or of a program.
        const QString refusal =
            unfitOutput(request.output, {request.file},
                        {QStringLiteral("%1 is a program"),
                         QStringLiteral("%1 is the file the picture is drawn from")});
        if (!refusal.isEmpty()) {
            tell(QStringLiteral("Nothing was written: %1.").arg(refusal));
            return Failed;
        }
    }
    if (request.format == PictureFormat::Svg && !canWriteSvg()) {
        tell(QStringLiteral("Nothing was written: this build of the program writes PNG only; "
                            "it was made without Qt SVG."));
        return Failed;
    }
    const LoadResult loaded =
        loadForCommandLine(request.file, request.start, request.startGiven, "start");
    if (!loaded.ok) {
        tell(loaded.error);
        return Failed;
    }
    const PictureContent content = storedPicture(
        loaded.table, request.formation, formationNamesFor(request.file).value(request.formation));
    const QByteArray bytes = pictureBytes(content, DefaultPictureSize, request.format);
    if (bytes.isEmpty()) {
        tell(QStringLiteral("Could not draw the picture: Qt made no %1 of it.")
                 .arg(request.format == PictureFormat::Svg ? QStringLiteral("SVG")
                                                           : QStringLiteral("PNG")));
        return Failed;
    }
    return writeOutput(request.output, bytes) ? 0 : Failed;
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
    const PictureRequest request = parse(QCoreApplication::arguments());
    if (!request.usageError.isEmpty())
        return reportUsageError(request.usageError);
    if (request.help)
        return writeStandardOutput(helpText().toUtf8()) ? 0 : Failed;
    return draw(request);
}
