#pragma once

#include "control_making.h"
#include "formation_line.h"
#include "formation_table.h"
#include "line_editing.h"

#include <QList>
#include <QObject>
#include <QString>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// The editing panel's three lines: each line's five boxes, and its
// calculator frame with the type buttons and modifier boxes, whose "Type"
// box and buttons are kept in step. The controls are children of the
// editing frame itself, where they have always stood.
class LinePanel : public QObject
{
    Q_OBJECT
public:
    static constexpr int Lines = FormationTable::LinesPerFormation;
    static constexpr int FieldsPerLine = LineEncoding::FieldCount; // Type, Number, X, Y, Z

    // Makes the fifteen line boxes in `frame`.
    LinePanel(QWidget *frame, const TabStop &tabStop);
    // Makes the three calculator frames, after the frame's other controls.
    void addCalculators(const TabStop &tabStop);
    // From now on, each box's tooltip follows its text, and each line's
    // "Type" box and its buttons and modifier boxes are kept in step.
    void keepInStep();

    QLineEdit *lineBox(int line, int field) const; // line 1..3
    const QList<QLineEdit *> &boxes() const { return m_boxes; }
    bool isLineBox(const QObject *object) const;
    const QList<QList<QRadioButton *>> &typeButtons() const { return m_typeButtons; }
    const QList<QList<QCheckBox *>> &modifierBoxes() const { return m_modifierBoxes; }
    int typeGroupOf(const QWidget *widget) const; // the line (0..2) of a type button, or -1

    // Shows `stored` in line `line`: its boxes, its type button and boxes.
    void showLine(int line, const FormationLine &stored);
    // What line `line` holds as typed: the type of its buttons and boxes,
    // and the texts of its Number and offset boxes.
    EditedLine editedLine(int line) const;
    // Escape in a line box: the text the panel showed for it.
    void putBackShownText(QLineEdit *box);

private:
    void addCalculator(int line, const TabStop &tabStop);
    void keepTypeInStep(int line);
    void showTypeCode(int line, int code);               // sets the line's buttons and boxes
    void showTypeWithoutButton(int line, int typeIndex); // -1: the type has a button
    EditedLine typeOfControls(int line) const;           // the type index and modifiers
    void typeControlsChanged(int line);                  // by the user: the code into the box
    void updateBoxToolTip(QLineEdit *box);

    QWidget *m_frame;
    QList<QLineEdit *> m_boxes;                 // Text3(0..14)
    QList<QList<QRadioButton *>> m_typeButtons; // per line: Option3, Option4, Option5
    QList<QList<QCheckBox *>> m_modifierBoxes;  // per line: Check2, Check3, Check4
    // Per line, the type index 8..15 decoded into the panel, which has no
    // button; -1 when the panel shows a type with a button or nothing.
    int m_typeWithoutButton[Lines] = {-1, -1, -1};
    QString m_typeNote[Lines];          // the "Type" box's note about it
    bool m_settingTypeControls = false; // the panel, not the user, sets them
    // What the panel showed in each line box for the chosen formation.
    QString m_shownText[Lines * FieldsPerLine];
};
