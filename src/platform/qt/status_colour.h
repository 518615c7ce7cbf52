// Status colours (the setup dialog's status line, the order list's delivery marks) that stay
// readable on a dark palette.
#pragma once

#include <QColor>

namespace quillet {

// The contrast ratio of two colours as the web's accessibility guidelines measure it: 1 (the
// same luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// `colour`, to be drawn on `background`. On a light background (HSL lightness of one half or
// more) it is `colour` itself. On a dark one, black, grey and white become `text` (the
// palette's own text colour); any other colour keeps its hue and saturation and is made lighter
// until its contrast with the background is at least 4.5 (or it is as light as it gets).
QColor ReadableOn(const QColor& colour, const QColor& background, const QColor& text);

}  // namespace quillet
