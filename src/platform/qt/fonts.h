// The fonts the windows were drawn with, or the nearest sans-serif where they are missing.
#pragma once

#include <QFont>

namespace quillet {

// Tahoma 8.25 pt, as the windows and most of their controls use.
QFont TahomaFont(bool bold = false);
// Microsoft Sans Serif 8.25 pt, as some buttons, lists and the status line use.
QFont SansSerifFont();

}  // namespace quillet
