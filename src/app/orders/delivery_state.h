// What an order line shows of its mail.
#pragma once

#include <cstdint>

namespace quillet {

enum class DeliveryState : uint8_t {
    None,       // not mailed: nothing was meant to be sent (no recipients), or no attempt yet
    Delivered,  // the server accepted it
    Waiting,    // in the outbox, to be tried again
    Failed,     // in the outbox, tried again only when the user asks or changes the settings
};

}  // namespace quillet
