#include "platform/qt/order_list_model.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace quillet {

OrderListModel::OrderListModel(OrderList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list), shown_(static_cast<int>(list.ListCount())) {
    show_timer_.setSingleShot(true);
    connect(&show_timer_, &QTimer::timeout, this, &OrderListModel::ShowNewLines);
    for (const DeliveryState state :
         {DeliveryState::Delivered, DeliveryState::Waiting, DeliveryState::Failed}) {
        icons_[static_cast<int>(state)] = StateIcon(state);
    }
    delivery_changed_ = list.OnDeliveryChanged([this](size_t line) {
        if (static_cast<int>(line) < shown_) {
            const QModelIndex changed = index(static_cast<int>(line));
            emit dataChanged(changed, changed, {Qt::DecorationRole, Qt::ToolTipRole});
        }
    });
    appended_ = list.OnAppended([this] {
        if (!show_timer_.isActive()) {
            const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - last_shown_);
            show_timer_.start(std::max(kShowDelay, kBusyGap - since));
        }
    });
}

int OrderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant OrderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) {
        return {};
    }
    const auto row = static_cast<size_t>(index.row());
    if (role == Qt::DecorationRole) {
        const DeliveryState state = list_.Delivery(row);
        return state == DeliveryState::None ? QVariant()
                                            : QVariant(icons_[static_cast<int>(state)]);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const auto line = list_.List(row);
    QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    // The whole line also shows as a tip, for lines wider than the list, with how its mail is.
    if (role == Qt::ToolTipRole) {
        const auto detail = list_.DeliveryDetail(row);
        if (!detail.empty()) {
            text += QStringLiteral("\n") +
                    QString::fromUtf8(detail.data(), static_cast<qsizetype>(detail.size()));
        }
    }
    return text;
}

QIcon OrderListModel::StateIcon(DeliveryState state) {
    // A dot in the state's colour: green delivered, amber waiting, red failed.
    const QColor colour = state == DeliveryState::Delivered ? QColor(0, 150, 60)
                          : state == DeliveryState::Waiting ? QColor(230, 160, 0)
                                                            : QColor(200, 0, 0);
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(130));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return QIcon(pixmap);
}

void OrderListModel::ShowNewLines() {
    show_timer_.stop();
    const int count = static_cast<int>(list_.ListCount());
    if (count <= shown_) {
        return;
    }
    beginInsertRows(QModelIndex(), shown_, count - 1);
    shown_ = count;
    endInsertRows();
    last_shown_ = std::chrono::steady_clock::now();
}

}  // namespace quillet
