#pragma once

#include <QRect>

// The layout is drawn in twips; the window works in pixels at 15 twips each.
constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    // Nearest pixel; a few positions (such as 4330) are not whole pixels.
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

// Where the first formation selector sits in the editing frame; the others
// are laid out from it.
constexpr int SelectorLeftTwips = 330;
constexpr int SelectorTopTwips = 2370;
