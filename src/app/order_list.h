// The main window's order list: every line for the life of the window, in order of arrival,
// kept in one buffer so that a million lines cost little beyond their text.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"

namespace quillet {

class OrderList {
  public:
    void AddItem(std::string_view line) {
        text_.append(line);
        ends_.push_back(text_.size());
        appended_.Emit();
    }
    size_t ListCount() const { return ends_.size(); }
    // The line at a 0-based position below ListCount().
    std::string_view List(size_t index) const {
        const size_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(text_).substr(begin, ends_[index] - begin);
    }
    // Runs `observer` after every appended line (the view shows it) while the subscription
    // lives.
    [[nodiscard]] Subscription OnAppended(std::function<void()> observer) {
        return appended_.Subscribe(std::move(observer));
    }

  private:
    std::string text_;
    std::vector<size_t> ends_;
    Signal appended_;
};

}  // namespace quillet
