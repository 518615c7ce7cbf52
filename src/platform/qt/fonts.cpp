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
    return FontOf({"Tahoma", "DejaVu Sans", "Liberation Sans", "sans-serif"}, bold);
}

QFont SansSerifFont() {
    return FontOf({"Microsoft Sans Serif", "DejaVu Sans", "Liberation Sans", "sans-serif"}, false);
}

}  // namespace quillet
