#include "app/orders/order_quantity.h"

#include <variant>

namespace quillet {

std::string CheckOrderQuantity(const OrderEvent& event) {
    const auto* placed = std::get_if<OrderPlaced>(&event);
    if (placed == nullptr || placed->Quantity > 0) {
        return {};
    }
    return "field \"Quantity\" must be a whole number above 0, not " +
           std::to_string(placed->Quantity);
}

}  // namespace quillet
