#include "save_report.h"

#include "command_line.h"
#include "console.h"
#include "message_text.h"
#include "save_journal.h"
#include "table_diff.h"

namespace
{

QString withoutFullStop(const QString &sentence)
{
    return sentence.endsWith(u'.') ? sentence.chopped(1) : sentence;
}

} // namespace

QString textFitsTarget(const QString &target, TargetSave::Held held, const TableText &text)
{
    if (held == TargetSave::Held::Table || coversWholeTable(text))
        return {};
    return QStringLiteral("%1 %2, so the text must give all 31 formations; it gives %3.")
        .arg(shownPath(target),
             held == TargetSave::Held::Nothing ? QStringLiteral("does not exist yet")
                                               : QStringLiteral("holds less than a whole table"),
             QString::number(text.formations.size()));
}

QString saveReport(const QString &target, const TargetSave &saved, const QStringList &names,
                   const SaveWords &words)
{
    Q_ASSERT(saved.kind != TargetSave::Kind::Failed);
    const QString shown = shownPath(target);
    const QString remark = saved.remark.isEmpty() ? QString() : saved.remark + u'\n';
    if (saved.kind == TargetSave::Kind::Unchanged)
        return QStringLiteral("%1 is unchanged: it holds these formations already, so nothing "
                              "was written and no backup made.\n")
                   .arg(shown) +
               remark;
    if (saved.held == TargetSave::Held::Nothing)
        return QStringLiteral("%1 was made, with all 31 formations of %2. No backup was "
                              "made: there was no file before.\n")
                   .arg(shown, words.source) +
               remark;

    QString report;
    if (saved.held == TargetSave::Held::Table)
        report = diffText(diffTables(saved.before, saved.table), names);
    report += shown + QStringLiteral(" was saved");
    if (saved.inProgram && saved.movedFrom >= 0)
        report += QStringLiteral(" at byte %1, where the program keeps its table now: it had "
                                 "moved there from byte %2 since it was first found")
                      .arg(grouped(saved.offset), grouped(saved.movedFrom));
    else if (saved.inProgram)
        report += QStringLiteral(" at byte %1, where the program keeps its table")
                      .arg(grouped(saved.offset));
    else if (saved.offset > 0)
        report += QStringLiteral(" at byte %1").arg(grouped(saved.offset));
    else if (saved.held == TargetSave::Held::Less)
        report += QStringLiteral(" with all 31 formations of %1; it held less than a whole "
                                 "table")
                      .arg(words.source);
    if (!saved.backupPath.isEmpty())
        report += QStringLiteral(". A copy of it as it was before is kept as %1")
                      .arg(shownPath(saved.backupPath));
    else if (saved.backupNotWanted)
        report += QStringLiteral(". No backup was made: --no-backup said to make none");
    else if (saved.noBackup.isEmpty()) // a NAME.bak of its own was there, never replaced
        report += QStringLiteral(". No backup was made: %1 is there already and was left as it is")
                      .arg(shownPath(target + QStringLiteral(".bak")));
    if (!saved.noBackup.isEmpty())
        report += QStringLiteral(". %1; --allow-no-backup said to %2 without one")
                      .arg(withoutFullStop(saved.noBackup), words.mode);
    report += QStringLiteral(".\n");
    return report + remark;
}

TargetSaveOptions targetSaveOptions(const Invocation &invocation)
{
    TargetSaveOptions options;
    options.force = invocation.force;
    options.noBackup = invocation.noBackup;
    options.allowNoBackup = invocation.allowNoBackup;
    return options;
}

void printSaveReport(const QString &target, const QString &report, const SaveWords &words)
{
    QString refusal;
    if (writeToStream(stdout, report.toUtf8(), &refusal) == StreamWrite::Failed)
        tell(QStringLiteral("%1 holds %2, but what the %3 did could not be written to standard "
                            "output: %4.")
                 .arg(shownPath(target), words.saved, words.mode, refusal));
}

void tellSaveFailed(const TargetSave &saved, const SaveWords &words)
{
    Q_ASSERT(saved.kind == TargetSave::Kind::Failed);
    if (!saved.error.isEmpty()) {
        QString hint;
        if (saved.stoppedAt == SaveOutcome::Question::NoBackup)
            hint = QStringLiteral(" Give --no-backup to %1 without one.").arg(words.mode);
        else if (saved.stoppedAt == SaveOutcome::Question::NoJournal)
            hint = QStringLiteral(" Give --allow-no-backup to %1 without one.").arg(words.mode);
        tell(saved.error + hint);
    }
    if (!saved.remark.isEmpty()) // such as a journal that could not be removed
        tell(saved.remark);
}

bool refuseStreamsOnTarget(const QString &target, const QString &mode)
{
    if (const char *stream = streamOnTarget(target)) {
        // Said where it cannot land in the target.
        tellAvoiding(target, QStringLiteral("Nothing was written: %1 is redirected to %2, which "
                                            "this %3 would write into while it saves the "
                                            "table there.")
                                 .arg(QLatin1String(stream), shownPath(target), mode));
        return true;
    }
    // A shell's "> NAME.bak" has made an empty file where the copy of the
    // target is to be kept, and the report would go into it.
    for (const QString &beside : {target + QStringLiteral(".bak"), journalPath(target)})
        if (const char *stream = streamOnTarget(beside)) {
            tellAvoiding(beside, QStringLiteral("Nothing was written: %1 is redirected to %2, "
                                                "which this %3 keeps beside %4 while it "
                                                "saves the table there.")
                                     .arg(QLatin1String(stream), shownPath(beside), mode,
                                          shownPath(target)));
            return true;
        }
    return false;
}
