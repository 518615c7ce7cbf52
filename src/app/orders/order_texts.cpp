#include "app/orders/order_texts.h"

#include <array>
#include <variant>

#include "app/wire/control_fields.h"

namespace quillet {
namespace {

// The UTF-8 forms of the stripped characters; each is three bytes except U+061C (two).
constexpr std::array<std::string_view, 12> kDirectionControls{
    "\u202A", "\u202B", "\u202C", "\u202D", "\u202E", "\u2066",
    "\u2067", "\u2068", "\u2069", "\u200E", "\u200F", "\u061C",
};

// The length of the control character at `at`, 0 when none begins there.
size_t ControlAt(std::string_view text, size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F) {
        return 1;
    }
    // C1 in UTF-8: C2 80 to C2 9F.
    if (byte == 0xC2 && at + 1 < text.size() &&
        (static_cast<unsigned char>(text[at + 1]) & 0xE0) == 0x80) {
        return 2;
    }
    for (std::string_view control : kDirectionControls) {
        if (text.substr(at, control.size()) == control) {
            return control.size();
        }
    }
    return 0;
}

size_t CodePoints(std::string_view text) {
    size_t count = 0;
    for (const char byte : text) {
        count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

const auto& Rules(const OrderPlaced&) {
    return kOrderPlacedFields;
}
const auto& Rules(const OrderCancelled&) {
    return kOrderCancelledFields;
}
const auto& Rules(const OrderModified&) {
    return kOrderModifiedFields;
}
const auto& Rules(const QueryConnected&) {
    return kQueryConnectedFields;
}
const auto& Rules(const Connect&) {
    return kConnectFields;
}
const auto& Rules(const Disconnect&) {
    return kDisconnectFields;
}
const auto& Rules(const Shutdown&) {
    return kShutdownFields;
}
const auto& Rules(const Status&) {
    return kStatusFields;
}
const auto& Rules(const Show&) {
    return kShowFields;
}
const auto& Rules(const OrderFilled&) {
    return kOrderFilledFields;
}
const auto& Rules(const OrderRejected&) {
    return kOrderRejectedFields;
}
const auto& Rules(const OrderExpired&) {
    return kOrderExpiredFields;
}
const auto& Rules(const ReportNotListed&) {
    return kReportNotListedFields;
}

// Calls `visit(name, text)` for every text field of `event`, in wire order.
template <typename Event, typename Visit>
void ForEachText(Event& event, Visit&& visit) {
    for (const auto& rule : Rules(event)) {
        using Text = std::string std::remove_const_t<Event>::*;
        if (const auto* member = std::get_if<Text>(&rule.member)) {
            visit(rule.name, event.**member);
        }
    }
}

}  // namespace

std::string WithoutControls(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t skip = ControlAt(text, at);
        if (skip > 0) {
            at += skip;
        } else {
            kept.push_back(text[at++]);
        }
    }
    return kept;
}

void CleanOrderTexts(OrderEvent& event) {
    std::visit(
        [](auto& typed) {
            ForEachText(typed,
                        [](std::string_view, std::string& text) { text = WithoutControls(text); });
        },
        event);
}

std::string CheckOrderTextLengths(const OrderEvent& event) {
    std::string error;
    std::visit(
        [&](const auto& typed) {
            ForEachText(typed, [&](std::string_view name, const std::string& text) {
                if (error.empty() && CodePoints(text) > kMaxOrderTextChars) {
                    error = "field \"" + std::string(name) + "\" is longer than " +
                            std::to_string(kMaxOrderTextChars) + " characters";
                }
            });
        },
        event);
    return error;
}

}  // namespace quillet
