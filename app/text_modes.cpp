#include "text_modes.h"

#include "formation_names.h"
#include "formation_table.h"
#include "import_report.h"
#include "message_text.h"
#include "native_file.h"
#include "output_file.h"
#include "program_file.h"
#include "save_journal.h"
#include "save_recovery.h"
#include "stream_files.h"
#include "table_diff.h"
#include "table_loader.h"
#include "table_text.h"
#include "target_save.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace
{

constexpr int Failed = 1;
constexpr int Trouble = 2; // diff

struct TextInput {
    bool ok = false;
    QByteArray bytes;
    QString name; // for messages
};

// Standard input to its end, through the C library: Qt's file on a stream
// reports the end of a pipe on Windows as a read error.
TextInput readStandardInput()
{
    TextInput input;
    input.name = QStringLiteral("standard input");
    input.bytes.resize(MaxTableTextBytes + 1);
    size_t total = 0;
    while (total < size_t(input.bytes.size())) {
        const size_t got =
            std::fread(input.bytes.data() + total, 1, size_t(input.bytes.size()) - total, stdin);
        if (got == 0)
            break;
        total += got;
    }
    if (std::ferror(stdin)) {
        tell(QStringLiteral("Could not read standard input: the system reported a read error."));
        return input;
    }
    input.bytes.resize(qsizetype(total));
    input.ok = true;
    return input;
}

// TEXT as bytes: a file, or standard input for "-". Reads one byte past the
// size limit at most, so an endless input cannot fill the memory.
TextInput readTextInput(const QString &path)
{
    if (path == QLatin1String("-"))
        return readStandardInput();
    TextInput input;
    input.name = shownPath(path);
    const PathKind kind = pathKind(path);
    if (kind == PathKind::Missing || kind == PathKind::Folder || kind == PathKind::BrokenLink) {
        tell(QStringLiteral("Could not open %1: %2.").arg(input.name, notRegularReason(kind)));
        return input;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        tell(QStringLiteral("Could not open %1: %2.")
                 .arg(input.name, isSocket(path) ? socketReason("read")
                                                 : plainReason(file.errorString(),
                                                               "the system refused to open it")));
        return input;
    }
    input.bytes.resize(MaxTableTextBytes + 1);
    const qint64 got = readUpTo(file, input.bytes.data(), input.bytes.size());
    if (got < 0) {
        tell(QStringLiteral("Could not read %1: %2.")
                 .arg(input.name,
                      plainReason(file.errorString(), "the system reported a read error")));
        return input;
    }
    input.bytes.resize(got);
    input.ok = true;
    return input;
}

// Whether a TEXT of import ("-": standard input) is the file TARGET.
bool isImportedText(const QString &text, const QString &target)
{
    if (text != QLatin1String("-"))
        return isSameFile(text, target);
    const FileIdentity input = streamIdentity(stdin);
    return input.valid && input == regularFileIdentity(target);
}

// Whether the regular file at `path` begins as a table text does.
bool holdsTableText(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file, QIODevice::ReadOnly).ok)
        return false; // nothing there yet, or the import says why it cannot read it
    QByteArray head(4096, '\0');
    const qint64 got = readUpTo(file, head.data(), head.size());
    return got > 0 && beginsAsTableText(QByteArrayView(head.constData(), got));
}

StartGiven startGiven(const Invocation &invocation, const char *option)
{
    return invocation.startsGiven.contains(QLatin1String(option)) ? StartGiven::Yes
                                                                  : StartGiven::No;
}

