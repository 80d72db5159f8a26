#include "line_panel.h"

#include "controls.h"
#include "twips.h"
#include "type_code_box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <limits>

namespace
{
constexpr const char *FieldNames[5] = {"Type", "Number", "X Offset", "Y Offset", "Z Offset"};
constexpr const char *FieldDescriptions[5] = {"Type code: type index plus modifier flags",
                                              "Number of aircraft", "In feet", "In feet",
                                              "In feet"};

// One row of the calculator frames' layout, in twips inside the frame.
struct CalculatorItem {
    const char *caption;
    int left, top, width, height;
};

constexpr CalculatorItem TypeButtons[8] = {
    {"Line Astern", 330, 360, 1485, 255},        {"Line abreast right", 330, 780, 1845, 255},
    {"Line abreast left", 330, 1185, 1845, 255}, {"Line echelon right", 330, 1605, 1845, 255},
    {"Line echelon left", 330, 2025, 1845, 255}, {"Inverted V", 330, 2430, 1245, 255},
    {"Diamond", 330, 2850, 1245, 255},           {"Bomber stream", 330, 3270, 1845, 255},
};

constexpr CalculatorItem ModifierBoxes[4] = {
    {"One lead", 450, 3780, 1245, 315},
    {"Staggered", 450, 4125, 1245, 315},
    {"Step", 450, 4485, 885, 315},
    {"Alternate", 450, 4860, 1065, 315},
};

// Per line: the frame's arrays, its left edge and the tab indices of its
// controls. Line 1 counts up through its buttons, lines 2 and 3 count down,
// and button 7 of every frame comes at the very end of the window's order.
struct CalculatorFrame {
    const char *typeArray;
    const char *boxArray;
    int left;
    int frameTab;
    int lastTypeTab;
    bool ascending;

    int typeTab(int k) const
    {
        if (k == 7)
            return lastTypeTab;
        return ascending ? frameTab + 1 + k : frameTab + 11 - k;
    }
    int boxTab(int k) const { return ascending ? frameTab + 8 + k : frameTab + 4 - k; }
};

constexpr CalculatorFrame Calculators[3] = {
    {"Option3", "Check2", 5010, 34, 75, true},
    {"Option4", "Check3", 7530, 46, 73, false},
    {"Option5", "Check4", 10050, 58, 74, false},
};
} // namespace

LinePanel::LinePanel(QWidget *frame, const TabStop &tabStop) : QObject(frame), m_frame(frame)
{
    const int fieldLeft[5] = {120, 780, 1380, 2580, 3750};
    const int fieldWidth[5] = {585, 345, 1155, 1155, 1155};
    const int lineTop[3] = {690, 1050, 1440};
    for (int n = 0; n < Lines * FieldsPerLine; ++n) {
        const int line = n / FieldsPerLine;
        const int field = n % FieldsPerLine;
        auto *box = makeControl<LineBox>(
            frame, indexed("Text3", n),
            twipsRect(fieldLeft[field], lineTop[line], fieldWidth[field], 345));
        box->setText(QStringLiteral("Text3"));
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setAccessibleName(
            QStringLiteral("Line %1 %2").arg(line + 1).arg(QLatin1String(FieldNames[field])));
        box->setAccessibleDescription(QLatin1String(FieldDescriptions[field]));
        m_boxes.append(box);
        tabStop(7 + n, 0, box);
    }
}

void LinePanel::addCalculators(const TabStop &tabStop)
{
    for (int line = 0; line < Lines; ++line)
        addCalculator(line, tabStop);
}

void LinePanel::keepInStep()
{
    for (QLineEdit *box : std::as_const(m_boxes))
        connect(box, &QLineEdit::textChanged, this, [this, box] { updateBoxToolTip(box); });
    for (int line = 1; line <= Lines; ++line)
        keepTypeInStep(line);
}

