// "Scale and move formation N": the dialog's move drawn dashed in the
// picture while it is open, and written as one step of the history.
#include "biform.h"

#include "formation_scaling.h"
#include "line_editing.h"
#include "scale_dialog.h"

namespace
{

FormationLines storedLines(const FormationTable &table, int formation)
{
    FormationLines lines;
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line)
        lines[line - 1] = readLine(table, FormationTable::rowOfLine(formation, line));
    return lines;
}

} // namespace

void BiForm::scaleAndMoveFormation(int formation)
{
    if (isBusy() || !m_readyFlag || formation < 0)
        return;
    const BusyGuard busy(m_busy);
    // The move starts from what the table holds: typed values are written or dropped first.
    if (!settlePanel())
        return;
    if (formation != m_shownFormation)
        chooseFormation(formation);
    showPicture();

    ScaleDialog dialog(formation, m_formationNames[formation], this);
    const FormationLines before = storedLines(m_document.table(), formation);
    const auto preview = [&] {
        const std::optional<ScaleMove> move = dialog.move();
        m_scalePreview = move ? std::optional(scaleAndMove(before, *move).lines) : std::nullopt;
        refreshPicture();
    };
    connect(&dialog, &ScaleDialog::moveChanged, this, preview);
    preview();
    const bool applied = dialog.exec() == QDialog::Accepted;
    const std::optional<ScaleMove> move = dialog.move();
    m_scalePreview.reset();
    refreshPicture();
    if (!applied || !move)
        return;

    const ScaledFormation scaled = scaleAndMove(before, *move);
    QByteArray after;
    for (const FormationLine &line : scaled.lines)
        after += line.toBytes();
    m_document.changeFormation(formation, after,
                               QStringLiteral("scale and move of formation %1").arg(formation));
    if (!scaled.clamped.isEmpty())
        prompter().tell(
            this,
            QStringLiteral("Formation %1 was scaled and moved, but %2 would have gone "
                           "beyond what the record holds (about 102 million feet "
                           "either way) and %3 held at its end.")
                .arg(formation)
                .arg(scaled.clamped.join(QStringLiteral(", ")),
                     scaled.clamped.size() == 1 ? QStringLiteral("was") : QStringLiteral("were")));
}