// Why export's OUT, an existing file, is not to be written over: it is a
// journal, the one copy of a file's old bytes; or, without --force, a
// backup or a file that holds a table (anything but a table text long
// enough for one). Empty when it may be written.
QString keptOutput(const QString &output, bool force)
{
    QString refusal;
    if (isJournalFile(output))
        refusal = QStringLiteral("%1 is the journal of a save that did not finish, the one "
                                 "copy of what that file had before");
    else if (force || pathKind(output) != PathKind::Regular)
        return {};
    else if (output.endsWith(QLatin1String(".bak"), Qt::CaseInsensitive))
        refusal = QStringLiteral("%1 is a backup, and export writes text; give --force to write "
                                 "it anyway");
    else if (QFileInfo(output).size() >= FormationTable::ByteCount && !holdsTableText(output))
        refusal = QStringLiteral("%1 may hold a formation table, and export writes text; give "
                                 "--force to write it anyway");
    else
        return {};
    return refusal.arg(shownPath(output));
}

int runExport(const Invocation &invocation)
{
    const QString &output = invocation.output;
    if (!output.isEmpty() && output != QLatin1String("-")) {
        // The text must never take the place of the table it comes from, or
        // of a program.
        QString refusal = unfitOutput(output, {invocation.files[0]},
                                      {QStringLiteral("%1 is a program, and export writes text"),
                                       QStringLiteral("%1 is the file being exported")});
        if (refusal.isEmpty())
            refusal = keptOutput(output, invocation.force);
        if (!refusal.isEmpty()) {
            tell(QStringLiteral("Nothing was written: %1.").arg(refusal));
            return Failed;
        }
    }
    const LoadResult loaded = loadForCommandLine(invocation.files[0], invocation.start,
                                                 startGiven(invocation, "start"), "start");
    if (!loaded.ok) {
        tell(loaded.error);
        return Failed;
    }
    const QByteArray text =
        writeTableText(loaded.table, formationNamesFor(invocation.files[0]), invocation.format);
    const bool written = invocation.output.isEmpty() ? writeStandardOutput(text)
                                                     : writeOutput(invocation.output, text);
    return written ? 0 : Failed;
}

std::optional<qint64> importStart(const Invocation &invocation)
{
    if (!invocation.startsGiven.contains(QLatin1String("start")))
        return std::nullopt;
    return startArgument(invocation.start); // the parser refused any other
}

// The standard stream, output or error, that is open on `target`: what the
// program prints would go into the file it writes.
const char *streamOnTarget(const QString &target)
{
    const FileIdentity file = regularFileIdentity(target);
    if (!file.valid)
        return nullptr;
    if (streamIdentity(stdout) == file)
        return "standard output";
    if (streamIdentity(stderr) == file)
        return "standard error";
    return nullptr;
}

// Says `message` on standard error, or where that is `target`, on standard
// output; where both are, nothing can be said without writing into it.
void tellAvoiding(const QString &target, const QString &message)
{
    const FileIdentity file = regularFileIdentity(target);
    if (streamIdentity(stderr) != file) {
        tell(message);
        return;
    }
    if (streamIdentity(stdout) != file) {
        QString ignored;
        writeToStream(
            stdout,
            QStringLiteral("kgf-formation-editor: %1\n").arg(escapeControls(message)).toUtf8(),
            &ignored);
    }
}

// Refused before anything is read: the table's bytes would go over a text,
// or over what the program prints into the same file.
bool refuseImportTarget(const Invocation &invocation)
{
    const QString &target = invocation.files[1];
    if (const char *stream = streamOnTarget(target)) {
        // Said where it cannot land in the target.
        tellAvoiding(target, QStringLiteral("Nothing was written: %1 is redirected to %2, which "
                                            "this import would write into while it saves the "
                                            "table there.")
                                 .arg(QLatin1String(stream), shownPath(target)));
        return true;
    }
    // A shell's "> NAME.bak" has made an empty file where the copy of the
    // target is to be kept, and the report would go into it.
    for (const QString &beside : {target + QStringLiteral(".bak"), journalPath(target)})
        if (const char *stream = streamOnTarget(beside)) {
            tellAvoiding(beside,
                         QStringLiteral("Nothing was written: %1 is redirected to %2, "
                                        "which this import keeps beside %3 while it "
                                        "saves the table there.")
                             .arg(QLatin1String(stream), shownPath(beside), shownPath(target)));
            return true;
        }
    if (isImportedText(invocation.files[0], target)) {
        tell(QStringLiteral("Nothing was written: %1 is the text being imported, and the table "
                            "would be written over it.")
                 .arg(shownPath(target)));
        return true;
    }
    if (holdsTableText(target) && !invocation.force) {
        tell(QStringLiteral("Nothing was written: %1 is a formation table text, not a table "
                            "file, and the table's bytes would be written over the start of it. "
                            "Give --force to write it anyway.")
                 .arg(shownPath(target)));
        return true;
    }
    return false;
}

