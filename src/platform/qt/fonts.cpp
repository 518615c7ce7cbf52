#include "platform/qt/fonts.h"

#include <QStringList>

namespace quillet {
namespace {

QFont FontOf(const QStringList& families, bool bold) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

}  // namespace

QFont TahomaFont(bool bold) {
    // DejaVu Sans Condensed comes nearest to Tahoma's widths, so the captions fit their places.
    return FontOf({"Tahoma", "DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}, bold);
}

QFont SansSerifFont() {
    return FontOf({"Microsoft Sans Serif", "DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"},
                  false);
}

}  // namespace quillet
