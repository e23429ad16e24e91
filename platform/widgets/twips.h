#pragma once

#include <QRect>

namespace tessaro {

// The window is laid out in twips, 1/1440 inch, so it keeps its proportions at any DPI.
// At 96 logical DPI fifteen twips make one pixel.
constexpr int twipsToPixels(int twips, int dpi)
{
    return (twips * dpi + 720) / 1440;
}

constexpr QRect twipsRect(int left, int top, int width, int height, int dpi)
{
    return QRect(twipsToPixels(left, dpi), twipsToPixels(top, dpi),
                 twipsToPixels(width, dpi), twipsToPixels(height, dpi));
}

} // namespace tessaro
