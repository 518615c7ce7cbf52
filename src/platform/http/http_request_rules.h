// What the HTTP endpoint makes of a request before any event is read: whether it may call at
// all, which of the two resources it asks for, and in which form its body comes.
//
//   POST /events  one request of the control protocol (app/control_protocol.h) as the body;
//                 with Content-Type application/x-ndjson, one request per line
//   GET  /status  the Status reply
//
// Refused, in this order: 403 when the request has an Origin header (a page in a browser) or a
// Host other than 127.0.0.1, localhost or [::1] with the endpoint's port (a name rebound to this
// machine); 401 without the token, as "Authorization: Bearer TOKEN" or as the password of Basic
// authorisation (for clients that can only put it in the URL); 404 for another path; 405 for
// another method; 413 for a body over kMaxControlLineBytes; 415 for a body that is not
// application/json, application/x-ndjson or text/plain (none said counts as JSON). Names of
// headers and schemes are case-insensitive; the token is compared in constant time. Before
// any of these, the listener answers 400 to a head HttpHeadScanner refuses (a second Host, a
// target that is not a path).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/orders/order_events.h"

namespace quillet {

struct HttpRequestHead {
    std::string method;  // "GET", "POST", ...
    std::string path;    // without the query
    std::optional<std::string> host;
    std::optional<std::string> origin;
    std::optional<std::string> authorization;
    std::optional<std::string> content_type;
    size_t body_size = 0;
};

enum class HttpResource { kEvents, kEventLines, kStatus };

struct HttpVerdict {
    int status = 200;  // 200: go ahead with `resource`; otherwise the refusal's status
    HttpResource resource = HttpResource::kEvents;
    std::string error;  // the refusal's reason; empty with 200
    std::string allow;  // the methods the path takes, for a 405
};

// Whether an Authorization header's value names `token`, as Bearer or as Basic's password.
bool AuthorisationNamesToken(std::string_view authorization, std::string_view token);

HttpVerdict CheckHttpRequest(const HttpRequestHead& head, uint16_t port, std::string_view token);

struct HttpEvents {
    std::vector<OrderEvent> events;  // in the order of the body
    std::string error;               // the first line's refusal ("line N: ..."); then no events
};

// Reads the body of a POST /events: one request, or for kEventLines one per line (LF or CRLF;
// blank lines are passed over). Fails, dispatching nothing, when any request is refused by
// ParseControlRequest (with its text) or when there is none.
HttpEvents ReadHttpEvents(std::string_view body, HttpResource resource);

}  // namespace quillet
