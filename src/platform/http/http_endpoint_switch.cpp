#include "platform/http/http_endpoint_switch.h"

#include <iostream>

#include "platform/http/http_endpoint.h"
#include "platform/http/http_token.h"
#include "support/number_text.h"

namespace quillet {

HttpEndpointSwitch::HttpEndpointSwitch(OrderDispatcher& dispatcher, std::string token_path,
                                       std::optional<int> forced_port)
    : dispatcher_(dispatcher), token_path_(std::move(token_path)), forced_port_(forced_port) {}

HttpEndpointSwitch::~HttpEndpointSwitch() = default;

HttpSwitchOutcome HttpEndpointSwitch::Follow(bool on, const std::string& port_text) {
    std::optional<int> port = forced_port_;
    if (!port && on) {
        port = ReadWholeNumber(port_text);
        if (!port || *port < 1 || *port > 65535) {
            endpoint_.reset();
            return {{}, "the HTTP port is not a number from 1 to 65535: '" + port_text + "'"};
        }
    }
    if (!port) {
        endpoint_.reset();
        return {};
    }
    if (endpoint_ && endpoint_->port() == *port) {
        return {token_, {}};
    }
    endpoint_.reset();
    if (token_.empty()) {
        HttpToken token = ReadOrMakeHttpToken(token_path_);
        if (!token.error.empty()) {
            return {{}, "no HTTP endpoint: " + token.error};
        }
        token_ = token.token;
        if (!token.notice.empty()) {
            std::cerr << "quillet: " << token.notice << '\n';
        }
    }
    auto endpoint = std::make_unique<HttpEndpoint>(dispatcher_, token_);
    if (std::string error = endpoint->Start(static_cast<uint16_t>(*port)); !error.empty()) {
        return {{}, "no HTTP endpoint: " + error};
    }
    endpoint_ = std::move(endpoint);
    std::cerr << "quillet: taking order events over HTTP on 127.0.0.1:" << *port << '\n';
    return {token_, {}};
}

}  // namespace quillet
