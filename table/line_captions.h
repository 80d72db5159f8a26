#pragma once

#include "formation_line.h"

#include <QString>
#include <QStringView>

// The captions the window gives the type buttons and modifier boxes. The
// text form of the table names types and modifiers by them too.

// The caption of type index 0..7; indices 8..15 have no button and no caption.
QString typeCaption(int typeIndex);
// The caption of modifier k, 0..3: "One lead", "Staggered", "Step", "Alternate".
QString modifierCaption(int modifier);

// The type index or modifier with exactly this caption, or -1.
int typeIndexOfCaption(QStringView caption);
int modifierOfCaption(QStringView caption);
