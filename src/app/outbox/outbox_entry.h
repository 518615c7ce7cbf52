// One order mail that its first attempt did not deliver, as the outbox keeps it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/orders/delivery_state.h"
#include "mail/send_plain_text_mail.h"

namespace quillet {

struct OutboxEntry {
    std::string id;        // unique; ids sort in the order the entries were made
    std::string order_id;  // the order the mail is about, for the user's messages
    std::string subject;   // as the order gave them; used only while `mail` is missing
    std::string body;
    // The message as first composed, with its envelope. Missing when the settings did not allow
    // composing it; it is composed at the first attempt they allow.
    std::optional<ComposedMail> mail;
    int64_t created_ms = 0;  // when the order came, in milliseconds since 1970 (UTC)
    bool failed = false;     // marked failed: no attempt until the user asks for one
    int32_t attempts = 0;    // attempts after the first
    std::string reason;      // why the latest attempt failed
    // Not empty: what its Message-ID is made of when it is composed (SendRequest), so that a mail
    // that another run may send too has the same one.
    std::string message_id_left = {};
    // The recipients that have the mail already, from an attempt the server took for them and
    // not for others: the envelope of `mail` holds only those it has still to reach.
    std::vector<std::string> delivered_to = {};
    // Not empty: sent with the body (a report's; order mails have none).
    std::optional<MailAttachment> attachment = std::nullopt;
    // Not empty: the Message-ID of the first mail of its order, which it follows when it is
    // composed (In-Reply-To and References).
    std::string in_reply_to = {};
    // Not empty: the recipient entries it goes to at every attempt, in place of the settings'
    // recipients (the mail of a recipients' rule); empty: the settings' recipients.
    std::vector<std::string> send_to = {};

    bool operator==(const OutboxEntry&) const = default;
};

}  // namespace quillet
