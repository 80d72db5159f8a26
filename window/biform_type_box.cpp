// A line's "Type" box and its type buttons and modifier boxes, kept in
// step: a code typed into the box sets the buttons and boxes at once, and a
// button or box the user changes writes its code into the box.
#include "biform.h"

#include "controls.h"
#include "type_code_box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopedValueRollback>

void BiForm::setUpTypeBoxes()
{
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
        // Whatever puts a code into the box; a text that is none leaves the
        // buttons as they are until "Edit this one" refuses it.
        connect(lineBox(line, LineEncoding::Type), &QLineEdit::textChanged, this,
                [this, line](const QString &text) {
                    if (m_settingTypeControls)
                        return;
                    if (const TypeCodeReading typed = readTypeCodeBox(text, line); typed.code)
                        showTypeCode(line, *typed.code);
                });
        for (QRadioButton *button : std::as_const(m_typeButtons[line - 1]))
            connect(button, &QRadioButton::toggled, this, [this, line](bool on) {
                if (on)
                    typeControlsChanged(line);
            });
        for (QCheckBox *box : std::as_const(m_modifierBoxes[line - 1]))
            connect(box, &QCheckBox::stateChanged, this,
                    [this, line] { typeControlsChanged(line); });
    }
}

void BiForm::showTypeCode(int line, int code)
{
    Q_ASSERT(code >= 0 && code <= 255);
    const QScopedValueRollback<bool> setting(m_settingTypeControls, true);
    FormationLine decoded;
    decoded.typeCode = quint8(code);
    const QList<QCheckBox *> &modifiers = m_modifierBoxes[line - 1];
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        modifiers[k]->setChecked(decoded.hasModifier(k));
    // Type indices 8 to 15 have no button: the whole group goes off, and the
    // "Type" box says so; "Edit this one" then keeps the index.
    const int typeIndex = decoded.typeIndex();
    const bool known = typeIndex < FormationLine::TypeCount;
    checkOnly(m_typeButtons[line - 1], known ? typeIndex : -1);
    showTypeWithoutButton(line, known ? -1 : typeIndex);
}

void BiForm::showTypeWithoutButton(int line, int typeIndex)
{
    m_typeWithoutButton[line - 1] = typeIndex;
    m_typeNote[line - 1] = typeIndex < 0 ? QString()
                                         : QStringLiteral("Type index %1 has no button here. "
                                                          "\"Edit this one\" keeps it.")
                                               .arg(typeIndex);
    QLineEdit *typeBox = lineBox(line, LineEncoding::Type);
    QPalette palette = typeBox->palette();
    palette.setColor(QPalette::Text,
                     typeIndex < 0 ? QPalette().color(QPalette::Text) : QColor(Qt::red));
    typeBox->setPalette(palette);
    updateBoxToolTip(typeBox);
}

EditedLine BiForm::typeOfControls(int line) const
{
    EditedLine edited;
    const QList<QRadioButton *> &types = m_typeButtons[line - 1];
    const int buttonOn =
        int(types.indexOf(static_cast<QRadioButton *>(types[0]->group()->checkedButton())));
    edited.typeIndex = typeIndexToStore(buttonOn, m_typeWithoutButton[line - 1]);
    // A grayed box (partly checked) counts as not ticked.
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        edited.modifiers[k] = m_modifierBoxes[line - 1][k]->checkState() == Qt::Checked;
    return edited;
}

void BiForm::typeControlsChanged(int line)
{
    if (m_settingTypeControls)
        return;
    // A type chosen with a button replaces an index that has none.
    const QList<QRadioButton *> &types = m_typeButtons[line - 1];
    if (m_typeWithoutButton[line - 1] >= 0 && types[0]->group()->checkedButton())
        showTypeWithoutButton(line, -1);
    const EditedLine edited = typeOfControls(line);
    const QScopedValueRollback<bool> setting(m_settingTypeControls, true);
    lineBox(line, LineEncoding::Type)
        ->setText(QString::number(FormationLine::makeTypeCode(edited.typeIndex, edited.modifiers)));
}
