// What an order line shows of its mail.
#pragma once

#include <cstdint>

namespace quillet {

enum class DeliveryState : uint8_t {
    None,       // no mark: no attempt yet
    Delivered,  // the server accepted it
    Waiting,    // in the outbox, to be tried again
    Failed,     // in the outbox, tried again only when the user asks or changes the settings
    NotMailed,  // never sent nor kept: e-mail was not set up (no server name, or no recipients)
};

}  // namespace quillet
