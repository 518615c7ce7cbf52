// The texts of an order event as they may reach the order line, the mail and the journal.
//
// Every source of order events (the control socket, the HTTP endpoint, the FIX drop copy) passes
// the event it made through CleanOrderTexts before handing it on, so that a text cannot reorder
// what is shown around it, nor break a line, ring, erase or colour a terminal, and refuses it when
// CheckOrderTextLengths names a field.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/orders/order_events.h"

namespace quillet {

// The most characters (Unicode code points) one text field may hold.
inline constexpr size_t kMaxOrderTextChars = 4096;

// `text` without control characters: those of C0 (U+0000-U+001F: tab, line ends, escape, bell,
// backspace and the rest), DEL (U+007F) and C1 (U+0080-U+009F), and those that change the
// direction or hide the order of what follows: U+202A-U+202E (embeddings, overrides, their pop),
// U+2066-U+2069 (isolates, their pop), U+200E, U+200F (the marks) and U+061C (the Arabic letter
// mark). Other bytes, invalid UTF-8 included, are kept as they are.
std::string WithoutControls(std::string_view text);

// Strips those characters from every text of `event`.
void CleanOrderTexts(OrderEvent& event);

// Empty when every text of `event` holds at most kMaxOrderTextChars characters; otherwise the
// refusal naming the first field that holds more, e.g.
// field "Symbol" is longer than 4096 characters.
std::string CheckOrderTextLengths(const OrderEvent& event);

}  // namespace quillet
