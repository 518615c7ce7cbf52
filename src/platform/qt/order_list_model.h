// The order list as a Qt model: the view asks for the lines it shows, so a million lines cost
// no widget items. Each line's mail shows as a coloured dot before it (none when not mailed),
// and in its tip. New lines reach the view together, kShowDelay after the first of them, or
// while orders keep coming, kBusyGap after the view was last told: a burst of orders costs a
// relayout and repaint twice a second at most, and they never stand between an order and
// the answer to it.
#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QTimer>
#include <chrono>

#include "app/order_list.h"

namespace quillet {

class OrderListModel final : public QAbstractListModel {
    Q_OBJECT
  public:
    // Shows `list`, which must outlive the model, and follows its appends.
    static constexpr std::chrono::milliseconds kShowDelay{25};
    static constexpr std::chrono::milliseconds kBusyGap{500};

    explicit OrderListModel(OrderList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Tells the view of the lines appended since it was last told, now.
    void ShowNewLines();

  private:
    OrderList& list_;
    int shown_ = 0;  // the rows the view has been told of
    QTimer show_timer_;
    std::chrono::steady_clock::time_point last_shown_;
    Subscription appended_;  // these end with the model
    Subscription delivery_changed_;
    QIcon icons_[4];  // by DeliveryState; none for None

    static QIcon StateIcon(DeliveryState state);
};

}  // namespace quillet
