#include "text_modes.h"

#include "console.h"
#include "help_text.h"

#include <QCoreApplication>

int runTextMode(const Invocation &invocation)
{
    if (!invocation.usageError.isEmpty())
        return reportUsageError(invocation.usageError);
    if (invocation.help)
        return writeStandardOutput(helpText().toUtf8()) ? 0 : FailedStatus;
    if (invocation.version)
        return writeStandardOutput(QStringLiteral("kgf-formation-editor %1\n")
                                       .arg(QCoreApplication::applicationVersion())
                                       .toUtf8())
                   ? 0
                   : FailedStatus;
    Q_ASSERT_X(invocation.mode != nullptr && invocation.mode->run != nullptr, "runTextMode",
               "a mode of the text part runs here");
    return invocation.mode->run(invocation);
}
