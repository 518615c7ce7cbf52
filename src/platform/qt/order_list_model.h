// The order list as a Qt model: the view asks for the lines it shows, so a million lines cost
// no widget items.
#pragma once

#include <QAbstractListModel>

#include "app/order_list.h"

namespace quillet {

class OrderListModel final : public QAbstractListModel {
    Q_OBJECT
  public:
    // Shows `list`, which must outlive the model, and follows its appends.
    explicit OrderListModel(OrderList& list, QObject* parent = nullptr);
    ~OrderListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    void ShowAppended();

    OrderList& list_;
    int shown_ = 0;  // the rows the view has been told of
};

}  // namespace quillet
