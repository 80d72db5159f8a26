// recover: puts FILE back as it was before a save of it that did not finish.
#include "command_line.h"
#include "console.h"
#include "message_text.h"
#include "mode_runs.h"
#include "save_recovery.h"

int runRecover(const Invocation &invocation)
{
    const QString &file = invocation.files[0];
    if (const char *stream = streamOnTarget(file)) {
        tellAvoiding(file, QStringLiteral("Nothing was changed: %1 is redirected to %2, which "
                                          "recover would write into.")
                               .arg(QLatin1String(stream), shownPath(file)));
        return FailedStatus;
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
    return fail(recovery.message);
}
