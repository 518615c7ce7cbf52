// The mark before an order line that tells how its mail is: a check when delivered, a clock
// while waiting, a cross when failed, a struck-out envelope when it was not mailed (e-mail was
// not set up). The shapes differ, not only their colours (green, amber, red, grey), so the
// marks read in grey, to eyes that do not tell red from green, and in print.
#pragma once

#include <QColor>
#include <QIcon>

#include "app/orders/delivery_state.h"

namespace quillet {

// The mark of `state`, drawn for a list whose background and text are `background` and `text`
// (on a dark background the colours are lighter, see ReadableOn); 12 pixels square, with a
// sharp drawing for screens of two device pixels to the pixel. None has no mark: a null icon.
QIcon DeliveryMark(DeliveryState state, const QColor& background, const QColor& text);

}  // namespace quillet
