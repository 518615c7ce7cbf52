// The main window's order list: every line for the life of the window, in order of arrival,
// kept in one buffer so that a million lines cost little beyond their text; and the state of
// each line's mail.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/orders/delivery_state.h"
#include "ui/controls.h"

namespace quillet {

class OrderList {
  public:
    void AddItem(std::string_view line) {
        text_.append(line);
        ends_.push_back(text_.size());
        states_.push_back(DeliveryState::None);
        appended_.Emit();
    }
    size_t ListCount() const { return ends_.size(); }
    // The line at a 0-based position below ListCount().
    std::string_view List(size_t index) const {
        const size_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(text_).substr(begin, ends_[index] - begin);
    }

    // The state of the mail of line `index` (below ListCount()), and its tip text ("" when
    // none). The line's text never changes.
    DeliveryState Delivery(size_t index) const { return states_[index]; }
    std::string_view DeliveryDetail(size_t index) const {
        const auto found = details_.find(index);
        return found == details_.end() ? std::string_view() : std::string_view(found->second);
    }
    void SetDelivery(size_t index, DeliveryState state, std::string detail) {
        states_[index] = state;
        if (detail.empty()) {
            details_.erase(index);
        } else {
            details_[index] = std::move(detail);
        }
        delivery_changed_.Emit(index);
    }

    // Runs `observer` after every appended line (the view shows it) while the subscription
    // lives.
    [[nodiscard]] Subscription OnAppended(std::function<void()> observer) {
        return appended_.Subscribe(std::move(observer));
    }
    // Runs `observer` with the line's position after every change of a line's mail state.
    [[nodiscard]] Subscription OnDeliveryChanged(std::function<void(size_t)> observer) {
        return delivery_changed_.Subscribe(std::move(observer));
    }

  private:
    std::string text_;
    std::vector<size_t> ends_;
    std::vector<DeliveryState> states_;
    std::unordered_map<size_t, std::string> details_;  // only lines whose mail had trouble
    Signal<> appended_;
    Signal<size_t> delivery_changed_;
};

}  // namespace quillet
