#include "platform/qt/status_colour.h"

#include <algorithm>
#include <cmath>

namespace quillet {
namespace {

constexpr double kReadableContrast = 4.5;

double Luminance(const QColor& colour) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& colour, const QColor& background, const QColor& text) {
    if (background.lightnessF() >= 0.5) {
        return colour;
    }
    const QColor hsl = colour.toHsl();
    if (hsl.hslHueF() < 0) {  // no hue: black, a grey or white
        return text;
    }
    QColor lighter = colour;
    for (float lightness = hsl.lightnessF();; lightness = std::min(1.0f, lightness + 0.02f)) {
        lighter =
            QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness, hsl.alphaF()).toRgb();
        if (lightness >= 1.0f || ContrastRatio(lighter, background) >= kReadableContrast) {
            break;
        }
    }
    return lighter;
}

}  // namespace quillet
