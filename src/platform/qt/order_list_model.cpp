#include "platform/qt/order_list_model.h"

namespace quillet {

OrderListModel::OrderListModel(OrderList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list), shown_(static_cast<int>(list.ListCount())) {
    show_timer_.setSingleShot(true);
    show_timer_.setInterval(kShowDelay);
    connect(&show_timer_, &QTimer::timeout, this, &OrderListModel::ShowNewLines);
    appended_ = list.OnAppended([this] {
        if (!show_timer_.isActive()) {
            show_timer_.start();
        }
    });
}

int OrderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant OrderListModel::data(const QModelIndex& index, int role) const {
    // The whole line also shows as a tip, for lines wider than the list.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid() ||
        index.row() >= shown_) {
        return {};
    }
    const auto line = list_.List(static_cast<size_t>(index.row()));
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
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
}

}  // namespace quillet
