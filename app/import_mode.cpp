// import: a table text saved into TARGET where TARGET keeps its table.
#include "command_line.h"
#include "console.h"
#include "message_text.h"
#include "mode_inputs.h"
#include "mode_runs.h"
#include "native_file.h"
#include "output_file.h"
#include "save_journal.h"
#include "save_report.h"
#include "stream_files.h"
#include "table_text.h"
#include "target_save.h"

#include <QFile>
#include <cstdio>
#include <optional>

namespace
{

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

std::optional<qint64> importStart(const Invocation &invocation)
{
    if (!invocation.startsGiven.contains(QLatin1String("start")))
        return std::nullopt;
    return startArgument(invocation.start); // the parser refused any other
}

// Refused before anything is read: the table's bytes would go over a text,
// or over what the program prints into the same file.
bool refuseImportTarget(const Invocation &invocation)
{
    const QString &target = invocation.files[1];
    if (refuseStreamsOnTarget(target, QStringLiteral("import")))
        return true;
    if (isImportedText(invocation.files[0], target)) {
        fail(QStringLiteral("Nothing was written: %1 is the text being imported, and the table "
                            "would be written over it."),
             target);
        return true;
    }
    if (holdsTableText(target) && !invocation.force) {
        fail(QStringLiteral("Nothing was written: %1 is a formation table text, not a table "
                            "file, and the table's bytes would be written over the start of it. "
                            "Give --force to write it anyway."),
             target);
        return true;
    }
    return false;
}

} // namespace

int runImport(const Invocation &invocation)
{
    if (refuseImportTarget(invocation))
        return FailedStatus;
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
    TargetSaveOptions options = targetSaveOptions(invocation);
    options.start = importStart(invocation);
    const SaveWords words{QStringLiteral("import"), QStringLiteral("the text"),
                          QStringLiteral("the imported table")};
    const TargetSave saved = saveIntoTarget(target, options, make);
    if (saved.kind == TargetSave::Kind::Failed) {
        tellSaveFailed(saved, words);
        return FailedStatus;
    }
    if (invocation.quiet)
        return 0;
    // The table is in TARGET whatever becomes of the report: the status says so.
    printSaveReport(target, saveReport(target, saved, formationNamesFor(target), words), words);
    return 0;
}
