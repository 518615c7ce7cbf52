// Turns the HTTP endpoint on and off as its setting says: on at the port of the setting, or at
// the port of --http whatever the setting, which then holds for the whole run. The token is
// made (ReadOrMakeHttpToken) the first time the endpoint is on.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/orders/order_dispatcher.h"

namespace quillet {

class HttpEndpoint;

struct HttpSwitchOutcome {
    std::string token;  // the token callers name; empty while the endpoint is off
    std::string error;  // why the endpoint is off although asked for: a bad port, the port
                        // taken, no token; empty otherwise
};

class HttpEndpointSwitch {
  public:
    // `dispatcher` must outlive the switch; `token_path` is where the token is kept.
    HttpEndpointSwitch(OrderDispatcher& dispatcher, std::string token_path,
                       std::optional<int> forced_port);
    ~HttpEndpointSwitch();

    // Follows the setting: `on`, and `port` as typed (a whole number from 1 to 65535). Leaves a
    // running endpoint alone when its port stays; listens anew when it changes.
    HttpSwitchOutcome Follow(bool on, const std::string& port);

  private:
    OrderDispatcher& dispatcher_;
    std::string token_path_;
    std::optional<int> forced_port_;
    std::unique_ptr<HttpEndpoint> endpoint_;
    std::string token_;
};

}  // namespace quillet
