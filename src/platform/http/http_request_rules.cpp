#include "platform/http/http_request_rules.h"

#include <algorithm>
#include <cctype>

#include "app/wire/control_protocol.h"
#include "support/base64.h"

namespace quillet {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A Host of this machine's loopback with our port; the port may go unsaid only when it is 80.
bool IsOwnHost(std::string_view host, uint16_t port) {
    const std::string lower = Lower(Trim(host));
    for (const std::string_view name : {"127.0.0.1", "localhost", "[::1]"}) {
        if (lower == name) {
            return port == 80;
        }
        if (lower == std::string(name) + ":" + std::to_string(port)) {
            return true;
        }
    }
    return false;
}

bool SameSecret(std::string_view given, std::string_view token) {
    if (given.size() != token.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (size_t i = 0; i < token.size(); ++i) {
        difference |= static_cast<unsigned char>(given[i] ^ token[i]);
    }
    return difference == 0;
}

}  // namespace

bool AuthorisationNamesToken(std::string_view authorization, std::string_view token) {
    authorization = Trim(authorization);
    const size_t blank = authorization.find(' ');
    if (token.empty() || blank == std::string_view::npos) {
        return false;
    }
    const std::string scheme = Lower(authorization.substr(0, blank));
    const std::string_view credentials = Trim(authorization.substr(blank + 1));
    if (scheme == "bearer") {
        return SameSecret(credentials, token);
    }
    if (scheme == "basic") {  // user:token, whatever the user
        const std::string pair = Base64Decode(credentials);
        const size_t colon = pair.find(':');
        return colon != std::string::npos &&
               SameSecret(std::string_view(pair).substr(colon + 1), token);
    }
    return false;
}

namespace {

// The media type of a Content-Type, without its parameters, in lowercase.
std::string MediaType(std::string_view content_type) {
    return Lower(Trim(content_type.substr(0, content_type.find(';'))));
}

HttpVerdict Refusal(int status, std::string error, std::string allow = {}) {
    return {status, HttpResource::kEvents, std::move(error), std::move(allow)};
}

}  // namespace

HttpVerdict CheckHttpRequest(const HttpRequestHead& head, uint16_t port, std::string_view token) {
    if (head.origin) {
        return Refusal(403, "requests from web pages are refused");
    }
    if (!head.host || !IsOwnHost(*head.host, port)) {
        return Refusal(403, "the Host must be 127.0.0.1, localhost or [::1] with port " +
                                std::to_string(port));
    }
    if (!head.authorization || !AuthorisationNamesToken(*head.authorization, token)) {
        return Refusal(401, "the token is missing or wrong (see quillet --http-token)");
    }
    if (head.path == "/status") {
        if (head.method != "GET") {
            return Refusal(405, "/status takes GET", "GET");
        }
        return {200, HttpResource::kStatus, {}, {}};
    }
    if (head.path != "/events") {
        return Refusal(404, "no such resource: use POST /events or GET /status");
    }
    if (head.method != "POST") {
        return Refusal(405, "/events takes POST", "POST");
    }
    if (head.body_size > kMaxControlLineBytes) {
        return Refusal(413, "body longer than " + std::to_string(kMaxControlLineBytes) + " bytes");
    }
    const std::string type = head.content_type ? MediaType(*head.content_type) : "";
    if (type == "application/x-ndjson") {
        return {200, HttpResource::kEventLines, {}, {}};
    }
    if (type.empty() || type == "application/json" || type == "text/plain") {
        return {200, HttpResource::kEvents, {}, {}};
    }
    return Refusal(415, "the body must be application/json or application/x-ndjson, not " + type);
}

HttpEvents ReadHttpEvents(std::string_view body, HttpResource resource) {
    HttpEvents read;
    if (resource != HttpResource::kEventLines) {
        Result<OrderEvent> request = ParseControlRequest(body);
        if (!request.ok()) {
            return {{}, request.error().message};
        }
        read.events.push_back(std::move(request).value());
        return read;
    }
    int number = 0;
    for (size_t start = 0; start <= body.size();) {
        size_t end = body.find('\n', start);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        const std::string_view line = body.substr(start, end - start);
        start = end + 1;
        ++number;
        if (Trim(line).empty() || Trim(line) == "\r") {
            continue;
        }
        Result<OrderEvent> request = ParseControlRequest(line);
        if (!request.ok()) {
            return {{}, "line " + std::to_string(number) + ": " + request.error().message};
        }
        read.events.push_back(std::move(request).value());
    }
    if (read.events.empty()) {
        read.error = "no request in the body";
    }
    return read;
}

}  // namespace quillet
