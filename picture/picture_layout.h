#pragma once

#include "picture_content.h"

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <array>
#include <optional>

// Where everything of a formation's picture goes on a surface of a given
// size: three orthographic views side by side at one scale, each with its
// grid, scale bar, axis names, reference cross and the three lines'
// markers with their labels; a title above, a legend and a note below.

struct PictureFonts {
    QFont title;
    QFont heading; // view names, line numbers
    QFont text;    // axis names, scale, legend
    QFont small;   // modifiers beside a marker
};
PictureFonts pictureFonts();

struct LineLabel {
    QRectF rect;      // the whole label beside the marker
    QRectF schematic; // the sign of the type within it (empty for types 8-15)
    QString heading;  // "1  x4"
    QString typeText; // "type 9" for a type without a sign, else empty
    QString more;     // "+4" when there are more aircraft than dots
    QStringList modifierRows;
    bool written = true;
};

// A numbered tick on a grid line: its value in feet and where its text goes.
struct GridTick {
    double feet = 0;
    QString text; // "-20", "1,000", "2.5"
    QRectF rect;
};

struct ViewLayout {
    ViewAxes axes{};
    QRectF frame;       // the view with its heading
    QRectF plot;        // the grid's area
    QPointF origin;     // where the reference point (0, 0, 0) is
    QPointF centreFeet; // the feet (horizontal, vertical) at the middle of the drawn area
    QPointF markers[PictureContent::LineCount];
    // Where a line with a ghost was; meaningless for a line without one.
    QPointF ghosts[PictureContent::LineCount];
    LineLabel labels[PictureContent::LineCount];
    QRectF referenceLabel; // empty when there was no room for it
    QList<double> gridX;   // pixel positions of the grid lines
    QList<double> gridY;
    // Along the top and the right side; some grid lines go without, so
    // that no two overlap.
    QList<GridTick> ticksX;
    QList<GridTick> ticksY;
    double tickFeetX = 0; // the round number of feet between ticks
    double tickFeetY = 0;
    QRectF scaleBar; // its bar; its text above it
    QRectF scaleText;
    QRectF horizontalName; // "X ->"
    QRectF verticalName;   // "Z ^"
};

struct PictureLayout {
    QSizeF size;
    double pixelsPerFoot = 1;
    double gridFeet = 1; // one grid square, and the scale bar
    QRectF titleRect;
    ViewLayout views[ViewCount];
    QRectF legendRows[PictureContent::LineCount];
    QRectF noteRect;
};

constexpr double MarkerRadius = 6;
constexpr double SmallestSpanFeet = 20; // what the scale shows at least, in feet

// The note the picture carries about the schematics.
QString spacingNote();

// What a layout may take as given instead of fitting it to the lines: the
// scale, and the feet at the middle of each view.
struct PictureFit {
    std::optional<double> pixelsPerFoot;
    std::optional<std::array<QPointF, ViewCount>> centres;
};
// The scale and the middles of `layout`, to lay out another picture the same.
PictureFit fitOf(const PictureLayout &layout);

// Without a fit, one scale and the middles fit the lines, their ghosts and
// the reference point into the views.
PictureLayout layOutPicture(const PictureContent &content, const QSizeF &size,
                            const PictureFit &fit = {});

// A tick's text for a value that is a whole multiple of `step` (a round number).
QString tickText(double feet, double step);

// The pixel of feet (horizontal, vertical) in a view, and back.
QPointF viewPixel(const ViewLayout &view, double pixelsPerFoot, double horizontalFeet,
                  double verticalFeet);
QPointF viewFeet(const ViewLayout &view, double pixelsPerFoot, const QPointF &pixel);

// The marker under `pixel` as {view, line}, the last drawn first; {-1, -1}
// when there is none.
struct MarkerHit {
    int view = -1;
    int line = -1;
};
MarkerHit markerAt(const PictureLayout &layout, const QPointF &pixel);
