// Window positions and sizes are kept in twips, 1440 to the inch: 15 to a pixel at 96 dpi.
#pragma once

#include <QWidget>
#include <cmath>

namespace quillet {

// Pixels per twip for a widget, from its screen's logical dots per inch.
inline double PixelsPerTwip(const QWidget& widget) {
    return widget.logicalDpiX() / 1440.0;
}

inline int TwipsToPixels(double twips, double pixels_per_twip) {
    return static_cast<int>(std::lround(twips * pixels_per_twip));
}

inline float PixelsToTwips(int pixels, double pixels_per_twip) {
    return static_cast<float>(pixels / pixels_per_twip);
}

// Places `widget` at a rectangle given in twips.
inline void PlaceInTwips(QWidget& widget, double left, double top, double width, double height,
                         double pixels_per_twip) {
    widget.setGeometry(TwipsToPixels(left, pixels_per_twip), TwipsToPixels(top, pixels_per_twip),
                       TwipsToPixels(width, pixels_per_twip),
                       TwipsToPixels(height, pixels_per_twip));
}

}  // namespace quillet
