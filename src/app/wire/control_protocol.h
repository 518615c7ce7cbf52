// The order-notification control's wire format: one JSON object per line, one reply line per
// request.
//
// A request is {"event": NAME, FIELD: value, ...} with the event's fields under their own names
// (case matters):
//   OrderPlaced     OrderId, Side, Quantity, Symbol, OrderType, StopPrice, LimitPrice,
//                   Info1..Info6 (optional, default "")
//   OrderCancelled  OrderId
//   OrderModified   OrderId, NewStopPrice, NewLimitPrice
//   QueryConnected  Text1..Text3 (optional, default ""), Answer (optional, default 0)
//   Connect         Text1, Text2 (optional, default ""), Answer (optional, default 0)
//   OrderFilled     OrderId, Side, Symbol, Quantity, FilledQuantity, LeavesQuantity, FillPrice,
//                   Info4..Info6 (optional, default "")
//   OrderRejected   OrderId, Reason; Side, Quantity, Symbol, Info4..Info6 (optional, default 0
//                   and "")
//   OrderExpired    OrderId
//   Disconnect, Shutdown, Status, Show: no fields
// {"event": "Watch"} is no event: the control server answers it itself (IsWatchRequest) and
// then writes one line per mail outcome to that connection (FormatMailOutcome).
// Texts (OrderId, Symbol, Info*, Text*) are JSON strings. Whole numbers (Side, Quantity,
// OrderType, Answer) are JSON integers written without a fraction or exponent, from
// -2147483648 to 2147483647: 5 is taken, 5.0, 1e2, true and "5" are not; Quantity is above 0.
// Prices (StopPrice, LimitPrice, NewStopPrice, NewLimitPrice, FillPrice) are any finite JSON
// number. The quantities of OrderFilled and OrderRejected are JSON numbers written with digits
// and at most one point, no exponent or minus, at most kMaxDecimalQuantityChars characters
// (order_quantity.h), kept as written ("12.50"); a fill's Quantity is above 0.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/orders/event_reply.h"
#include "app/orders/order_events.h"
#include "app/outbox/mail_outcome.h"
#include "support/result.h"

namespace quillet {

// The longest request line, in bytes, not counting its LF and a CR before it.
inline constexpr size_t kMaxControlLineBytes = 64 * 1024;

// Reads one request line (without its LF; a trailing CR is dropped). Fails, naming the field
// where there is one, when the line holds a NUL byte anywhere, is not valid JSON (invalid UTF-8
// included), is not a JSON object, lacks "event" or has a non-text one, names an unknown event,
// holds a field the event does not have or the same field twice, lacks a required field, or has a
// value of the wrong type or out of range, a text longer than kMaxOrderTextChars
// (order_texts.h), or an OrderPlaced or OrderFilled whose Quantity is not above 0
// (order_quantity.h). The event's
// texts come back without control characters (CleanOrderTexts). Never throws; does not check the
// line's length.
Result<OrderEvent> ParseControlRequest(std::string_view line);

// The two readers ParseControlRequest tries in turn. ReadPlainRequest is the quick one, for
// the lines a platform usually sends: a flat object of known fields, each given once, whose
// values are texts of printable ASCII without escapes or numbers that fit their fields. It
// gives nothing for any other line, which ReadAnyRequest (the full JSON reader) then reads,
// refusals included. For a line both take, both give the same event.
std::optional<OrderEvent> ReadPlainRequest(std::string_view line);
Result<OrderEvent> ReadAnyRequest(std::string_view line);

// The reply to a handled request, `handled` with what its handler answered, without a line end:
// {"ok":true}; for Connect and QueryConnected {"ok":true,"Answer":n} with the reply's Answer, or
// the request's where the reply has none; for Status
// {"ok":true,"Connected":bool,"Waiting":n,"Failed":n,"NotMailed":n,"Delivered":n,"FIX":"..."},
// with ,"Unsaved":n before the brace while some mails could not be kept on disk, and then
// ,"PartlyDelivered":n while some mails have reached some of their recipients only (the others
// refused them, for now or for good); for an order whose
// mail is safe (on disk, or taken by the server) {"ok":true,"Mail":"kept"}; for one whose mail
// is in memory only {"ok":true,"Unsaved":"why"}; for a Shutdown that lost mails
// {"ok":true,"Lost":[order ids]}; for a placed order that made no line the error reply
// (FormatError) of why not.
std::string FormatReply(const OrderEvent& handled, const EventReply& reply);

// Whether `line` is a request to watch the mails' outcomes: {"event":"Watch"} and no other
// field. Never throws.
bool IsWatchRequest(std::string_view line);

// The reply to a Watch request, without a line end: {"ok":true,"Watching":true}.
std::string FormatWatchReply();

// One line of a watched connection, without a line end:
//   {"event":"MailDelivered","OrderId":"77","MessageId":"<...>","ServerReply":"250 ..."}
//   {"event":"MailWaiting","OrderId":"77","MessageId":"<...>","Reason":"...",
//    "NextAttempt":"2026-12-10T14:03:17Z","ServerReply":"451 ..."}
//   {"event":"MailFailed","OrderId":"77","MessageId":"<...>","Reason":"...","ServerReply":"550
//   ..."}
// MessageId is "" for a mail not yet composed, ServerReply "" where the server said nothing.
// Bytes that are not valid UTF-8 become U+FFFD. Never throws.
std::string FormatMailOutcome(const MailOutcome& outcome);

// The reply to a refused request, without a line end: {"ok":false,"error":"<message>"}. Bytes
// of `message` that are not valid UTF-8 become U+FFFD. Never throws.
std::string FormatError(std::string_view message);

}  // namespace quillet
