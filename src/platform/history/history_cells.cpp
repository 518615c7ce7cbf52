#include "platform/history/history_cells.h"

#include <QDateTime>

#include "support/clock_time.h"

namespace quillet {

QString HistoryColumnTitle(HistoryColumn column) {
    switch (column) {
        case HistoryColumn::kTime:
            return QStringLiteral("Time");
        case HistoryColumn::kOrder:
            return QStringLiteral("Order");
        case HistoryColumn::kEvent:
            return QStringLiteral("Event");
        case HistoryColumn::kSymbol:
            return QStringLiteral("Symbol");
        case HistoryColumn::kSide:
            return QStringLiteral("Side");
        case HistoryColumn::kQuantity:
            return QStringLiteral("Quantity");
        case HistoryColumn::kPrice:
            return QStringLiteral("Price");
        case HistoryColumn::kMailState:
            return QStringLiteral("Mail");
        case HistoryColumn::kDeliveredAt:
            return QStringLiteral("Delivered at");
        case HistoryColumn::kServerReply:
            return QStringLiteral("Server reply");
    }
    return {};
}

QString HistoryTime(int64_t ms, TimeStyle style) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    if (style == TimeStyle::kScreen) {
        return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss (")) +
               QString::fromStdString(UtcOffset(ms)) + QLatin1Char(')');
    }
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

namespace {

QString MailState(const HistoryRow& row) {
    if (row.mail_state == QLatin1String("delivered")) {
        return QStringLiteral("Delivered");
    }
    if (row.mail_state == QLatin1String("waiting")) {
        return QStringLiteral("Waiting");
    }
    if (row.mail_state == QLatin1String("failed")) {
        return QStringLiteral("Failed");
    }
    if (row.mail_state == QLatin1String("unsaved")) {
        return QStringLiteral("Not saved");
    }
    if (row.mail_state.isEmpty()) {
        return row.note.isEmpty() ? QStringLiteral("No mail") : row.note;
    }
    return row.mail_state;
}

QString OneLine(const QString& text) {
    return text.simplified();
}

}  // namespace

QString HistoryCellText(const HistoryRow& row, HistoryColumn column, TimeStyle style) {
    switch (column) {
        case HistoryColumn::kTime:
            return HistoryTime(row.at_ms, style);
        case HistoryColumn::kOrder:
            return row.order_id;
        case HistoryColumn::kEvent:
            return row.event;
        case HistoryColumn::kSymbol:
            return row.symbol;
        case HistoryColumn::kSide:
            return row.side;
        case HistoryColumn::kQuantity:
            return row.quantity;
        case HistoryColumn::kPrice:
            return row.price;
        case HistoryColumn::kMailState:
            return MailState(row);
        case HistoryColumn::kDeliveredAt:
            return row.delivered_ms ? HistoryTime(*row.delivered_ms, style) : QString();
        case HistoryColumn::kServerReply:
            return style == TimeStyle::kScreen ? OneLine(row.server_reply) : row.server_reply;
    }
    return {};
}

}  // namespace quillet
