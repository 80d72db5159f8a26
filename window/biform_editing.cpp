// Choosing a formation, showing its lines, writing them back, and the
// formation name under the mouse.
#include "biform.h"

#include "controls.h"
#include "line_panel.h"
#include "selector_grid.h"
#include "type_code_box.h"

#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTimer>

QLineEdit *BiForm::lineBox(int line, int field) const
{
    return m_panel->lineBox(line, field);
}

void BiForm::selectFormation(int formation)
{
    if (!m_readyFlag)
        return;
    const int shown = m_shownFormation;
    if (shown >= 0 && panelDiffers()) {
        // The new selector is already on, but the question is about the
        // formation the panel shows: that one is chosen until the question
        // is settled.
        m_selectors->turnOn(shown);
        if (!settlePanel()) {
            // The focus belongs on the box at fault after a refused write,
            // else on the chosen selector; an arrow key's move of the focus
            // to the new selector comes after this handler, so it is put
            // right once that is done.
            auto *box = qobject_cast<QLineEdit *>(focusWidget());
            QWidget *back = box ? static_cast<QWidget *>(box) : m_selectors->buttons()[shown];
            QTimer::singleShot(0, this, [this, back, box] {
                if (m_selectors->formationOf(focusWidget()) < 0)
                    return;
                back->setFocus(Qt::OtherFocusReason);
                if (box)
                    box->selectAll();
            });
            return;
        }
    }
    chooseFormation(formation);
}

void BiForm::chooseFormation(int formation)
{
    showFormation(formation); // first, so that turning the selector on asks nothing
    m_selectors->turnOn(formation);
}

void BiForm::showFormation(int formation)
{
    m_shownFormation = formation;
    m_label4->setCaption(QStringLiteral(" %1 ").arg(m_formationNames[formation]));
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line)
        m_panel->showLine(line,
                          readLine(m_document.table(), FormationTable::rowOfLine(formation, line)));
    refreshPicture();
}

bool BiForm::encodePanel(int formation, FormationLine (&lines)[FormationTable::LinesPerFormation],
                         Refusal *refusal) const
{
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
        QLineEdit *typeBox = lineBox(line, LineEncoding::Type);
        const TypeCodeReading typed = readTypeCodeBox(typeBox->text(), line);
        if (!typed.code) {
            if (refusal)
                *refusal = Refusal{typeBox, typed.error};
            return false;
        }
        const EditedLine edited = m_panel->editedLine(line);
        const int row = FormationTable::rowOfLine(formation, line);
        const LineEncoding encoded =
            encodeEditedLine(edited, readLine(m_document.table(), row), line);
        if (!encoded.ok) {
            if (refusal)
                *refusal = Refusal{lineBox(line, encoded.field), encoded.error};
            return false;
        }
        // The box and the buttons are kept in step.
        Q_ASSERT(encoded.line.typeCode == *typed.code);
        lines[line - 1] = encoded.line;
    }
    return true;
}

bool BiForm::panelDiffers() const
{
    if (m_shownFormation < 0)
        return false;
    FormationLine lines[FormationTable::LinesPerFormation];
    if (!encodePanel(m_shownFormation, lines, nullptr))
        return true;
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line)
        if (lines[line - 1] !=
            readLine(m_document.table(), FormationTable::rowOfLine(m_shownFormation, line)))
            return true;
    return false;
}

bool BiForm::settlePanel()
{
    if (!panelDiffers())
        return true;
    switch (
        prompter().askToWrite(this, QStringLiteral("The panel has changes that are not "
                                                   "written into the table. Write them now?"))) {
    case Prompter::Choice::Go:
        return editThisOne();
    case Prompter::Choice::Discard:
        showFormation(m_shownFormation);
        return true;
    case Prompter::Choice::Cancel:
        break;
    }
    return false;
}

bool BiForm::editThisOne()
{
    const int formation = m_shownFormation;
    if (formation < 0) {
        prompter().tell(this, QStringLiteral("Choose a formation with the numbered buttons "
                                             "first; \"Edit this one\" writes its three lines."));
        return false;
    }

    // Check all three lines before anything is written.
    FormationLine lines[FormationTable::LinesPerFormation];
    Refusal refusal;
    if (!encodePanel(formation, lines, &refusal)) {
        // Back to the box at fault, ready to be typed over.
        refusal.box->setFocus(Qt::OtherFocusReason);
        refusal.box->selectAll();
        prompter().tell(this,
                        refusal.message + QStringLiteral(" Nothing was written to the table."));
        return false;
    }

    QByteArray after;
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
        const FormationLine &encoded = lines[line - 1];
        lineBox(line, LineEncoding::Type)->setText(QString::number(encoded.typeCode));
        for (const qint32 offset : {encoded.xOffset, encoded.yOffset, encoded.zOffset})
            showOffsetWorking(offset);
        // The two bytes the panel does not show are the stored ones.
        after += encoded.toBytes();
    }
    // A change of at least one byte is a step of the history, which shows
    // the formation as the table now holds it: a typed 2.5 aircraft shows
    // as the stored 2. Without a change the panel is shown anew all the same.
    if (!m_document.changeFormation(formation, after,
                                    QStringLiteral("edit of formation %1").arg(formation)))
        showFormation(formation);
    return true;
}

void BiForm::showOffsetWorking(qint32 stored)
{
    const OffsetTexts texts = offsetTexts(stored);
    m_label8->setText(texts.hex);
    for (int k = 0; k < 4; ++k)
        m_label9[k]->setText(texts.bytes[k]);
}

void BiForm::showHoveredName(const QString &caption)
{
    if (m_label12->text() != caption)
        m_label12->setCaption(caption);
}

bool BiForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        if (watched == m_frame1) {
            // Only the frame's own surface clears the name, not a control on it.
            const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
            if (!m_frame1->childAt(at))
                showHoveredName(QString());
        } else if (const int i = m_selectors->formationOf(watched); i >= 0) {
            showHoveredName(QStringLiteral(" %1 ").arg(m_formationNames[i]));
        }
    }
    if (handleKeyboard(watched, event) || handleContextMenu(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}
