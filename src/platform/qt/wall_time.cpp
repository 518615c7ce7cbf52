#include "platform/qt/wall_time.h"

#include <QDateTime>
#include <QTimeZone>

namespace quillet {

WallTime WallTimeIn(int64_t ms, const std::string& zone) {
    const QTimeZone named(QByteArray::fromStdString(zone));
    const bool known = !zone.empty() && named.isValid();
    const QDateTime at =
        known ? QDateTime::fromMSecsSinceEpoch(ms, named) : QDateTime::fromMSecsSinceEpoch(ms);
    WallTime wall;
    wall.weekday = at.date().dayOfWeek();
    wall.second_of_day = at.time().msecsSinceStartOfDay() / 1000;
    wall.date = at.date().toString(Qt::ISODate).toStdString();
    if (known) {
        wall.zone = zone;
    } else {
        const int offset = at.offsetFromUtc() / 60;
        const QString sign = offset < 0 ? QStringLiteral("-") : QStringLiteral("+");
        wall.zone = QStringLiteral("UTC%1%2:%3")
                        .arg(sign)
                        .arg(std::abs(offset) / 60, 2, 10, QChar('0'))
                        .arg(std::abs(offset) % 60, 2, 10, QChar('0'))
                        .toStdString();
    }
    return wall;
}

}  // namespace quillet
