#include "line_captions.h"

namespace
{

const char *const TypeCaptions[FormationLine::TypeCount] = {
    "Line Astern",       "Line abreast right", "Line abreast left", "Line echelon right",
    "Line echelon left", "Inverted V",         "Diamond",           "Bomber stream"};

const char *const ModifierCaptions[FormationLine::ModifierCount] = {"One lead", "Staggered", "Step",
                                                                    "Alternate"};

} // namespace

QString typeCaption(int typeIndex)
{
    Q_ASSERT(typeIndex >= 0 && typeIndex < 16);
    if (typeIndex >= FormationLine::TypeCount)
        return {};
    return QString::fromLatin1(TypeCaptions[typeIndex]);
}

QString modifierCaption(int modifier)
{
    Q_ASSERT(modifier >= 0 && modifier < FormationLine::ModifierCount);
    return QString::fromLatin1(ModifierCaptions[modifier]);
}

int typeIndexOfCaption(QStringView caption)
{
    for (int k = 0; k < FormationLine::TypeCount; ++k)
        if (caption == QLatin1String(TypeCaptions[k]))
            return k;
    return -1;
}

int modifierOfCaption(QStringView caption)
{
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        if (caption == QLatin1String(ModifierCaptions[k]))
            return k;
    return -1;
}
