#include "app/outbox/recipient_outcome.h"

#include <algorithm>

namespace quillet {

std::vector<std::string> RecipientOutcome::Remaining() const {
    std::vector<std::string> addresses;
    for (const RefusedRecipient& recipient : waiting.empty() ? refused : waiting) {
        addresses.push_back(recipient.address);
    }
    return addresses;
}

void RecipientOutcome::LeaveUndelivered(OutboxEntry& entry) const {
    entry.delivered_to.insert(entry.delivered_to.end(), delivered.begin(), delivered.end());
    entry.mail->recipients = Remaining();
}

std::string DeliveredTo(size_t had, size_t of) {
    return "delivered to " + std::to_string(had) + " of " + std::to_string(of);
}

std::string RecipientOutcome::Describe(size_t before) const {
    const size_t had = before + delivered.size();
    std::string text = DeliveredTo(had, had + waiting.size() + refused.size()) + ":";
    const char* separator = " ";
    for (const auto& [recipients, words] :
         {std::pair{&waiting, " waits ("}, std::pair{&refused, " refused it ("}}) {
        for (const RefusedRecipient& recipient : *recipients) {
            text += separator + recipient.address + words + recipient.reply + ")";
            separator = "; ";
        }
    }
    return text;
}

std::optional<RecipientOutcome> SplitByRecipient(const std::vector<std::string>& envelope,
                                                 const SendResult& result) {
    const auto& refused = result.refused;
    const auto permanent = [](const RefusedRecipient& r) { return r.permanent(); };
    const size_t for_good =
        static_cast<size_t>(std::count_if(refused.begin(), refused.end(), permanent));
    if (refused.empty() || (!result.ok() && (refused.size() != envelope.size() || for_good == 0 ||
                                             for_good == refused.size()))) {
        return std::nullopt;
    }
    RecipientOutcome outcome;
    for (const std::string& address : envelope) {
        const auto found = std::find_if(refused.begin(), refused.end(),
                                        [&address](const auto& r) { return r.address == address; });
        if (found == refused.end()) {
            outcome.delivered.push_back(address);
        } else {
            (found->permanent() ? outcome.refused : outcome.waiting).push_back(*found);
        }
    }
    return outcome;
}

}  // namespace quillet
