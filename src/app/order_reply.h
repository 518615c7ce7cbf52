// Where the reply to one event goes once it may: the dispatcher's `finish`, and for an order,
// the note in its event that says why its mail is in memory only. The desk hands it along with
// the event; for an order whose mail is not yet safe, the outbox holds it (as its Safe) until
// the mail is.
#pragma once

#include <functional>
#include <string>
#include <utility>

namespace quillet {

class OrderReply {
  public:
    OrderReply() = default;
    // `finish` (may be empty) lets the reply go; `unsaved_note` (may be null, else it must
    // outlive the reply) is where it says that the mail is not safe.
    OrderReply(std::function<void()> finish, std::string* unsaved_note)
        : finish_(std::move(finish)), unsaved_note_(unsaved_note) {}

    // The reply goes now; `unsaved` is why the order's mail is in memory only, empty when it is
    // safe. A later call does nothing.
    void operator()(const std::string& unsaved = {}) {
        if (unsaved_note_ != nullptr) {
            *std::exchange(unsaved_note_, nullptr) = unsaved;
        }
        if (auto finish = std::exchange(finish_, nullptr)) {
            finish();
        }
    }

  private:
    std::function<void()> finish_;
    std::string* unsaved_note_ = nullptr;
};

}  // namespace quillet
