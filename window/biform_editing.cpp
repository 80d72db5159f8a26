// Choosing a formation, showing its lines, writing them back, and the
// formation name under the mouse.
#include "biform.h"

#include "controls.h"
#include "line_editing.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>

namespace
{
constexpr int FieldsPerLine = 5; // Type, Number, X, Y, Z
}

void BiForm::selectFormation(int formation)
{
    if (!m_readyFlag)
        return;
    m_label4->setCaption(QStringLiteral(" %1 ").arg(m_formationNames[formation]));
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line)
        showLine(line, FormationTable::rowOfLine(formation, line));
}

void BiForm::showLine(int line, int row)
{
    const FormationLine stored = readLine(m_table, row);
    const LineTexts texts = lineTexts(stored);
    QLineEdit *const *boxes = m_text3.constData() + FieldsPerLine * (line - 1);
    const QString shown[FieldsPerLine] = {texts.type, texts.count, texts.xOffset, texts.yOffset,
                                          texts.zOffset};
    for (int field = 0; field < FieldsPerLine; ++field) {
        boxes[field]->setText(shown[field]);
        boxes[field]->setCursorPosition(0); // a long number shows its leading digits
    }

    const QList<QCheckBox *> &modifiers = m_modifierBoxes[line - 1];
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        modifiers[k]->setChecked(stored.hasModifier(k));

    // Type indices 8 to 15 have no button: the whole group goes off, and the
    // "Type" box says so; "Edit this one" then keeps the index shown here.
    const int typeIndex = stored.typeIndex();
    const bool known = typeIndex < FormationLine::TypeCount;
    checkOnly(m_typeButtons[line - 1], known ? typeIndex : -1);
    m_typeWithoutButton[line - 1] = known ? -1 : typeIndex;
    QLineEdit *typeBox = boxes[0];
    QPalette palette = typeBox->palette();
    palette.setColor(QPalette::Text, known ? QPalette().color(QPalette::Text) : QColor(Qt::red));
    typeBox->setPalette(palette);
    typeBox->setToolTip(known ? QString()
                              : QStringLiteral("Type index %1 has no button here. \"Edit this "
                                               "one\" keeps it.")
                                    .arg(typeIndex));
}

int BiForm::selectedFormation() const
{
    return m_option2.indexOf(static_cast<QRadioButton *>(m_selectorGroup->checkedButton()));
}

void BiForm::editThisOne()
{
    const int formation = selectedFormation();
    if (formation < 0) {
        prompter().tell(this, QStringLiteral("Choose a formation with the numbered buttons "
                                             "first; \"Edit this one\" writes its three lines."));
        return;
    }

    // Check all three lines before anything is written.
    FormationLine lines[FormationTable::LinesPerFormation];
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
        QLineEdit *const *boxes = m_text3.constData() + FieldsPerLine * (line - 1);
        EditedLine edited;
        const int buttonOn = m_typeButtons[line - 1].indexOf(
            static_cast<QRadioButton *>(m_typeButtons[line - 1][0]->group()->checkedButton()));
        edited.typeIndex = typeIndexToStore(buttonOn, m_typeWithoutButton[line - 1]);
        // A grayed box (partly checked) counts as not ticked.
        for (int k = 0; k < FormationLine::ModifierCount; ++k)
            edited.modifiers[k] = m_modifierBoxes[line - 1][k]->checkState() == Qt::Checked;
        edited.count = boxes[1]->text();
        edited.xOffset = boxes[2]->text();
        edited.yOffset = boxes[3]->text();
        edited.zOffset = boxes[4]->text();
        const int row = FormationTable::rowOfLine(formation, line);
        const LineEncoding encoded = encodeEditedLine(edited, readLine(m_table, row), line);
        if (!encoded.ok) {
            prompter().tell(this, encoded.error + QStringLiteral(" Nothing was written."));
            return;
        }
        lines[line - 1] = encoded.line;
    }

    const QByteArray before = m_table.toBytes();
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
        const FormationLine &encoded = lines[line - 1];
        m_text3[FieldsPerLine * (line - 1)]->setText(QString::number(encoded.typeCode));
        for (const qint32 offset : {encoded.xOffset, encoded.yOffset, encoded.zOffset})
            showOffsetWorking(offset);
        writeLine(m_table, FormationTable::rowOfLine(formation, line), encoded);
    }
    if (m_table.toBytes() != before)
        m_unsaved = true;
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
        } else if (const int i = m_option2.indexOf(static_cast<QRadioButton *>(watched)); i >= 0) {
            showHoveredName(QStringLiteral(" %1 ").arg(m_formationNames[i]));
        }
    }
    return QWidget::eventFilter(watched, event);
}
