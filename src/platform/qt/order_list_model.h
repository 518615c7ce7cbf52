// The order list as a Qt model: the view asks for the lines it shows, so a million lines cost
// no widget items. Each line's mail shows as a mark before it (none before its first attempt),
// in its tip and in its accessible description, which a screen reader speaks. New lines reach the
// view together, kShowDelay after the first of them, or while orders keep coming, kBusyGap after
// the view was last told: a burst of orders costs a relayout and repaint twice a second at most,
// and they never stand between an order and the answer to it.
#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QIcon>
#include <QTimer>
#include <chrono>
#include <string_view>

#include "app/orders/order_list.h"

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
    // Draws the marks for a view of these background and text colours (its palette's base and
    // text), from now on; until called, for a light background.
    void SetColours(const QColor& background, const QColor& text);

  private:
    OrderList& list_;
    int shown_ = 0;  // the rows the view has been told of
    QTimer show_timer_;
    std::chrono::steady_clock::time_point last_shown_;
    Subscription appended_;  // these end with the model
    Subscription delivery_changed_;
    QIcon icons_[5];  // by DeliveryState; none for None
};

// What a line's accessible description says of its mail: "" before its first attempt, else its
// state (delivered, waiting or failed) and the tip's text of it (its reason, the next attempt,
// and that it is not safe when the outbox could not keep it); for a mail not sent as e-mail was
// not set up, the tip's "Not mailed: ..." itself.
QString DeliveryDescription(DeliveryState state, std::string_view detail);

}  // namespace quillet