void LinePanel::addCalculator(int line, const TabStop &tabStop)
{
    const CalculatorFrame &frameLayout = Calculators[line];
    auto *frame = makeControl<QGroupBox>(m_frame, indexed("Frame2", line),
                                         twipsRect(frameLayout.left, 450, 2445, 5445));
    frame->setTitle(QStringLiteral("Calculator line %1").arg(line + 1));
    // Without its own name a frame inside Frame1 would be announced by
    // Frame1's title.
    frame->setAccessibleName(frame->title());

    QList<QRadioButton *> types;
    auto *typeGroup = new QButtonGroup(frame);
    for (int k = 0; k < 8; ++k) {
        CalculatorItem item = TypeButtons[k];
        // Three buttons sit slightly off the common pattern.
        if (line == 0 && k == 4)
            item.left = 360;
        if (line == 0 && k == 7)
            item.width = 1665;
        if (line == 2 && k == 7) {
            item.top = 3240;
            item.height = 315;
        }
        auto *button =
            makeControl<QRadioButton>(frame, indexed(frameLayout.typeArray, k),
                                      twipsRect(item.left, item.top, item.width, item.height));
        button->setText(QString::fromLatin1(item.caption));
        types.append(button);
        typeGroup->addButton(button);
        tabStop(frameLayout.typeTab(k), 0, button);
    }
    m_typeButtons.append(types);

    QList<QCheckBox *> boxes;
    for (int k = 0; k < 4; ++k) {
        const CalculatorItem &item = ModifierBoxes[k];
        auto *box = makeControl<QCheckBox>(frame, indexed(frameLayout.boxArray, k),
                                           twipsRect(item.left, item.top, item.width, item.height));
        box->setText(QString::fromLatin1(item.caption));
        boxes.append(box);
        tabStop(frameLayout.boxTab(k), 0, box);
    }
    m_modifierBoxes.append(boxes);
}

QLineEdit *LinePanel::lineBox(int line, int field) const
{
    return m_boxes[FieldsPerLine * (line - 1) + field];
}

bool LinePanel::isLineBox(const QObject *object) const
{
    return m_boxes.contains(qobject_cast<const QLineEdit *>(object));
}

int LinePanel::typeGroupOf(const QWidget *widget) const
{
    for (int line = 0; line < m_typeButtons.size(); ++line)
        for (const QRadioButton *button : m_typeButtons[line])
            if (button == widget)
                return line;
    return -1;
}

void LinePanel::showLine(int line, const FormationLine &stored)
{
    const LineTexts texts = lineTexts(stored);
    const QString shown[FieldsPerLine] = {texts.type, texts.count, texts.xOffset, texts.yOffset,
                                          texts.zOffset};
    for (int field = 0; field < FieldsPerLine; ++field) {
        QLineEdit *box = lineBox(line, field);
        m_shownText[m_boxes.indexOf(box)] = shown[field];
        box->setText(shown[field]);
        box->setCursorPosition(0); // a long number shows its leading digits
        updateBoxToolTip(box);
    }
    showTypeCode(line, stored.typeCode);
}

EditedLine LinePanel::editedLine(int line) const
{
    EditedLine edited = typeOfControls(line);
    edited.count = lineBox(line, LineEncoding::Count)->text();
    edited.xOffset = lineBox(line, LineEncoding::XOffset)->text();
    edited.yOffset = lineBox(line, LineEncoding::YOffset)->text();
    edited.zOffset = lineBox(line, LineEncoding::ZOffset)->text();
    return edited;
}

void LinePanel::putBackShownText(QLineEdit *box)
{
    const QString shown = m_shownText[m_boxes.indexOf(box)];
    if (box->text() == shown)
        return;
    // As if typed: Ctrl+Z brings the typed text back, and a "Type" box sets
    // its buttons and boxes again.
    box->selectAll();
    box->insert(shown);
    box->setSelection(int(shown.size()), -int(shown.size())); // whole, from its start
}

void LinePanel::updateBoxToolTip(QLineEdit *box)
{
    QStringList parts;
    if (textOverflows(box))
        parts << box->text(); // the whole value, where the box shows only part
    if (const int n = int(m_boxes.indexOf(box)); n % FieldsPerLine == LineEncoding::Type)
        parts << m_typeNote[n / FieldsPerLine];
    parts.removeAll(QString());
    box->setToolTip(parts.join(u'\n'));
}

// A line's "Type" box and its type buttons and modifier boxes, kept in
// step: a code typed into the box sets the buttons and boxes at once, and a
// button or box the user changes writes its code into the box.
void LinePanel::keepTypeInStep(int line)
{
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
        connect(box, &QCheckBox::stateChanged, this, [this, line] { typeControlsChanged(line); });
}

void LinePanel::showTypeCode(int line, int code)
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

void LinePanel::showTypeWithoutButton(int line, int typeIndex)
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

EditedLine LinePanel::typeOfControls(int line) const
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

void LinePanel::typeControlsChanged(int line)
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
