#pragma once

// Page geometry is given in twips (1/1440 inch). At 96 dots per inch a pixel is 15
// twips; Qt's device-independent pixels keep that ratio on high-DPI screens.

#include <QRect>
#include <QSize>

namespace ui {

inline constexpr int TwipsPerPixel = 15;

// Twips to device-independent pixels, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips) {
    return (twips + TwipsPerPixel / 2) / TwipsPerPixel;
}

// left, top, width, height in twips, as the page tables give them.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

inline QRect ToPixels(const TwipRect& r) {
    return QRect(TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width), TwipsToPixels(r.height));
}
inline QSize ToPixels(int widthTwips, int heightTwips) {
    return QSize(TwipsToPixels(widthTwips), TwipsToPixels(heightTwips));
}

}  // namespace ui
