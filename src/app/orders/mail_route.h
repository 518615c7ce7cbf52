// What the recipients' rules look at in an order event: its kind, its account and its symbol.
#pragma once

#include <optional>
#include <string>

#include "app/orders/order_events.h"
#include "mail/recipient_rules.h"

namespace quillet {

struct MailRoute {
    MailEvent event = MailEvent::kPlaced;
    // Info6 and the symbol; none when the event does not tell them (a cancel, a modification,
    // an expiry, a reject without them).
    std::optional<std::string> account, symbol;
};

// The route of an event that makes an order mail; none for any other (Connect, Status ...).
std::optional<MailRoute> RouteOf(const OrderEvent& event);

}  // namespace quillet
