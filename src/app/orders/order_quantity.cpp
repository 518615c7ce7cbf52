#include "app/orders/order_quantity.h"

#include <variant>

namespace quillet {

bool IsDecimalQuantity(std::string_view text) {
    if (text.empty() || text.size() > kMaxDecimalQuantityChars) {
        return false;
    }
    const size_t point = text.find('.');
    if (point == 0 || point + 1 == text.size()) {
        return false;
    }
    for (size_t at = 0; at < text.size(); ++at) {
        if ((text[at] < '0' || text[at] > '9') && at != point) {
            return false;
        }
    }
    return true;
}

std::string CheckOrderQuantity(const OrderEvent& event) {
    if (const auto* filled = std::get_if<OrderFilled>(&event)) {
        const std::string& text = filled->Quantity.text;
        if (text.find_first_not_of("0.") != std::string::npos) {
            return {};
        }
        return "field \"Quantity\" must be above 0, not " + text;
    }
    const auto* placed = std::get_if<OrderPlaced>(&event);
    if (placed == nullptr || placed->Quantity > 0) {
        return {};
    }
    return "field \"Quantity\" must be a whole number above 0, not " +
           std::to_string(placed->Quantity);
}

}  // namespace quillet
