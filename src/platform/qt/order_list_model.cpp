#include "platform/qt/order_list_model.h"

#include <algorithm>

#include "platform/qt/delivery_mark.h"

namespace quillet {

OrderListModel::OrderListModel(OrderList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list), shown_(static_cast<int>(list.ListCount())) {
    show_timer_.setSingleShot(true);
    connect(&show_timer_, &QTimer::timeout, this, &OrderListModel::ShowNewLines);
    SetColours(Qt::white, Qt::black);
    delivery_changed_ = list.OnDeliveryChanged([this](size_t line) {
        if (static_cast<int>(line) < shown_) {
            const QModelIndex changed = index(static_cast<int>(line));
            emit dataChanged(changed, changed,
                             {Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
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
    if (role == Qt::AccessibleDescriptionRole) {
        return DeliveryDescription(list_.Delivery(row), list_.DeliveryDetail(row));
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

void OrderListModel::SetColours(const QColor& background, const QColor& text) {
    for (const DeliveryState state : {DeliveryState::Delivered, DeliveryState::Waiting,
                                      DeliveryState::Failed, DeliveryState::NotMailed}) {
        icons_[static_cast<int>(state)] = DeliveryMark(state, background, text);
    }
    if (shown_ > 0) {
        emit dataChanged(index(0), index(shown_ - 1), {Qt::DecorationRole});
    }
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

QString DeliveryDescription(DeliveryState state, std::string_view detail) {
    if (state == DeliveryState::None) {
        return {};
    }
    QString tip = QString::fromUtf8(detail.data(), static_cast<qsizetype>(detail.size()));
    if (state == DeliveryState::NotMailed) {
        return tip.isEmpty() ? QStringLiteral("Not mailed.") : tip;  // it says "Not mailed: ..."
    }
    const QString word = state == DeliveryState::Delivered ? QStringLiteral("delivered")
                         : state == DeliveryState::Waiting ? QStringLiteral("waiting")
                                                           : QStringLiteral("failed");
    // A tip that begins with the state ("Failed: ...") goes on from it.
    if (tip.startsWith(word + QLatin1Char(':'), Qt::CaseInsensitive)) {
        return QStringLiteral("Mail ") + word + tip.mid(word.size());
    }
    return QStringLiteral("Mail ") + word + QLatin1Char('.') +
           (tip.isEmpty() ? QString() : QLatin1Char(' ') + tip);
}

}  // namespace quillet
