// What the program answers to one handled event of the order-notification control. The event
// says what the platform asked; its reply, filled in by the handler, says what came of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// How the mail is doing, the answer to a Status request.
struct MailStatus {
    bool Connected = false;
    int32_t Waiting = 0;      // order mails in the outbox, to be tried again
    int32_t Failed = 0;       // order mails marked failed
    int32_t Delivered = 0;    // order mails delivered since start
    std::string FIX = "off";  // the FIX drop copy's session: "logged on", "connecting" or "off"
    int32_t Unsaved = 0;      // of the waiting and failed: those the outbox could not keep on disk
    int32_t NotMailed = 0;    // orders not mailed since start, as e-mail was not set up
    int32_t PartlyDelivered = 0;  // of the waiting and failed: those some recipients have

    bool operator==(const MailStatus&) const = default;
};

struct EventReply {
    // Connect and QueryConnected: the Answer the platform reads back; none leaves the request's.
    std::optional<int32_t> answer = {};
    // An order whose mail is in memory only: why; empty once the mail is safe.
    std::string unsaved = {};
    // An order whose mail is safe: kept on disk by the outbox, or taken by the server.
    bool mail_kept = false;
    // A placed order that made no line (and no mail): why; empty when it made one.
    std::string not_listed = {};
    // Shutdown: the orders whose mails were lost, as the outbox could not keep them.
    std::vector<std::string> lost = {};
    // Status: how the mail is doing.
    std::optional<MailStatus> status = {};

    bool operator==(const EventReply&) const = default;
};

}  // namespace quillet
