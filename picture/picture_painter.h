#pragma once

#include "picture_layout.h"

#include <QColor>

class QPainter;

// The colour of line 1..3 in the picture; distinct for most kinds of colour
// vision, and each line is named in words as well.
QColor lineColor(int line);

// Paints the picture laid out by layOutPicture onto any painter: a window,
// an image, an SVG file. The painter's transform maps the layout's size.
void paintPicture(QPainter &painter, const PictureContent &content, const PictureLayout &layout);
