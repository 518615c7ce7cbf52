#include "app/orders/mail_route.h"

namespace quillet {
namespace {

std::optional<std::string> Told(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

template <typename Event>
MailRoute WithFacts(MailEvent kind, const Event& event) {
    return MailRoute{kind, Told(event.Info6), Told(event.Symbol)};
}

}  // namespace

std::optional<MailRoute> RouteOf(const OrderEvent& event) {
    if (const auto* placed = std::get_if<OrderPlaced>(&event)) {
        return WithFacts(MailEvent::kPlaced, *placed);
    }
    if (const auto* filled = std::get_if<OrderFilled>(&event)) {
        return WithFacts(MailEvent::kFilled, *filled);
    }
    if (const auto* rejected = std::get_if<OrderRejected>(&event)) {
        return WithFacts(MailEvent::kRejected, *rejected);
    }
    if (std::holds_alternative<OrderModified>(event)) {
        return MailRoute{MailEvent::kModified, std::nullopt, std::nullopt};
    }
    if (std::holds_alternative<OrderCancelled>(event)) {
        return MailRoute{MailEvent::kCancelled, std::nullopt, std::nullopt};
    }
    if (std::holds_alternative<OrderExpired>(event)) {
        return MailRoute{MailEvent::kExpired, std::nullopt, std::nullopt};
    }
    return std::nullopt;
}

}  // namespace quillet
