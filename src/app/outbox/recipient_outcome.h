// What an attempt leaves of a mail when the server refused some of its recipients: those it
// took have the mail, those refused for now (4xx) are tried again on their own, with the same
// message, and those refused for good (5xx) fail alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/outbox/outbox_entry.h"
#include "mail/send_plain_text_mail.h"

namespace quillet {

struct RecipientOutcome {
    std::vector<std::string> delivered;     // the server took the mail for these now
    std::vector<RefusedRecipient> waiting;  // refused for now: tried again on their own
    std::vector<RefusedRecipient> refused;  // refused for good

    // The addresses of those still to be tried: the waiting ones, or when none waits the ones
    // refused for good (tried again only when the user asks).
    std::vector<std::string> Remaining() const;
    // `entry`, whose mail the attempt sent, as the outcome leaves it: those that have the mail
    // added to its delivered_to, its envelope the Remaining ones.
    void LeaveUndelivered(OutboxEntry& entry) const;
    // For a person, with `before` the recipients that had the mail from earlier attempts:
    // "delivered to 4 of 5: broker@example.com waits (452 4.2.2 Mailbox full)", each refused
    // recipient named with its reply; "refused it" for one refused for good.
    std::string Describe(size_t before) const;
};

// "delivered to 4 of 5": `had` of the `of` recipients of a mail have it.
std::string DeliveredTo(size_t had, size_t of);

// The outcome by recipient of an attempt to deliver to `envelope`: when the server took the
// mail for some recipients and refused others, or refused every one of them, some for now and
// some for good. Empty when the outcome is the same for every recipient (delivered to all,
// refused all for now or all for good) or came from elsewhere than the recipients.
std::optional<RecipientOutcome> SplitByRecipient(const std::vector<std::string>& envelope,
                                                 const SendResult& result);

}  // namespace quillet
