#pragma once

#include "formation_line.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the picture of one formation shows: its three lines as they are
// stored, or as the panel would store them, and whether that is written.
struct PictureLine {
    FormationLine line;
    bool written = true; // false: the panel holds values the table does not
    // Where the line was as loaded or saved (or in a file compared with),
    // when its offsets differ from that; drawn faint behind it.
    std::optional<FormationLine> ghost;
};

struct PictureContent {
    static constexpr int LineCount = 3;
    int formation = -1; // -1: none chosen, nothing to draw
    QString name;
    PictureLine lines[LineCount];
};

// The three axes by the record's field names, and the views that show two
// of them, horizontal first: X-Z, X-Y, Z-Y.
enum Axis { AxisX, AxisY, AxisZ, AxisCount };
struct ViewAxes {
    Axis horizontal;
    Axis vertical;
};
constexpr int ViewCount = 3;
constexpr ViewAxes PictureViews[ViewCount] = {{AxisX, AxisZ}, {AxisX, AxisY}, {AxisZ, AxisY}};

QString axisName(Axis axis); // "X", "Y", "Z"
QString viewName(int view);  // "X-Z"
qint32 storedOffset(const FormationLine &line, Axis axis);
void setStoredOffset(FormationLine &line, Axis axis, qint32 stored);
double offsetFeet(const FormationLine &line, Axis axis);

// "Formation 9: Vic"; "Formation picture" when none is chosen.
QString pictureTitle(const PictureContent &content);
// "Line echelon right", or "type 9" for an index without a button.
QString lineTypeText(const FormationLine &line);
// The captions of the modifiers that are set, in their order.
QStringList modifierTexts(const FormationLine &line);
// Feet as the panel shows them, with a unit: "100 ft", "-4.76190476190476E-02 ft".
QString feetText(qint32 stored);
// One line in words, for the legend and for screen readers:
// "Line 1: Line echelon right, Staggered, 4 aircraft, X 100 ft, Y -50 ft,
// Z 0 ft" and ", not written" when it is not.
QString lineDescription(const PictureLine &line, int number);

// The formation `formation` of a whole table (1,488 bytes) as it is stored.
PictureContent storedPicture(const QByteArray &table, int formation, const QString &name);

// Gives each line of `content` the ghost of its line in `reference` (one
// formation's 48 bytes) where their offsets differ, and none where not.
void setGhosts(PictureContent &content, const QByteArray &reference);