int runImport(const Invocation &invocation)
{
    if (refuseImportTarget(invocation))
        return Failed;
    const QString &target = invocation.files[1];
    // The text is read once the target is known to take a table, and only once.
    std::optional<TableText> text;
    const TableMaker make = [&](const QByteArray &before, TargetSave::Held held,
                                QString *error) -> std::optional<QByteArray> {
        if (!text) {
            const TextInput input = readTextInput(invocation.files[0]);
            if (!input.ok)
                return std::nullopt; // said already
            const TextFormat format =
                invocation.formatGiven ? invocation.format : detectTextFormat(input.bytes);
            TableText read = readTableText(input.bytes, format);
            if (!read.ok) {
                *error = QStringLiteral("%1: %2").arg(input.name, read.error);
                return std::nullopt;
            }
            text = read;
        }
        if (const QString unfit = textFitsTarget(target, held, *text); !unfit.isEmpty()) {
            *error = unfit;
            return std::nullopt;
        }
        return applyTableText(before, *text);
    };
    TargetSaveOptions options;
    options.start = importStart(invocation);
    options.force = invocation.force;
    options.withoutBackup = invocation.noBackup;
    const TargetSave saved = saveIntoTarget(target, options, make);
    if (saved.kind == TargetSave::Kind::Failed) {
        if (!saved.error.isEmpty())
            tell(saved.error + (saved.stoppedAt == SaveOutcome::Question::NoBackup ||
                                        saved.stoppedAt == SaveOutcome::Question::NoJournal
                                    ? QStringLiteral(" Give --no-backup to import without one.")
                                    : QString()));
        if (!saved.remark.isEmpty()) // such as a journal that could not be removed
            tell(saved.remark);
        return Failed;
    }
    if (invocation.quiet)
        return 0;
    const QString report = importReport(target, saved, formationNamesFor(target));
    // The table is in TARGET whatever becomes of the report: the status says so.
    QString refusal;
    if (writeToStream(stdout, report.toUtf8(), &refusal) == StreamWrite::Failed)
        tell(QStringLiteral("%1 holds the imported table, but what the import did could not be "
                            "written to standard output: %2.")
                 .arg(shownPath(target), refusal));
    return 0;
}

int runRecover(const Invocation &invocation)
{
    const QString &file = invocation.files[0];
    if (const char *stream = streamOnTarget(file)) {
        tellAvoiding(file, QStringLiteral("Nothing was changed: %1 is redirected to %2, which "
                                          "recover would write into.")
                               .arg(QLatin1String(stream), shownPath(file)));
        return Failed;
    }
    const Recovery recovery = recoverSave(file);
    switch (recovery.kind) {
    case Recovery::Kind::NothingToRecover:
    case Recovery::Kind::PutBack:
    case Recovery::Kind::Kept:
        // Done whatever becomes of the report: the status says so.
        writeStandardOutput((recovery.message + u'\n').toUtf8());
        return 0;
    case Recovery::Kind::Refused:
    case Recovery::Kind::Failed:
        break;
    }
    tell(recovery.message);
    return Failed;
}

int runDiff(const Invocation &invocation)
{
    const LoadResult a = loadForCommandLine(invocation.files[0], invocation.startA,
                                            startGiven(invocation, "start-a"), "start-a");
    if (!a.ok) {
        tell(a.error);
        return Trouble;
    }
    const LoadResult b = loadForCommandLine(invocation.files[1], invocation.startB,
                                            startGiven(invocation, "start-b"), "start-b");
    if (!b.ok) {
        tell(b.error);
        return Trouble;
    }
    const QList<FormationChanges> changes = diffTables(a.table, b.table);
    if (changes.isEmpty())
        return 0;
    // A reader that stopped early (| head) still learns the answer: they differ.
    switch (
        writeToStandardOutput(diffText(changes, formationNamesFor(invocation.files[0])).toUtf8())) {
    case StreamWrite::Written:
    case StreamWrite::ReaderGone:
        return 1;
    case StreamWrite::Failed:
        break;
    }
    return Trouble;
}

} // namespace

LoadResult loadForCommandLine(const QString &file, const QString &start, StartGiven given,
                              const char *option)
{
    if (given == StartGiven::Yes && isProgramNameForLoad(file)) {
        LoadResult refused;
        refused.error = startNotForProgram(ProgramUse::Load, file, option);
        return refused;
    }
    LoadResult loaded = loadTable(file, start, given);
    if (loaded.fitsFromFirstByte)
        loaded.error += QStringLiteral(" Give --%1 0 to read the table from the file's first "
                                       "byte.")
                            .arg(QLatin1String(option));
    return loaded;
}

StreamWrite writeToStandardOutput(const QByteArray &bytes)
{
    QString reason;
    const StreamWrite result = writeToStream(stdout, bytes, &reason);
    // A reader that chose to stop (| head) is told nothing.
    if (result == StreamWrite::Failed)
        tell(QStringLiteral("Could not write to standard output: %1.").arg(reason));
    return result;
}

bool writeStandardOutput(const QByteArray &bytes)
{
    return writeToStandardOutput(bytes) == StreamWrite::Written;
}

bool writeOutput(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty() || path == QLatin1String("-"))
        return writeStandardOutput(bytes);
    const QString reason = writeOutputFile(path, bytes, OutputKinds::StreamsToo);
    if (reason.isEmpty())
        return true;
    tell(QStringLiteral("Could not write %1: %2.").arg(shownPath(path), reason));
    return false;
}

QStringList formationNamesFor(const QString &tableFile)
{
    const FormationNames names = readFormationNames(namesFileFor(tableFile, QDir::currentPath()));
    if (names.status != FormationNames::Status::Missing && !names.problem.isEmpty())
        tell(names.problem);
    return names.names;
}

void tell(const QString &message)
{
    QString line = message;
    line.replace(u'\n', u' ');
    std::fprintf(stderr, "kgf-formation-editor: %s\n",
                 escapeControls(line).toLocal8Bit().constData());
    std::fflush(stderr);
}

int reportUsageError(const QString &error)
{
    tell(error);
    std::fprintf(stderr, "%sTry kgf-formation-editor --help for more.\n",
                 usageText().toLocal8Bit().constData());
    return 2;
}

int runTextMode(const Invocation &invocation)
{
    if (!invocation.usageError.isEmpty())
        return reportUsageError(invocation.usageError);
    switch (invocation.mode) {
    case Mode::Help:
        return writeStandardOutput(helpText().toUtf8()) ? 0 : Failed;
    case Mode::Version:
        return writeStandardOutput(QStringLiteral("kgf-formation-editor %1\n")
                                       .arg(QCoreApplication::applicationVersion())
                                       .toUtf8())
                   ? 0
                   : Failed;
    case Mode::Export:
        return runExport(invocation);
    case Mode::Import:
        return runImport(invocation);
    case Mode::Diff:
        return runDiff(invocation);
    case Mode::Recover:
        return runRecover(invocation);
    case Mode::Window:
        break;
    }
    Q_ASSERT_X(false, "runTextMode", "the window is no text mode");
    return Failed;
}
